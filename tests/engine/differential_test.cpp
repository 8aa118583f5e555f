// The line transformer against its reference, the transformer as it was
// before it wrote straight into the output buffer: the same text, or the
// same run-time error, for every line of the samples and for many random
// lines, under both decimal separators.
#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "internal.h"
#include "reference_transform.h"
#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

// The result, or "error N", and the line as the call left it.
std::string Outcome(std::string (*transform)(std::string&, const NumberSettings&), std::string line,
                    const NumberSettings& numbers) {
  try {
    std::string result = transform(line, numbers);
    return result + "\n(" + line + ")";
  } catch (const RuntimeError& error) {
    return "error " + std::to_string(error.number());
  }
}

// Reports the first few lines where the two differ; true when none does.
bool SameAsReference(const std::vector<std::string>& lines) {
  int reported = 0;
  for (const std::string& line : lines) {
    for (const NumberSettings& numbers : {kPoint, kComma}) {
      const std::string actual = Outcome(&Trasforma, line, numbers);
      const std::string expected = Outcome(&reference::Trasforma, line, numbers);
      if (actual == expected) continue;
      ADD_FAILURE() << "line \"" << line << "\" (decimal " << numbers.decimal << ")\n  got      "
                    << actual << "\n  expected " << expected;
      if (++reported == 10) return false;
    }
  }
  return reported == 0;
}

