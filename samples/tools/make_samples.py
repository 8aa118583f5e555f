#!/usr/bin/env python3
"""Writes the bundled sample data files of the samples folder.

Run from anywhere:  python3 samples/tools/make_samples.py
Every file is written with CR LF line ends.  The output is deterministic
(fixed random seed), so running the script again gives the same bytes.

Value rules kept by the data (so that the converted files do not depend on
the user's decimal separator):
  * every negative coordinate or size has at most three decimals, so its
    product by 1000 is whole;
  * text positions that are moved to the bottom-left corner stay on a
    0.005 grid or, where the fixed 0.03332 step is added, stay positive.
"""
import os
import random

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.dirname(HERE)

H40 = "TAVREL Version 4.0 -- Data File."
H36 = "TAVREL Version 3.6 -- DATA FILE"
H35 = "TAVREL Version 3.5 -- DATA FILE"


def write(name, lines):
    data = "".join(line + "\r\n" for line in lines).encode("ascii")
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(data)
    print("%-14s %4d lines %6d bytes" % (name, len(lines), len(data)))


def num(v, places=4):
    """A decimal text without trailing zeros ("1.25", "0.0625", "3.1", "-0.5")."""
    s = "%.*f" % (places, v)
    if "." in s:
        s = s.rstrip("0").rstrip(".")
    if s in ("-0", ""):
        s = "0"
    return s


def fixed3(v):
    return "%.3f" % v


# ---------------------------------------------------------------------------
# Shared pieces


def layer_line(n, colour, name, flag="0", a="0", b="0", c="0", dd="00", short="1"):
    return "-y%s:0%s%s,%s,%s,%s,%s,%s,%s" % (n, flag, colour, a, b, c, dd, short, name)


def text4(layer, h, x, y, w, ang, anchor, style, rest):
    """Record 4: layer, height, x, y, width, angle, anchor, style, text fields."""
    line = "4 %s %s %s %s %s %s %s %s" % (layer, h, x, y, w, ang, anchor, style)
    if rest is not None:
        line += " " + rest
    return line


# ---------------------------------------------------------------------------
# 4.0 board


