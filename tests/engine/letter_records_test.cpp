#include <gtest/gtest.h>

#include <string>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

TEST(LetterRecords, UpperCaseRecordLettersBecomeTheBannerLine) {
  for (const char* line : {"S 1 2", "Aabc", "I", "L 0 0", "G", "C x", "P 1", "T hello", ""}) {
    EXPECT_EQ(Transformed(line), kBannerLine) << '"' << line << '"';
  }
  for (const char* line : {"s 1 2", "a", "B 1", "Z", "X 1"}) {
    EXPECT_EQ(Transformed(line), line) << line;
  }
}

TEST(OptionLines, EveryKeyAndItsResult) {
  const std::string banner(kBannerLine);
  const struct {
    const char* line;
    std::string result;
  } cases[] = {
      {"-gz12,34", "-gz0,0"},
      {"-gz", "-gz0,0"},
      {"-gd50", "-gd100"},
      {"-gm1,1,1,1", "-gm3,2,3,1"},
      {"-gc5", "-nc0,0,0,0,0,39"},
      {"-gs1,2", "-gr3,35,5,10,25"},
      {"-gp", "-hp2223440000000000\r\n-hs1.0000,0,0,0,0,0,0,0,0\r\n-hm0,0,0,3"},
      {"-gp9,9,9", "-hp2223440000000000\r\n-hs1.0000,0,0,0,0,0,0,0,0\r\n-hm0,0,0,3"},
      {"-it5", "-t60"},
      {"-iv2", "-p40v0,2"},
      {"-iv2xyz", "-p40v0,2"},
      {"-iv0,5", "-p50v28,0"},
      {"-iv1", "-iv1"},
      {"-iv", "-iv"},
      {"-ip0", "-p10z0,0"},
      {"-ip1", "-p60r20,0"},
      {"-ip2", "-ip2"},
      {"-ip", "-ip"},
      {"-ix", "-nr0\r\n-nh3"},
      {"-ix7", "-nr0\r\n-nh3"},
      {"-il3", "-l10"},
      {"-gt", banner},
      {"-gt1,2", banner},
      {"-ga", banner},
      {"-ga0", banner},
      {"-gx0.5,0.5", "-m500,500"},
      {"-gx 2,3", "-m2000,3000"},
      {"-gx", "-m"},
      {"-dp1,2", "-dp1000,2000"},
      {"-dp", "-dp"},
      {"-dp0.000", "-dp0.000"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Transformed(c.line), c.result) << c.line;
    EXPECT_EQ(Transformed(c.line, kComma), c.result) << c.line;
  }
}

TEST(OptionLines, KeysAreExactAndCaseSensitive) {
  for (const char* line : {"-GZ0,0", "-Gz0,0", "-gZ", "-g", "-IV2", "-Ip0", "-GX1", "-DP1", "-zz5",
                           "-m1000", "-x", "--gz", " -gz", "-gy", "-i", "-d"}) {
    EXPECT_EQ(Transformed(line), line) << line;
  }
}

TEST(OptionLines, ScaledValuesFollowTheValueListRules) {
  std::string many = "-dp1";
  for (int i = 2; i <= 51; ++i)
    many += ",1";
  EXPECT_EQ(ErrorNumberOf([&] { Transformed(many); }), err::kSubscript);
  EXPECT_EQ(Transformed("-gx-0.0005", kPoint), "-m-1");
  EXPECT_EQ(Transformed("-gx-0.0005", kComma), "-m0");
}

}  // namespace
}  // namespace tavrel
