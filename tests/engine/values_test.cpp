#include <gtest/gtest.h>

#include <string>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

TEST(ReadNumber, ReadsAsMuchAsFitsAndSkipsBlanksAnywhere) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"", 0},
      {"abc", 0},
      {"12abc", 12},
      {"0,5", 0},
      {"1.5", 1.5},
      {".5", 0.5},
      {"-.5", -0.5},
      {"+5", 5},
      {"-", 0},
      {".", 0},
      {"1 2 3", 123},
      {"\t-\n2.5", -2.5},
      {" - 1 . 5", -1.5},
      {"1.2.3", 1.2},
      {"1e3", 1000},
      {"1E+2", 100},
      {"2.5e-1", 0.25},
      {"12e", 12},
      {"1e-", 1},
      {"1e+x", 1},
      {"e5", 0},
      {"1e-400", 0},
      {"090", 90},
      {"0x10", 0},
      {"\r5", 0},  // only blanks, tabs and line feeds are skipped
  };
  for (const auto& c : cases)
    EXPECT_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(ReadNumber, TooLargeForADoubleIsOverflow) {
  for (const char* text : {"1e400", "-1e309", "99999e99999999999999"}) {
    EXPECT_EQ(ErrorNumberOf([&] { ReadNumber(text); }), err::kOverflow) << text;
  }
  EXPECT_EQ(ReadNumber("0.000001e-400"), 0.0);
}

TEST(IntegerText, WritesEveryDigitAndNoNegativeZero) {
  EXPECT_EQ(IntegerText(0.0), "0");
  EXPECT_EQ(IntegerText(-0.0), "0");
  EXPECT_EQ(IntegerText(1234), "1234");
  EXPECT_EQ(IntegerText(-1235), "-1235");
  EXPECT_EQ(IntegerText(1e20), "100000000000000000000");
}

TEST(NumberText, ShortestFifteenDigitsWithoutLeadingZero) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.75, ".75"},      {-0.5, "-.5"},
      {32, "32"},         {0.05 * 16, ".8"},
      {1.9375, "1.9375"}, {1 + 0.03332, "1.03332"},
      {0.1 + 0.2, ".3"},  {-12.25, "-12.25"},
      {0.0, "0"},         {1.0 / 3.0, ".333333333333333"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NumberText(c.value), c.text) << c.value;
  // Far from the data's range an exponent may appear; it must read back.
  for (double value : {1e20, 1.5e-7, -2.5e16})
    EXPECT_EQ(ReadNumber(NumberText(value)), value);
}

TEST(Moltiplica, ScalesListsByAThousand) {
  const struct {
    const char* valori;
    const char* scaled;
  } cases[] = {
      {"1.5,2.25", "1500,2250"},
      {"1 2.5 0", "1000 2500 0"},
      {"0.000,1", "0.000,1000"},  // a token worth zero keeps its text
      {"1.5", "1500"},
      {"", ""},
      {"1,2 3,4", "1000,2000,3000,4000"},  // the last separator found joins all
      {"1 2,3", "1000,2000,3000"},
      {"1,2,", "1000,2000,"},  // a trailing separator opens an empty token
      {"1,,2", "1000,,2"},     // the second comma begins a token worth 0
      {"1, 2", "1000,2000"},
      {"1.001", "1001"},  // 1000.9999999999999 rounded to 15 digits first
      {"2.002", "2002"},
      {"0.0005", "0"},
      {"1.2345", "1234"},
      {"-1.25", "-1250"},
      {" 0", " 0"},
      {"abc,2", "abc,2000"},
      {",", ","},  // the first character always goes into token 1
      // Fewer than three decimals are made up with zeros, leading zeros go.
      {"0.5,0.06,0.025,1.2500,0.0625", "500,60,25,1250,62"},
      {"-0.5 -0.06 7 05 .5 5. -0 -", "-500 -60 7000 5000 500 5000 -0 -"},
      {"0.0001 0.0010 00.000", "0 1 00.000"},
      // A list longer than the vector scaler's window of 64 bytes.
      {"1.125,2.250,3.375,4.500,5.625,6.750,7.875,8.000,9.125,10.250,11.375,12.5",
       "1125,2250,3375,4500,5625,6750,7875,8000,9125,10250,11375,12500"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Moltiplica(c.valori, kPoint), c.scaled) << '"' << c.valori << '"';
    // No product here is negative with a fraction: a decimal comma changes nothing.
    EXPECT_EQ(Moltiplica(c.valori, kComma), c.scaled) << '"' << c.valori << '"';
  }
}