TEST(Differential, EveryLineOfTheSamples) {
  std::vector<std::string> lines;
  for (const char* name : {"BOARD40.PCB", "SCHEMA40.SCH", "SAMPLE36.PCB", "GIA35.SCH"}) {
    std::ifstream in(std::string(TAVREL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  ASSERT_GT(lines.size(), 50u);
  EXPECT_TRUE(SameAsReference(lines));
}

// Random lines built from the pieces the transformer looks at: record types,
// option keys and layer prefixes, then fields of numbers in every form the
// number reader knows (and some it does not), joined by blanks, runs of
// blanks and commas.
class LineMaker {
 public:
  explicit LineMaker(unsigned seed) : random_(seed) {}

  std::string Line() {
    static const char* const kStarts[] = {
        "0 ",   "0 12  ", "1 ",   "1 3 ",  "2 ",     "2 5 ",    "3 ",  "3 ",  "4 ",
        "4 1 ", "6 ",     "6 2 ", "S ",    "C",      "-gx",     "-dp", "-gp", "-iv",
        "-ip",  "-gz",    "-y",   "-y255", "-y1:00", "-y12:01", "5 ",  "",    "-m"};
    std::string line = kStarts[Below(std::size(kStarts))];
    const int fields = static_cast<int>(Below(Chance(20) ? 60 : 14));
    for (int i = 0; i < fields; ++i) {
      if (i > 0 || Chance(3)) line += Separator();
      line += Value();
    }
    if (Chance(6)) line += ' ';
    if (Chance(8)) {  // a layer line's fixed column and name
      line.resize(std::max<std::size_t>(line.size(), 24), '0');
      line[21] = Chance(2) ? ',' : 'x';
      line += ",Top Copper";
    }
    if (Chance(10) && !line.empty()) line[Below(line.size())] = "\t,. -e0"[Below(7)];
    return line;
  }

 private:
  std::size_t Below(std::size_t n) { return random_() % n; }
  bool Chance(int one_in) { return Below(static_cast<std::size_t>(one_in)) == 0; }

  std::string Separator() {
    static const char* const kSeparators[] = {" ", " ", " ", " ", ",", "  ", "   ", ", ", ",,"};
    return kSeparators[Below(std::size(kSeparators))];
  }

  std::string Digits(std::size_t count) {
    std::string digits;
    for (std::size_t i = 0; i < count; ++i)
      digits += static_cast<char>('0' + Below(10));
    return digits;
  }

  std::string Value() {
    static const char* const kFixed[] = {"0",
                                         "90",
                                         "270",
                                         "180",
                                         "0.000",
                                         "-0",
                                         "360",
                                         "-1",
                                         "1e3",
                                         "2.5E-1",
                                         "1e308",
                                         "1e400",
                                         "-1e400",
                                         "1e-400",
                                         "abc",
                                         "12abc",
                                         "0,5",
                                         "1.2.3",
                                         "+5",
                                         ".",
                                         "-",
                                         "",
                                         "0.03332",
                                         "15",
                                         "7",
                                         "0.0005",
                                         "-0.0005",
                                         "9e14",
                                         "1.7976931348623157e308"};
    switch (Below(6)) {
      case 0:
        return kFixed[Below(std::size(kFixed))];
      case 1:  // a whole number, sometimes long
        return (Chance(4) ? "-" : "") + Digits(1 + Below(Chance(8) ? 20 : 4));
      default: {  // a decimal with up to 8 places, sometimes long
        std::string value = Chance(5) ? "-" : "";
        value += Digits(Below(Chance(10) ? 16 : 3));
        value += '.';
        value += Digits(Below(Chance(10) ? 20 : 6));
        return value;
      }
    }
  }

  std::mt19937 random_;
};

TEST(Differential, RandomLines) {
  LineMaker maker(2026);
  std::vector<std::string> lines;
  for (int i = 0; i < 200000; ++i)
    lines.push_back(maker.Line());
  EXPECT_TRUE(SameAsReference(lines));
}

// Values of every length around eight bytes, alone, first, in the middle
// and last in lists of both separators, and in the fields of records 2 and 6.
TEST(Differential, ValueListEdges) {
  std::istringstream values(
      "0 7 000 0. . .5 5. 0.0004 00.0001 0.000 0.0010 1.2345 12.3456 99999.9 12345. 123456. "
      "1234567 12345678 123456.789 0.0000001 1.23456 000012 00001.25 0123.4560 9999999.9 "
      "100000 1234567890123.5 -1.25 +1.5 1e3 1.5e2 2.5E-1 -0.0005 1.5x 1.2.3");
  std::vector<std::string> lines;
  for (std::string value; values >> value;) {
    for (const std::string sep : {",", " "}) {
      for (const std::string& list : {value, value + sep + "1.5", "1.5" + sep + value,
                                      "1.5" + sep + value + sep + "2", value + sep + value}) {
        lines.push_back("0 12  " + list);
        lines.push_back("1 3 " + list);
      }
    }
    lines.push_back("2 5 " + value + " 1 " + value + " 2 90 90 1 0");
    lines.push_back("6 1 0 " + value + " " + value + " 1 " + value + " X");
  }
  EXPECT_TRUE(SameAsReference(lines));
}

// Pads and texts of the usual shape, where the pad size and the anchor shift
// compute new values: random decimals of up to 7 places, every anchor code,
// texts' tails of every kind.
TEST(Differential, RandomPadsAndTexts) {
  std::mt19937 random(35);
  auto decimal = [&] {
    std::string text = random() % 6 == 0 ? "-" : "";
    text += std::to_string(random() % (random() % 4 == 0 ? 100000 : 10));
    text += '.';
    for (unsigned places = random() % 8; places > 0; --places)
      text += static_cast<char>('0' + random() % 10);
    return text;
  };
  // Texts' and pads' tails of 1 to 17 bytes, some ending in blanks or empty.
  const std::string tails[] = {
      "NAME", "N", "NAME AND 14 BY", "NAME AND MORE 16", "NAME AND MORE 17.", "TWO  ", "", " "};
  std::vector<std::string> lines;
  for (int i = 0; i < 50000; ++i) {
    lines.push_back("4 1 " + decimal() + " " + decimal() + " " + decimal() + " " + decimal() +
                    " 90 " + std::to_string(random() % 17) + " 0 " +
                    tails[random() % std::size(tails)]);
    lines.push_back("3 " + decimal() + " " + (random() % 2 == 0 ? "0" : decimal()) + " " +
                    decimal() + " " + decimal() + " " + decimal() + " " + decimal() + " " +
                    decimal() + " " + std::to_string(random() % 4 * 90) + " " +
                    std::to_string(random() % 17) + " " + tails[random() % std::size(tails)]);
  }
  EXPECT_TRUE(SameAsReference(lines));
}

// The same as the reference with each set of value scalers this processor
// has: whole lists in windows (with AVX2 and without), single tokens in
// sixteen bytes, and the plain way; the fields of numeric records split from
// masks of their blanks with some of them, by the byte loop with others.
bool SameOnEveryScaler(const std::vector<std::string>& lines) {
  const unsigned before = detail::UseValueScalers(detail::kScaleWindows | detail::kScaleBlocks);
#if defined(__x86_64__)
  EXPECT_EQ(detail::UseValueScalers(0), detail::kScaleWindows | detail::kScaleBlocks)
      << "every x86-64 processor we run on has SSSE3 and POPCNT";
#endif
  bool same = true;
  for (const unsigned scalers :
       {detail::kScaleWindows | detail::kScaleWide | detail::kScaleBlocks | detail::kSplitFields,
        detail::kScaleWindows | detail::kScaleBlocks, detail::kScaleBlocks | detail::kSplitFields,
        0u}) {
    SCOPED_TRACE("value scalers " + std::to_string(scalers));
    detail::UseValueScalers(scalers);
    same = SameAsReference(lines) && same;
  }
  detail::UseValueScalers(before);
  return same;
}

// Values of 0 to 12 characters with the point in every place or none, with
// each sign of `signs` ("+" only one time in four) and `fills` drawings of
// digits, mostly 0 and 9 (zeros, leading zeros, carries).
std::vector<std::string> ShortValues(std::mt19937& random, std::initializer_list<const char*> signs,
                                     int fills) {
  auto digit = [&] {
    const unsigned roll = random() % 4;
    return roll == 0 ? '0' : roll == 1 ? '9' : static_cast<char>('0' + random() % 10);
  };
  std::vector<std::string> values;
  for (std::size_t length = 0; length <= 12; ++length) {
    for (std::size_t point = 0; point <= length; ++point) {  // at `length`: none
      for (const std::string sign : signs) {
        if (sign == "+" && random() % 4 != 0) continue;
        for (int fill = 0; fill < fills; ++fill) {
          std::string value = sign;
          for (std::size_t i = sign.size(); i < length; ++i)
            value += i == point ? '.' : digit();
          values.push_back(value);
        }
      }
    }
  }
  return values;
}

// Value lists of every record family and option that scales them, on every
// way of scaling (see SameOnEveryScaler): values of 0
// to 12 characters with the point in every place or none, a minus or not,
// digits drawn mostly from 0 and 9 (zeros, leading zeros, carries), in every
// position of lists of both separators, short and long ones.
TEST(Differential, ValueListsOnBothWays) {
  std::mt19937 random(1000);
  std::vector<std::string> values = ShortValues(random, {"", "-"}, 3);
  for (const char* value : {"0.5", "0.06", "-0.5", "-0.06", "5", ".5", "0.0005", "-0.0005",
                            "-.9999", "9.9999", "-9.9999", "-999999999999.9999", "999999999999.999",
                            "0000000000000", "-0", "-0.", "1.", "12.3456"}) {
    values.push_back(value);
  }
  const std::string filler[] = {"1.25", "0.5", "-12.0625", "7"};
  std::vector<std::string> lists;
  for (const std::string& value : values) {
    for (const std::string sep : {",", " "}) {
      for (std::size_t count = 1; count <= 4; ++count) {
        const std::size_t at = random() % count;
        std::string list;
        for (std::size_t i = 0; i < count; ++i) {
          if (i > 0) list += sep;
          list += i == at ? value : filler[random() % std::size(filler)];
        }
        lists.push_back(list);
      }
    }
  }
  std::vector<std::string> lines;
  auto field = [&](const std::string& list) {  // a list's values one by one, none empty
    std::vector<std::string> parts;
    std::istringstream in(list);
    for (std::string value;
         std::getline(in, value, list.find(',') != std::string::npos ? ',' : ' ');)
      parts.push_back(value.empty() ? "1" : value);
    while (parts.size() < 4)
      parts.push_back("2.5");
    return parts;
  };
  for (const std::string& list : lists) {
    lines.push_back("0 12  " + list);
    lines.push_back("1 3 " + list);
    lines.push_back("-gx" + list);
    lines.push_back("-dp" + list);
    const std::vector<std::string> v = field(list);
    lines.push_back("2 5 " + v[0] + " " + v[1] + " " + v[2] + " " + v[3] + " 90 90 1 0");
    lines.push_back("3 " + v[0] + " " + v[1] + " " + v[2] + " " + v[3] + " " + v[1] + " " + v[0] +
                    " " + v[2] + " 90 1 U1");
    lines.push_back("4 1 " + v[0] + " " + v[1] + " " + v[2] + " " + v[3] + " 90 5 0 NAME");
    lines.push_back("6 1 0 " + v[0] + " " + v[1] + " 1 " + v[2] + " X");
  }
  EXPECT_TRUE(SameOnEveryScaler(lines));
}

// Whole value lists as the window scaler sees them: up to 55 tokens (past
// the 50 allowed, across several windows), each drawn from the table of
// shapes below with random digits, joined by one separator, sometimes by
// the other one too, doubled, or with one at the start or the end.
TEST(Differential, GeneratedValueLists) {
  // In a shape, 'd' is any digit, 'z' a 0, 'n' a digit other than 0; the
  // rest stands for itself.
  static const char* const kShapes[] = {
      "d.ddd",   "d.dddd", "d.d",     "d.dd", "0.n",         "0.0n",       "0.00n",
      "0.000n",  "0.0000", "0",       "00",   "-0",          "-0.000",     "-d.ddd",
      "-d.dddd", "-0.0n",  "-0.000n", "ddd",  "dddd",        "ddddd",      "dddddddd",
      "z.ddd",   "zzd.dd", ".ddd",    "d.",   "-.d",         ".",          "-",
      "-.",      "d.d.d",  "dd-d",    "+d.d", "d.ddddddddd", "ddddddd.dd", "dddd.dddd",
      "d.ddde3", "d\td",   "",
  };
  std::mt19937 random(64);
  auto token = [&] {
    std::string text;
    for (const char* c = kShapes[random() % std::size(kShapes)]; *c != '\0'; ++c) {
      if (*c == 'd') {
        text += static_cast<char>('0' + random() % 10);
      } else if (*c == 'n') {
        text += static_cast<char>('1' + random() % 9);
      } else if (*c == 'z') {
        text += '0';
      } else if (*c == '\\') {
        text += *++c == 't' ? '\t' : *c;
      } else {
        text += *c;
      }
    }
    return text;
  };
  std::vector<std::string> lines;
  for (int i = 0; i < 6000; ++i) {
    const std::size_t count = 1 + random() % (random() % 8 == 0 ? 55 : 14);
    const char separator = random() % 2 == 0 ? ',' : ' ';
    std::string list = random() % 20 == 0 ? std::string(1, separator) : "";
    for (std::size_t n = 0; n < count; ++n) {
      if (n > 0) {
        const unsigned roll = random() % 40;
        list += roll == 0 ? (separator == ',' ? ' ' : ',') : separator;
        if (roll == 1) list += separator;
      }
      list += token();
    }
    if (random() % 20 == 0) list += separator;
    lines.push_back("0 12  " + list);
    lines.push_back("1 3 " + list);
    lines.push_back("-gx" + list);
  }
  EXPECT_TRUE(SameOnEveryScaler(lines));
}

// Values for the numbers the records compute with rather than scale: of 0 to
// 12 characters with the point in every place or none, a sign or not, digits
// drawn mostly from 0 and 9; then the forms that are read the full way
// (exponents, too many digits or places, other characters, bytes from 0x80
// up last or before a digit) and the values the records test for.
std::vector<std::string> RecordNumbers(unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::string> values = ShortValues(random, {"", "-", "+"}, 2);
  for (const char* value : {"0",
                            "-0",
                            "0.000000",
                            "-0.0",
                            ".",
                            "-",
                            "-.",
                            "+",
                            "90",
                            "270",
                            "90.000",
                            "270.000000",
                            "-90",
                            "180",
                            "180.000001",
                            "179.999999",
                            "360",
                            "360.000001",
                            "359.999999",
                            "15",
                            "15.0",
                            "16",
                            "3.000001",
                            "0.25",
                            "0.5",
                            "-0.25",
                            "0.03332",
                            "-0.03332",
                            "0.0000001",
                            "12345678901",
                            "123456789012",
                            "99999999999",
                            "-99999.999999",
                            "99999.99",
                            "0.1234567",
                            "1e3",
                            "2.5E-1",
                            "-1.5e2",
                            "1e15",
                            "1e308",
                            "-1e308",
                            "1.7976931348623157e308",
                            "1e400",
                            "-1e400",
                            "1e-400",
                            "12abc",
                            "0,5",
                            "1.2.3",
                            "1 2",
                            "\t5",
                            "5\t",
                            "0x10",
                            "--1",
                            "+-1",
                            "0.000001",
                            "-0.000006",
                            "0.000007",
                            "1\3519",
                            "\3779.5",
                            "5.\2129",
                            "12\351"}) {
    values.push_back(value);
  }
  return values;
}

// Records 2, 3, 4 and 6 with every such value in each field they compute
// with: the angles (three bases), the times-256 field, the pad size (taken
// 16 times when field 3 is 0) and rotation, the anchor code, and the text's
// position and sizes under every anchor code, against the reference with
// both decimal separators.
TEST(Differential, RecordNumbers) {
  const std::vector<std::string> values = RecordNumbers(406);
  std::mt19937 random(12);
  auto any = [&] { return values[random() % values.size()]; };
  const std::string turns[] = {"0", "90", "270", "180", "90.0"};
  std::vector<std::string> lines;
  for (const std::string& v : values) {
    lines.push_back("2 5 1 2 0.5 0.25 " + v + " " + v + " " + v + " " + v);
    lines.push_back("2 5 1 2 0.5 0.25 90 " + any() + " " + v + " " + any() + " X");
    lines.push_back("6 1 " + v + " 1 2 0.5 0.25 X");
    lines.push_back("6 1 " + v);
    lines.push_back("4 1 0.1 1 2 0.5 " + v + " 5 0 NAME");
    lines.push_back("4 1 0.1 1 2 0.5 90 " + v + " 0 NAME");
    lines.push_back("3 " + v + " 0 1 2 0.06 0.08 0.032 90 1 U1");
    lines.push_back("3 " + v + " " + v + " 1 2 0.06 0.08 0.032 0 1 U1");
    lines.push_back("3 0.062 0 1 2 0.06 0.08 0.032 " + v + " 1 U1-1");
    for (const std::string& turn : turns) {
      lines.push_back("3 " + any() + " " + any() + " " + v + " " + any() + " " + v + " " + any() +
                      " " + any() + " " + turn + " 1 U1");
    }
    for (int code = 1; code <= 15; ++code) {
      const std::string codes[] = {std::to_string(code), std::to_string(code) + ".0"};
      lines.push_back("4 1 " + any() + " " + v + " " + any() + " " + any() + " 90 " +
                      codes[random() % 2] + " 0 NAME");
      lines.push_back("4 1 " + v + " " + any() + " " + v + " " + v + " 0 " + codes[0] + " 0 N V");
      lines.push_back("4 1 " + any() + " " + any() + " " + v + " " + v + " 270 " + codes[0] + " 0");
    }
    // Each value that a record scales where its neighbours are short
    // decimals, some of them at the line's end.
    lines.push_back("2 5 " + any() + " " + v + " " + any() + " " + v + " 45 30.5 1 135");
    lines.push_back("6 1 359 " + v + " " + any() + " " + any() + " " + v);
    lines.push_back("3 2 1 " + any() + " " + v + " " + any() + " " + v + " " + v);
    lines.push_back("4 1 " + v + " " + any() + " " + any() + " " + v + " 0 " + any());
  }
  // Shifts of short decimals that cancel, or nearly.
  for (const char* pair : {"0.25 0.5", "0.3 0.6", "1.1 2.2", "-0.03332 1", "0.1 0.2",
                           "1.0001 2.0002", "0.0001 0.0001", "99999.999999 199999.999998"}) {
    const std::string p = pair;
    const std::string a = p.substr(0, p.find(' '));
    const std::string b = p.substr(p.find(' ') + 1);
    for (int code : {1, 2, 3, 4, 8, 12, 15}) {
      lines.push_back("4 1 " + b + " " + a + " " + a + " " + b + " 0 " + std::to_string(code) +
                      " 0");
    }
  }
  // Commas in the fields of a list, a missing field, fields that begin with
  // a blank (the second of two), which separates the values of a list.
  for (const char* line : {"4 1 0.1,2 1 2 0.5 0 5 0",
                           "4 1 0.1 1 2 0.5,3 0 5 0",
                           "4 1 0.1 1 2",
                           "4 1 0.1 1,5 2 0.5 0 7 0",
                           "3 2 0 1 2 0.5,1 0.25 0.125 90 5",
                           "3 2 0 1 2 0.5 0.25 0.125,7 270 5",
                           "3 2 0 1 2 0.5 0.25",
                           "3 2 0 1 2 0.5",
                           "3 2 0 1 2  0.25 0.125 90 5",
                           "3 2 0 1 2 0.5  0.125 90 5",
                           "3 2 0 1 2  0 0.25 0.125 90 5",
                           "3 2 0 1 2 0.5  -0 0.125 270 5",
                           "3 2 0 1  0.000 0.5 0.25 0.125 90 5",
                           "3 2 0 1 2 0.5 0.25  0 90 5",
                           "3 2 0 1 2 0.5 0.25  0.125 90 5",
                           "4 1  0 1 2 0.5 0 5",
                           "4 1 0.1 1  0 0.5 0 5",
                           "4 1 0.1 1 2  0.5 0 6",
                           "4 1 0.1 1 2  -0 0 7",
                           "4 1 0.1 1 2 0.5 0  7 0"}) {
    lines.push_back(line);
  }
  EXPECT_TRUE(SameAsReference(lines));
}

// The angles and the times-256 field on a fine grid: every thousandth from
// -1 to 361 on base 32768 (a half turn either way), from -1 to 91 on bases
// 256 and 128 and times 256 (the same computation all round); and on all of
// them a millionth either side of each angle whose units come out whole on
// base 256 and 128 (multiples of 45/32) and on 32768 (of 45/8192, cut to
// six places).
TEST(Differential, AnglesOnAFineGrid) {
  auto text = [](std::int64_t millionths) {
    const bool negative = millionths < 0;
    const std::int64_t size = negative ? -millionths : millionths;
    return (negative ? "-" : "") + std::to_string(size / 1000000) + "." +
           std::to_string(1000000 + size % 1000000).substr(1);
  };
  std::vector<std::string> lines;
  auto add = [&](std::int64_t millionths, bool every_base) {
    const std::string angle = text(millionths);
    lines.push_back("4 1 1 1 1 1 " + angle + " 0 0");
    if (!every_base) return;
    lines.push_back("2 5 1 1 1 1 " + angle + " 0 " + angle + " " + angle);
    lines.push_back("6 1 " + angle);
  };
  for (std::int64_t thousandths = -1000; thousandths <= 361000; ++thousandths)
    add(thousandths * 1000, thousandths <= 91000);
  for (std::int64_t n = -10; n * 45 <= 360 * 32; ++n) {
    for (int step : {-1, 0, 1})
      add(n * 45 * 1000000 / 32 + step, true);
  }
  for (std::int64_t n = 0; n * 45 <= 360 * 8192; n += 7) {
    for (int step : {-1, 0, 1})
      add(n * 45 * 1000000 / 8192 + step, true);
  }
  int reported = 0;
  for (const std::string& line : lines) {
    const std::string actual = Outcome(&Trasforma, line, kPoint);
    const std::string expected = Outcome(&reference::Trasforma, line, kPoint);
    if (actual == expected) continue;
    ADD_FAILURE() << "line \"" << line << "\"\n  got      " << actual << "\n  expected "
                  << expected;
    if (++reported == 10) break;
  }
}

// Numeric records as the field split sees them, on every way (see
// SameOnEveryScaler): 0 to 101 fields of 0 to 19 characters, so that fields
// and blanks cross every 16- and 64-byte boundary, some blanks doubled or
// tripled, blanks at the start and the end, and the values in their usual
// form.
TEST(Differential, GeneratedFields) {
  std::mt19937 random(16);
  auto field = [&]() -> std::string {
    switch (random() % 4) {
      case 0:
        return std::string(random() % 20, static_cast<char>('0' + random() % 10));
      case 1:
        return std::to_string(random() % 1000) + "." + std::to_string(random() % 10000);
      case 2:
        return "-" + std::to_string(random() % 100) + ".5";
      default:
        return random() % 2 == 0 ? "90" : "A,B";
    }
  };
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) {
    // Every fourth line a pad turned a quarter (field 9), whose fields 4 to
    // 8 are scaled as they stand unless they split apart elsewhere.
    const bool turned = i % 4 == 1;
    const int fields = turned ? 9 + static_cast<int>(random() % 4)
                              : static_cast<int>(random() % (i % 10 == 0 ? 102 : 16));
    std::string line(1, turned ? '3' : "012346"[random() % 6]);
    if (random() % 10 == 0) line.insert(0, std::string(1 + random() % 2, ' '));
    for (int n = 1; n < fields; ++n) {
      const unsigned roll = random() % 12;
      line += roll == 0 ? "  " : roll == 1 ? "   " : " ";
      line += turned && n == 8 ? (random() % 2 == 0 ? "90" : "270") : field();
    }
    if (random() % 8 == 0) line += std::string(1 + random() % 3, ' ');
    lines.push_back(line);
  }
  EXPECT_TRUE(SameOnEveryScaler(lines));
}

// Value lists of every length up to 140 bytes made of tokens of the common
// form (digits, maybe a point and decimals, up to nine bytes), which the
// window scaler takes many at a time: so the lists end at and near every
// 16-, 32- and 64-byte boundary, in one window or several; in a third of
// them one token of another form (a sign, a value of 0 or below a
// thousandth, an exponent, an empty token ...) in a random place, which
// leaves that window to the slower way.  The last token is cut to fit,
// which may leave a point or a separator last.  Each list is also scaled
// alone in memory of its own size, where AddressSanitizer reports any load
// before or past it, on every way, as the plain way scales it.
TEST(Differential, CommonValueListsOfEveryLength) {
  std::mt19937 random(72);
  auto digits = [&](std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
      text += static_cast<char>('0' + random() % 10);
    return text;
  };
  auto common = [&] {
    std::string text = random() % 4 == 0 ? "0" : std::to_string(1 + random() % 9);
    text += digits(random() % 4);
    if (random() % 5 != 0) text += "." + digits(random() % 6);
    return text;
  };
  static const char* const kOther[] = {"0",         "0.000",    "0.0004", "-1.5", "-0.0005",
                                       "+2",        "1.23e3",   "",       ".",    "1..2",
                                       "123456789", "00000.01", "1.2x"};
  std::vector<std::string> lines;
  std::vector<std::string> lists;
  for (std::size_t length = 1; length <= 140; ++length) {
    for (int draw = 0; draw < 4; ++draw) {
      const char separator = draw % 2 == 0 ? ',' : ' ';
      std::vector<std::string> tokens;
      std::size_t size = 0;
      while (size < length) {
        tokens.push_back(common());
        size += tokens.back().size() + 1;
      }
      if (random() % 3 == 0)
        tokens[random() % tokens.size()] = kOther[random() % std::size(kOther)];
      std::string list;
      for (const std::string& token : tokens)
        list += (list.empty() ? "" : std::string(1, separator)) + token;
      list.resize(std::min(list.size(), length));
      lines.push_back("0 12  " + list);
      lines.push_back("1 3 " + list);
      lines.push_back("-gx" + list);
      lists.push_back(list);
    }
  }
  EXPECT_TRUE(SameOnEveryScaler(lines));
  // The scaled list, or "error N".
  auto scaled = [](const std::string& list, bool decimal_point) {
    const std::unique_ptr<char[]> alone = std::make_unique_for_overwrite<char[]>(list.size());
    std::copy(list.begin(), list.end(), alone.get());
    std::string out(detail::LineBound(list.size()), '\0');
    try {
      out.resize(static_cast<std::size_t>(
          detail::WriteScaled({alone.get(), list.size()}, decimal_point, out.data()) - out.data()));
      return out;
    } catch (const RuntimeError& error) {
      return "error " + std::to_string(error.number());
    }
  };
  const unsigned before = detail::UseValueScalers(0);
  std::vector<std::string> plain;
  for (const std::string& list : lists) {
    plain.push_back(scaled(list, true));
    plain.push_back(scaled(list, false));
  }
  for (const unsigned scalers : {detail::kScaleWindows | detail::kScaleWide | detail::kScaleBlocks,
                                 detail::kScaleWindows | detail::kScaleBlocks}) {
    detail::UseValueScalers(scalers);
    int reported = 0;
    for (std::size_t i = 0; i < lists.size() && reported < 10; ++i) {
      for (const bool decimal_point : {true, false}) {
        const std::string& expected = plain[2 * i + (decimal_point ? 0 : 1)];
        const std::string actual = scaled(lists[i], decimal_point);
        if (actual == expected) continue;
        ADD_FAILURE() << "list \"" << lists[i] << "\" (scalers " << scalers << ", decimal point "
                      << decimal_point << ")\n  got      " << actual << "\n  expected " << expected;
        ++reported;
      }
    }
  }
  detail::UseValueScalers(before);
}

// The fixed-point reader against a plain model of its form (a sign, digits,
// a point and digits, each optional; at most 11 digits, 6 after the point)
// on every text of up to five characters from digits, points, signs and
// other bytes, and on random longer ones; what it takes, ReadNumber reads as
// the same value.
TEST(Differential, FixedDecimalsOfEveryShortText) {
  auto model = [](const std::string& text, detail::FixedDecimal& number) {
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::int64_t value = 0;
    int digits = 0;
    int fraction = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
      value = value * 10 + (text[i] - '0');
    if (i < text.size() && text[i] == '.') {
      for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits, ++fraction)
        value = value * 10 + (text[i] - '0');
    }
    if (i != text.size() || digits > detail::kFixedDigits || fraction > detail::kFixedPlaces) {
      return false;
    }
    number.value = negative ? -value : value;
    number.fraction = fraction;
    return true;
  };
  std::vector<std::string> texts{""};
  const std::string bytes = "05.9-+ e";
  for (std::size_t from = 0; from < texts.size() && texts[from].size() < 5; ++from) {
    for (char c : bytes)
      texts.push_back(texts[from] + c);
  }
  std::mt19937 random(17);
  for (int i = 0; i < 20000; ++i) {
    std::string text(6 + random() % 9, '0');
    for (char& c : text)
      c = random() % 4 == 0 ? bytes[random() % bytes.size()]
                            : static_cast<char>('0' + random() % 10);
    texts.push_back(text);
  }
  int reported = 0;
  for (const std::string& text : texts) {
    // The text alone in its memory, so that a read past it is caught.
    const std::unique_ptr<char[]> alone = std::make_unique_for_overwrite<char[]>(text.size());
    if (!text.empty()) std::memcpy(alone.get(), text.data(), text.size());
    detail::FixedDecimal got;
    detail::FixedDecimal expected;
    const bool taken = detail::ReadFixed({alone.get(), text.size()}, got);
    const bool form = model(text, expected);
    const bool same =
        taken == form &&
        (!taken || (got.value == expected.value && got.fraction == expected.fraction));
    double scale = 1;
    for (int k = 0; k < got.fraction; ++k)
      scale *= 10;
    const bool read = !taken || ReadNumber(text) == static_cast<double>(got.value) / scale;
    if (same && read) continue;
    ADD_FAILURE() << '"' << text << "\": " << (taken ? "taken " : "refused ") << got.value << "/"
                  << got.fraction;
    if (++reported == 10) break;
  }
}

}  // namespace
}  // namespace tavrel
