#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

struct Case {
  const char* line;
  const char* result;
};

void ExpectTransforms(std::initializer_list<Case> cases) {
  for (const Case& c : cases) {
    EXPECT_EQ(Transformed(c.line), c.result) << '"' << c.line << '"';
    EXPECT_EQ(Transformed(c.line, kComma), c.result) << "decimal comma: \"" << c.line << '"';
  }
}

TEST(Records0And1, PrefixCutByCharacterCountThenOneList) {
  ExpectTransforms({
      {"0 1 2 1.5,2.25", "0 1 2 1500,2250"},
      {"0 1 2 ", "0 1 2 "},  // exactly six characters: an empty list
      {"0 1 2 0.000,0.000", "0 1 2 0.000,0.000"},
      {"0 1 23.5 1", "0 1 23 500 1000"},  // a value split between prefix and list
      {"0 1 2   1.5   ", "0 1 2 1500"},
      {"1 2 0.5 0.25", "1 2 500 250"},
      {"1 2 ", "1 2 "},
      {"1 2 0.000 0.000", "1 2 0.000 0.000"},
      {"1 12 5", "1 12 5000"},
      {"1 123 5", "1 12 3000 5000"},
      // A prefix of blanks after the type; lines of seven and eight bytes.
      {"0     1.5", "0 1500"},
      {"0 12  0.5,1", "0 12 500,1000"},
      {"0 1 2 1", "0 1 2 1000"},
      {"1   5", "1 5000"},
      {"1      5", "1 5000"},
  });
}

TEST(Records0And1, ShortLineIsAnInvalidArgument) {
  for (const char* line : {"0", "0 1 2", "1", "1 2"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(line); }), err::kInvalidArgument) << line;
  }
}

TEST(Record2, FourValuesThreeAnglesAndOneValueTimes256) {
  ExpectTransforms({
      {"2 5 1 2 0.5 0.25 90 180 1 0", "2 5 1000 2000 500 250 64 128 256 0"},
      {"2 5", "2 5     0 0 0 0"},  // missing fields: empty values, zero angles
      {"2 5 1 1 1 1 0 0 -0.5 0", "2 5 1000 1000 1000 1000 0 0 -128 0"},
      {"2 5 1 1 1 1 0 0 0.999 0", "2 5 1000 1000 1000 1000 0 0 255 0"},
      {"2 5 1 2 3 4,5 0 0 0 0", "2 5 1000,2000,3000,4000,5000 0 0 0 0"},
      {"2 5 1,2 3 4 5 0 0 0 0", "2 5 1000 2000 3000 4000 5000 0 0 0 0"},
      {"2 5 1 1 1 1 359 400 0 -90 X Y", "2 5 1000 1000 1000 1000 255 284 0 -64"},
      {"2 55 1 1 1 1 0 0 0 0", "2 55 1000 1000 1000 1000 0 0 0 0"},
      // Angles and the x256 field in their short forms, seven places read
      // as doubles.
      {"2 5 1 1 1 1 30.5 .5 .0039063 5.", "2 5 1000 1000 1000 1000 21 0 1 3"},
      {"2 5 1 1 1 1 -30.5 1e2 -.0039063 -0.", "2 5 1000 1000 1000 1000 -22 71 -2 0"},
  });
}

TEST(Record3, PadSizeAndRotation) {
  ExpectTransforms({
      {"3 2 0 1 2 0.5 0.25 0.125 90 5", "3 0 32 1000 2000 250 500 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 90 5 7", "3 0 32 1000 2000 250 500 125 5 7"},
      {"3 2 0 1 2 0.5 0.25 0.125 90 5 7 8", "3 0 32 1000 2000 250 500 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 180 5", "3 0 32 1000 2000 500 250 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 0 5", "3 0 32 1000 2000 500 250 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 270 5", "3 0 32 1000 2000 250 500 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 270.0 5", "3 0 32 1000 2000 250 500 125 5"},
      {"3 2 0 1 2 0.5 0.25 0.125 090 5", "3 0 32 1000 2000 250 500 125 5"},
      {"3 0.05 0 1 1 1 1 1 0 5", "3 0 .8 1000 1000 1000 1000 1000 5"},
      {"3 2 1.5 1 1 1 1 1 0 5", "3 2 1.5 1000 1000 1000 1000 1000 5"},
      {"3 2 x 1 1 1 1 1 0 5", "3 0 32 1000 1000 1000 1000 1000 5"},
      {"3 2 1 1", "3 2 1 1000     "},  // not trimmed: empty fields keep their blanks
      {"3 2 1 1 2 0.5 0.25 0.125", "3 2 1 1000 2000 500 250 125 "},
      // A size from field 2 of every short form, eight bytes and more of the
      // line from its start or fewer.
      {"3 .5 0 1 1 1 1 1 0 5", "3 0 8 1000 1000 1000 1000 1000 5"},
      {"3 5. 0 1 1 1 1 1 0 5", "3 0 80 1000 1000 1000 1000 1000 5"},
      {"3 12345678 0 1 1 1 1 1 0 5", "3 0 197530848 1000 1000 1000 1000 1000 5"},
      {"3 1.234567 0 1 1 1 1 1 0 5", "3 0 19.753072 1000 1000 1000 1000 1000 5"},
      {"3 .0000001 0 1 1 1 1 1 0 5", "3 0 1.6e-06 1000 1000 1000 1000 1000 5"},
      {"3 . 0 1 1 1 1 1 0 5", "3 0 0 1000 1000 1000 1000 1000 5"},
      {"3 0.0625 0", "3 0 1      "},
  });
  // Record "3" reads no field above 11, so 101 fields' worth of count is no error.
  std::string line = "3 2 1 1 1 1 1 1 0 5";
  for (int i = 11; i <= 100; ++i)
    line += " 9";
  EXPECT_EQ(Transformed(line + " "), "3 2 1 1000 1000 1000 1000 1000 5");
}