TEST(Moltiplica, NegativeFractionDependsOnTheDecimalSeparator) {
  // The 15-digit text is read back: a decimal comma stops the reading.
  EXPECT_EQ(Moltiplica("-1.2345", kPoint), "-1235");
  EXPECT_EQ(Moltiplica("-1.2345", kComma), "-1234");
  EXPECT_EQ(Moltiplica("-0.0005,1.2345", kPoint), "-1,1234");
  EXPECT_EQ(Moltiplica("-0.0005,1.2345", kComma), "0,1234");
  // Whole products are the same under both.
  EXPECT_EQ(Moltiplica("-1.25 -0.125", kComma), "-1250 -125");
}

TEST(Moltiplica, FiftyValuesAtMost) {
  std::string fifty = "1";
  for (int i = 2; i <= 50; ++i)
    fifty += ",1";
  std::string expected = "1000";
  for (int i = 2; i <= 50; ++i)
    expected += ",1000";
  EXPECT_EQ(Moltiplica(fifty), expected);
  EXPECT_EQ(ErrorNumberOf([&] { Moltiplica(fifty + ",1"); }), err::kSubscript);
  EXPECT_EQ(ErrorNumberOf([&] { Moltiplica(fifty + ","); }), err::kSubscript);
  // The values before the 51st are converted first: an overflow among them wins.
  EXPECT_EQ(ErrorNumberOf([&] { Moltiplica("1e306" + fifty.substr(1) + ","); }), err::kOverflow);
}

TEST(Moltiplica, ProductTooLargeIsOverflow) {
  EXPECT_EQ(ErrorNumberOf([] { Moltiplica("1e306"); }), err::kOverflow);
  EXPECT_EQ(ErrorNumberOf([] { Moltiplica("1,-1e307"); }), err::kOverflow);
  EXPECT_EQ(Moltiplica("1e17"), "100000000000000000000");
}

TEST(Rad, ConvertsDegreesForEachBase) {
  const struct {
    const char* gradi;
    float base;
    const char* units;
  } cases[] = {
      {"", 256, "0"},
      {"45.9", 256, "32"},
      {"90", 256, "64"},
      {"359", 256, "255"},
      {"360", 256, "256"},
      {"-90", 256, "-64"},
      {"-1", 256, "-1"},
      {"400", 256, "284"},
      {"90", 128, "32"},
      {"90", 32768, "16384"},
      {"180", 32768, "32768"},
      {"270", 32768, "-16384"},
      {"359", 32768, "-182"},
      {"180.0001", 32768, "-32767"},
      {"0", 32768, "0"},
      {"360", 32768, "0"},
      {"-1", 32768, ""},
      {"361", 32768, ""},
      {"abc", 32768, "0"},
      // Whole units from short decimals, a millionth away, and read in full.
      {"1.40625", 256, "1"},
      {"1.406249", 256, "0"},
      {"-1.40625", 256, "-1"},
      {"-1.406249", 256, "-1"},
      {"-0.000001", 128, "-1"},
      {"123456789.5", 128, "43895747"},
      {"-0", 32768, "0"},
      {"0.005493", 32768, "0"},
      {"0.0054931640625", 32768, "1"},
      {"359.999999", 32768, "0"},
      {"1e2", 256, "71"},
      {"+90.000000", 256, "64"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Rad(c.gradi, c.base), c.units) << c.gradi << " base " << c.base;
  }
  EXPECT_EQ(ErrorNumberOf([] { Rad("1e308", 256); }), err::kOverflow);
}

TEST(Ega, BrightnessSumInSteps) {
  const struct {
    const char* hexrgb;
    int colour;
  } cases[] = {
      {"000000", 0},  {"FF0000", 5},    {"00ff00", 5}, {"0000FF", 5},
      {"808080", 7},  {"C0C0C0", 11},   {"323232", 2}, {"333333", 3},
      {"FFFFFE", 14}, {"FFFFFF", 15},   {"330000", 1},  // sum 51, the first step
      {"320000", 0},                                    // sum 50
      {"GGGGGG", 0},                                    // not hexadecimal: 0
      {"F", 4},                                         // missing digits count as 0: 240 / 51
      {"", 0},        {"FFFFFFFF", 15},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Ega(c.hexrgb), c.colour) << c.hexrgb;
}

}  // namespace
}  // namespace tavrel