def board40():
    rnd = random.Random(4040)
    L = [H40]

    # settings
    L += [
        "-gz0.05,0.05",
        "-gd50",
        "-gm2,1,2,0",
        "-gc1,1,0,0,0,25",
        "-gs5,25,5,10,50",
        "-gp1,1,0,0,2",
        "-it1",
        "-iv2",
        "-iv0,5",
        "-iv1",
        "-ip0",
        "-ip1",
        "-ip2",
        "-ix3,2",
        "-il5",
        "-gt1,0,1",
        "-ga0,45",
        "-gx0.5,0.5",
        "-gx 2.5,3.2",
        "-dp0.025,0.05,0.1",
        "-dp",
        "-wr3",
        "-zz5",
        "-m1000",
        "-x",
        "-GZ0,0",
        "",
    ]

    # layers
    L += [
        layer_line(1, "FF0000", "Top Copper", short="3"),
        layer_line(2, "0000ff", "Bottom Copper", short="2"),
        layer_line(3, "00FF00", "Mid Layer 1", short="5"),
        layer_line(4, "FFFF00", "Mid Layer 2", short="6"),
        layer_line(5, "00FFFF", "Mid Layer 3", short="7"),
        layer_line(6, "FF00FF", "Mid Layer 4", short="8"),
        layer_line(7, "C0C0C0", "Top Silk", short="1"),
        layer_line(8, "808080", "Pad Master", short="4"),
        layer_line(9, "FFFFFF", "Ratnest", flag="1", short="9"),
        layer_line(10, "008000", "GND", short="10"),
        layer_line(11, "800000", "VCC", short="11"),
        layer_line(12, "a0a0a0", "Board Outline", short="12"),
        layer_line(13, "404040", "Drill Drawing", short="13"),
        "-y14:00FFFFFE,0,0,0,0,4,Keepout",
        "-y15:00323232,0,0,0,0,14,Top copper",
        "-y16:00333333,1,0,0,00,15,Symbols",
        "-y17:01FF8000,0,0,0,00,16,Assembly",
        "-y18:00000000,0,0,0,00,17,",
        "-y255:00FFFFFF,0,0,0,00,15,Board",
        "-y19:00FF8040,0,0,0,00,18",
        "-y",
        "-y20:00C0C0C0",
        "",
    ]

    # letter records
    L += [
        "S 1 MAIN 4.000 3.000",
        "I 0 1 2",
        "L 1 Top Copper",
        "G 0.025 0.025 0.005",
        "C 1 GND",
        "C 2 VCC",
        "C 3 CLK",
        "C 4 DATA0",
        "P 1 U1 DIP14",
        "P 2 U2 DIP8",
        "P 3 R1 RES400",
        "T 1 0.125",
        "A 0 0",
        "",
    ]

    # board outline and tracks (record 0)
    L += [
        "0 12  0.000,0.000,4.000,0.000,4.000,3.000,0.000,3.000,0.000,0.000",
        "0 12  0.000,0.000,0.000,0.000",
        "0 13  -0.5,-0.5,-0.25,-0.5",
        "0 13  -0.5,-0.5,-0.5,-0.25",
        "0 13  4.5,3.5,4.25,3.5",
        "0  1  0.0625,1.25,0.5,3.1,0.5",
        "0  1  0.0625 1.25 0.75 1.25 1.5",
        "0  2  0.05,1.1,-0.125,1.1,0.2",
        "0  2  0.025,2.002,1.001,2.002,1.5",
        "0 3 1.25,0.5,2.25,0.5",
        "0  1  0.012,0.125,0.25 0.125,0.5",
        "0     ",
    ]
    for i in range(40):
        lay = rnd.choice([1, 1, 2, 2, 3, 4])
        w = rnd.choice(["0.012", "0.025", "0.05", "0.0625", "0.1"])
        pts = []
        x = rnd.randrange(0, 160) * 0.025
        y = rnd.randrange(0, 120) * 0.025
        for _ in range(rnd.randrange(2, 6)):
            pts += [num(x, 3), num(y, 3)]
            if rnd.random() < 0.5:
                x = max(0.0, min(4.0, x + rnd.randrange(-20, 21) * 0.025))
            else:
                y = max(0.0, min(3.0, y + rnd.randrange(-20, 21) * 0.025))
        if i % 9 == 4:
            pts[0] = num(-rnd.randrange(1, 40) * 0.005, 3)
        L.append("0 %2d  %s,%s" % (lay, w, ",".join(pts)))
    L.append("")

    # fills (record 1)
    L += [
        "1 1 0.025,0.5,0.5,1.5,0.5,1.5,1.25,0.5,1.25",
        "1 2 0.000,0.000,0.000,0.000,0.000",
        "1 10 0.05,0.1,0.1,3.9,0.1,3.9,2.9,0.1,2.9",
        "1 11 0.05 2.5 0.25 3.75 0.25 3.75 0.75",
        "1 2 -0.25,-0.125,1.0625,0.5,-0.125",
        "1 1 0.0312,3.1,2.2,3.5,2.2,3.5,2.6",
        "1 7 0.01,0.2,0.2,0.4,0.2",
        "1 4 0.1",
        "1 3 ",
    ]
    for i in range(8):
        lay = rnd.choice([1, 2, 10, 11])
        x0 = rnd.randrange(2, 120) * 0.025
        y0 = rnd.randrange(2, 90) * 0.025
        dx = rnd.randrange(4, 20) * 0.025
        dy = rnd.randrange(4, 20) * 0.025
        pts = [x0, y0, x0 + dx, y0, x0 + dx, y0 + dy, x0, y0 + dy]
        L.append("1 %d 0.025,%s" % (lay, ",".join(num(p, 3) for p in pts)))
    L.append("")

    # arcs (record 2): x1 y1 x2 y2 start end width sweep
    L += [
        "2 1 1.5 1.5 1.75 1.5 0 90 0.01 90",
        "2 1 1.5 1.5 1.75 1.5 90 180 1 0",
        "2 2 2.25 0.75 2.5 1 180 270 0.025 90",
        "2 2 2.25 0.75 2.5 1 270 360 0.05 90",
        "2 7 0.5 0.5 0.625 0.5 0 360 0.012 360",
        "2 7 3.1 2.2 3.25 2.2 45 135 0.0625 90",
        "2 12 -0.5 -0.5 -0.25 -0.5 359 1 -0.5 2",
        "2 12 0.000 0.000 0.000 0.000 0 0 0 0",
        "2 3 1.001 2.002 1.5 2.5 45.9 400 0.999 -90",
        "2 4 0.75 0.75 1 1 30 60 0.02 30 EXTRA 1",
        "2 1  1.25 2.5 1.5 2.5 0 180 0.025 180",
        "2 1",
        "2 2 1.75 2.25",
    ]
    for i in range(10):
        lay = rnd.choice([1, 2, 7])
        cx = rnd.randrange(8, 150) * 0.025
        cy = rnd.randrange(8, 110) * 0.025
        r = rnd.choice([0.05, 0.1, 0.125, 0.25])
        a1 = rnd.choice([0, 45, 90, 135, 180, 225, 270, 315])
        sw = rnd.choice([45, 90, 180, 270])
        L.append("2 %d %s %s %s %s %d %d %s %d" % (
            lay, num(cx, 3), num(cy, 3), num(cx + r, 3), num(cy, 3), a1, (a1 + sw) % 360,
            rnd.choice(["0.01", "0.012", "0.025"]), sw))
    L.append("")

    # pads (record 3): size, height(0: from size), x, y, w, h, drill, rotation, shape, name
    def dip(prefix, x0, y0, pins, rot, rows=0.3):
        out = []
        half = pins // 2
        for k in range(pins):
            if k < half:
                x, y = x0 + k * 0.1, y0
            else:
                x, y = x0 + (pins - 1 - k) * 0.1, y0 + rows
            if rot in (90, 270):
                x, y = x0 + (y - y0), y0 + (x - x0)
            w, h = ("0.06", "0.08") if k else ("0.07", "0.07")
            size, hgt = ("0.0625", "0") if k % 3 == 0 else ("0.062", "0.062")
            rot_text = str(rot)
            name = "%s%d" % (prefix, k + 1)
            out.append("3 %s %s %s %s %s %s 0.032 %s %d %s" % (
                size, hgt, num(x, 3), num(y, 3), w, h, rot_text, 1 if k else 2, name))
        return out

    L += dip("U1-", 0.5, 0.5, 14, 0)
    L += dip("U2-", 2.0, 0.5, 8, 90)
    L += dip("U3-", 0.5, 1.75, 8, 180)
    L += dip("U4-", 2.5, 1.75, 6, 270)
    L += [
        "3 0.05 0 3.1 0.25 0.06 0.12 0.035 90 1 R1-1",
        "3 0.05 0 3.5 0.25 0.06 0.12 0.035 90 1 R1-2",
        "3 0.075 0 3.1 0.75 0.08 0.05 0.028 270.000 3 C1-1",
        "3 0.075 0.000 3.3 0.75 0.08 0.05 0.028 270 3 C1-2",
        "3 2 0 1 2 0.5 0.25 0.125 90 5",
        "3 2 0 1 2 0.5 0.25 0.125 90 5 7",
        "3 2 0 1 2 0.5 0.25 0.125 90 5 7 8",
        "3 2 0 1 2 0.5 0.25 0.125 180 5",
        "3 0.1 0.1 -0.25 -0.25 0.125 0.125 0.0625 0 4 MH1",
        "3 0.1 0.1 4.25 3.25 0.125 0.125 0.0625 45 4 MH2",
        "3 0.1 0.1 -0.25 3.25 0.125 0.25 0.0625 90.0 4 MH3",
        "3 0.1 0.1 4.25 -0.25 0.25 0.125 0.0625 270 4 MH4",
        "3 0.06 0.06 1.5 2.75 0.06 0.06 0.000 0 6 TP1 ",
        "3 0.06 0.06 1.75 2.75 0.06 0.06 0.000 0 6 ",
        "3 0.06  0.08 2 2.75 0.06 0.08 0.03 0 6 TP3",
        "3 0.06 0.06 2.25 2.75 0.06 0.08 0.03 90",
        "3 0.0625 0 0.000 0.000 0.000 0.000 0.000 0 1 ORIGIN",
        "3 0.08 0.08 3.75 2.75 0.1 0.05 0.04 090 2 J1-1 GND",
        "3 0.08 0.08 3.75 2.65 0.1 0.05 0.04 0270 2 J1-2 VCC",
    ]
    L.append("")

    # texts (record 4): height x y width angle anchor style text
    L += [
        text4(7, "0.1", "0.5", "0.25", "0.5", 0, 0, 0, "U1"),
        text4(7, "0.1", "1", "0.25", "0.5", 0, 1, 0, "U1 value"),
        text4(7, "0.1", "1.5", "0.25", "0.5", 0, 2, 0, "74HC00"),
        text4(7, "0.1", "2", "0.25", "0.5", 0, 3, 0, "U2"),
        text4(7, "0.1", "2", "1.6", "0.5", 90, 4, 0, "U2 value"),
        text4(1, "0.125", "1", "2", "0.5", 90, 5, 0, "AB CD"),
        text4(7, "0.08", "3.1", "0.5", "0.32", 180, 6, 0, "R1"),
        text4(7, "0.08", "3.1", "1", "0.24", 270, 7, 1, "C1"),
        text4(7, "0.06", "0.25", "0.25", "0.18", 0, 8, 0, "J1"),
        text4(7, "0.06", "3.5", "2.9", "0.36", 0, 9, 0, "J1  name"),
        text4(7, "0.06", "3.9", "2.9", "0.3", 90, 10, 0, "REV  A"),
        text4(7, "0.05", "3", "2.5", "0.4", 270, 11, 0, "MADE IN ITALY"),
        text4(2, "0.1", "1.25", "0.5", "0.6", 180, 12, 1, "BOTTOM"),
        text4(2, "0.1", "3.1", "0.625", "0.5", 0, 13, 1, "SIDE B"),
        text4(2, "0.1", "2.5", "1.75", "0.75", 90, 14, 1, "SOLDER"),
        text4(2, "0.1", "0.5", "2.5", "0.5", 270, 15, 1, "X1"),
        text4(7, "0.1", "0.5", "0.5", "1", 0, 2, 0, "WIDE  TEXT   HERE"),
        text4(7, "0.1", "0.25", "0.05", "0.5", 0, 10, 0, "LOW"),
        text4(7, "0.1", "1", "1", "0.5", 0, 16, 0, "ANCHOR16"),
        text4(7, "0.1", "1", "1.2", "0.5", 0, -1, 0, "ANCHORM1"),
        text4(7, "0.1", "1", "1.4", "0.5", 0, "2.5", 0, "ANCHOR25"),
        text4(7, "0.1", "1", "1.6", "0.5", 45, 0, 0, "ANGLE45"),
        text4(7, "0.1", "1", "1.8", "0.5", 359, 0, 0, "ANGLE359"),
        text4(7, "0.1", "1", "2", "0.5", 30, 0, 0, "ANGLE30"),
        text4(7, "0.1", "1", "2.2", "0.5", -90, 0, 0, "NEGATIVE"),
        text4(7, "0.1", "1", "2.4", "0.5", 361, 0, 0, None),
        text4(7, "0.1", "1", "2.6", "0.5", 360, 0, 0, "FULL"),
        text4(7, "0.1", "1", "2.8", "0.5", 0, 5, 0, "TRAILING   "),
        text4(7, "0.1", "-0.5", "-0.25", "0.5", 0, 0, 0, "OFFBOARD"),
        text4(7, "0.1", "-0.25", "-0.5", "0.5", 0, 6, 0, "OFF2"),
        text4(7, "0.1", "0.000", "0.000", "0.000", 0, 0, 0, "ORIGIN"),
        text4(7, "0.0625", "1.0625", "2.0625", "0.125", 0, 15, 0, "SMALL"),
        text4(7, "0.1", "2", "2", "0.5", 0, 0, 0, None),
        "4 7 0.1 2 2.2 0.5 0 0",
        "4 7  0.1 2 2.4 0.5 0 1 0 DOUBLE",
        "4 123 0.1 2 2.6 0.5 0 0 0 LAYER123",
        "4 7 0.1 2 2.8 0.5 0 4 0 " + "A B C D E F G H",
        "4 10 0.08 3.5 1.5 0.4 90 3 0  GND   PLANE  ",
        "4 11 0.08 3.5 1.75 0.4 270 12 0 VCC",
    ]
    for k in range(12):
        anchor = k % 16
        h = rnd.choice(["0.05", "0.06", "0.08", "0.1"])
        w = rnd.choice(["0.2", "0.3", "0.4", "0.5"])
        x = num(0.5 + rnd.randrange(0, 100) * 0.025, 3)
        y = num(0.25 + rnd.randrange(0, 100) * 0.025, 3)
        ang = rnd.choice([0, 90, 180, 270])
        L.append(text4(7, h, x, y, w, ang, rnd.randrange(0, 16), 0, "T%d" % (k + 1)))
    L.append("")

    # record 6: layer angle x y w h extra
    L += [
        "6 2 90 1 2 0.5 0.25 7",
        "6 7 0 0.5 0.5 1 0.75 FRAME",
        "6 7 180 2 1 0.25 0.125",
        "6 7 270 3 2 0.5 0.5 A  B",
        "6 1 45 1.25 0.0625 3.1 0.5",
        "6 1 360 -0.5 -0.25 0.5 0.5",
        "6 12 0 0.000 0.000 0.000 0.000 OUTLINE   ",
        "6 3 -90 1 1 1 1",
        "6 123 90 1.5 1.5 0.1 0.1",
        "6 4 1.5 1 1",
    ]
    L.append("")

    # other lines that pass unchanged
    L += [
        "5 1 2 3",
        "s 1 2",
        " 0 1  1.25,2.5",
        ",note",
        "-",
    ]
    return L