TEST(Record4, AnchorFoldedIntoTheBottomLeftCorner) {
  ExpectTransforms({
      {"4 1 0.125 1 2 0.5 90 5 0 AB CD", "4 1 125 750 1937 500 16384 AB CD"},
  });
  // Height 0.25 (field 3), x 2, y 3, width 1 (field 6): the remainder by 4
  // shifts x, the quotient shifts y.
  const char* x[] = {"2000", "1500", "1000", "2033"};
  const char* y[] = {"3000", "2875", "2750", "3033"};
  for (int code = 0; code <= 15; ++code) {
    const std::string line = "4 1 0.25 2 3 1 0 " + std::to_string(code) + " 0";
    const std::string expected =
        std::string("4 1 250 ") + x[code % 4] + " " + y[code / 4] + " 1000 0";
    EXPECT_EQ(Transformed(line), expected) << "anchor " << code;
  }
  // Codes outside 0..15, or not whole, leave the texts as written.
  for (const char* code : {"0", "16", "-1", "2.5", "x", ""}) {
    const std::string line = std::string("4 1 0.25 0.000 0.000 1 0 ") + code + " 0";
    EXPECT_EQ(Transformed(line), "4 1 250 0.000 0.000 1000 0") << "anchor " << code;
  }
  // The fixed shift does not depend on the width.
  EXPECT_EQ(Transformed("4 1 0.25 1 0 77 0 3 0"), "4 1 250 1033 0 77000 0");
  EXPECT_EQ(Transformed("4 1 0.25 1 0 77 0 15 0"), "4 1 250 1033 33 77000 0");
}

TEST(Record4, AngleFieldsAndBlanks) {
  ExpectTransforms({
      {"4 1 0.1 1 1 1 400 0 0 AB", "4 1 100 1000 1000 1000  AB"},  // empty angle text
      {"4 1 0.1 1 1 1 -5 0 0", "4 1 100 1000 1000 1000"},
      {"4 1 0.1 1 1 1 270 0 0", "4 1 100 1000 1000 1000 -16384"},
      {"4 123 0.1 1 1 1 0 0 0", "4 12 100 1000 1000 1000 0"},
      {"4 1 0.1 1 1 1 0 0 0 AB   ", "4 1 100 1000 1000 1000 0 AB"},
      {"4 1 0.1 1 1 1 0 0 0 AB   CD  EF", "4 1 100 1000 1000 1000 0 AB   CD  EF"},
      {"4 1 0.1 1 1 1 0 0 0 Nome\tcon,tab", "4 1 100 1000 1000 1000 0 Nome\tcon,tab"},
  });
}

TEST(Record6, AngleOnBase128AndTheRestCarried) {
  ExpectTransforms({
      {"6 2 90 1 2 0.5 0.25 7", "6 2 32 1000 2000 500 250 7"},
      {"6 2 90 1 2 0.5 0.25 7  ", "6 2 32 1000 2000 500 250 7"},
      {"6 2 90 1 2 0.5 0.25 7 8  9", "6 2 32 1000 2000 500 250 7 8  9"},
      {"6 2", "6 2 0"},
      {"6 2 -90 0 0 0 0", "6 2 -32 0 0 0 0"},
      // Short values in their other forms: a 0 keeps its text, less than a
      // thousandth is 0, six whole digits and more are scaled all the same.
      {"6 2 0 -0 .5 5. +5", "6 2 0 -0 500 5000 5000"},
      {"6 2 0 00012 12345.6789 0.0004 123456 X", "6 2 0 12000 12345678 0 123456000 X"},
  });
}

TEST(Records4And6, BlankAfterTheHundredthFieldReachesField101) {
  for (char type : {'4', '6'}) {
    std::string line(1, type);
    for (int i = 2; i <= 100; ++i)
      line += " 1";
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(line); }), -1) << type;
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(line + " "); }), err::kSubscript) << type;
  }
}

TEST(NumericRecords, ValuesNearTheLargestDoubleOverflow) {
  for (const char* line : {"3 1e308 0 1 1 1 1 1 0 5", "2 5 1 1 1 1 0 0 1e307 0",
                           "4 1 0.1 1.7e308 1 -1.7e308 0 1 0", "6 2 1e308 1 1 1 1"}) {
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(line); }), err::kOverflow) << line;
  }
}

TEST(NumericRecords, WholeDegreesOnEveryBaseAsTheirDecimals) {
  // Each record's angles, on base 256, 32768 and 128, written for whole
  // degrees as for the same degrees with a decimal.
  for (int degrees = 0; degrees <= 400; ++degrees) {
    const std::string whole = std::to_string(degrees);
    const std::string decimal = whole + ".0";
    for (const auto& [head, tail] : {std::pair<const char*, const char*>{"2 5 1 1 1 1 ", " 0 0 0"},
                                     {"2 5 1 1 1 1 0 0 0 ", ""},
                                     {"4 1 0.1 1 1 1 ", " 0 0 AB"},
                                     {"6 2 ", " 1 2 3 4"}}) {
      EXPECT_EQ(Transformed(head + whole + tail), Transformed(head + decimal + tail))
          << head << whole << tail;
    }
  }
}

}  // namespace
}  // namespace tavrel
