#!/usr/bin/env bash
# The real tavrel-converter.exe under Wine on a virtual screen, driven as a
# user would with xdotool: the window found by its caption, its client area
# at 96 DPI, a click on a 4.0 file writes the temporary file, Alt+C saves the
# proposed name, Alt+E ends the program.  Runs on a screen (on_screen.sh).
#   window_e2e.sh EXE SAMPLES GOLDEN [SCREENSHOT.png]
set -euo pipefail
exe=$1 samples=$2 golden=$3 shot=${4:-}
caption='Tavrel Converter 1.1 (21.11.2003)'
pattern='^Tavrel Converter 1\.1 \(21\.11\.2003\)$'
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FALLITO: $*" >&2; exit 1; }
cp "$samples/BOARD40.PCB" "$work/"
tempdir=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
temporary=$(winepath -u "$tempdir\\PEMBLIX.TMP" 2>/dev/null)
rm -f "$temporary"

cd "$work"
start=$(date +%s%N)
wine "$exe" &
pid=$!
# Looked for every 10 ms (xdotool's --sync looks every half second).
wid=
for _ in $(seq 6000); do
  wid=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -1) && [ -n "$wid" ] && break
  sleep 0.01
done
[ -n "$wid" ] || fail "nessuna finestra \"$caption\""
echo "finestra dopo $((($(date +%s%N) - start) / 1000000)) ms"
size=$(xwininfo -id "$wid" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
[ "$size" = 468x373 ] || fail "area client $size, attesa 468x373"
xdotool windowfocus --sync "$wid" 2>/dev/null || true
sleep 0.5

# The file list's first line: SourceFileList at 360,2160 twips.
xdotool mousemove --window "$wid" 64 154 click 1
for _ in $(seq 50); do [ -s "$temporary" ] && break; sleep 0.2; done
[ -s "$temporary" ] || fail "il clic su BOARD40.PCB non ha scritto $temporary"
sleep 0.5
[ -n "$shot" ] && xwd -silent -id "$wid" | /usr/bin/convert xwd:- "png24:$shot"

xdotool key alt+c
for _ in $(seq 50); do [ -f 3_BOARD4.PCB ] && break; sleep 0.2; done
[ -f 3_BOARD4.PCB ] || fail "Alt+C non ha salvato 3_BOARD4.PCB"
cmp 3_BOARD4.PCB "$golden/BOARD40.PCB.out" || fail "3_BOARD4.PCB diverso dal risultato di Linux"
[ ! -e "$temporary" ] || fail "il file temporaneo è rimasto dopo il salvataggio"

xdotool key alt+e
for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
! kill -0 "$pid" 2>/dev/null || fail "Alt+E non ha chiuso il programma"
echo "OK"