# ---------------------------------------------------------------------------
# 4.0 schematic


def schema40():
    rnd = random.Random(4041)
    L = [H40]
    L += [
        "-gz0,0",
        "-gd25",
        "-gm1,1,1,1",
        "-gc0,0,0,0,0,10",
        "-gs3,20,5,10,25",
        "-gp0",
        "-it2",
        "-iv2,1",
        "-iv0",
        "-iv",
        "-ip1,0",
        "-ip0",
        "-ix",
        "-il",
        "-gt",
        "-ga",
        "-gx0.1,0.1",
        "-gx",
        "-dp0.05",
        "-ns1",
        "-Gz0,0",
        "-g",
        "",
        layer_line(1, "000080", "Signals", short="1"),
        layer_line(2, "0000FF", "Busses", short="2"),
        layer_line(3, "808080", "Symbols", short="3"),
        layer_line(4, "101010", "Symbols", short="4"),
        layer_line(5, "800000", "Pin numbers", short="5"),
        layer_line(6, "008080", "Pin names", short="6"),
        layer_line(7, "FF0000", "Pin dots", short="7"),
        layer_line(8, "00ff00", "Master", short="8"),
        layer_line(9, "008000", "Gnd", short="9"),
        layer_line(10, "800080", "Vcc", short="10"),
        layer_line(11, "C0C0C0", "Title Block", short="11"),
        layer_line(12, "FFFF80", "Notes", short="12"),
        layer_line(13, "FF00FF", "gnd", short="13"),
        "-y14:00FFFFFF,0,0,0,00,14,Ratnest",
        "-y15:0100FF00,0,0,0,00,15,Signals",
        "-y6:00FFFFFF",
        "",
        "S 1 SHEET1 11.000 8.500",
        "S 2 SHEET2 11.000 8.500",
        "I 1 0",
        "L 3 Symbols",
        "G 0.1 0.1 0.05",
        "C 1 CLK",
        "C 2 RESET",
        "P 1 U1 74HC74",
        "T 2 0.1",
        "A 1 0",
        "",
    ]

    # symbol bodies and frame (record 1) and wires (record 0)
    L += [
        "1 3 0.01,1,1,2,1,2,2.5,1,2.5,1,1",
        "1 3 0.01,4,1,5,1,5,2,4,2,4,1",
        "1 11 0.02,0.25,0.25,10.75,0.25,10.75,8.25,0.25,8.25,0.25,0.25",
        "1 11 0.000,0.000",
        "1 8 0.01 7.5 0.25 10.75 0.25 10.75 1.25 7.5 1.25",
    ]
    nets = []
    for i in range(60):
        x = rnd.randrange(5, 100) * 0.1
        y = rnd.randrange(5, 80) * 0.1
        pts = [num(x, 3), num(y, 3)]
        for _ in range(rnd.randrange(1, 4)):
            if rnd.random() < 0.5:
                x = max(0.3, min(10.7, x + rnd.randrange(-15, 16) * 0.1))
            else:
                y = max(0.3, min(8.2, y + rnd.randrange(-15, 16) * 0.1))
            pts += [num(x, 3), num(y, 3)]
        lay = 2 if i % 10 == 7 else 1
        w = "0.01" if lay == 1 else "0.03"
        L.append("0 %2d  %s,%s" % (lay, w, ",".join(pts)))
        nets.append((x, y))
    L += [
        "0  1  0.01,-0.1,1.5,0.5,1.5",
        "0  9  0.01,2.5,-0.125,2.5,0.25",
        "0 10  0.01,2.5,8.5,2.5,8.125",
        "0  1  0.000,0.000,0.000",
        "",
    ]

    # pin dots and junctions (record 2 as small full circles)
    for (x, y) in nets[:20]:
        L.append("2 7 %s %s %s %s 0 360 0.025 360" % (num(x, 3), num(y, 3), num(x + 0.025, 3), num(y, 3)))
    L += [
        "2 3 1.5 2.5 1.55 2.5 180 360 0.01 180",
        "2 3 4.5 1 4.55 1 0 180 0.01 180",
        "2 3 6 3 6.25 3 90 270 0.0125 180 NOTCH",
        "2 9 2.5 -0.125 2.5 -0.2 270 90 -0.25 180",
        "",
    ]

    # pin connection points (record 3)
    for k in range(7):
        L.append("3 0.05 0 1 %s 0.05 0.1 0.000 0 7 U1-%d" % (num(1.25 + k * 0.2, 3), k + 1))
        L.append("3 0.05 0 2 %s 0.1 0.05 0.000 180 7 U1-%d" % (num(1.25 + k * 0.2, 3), 14 - k))
    L += [
        "3 0.05 0 4.5 1 0.05 0.1 0.000 90 7 U2-1",
        "3 0.05 0 4.5 2 0.05 0.1 0.000 270 7 U2-2",
        "3 0.05 0.05 2.5 -0.125 0.05 0.05 0.000 90 9 GND1",
        "3 0.05 0.05 2.5 8.125 0.05 0.05 0.000 0 10 VCC1 ",
        "",
    ]

    # texts: pin names and numbers, values, title block
    pinnames = ["1CLR", "1D", "1CLK", "1PRE", "1Q", "1QN", "GND", "2QN", "2Q", "2PRE", "2CLK",
                "2D", "2CLR", "VCC"]
    for k in range(7):
        y = 1.25 + k * 0.2
        L.append(text4(6, "0.06", "1.05", num(y, 3), "0.24", 0, 4, 0, pinnames[k]))
        L.append(text4(6, "0.06", "1.95", num(y, 3), "0.24", 0, 6, 0, pinnames[13 - k]))
        L.append(text4(5, "0.05", "0.95", num(y + 0.02, 3), "0.1", 0, 2, 0, str(k + 1)))
        L.append(text4(5, "0.05", "2.05", num(y + 0.02, 3), "0.1", 0, 0, 0, str(14 - k)))
    L += [
        text4(3, "0.1", "1.5", "2.6", "0.3", 0, 1, 0, "U1"),
        text4(3, "0.08", "1.5", "0.9", "0.48", 0, 9, 0, "74HC74"),
        text4(3, "0.1", "4.5", "2.1", "0.3", 0, 13, 0, "U2"),
        text4(3, "0.08", "4.5", "0.9", "0.56", 180, 9, 0, "74HC132"),
        text4(1, "0.07", "3.2", "4.4", "0.21", 90, 8, 0, "CLK"),
        text4(1, "0.07", "6.1", "5", "0.35", 270, 12, 0, "RESET"),
        text4(1, "0.07", "7.25", "3.3", "0.28", 0, 3, 0, "DATA"),
        text4(1, "0.07", "8", "6.5", "0.28", 180, 11, 0, "BUS0"),
        text4(1, "0.07", "9", "6.5", "0.28", 0, 7, 0, "BUS1"),
        text4(1, "0.07", "9", "7", "0.28", 90, 14, 0, "BUS2"),
        text4(1, "0.07", "9", "7.5", "0.28", 0, 15, 0, "BUS3"),
        text4(1, "0.07", "9.5", "5.5", "0.28", 270, 10, 0, "BUS4"),
        text4(2, "0.1", "5", "4", "0.4", 0, 5, 0, "D[0..7]"),
        text4(12, "0.1", "0.5", "7.5", "3.2", 0, 0, 0, "NOTE:  ALL RESISTORS 1/4 W"),
        text4(12, "0.1", "0.5", "7.3", "2.8", 0, 0, 0, "      UNLESS NOTED"),
        text4(11, "0.15", "7.75", "1", "2.4", 0, 0, 1, "CONTROLLER BOARD"),
        text4(11, "0.1", "7.75", "0.75", "1.5", 0, 0, 0, "DRAWN  BY  M.R."),
        text4(11, "0.1", "7.75", "0.5", "1", 0, 0, 0, "SHEET 1/2"),
        text4(11, "0.1", "10.5", "0.5", "0.5", 0, 2, 0, "REV B"),
        text4(11, "0.1", "10.5", "0.75", "0.6", 0, 6, 0, "DATE"),
        text4(11, "0.1", "10.5", "1", "0.8", 0, 10, 0, "  APPROVED  "),
        text4(11, "0.1", "10.5", "1.25", "0.8", 0, 14, 0, "CHECKED"),
        text4(9, "0.06", "2.5", "-0.25", "0.18", 0, 1, 0, "GND"),
        text4(9, "0.06", "2.5", "-0.125", "0.18", 0, 9, 0, "GND"),
        text4(10, "0.06", "2.5", "8.25", "0.18", 180, 5, 0, "VCC"),
        text4(8, "0.1", "7.6", "1.1", "1", 90, 0, 0, None),
        text4(12, "0.05", "0.5", "6", "0.4", 45, 3, 0, "ROTATED"),
        text4(12, "0.05", "0.5", "5.5", "0.4", 300, 0, 0, "ANGLE300"),
        text4(12, "0.05", "0.5", "5", "0.4", 180.5, 0, 0, "ANGLE180.5"),
        text4(12, "0.05", "0.5", "4.5", "0.4", 0, 7, 0, "X"),
        "4 12 0.05 0.5 4 0.4 0 0 0",
        "4 12 0.05 0.5 3.5 0.4 0 12 0 WITH    SPACES    ",
    ]
    L.append("")

    # record 6
    L += [
        "6 3 0 1 1 1 1.5 BODY U1",
        "6 3 90 4 1 1 1 BODY U2",
        "6 3 180 6 3 0.25 0.25",
        "6 3 270 7 3 0.25 0.25",
        "6 11 0 0.25 0.25 10.5 8 FRAME",
        "6 11 0 0.000 0.000 0.000 0.000",
        "6 12 45 -0.5 -0.25 0.5 0.5  LABEL",
    ]
    L.append("")
    return L


# ---------------------------------------------------------------------------
# 3.x and other files


def sample36():
    return [
        H36,
        "-gz0,0",
        "-gd100",
        "-gm3,2,3,1",
        "-nc0,0,0,0,0,39",
        "-gr3,35,5,10,25",
        "-t60",
        "-y1:4,3,Top Copper",
        "-y2:1,2,Bottom Copper",
        "-y7:7,1,Top Silk",
        "",
        "0 1 1000,500,2000,500,2000,1500",
        "0 2 25,1250,500,3100,500",
        "1 1 25,500,500,1500,500,1500,1250",
        "2 1 1500 1500 1750 1500 0 64 2 64",
        "3 0 32 1000 2000 250 500 125 5",
        "3 62 62 500 500 60 80 32 1 U1-1",
        "4 7 100 500 250 500 0 U1",
        "4 1 125 750 1937 500 16384 AB CD",
        "6 2 32 1000 2000 500 250 7",
        "-l10",
    ]


def gia35():
    return [
        H35,
        "-gz0,0",
        "-gd100",
        "-y1:1,1,Signals",
        "-y3:14,3,Symbols",
        "1 3 10,1000,1000,2000,1000,2000,2500,1000,2500",
        "0 1 10,1500,500,1500,1000",
        "4 3 100 1500 2500 300 0 U1",
        "3 0 800 1000 1250 50 100 0 7 U1-1",
    ]


def note():
    return [
        "Note on the sample files",
        "",
        "BOARD40.PCB   a board in the 4.0 format",
        "SCHEMA40.SCH  a schematic in the 4.0 format",
        "SAMPLE36.PCB  a board in the 3.6 format",
        "GIA35.SCH     a schematic already in the 3.5 format",
        "NOTE.TXT      this note: not a data file",
    ]


if __name__ == "__main__":
    write("BOARD40.PCB", board40())
    write("SCHEMA40.SCH", schema40())
    write("SAMPLE36.PCB", sample36())
    write("GIA35.SCH", gia35())
    write("NOTE.TXT", note())
