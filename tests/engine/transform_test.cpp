#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "internal.h"
#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

TEST(Trasforma, LinesOfNoFamilyComeBackUnchanged) {
  for (const char* line :
       {"5 1 2",    "9abc", "7",       "8 0.5",  ",x",      "s 1 2",  "a",
        " 0 1.5 2", " S 1", "-zz5",    "-m1000", "-x",      "-GZ0,0", "-Gz0,0",
        "-g",       "-",    "-y3 abc", "-yz",    "\t4 1 2", "#",      "\xff\xfe"}) {
    EXPECT_EQ(Transformed(line), line) << '"' << line << '"';
  }
  const std::string with_nul("S\0", 2);  // a letter record, whatever follows
  EXPECT_EQ(Transformed(with_nul), kBannerLine);
  const std::string nul_first("\0S", 2);
  EXPECT_EQ(Transformed(nul_first), nul_first);
}

TEST(Trasforma, EmptyLineBecomesTheBannerLine) {
  EXPECT_EQ(Transformed(""), kBannerLine);
  EXPECT_EQ(kBannerLine.front(), ',');
  EXPECT_EQ(kBannerLine.find_first_of("\r\n"), std::string_view::npos);
}

TEST(Trasforma, Layer255BecomesLayer15) {
  const struct {
    const char* line;
    const char* result;
  } cases[] = {
      {"-y255", "-y15"},          {"-y255 abc", "-y15 abc"},
      {"-y2550", "-y150"},  // five characters only are looked at
      {"-y25", "-y25"},           {"-y256", "-y256"},
      {"-y255:0000", "-y15:0,,"},  // then converted as a layer line
  };
  for (const auto& c : cases)
    EXPECT_EQ(Transformed(c.line), c.result) << c.line;

  std::string riga = "-y2551";
  Trasforma(riga);
  EXPECT_EQ(riga, "-y151");  // the caller's line is rewritten in place
}

TEST(Trasforma, SameLineTwiceGivesTheSameResult) {
  for (const char* line : {"4 1 0.125 1 2 0.5 90 5 0 AB CD", "-gp", "-y1:00FF0000,Top Copper"}) {
    EXPECT_EQ(Transformed(line), Transformed(line));
  }
}

std::vector<std::string> FieldsOf(const std::string& line) {
  detail::FieldTable table(line);
  std::vector<std::string> fields;
  for (int n = 1; n <= table.count() && n <= detail::FieldTable::kMaxFields; ++n) {
    fields.emplace_back(table[n]);
  }
  return fields;
}

TEST(Tokenizer, OnlyTheBlankDirectlyAfterACharacterSeparates) {
  using Fields = std::vector<std::string>;
  EXPECT_EQ(FieldsOf("3"), Fields({"3"}));
  EXPECT_EQ(FieldsOf("2 1  5"), Fields({"2", "1", " 5"}));
  // In a run of three blanks every other blank separates again.
  EXPECT_EQ(FieldsOf("a   b"), Fields({"a", " ", "b"}));
  EXPECT_EQ(FieldsOf("a    b"), Fields({"a", " ", " b"}));
  EXPECT_EQ(FieldsOf("3 0,5\t1"), Fields({"3", "0,5\t1"}));
  // A blank at the end opens one more, empty field.
  EXPECT_EQ(FieldsOf("4 1 "), Fields({"4", "1", ""}));
  EXPECT_EQ(detail::FieldTable("4 1 ").count(), 3);
  EXPECT_EQ(detail::FieldTable("4 1").count(), 2);
  EXPECT_EQ(detail::FieldTable("4 1")[50], "");
  EXPECT_EQ(ErrorNumberOf([] { detail::FieldTable("4")[101]; }), err::kSubscript);
}

std::string Record(char type, int fields) {
  std::string line(1, type);
  for (int i = 2; i <= fields; ++i)
    line += " " + std::to_string(i);
  return line;
}

// The fields of a table as text ("count|field|field..."), or "error N".
// The line is split where it ends its memory, as the last line of a block
// may: with AddressSanitizer any load past its end is reported.
std::string SplitOutcome(const std::string& line) {
  const std::unique_ptr<char[]> alone = std::make_unique_for_overwrite<char[]>(line.size());
  std::copy(line.begin(), line.end(), alone.get());
  try {
    const detail::FieldTable table({alone.get(), line.size()});
    std::string text = std::to_string(table.count());
    for (int n = 1; n <= table.count() && n <= detail::FieldTable::kMaxFields; ++n) {
      text += '|';
      text += table[n];
    }
    if (table.count() > 1) text += "|" + std::string(table.From(2));
    return text;
  } catch (const RuntimeError& error) {
    return "error " + std::to_string(error.number());
  }
}

// The split from masks of the blanks (sixteen bytes at a time, 64 bits a
// word; a short line in 32 with AVX2) gives the fields the byte loop gives:
// lines of 0 to 102 fields of 0 to 20 characters, so that fields and runs of
// blanks cross every 16-, 32- and 64-byte boundary, with single, doubled and
// tripled blanks, blanks at the start and at the end; and lines of
// one-character fields, as many as their length holds.
TEST(Tokenizer, SplitFromMasksAsByBytes) {
  std::mt19937 random(101);
  std::vector<std::string> lines;
  for (int fields = 0; fields <= 102; ++fields) {
    for (int round = 0; round < 60; ++round) {
      const unsigned longest = round % 3 == 0 ? 20 : 4;
      const unsigned doubled = round % 4 == 0 ? 0 : 1 + random() % 6;  // one blank in so many
      std::string line = round % 5 == 0 ? std::string(1 + random() % 3, ' ') : "3";
      for (int i = 1; i < fields; ++i) {
        line += doubled != 0 && random() % doubled == 0 ? std::string(2 + random() % 2, ' ') : " ";
        line += std::string(random() % (longest + 1), static_cast<char>('0' + i % 10));
      }
      if (round % 7 == 0) line += std::string(1 + random() % 3, ' ');
      lines.push_back(line);
    }
  }
  for (std::size_t size = 0; size <= 200; ++size) {  // only blanks, or one field and blanks
    lines.push_back(std::string(size, ' '));
    lines.push_back("3" + std::string(size, ' '));
  }
  for (std::string line = "3"; line.size() <= 81; line += " 1")
    lines.push_back(line);
  lines.push_back(Record('3', 100) + " ");
  lines.push_back(Record('3', 100) + "  ");
  lines.push_back(Record('3', 101));
  const unsigned before = detail::UseValueScalers(detail::kSplitFields);
  int differing = 0;
  for (const std::string& line : lines) {
    detail::UseValueScalers(detail::kSplitFields);
    const std::string by_masks = SplitOutcome(line);
    detail::UseValueScalers(detail::kSplitFields | detail::kScaleWindows | detail::kScaleWide);
    const std::string by_wide_masks = SplitOutcome(line);
    detail::UseValueScalers(0);
    const std::string by_bytes = SplitOutcome(line);
    EXPECT_EQ(by_masks, by_bytes) << '"' << line << '"';
    EXPECT_EQ(by_wide_masks, by_bytes) << '"' << line << '"';
    if ((by_masks != by_bytes || by_wide_masks != by_bytes) && ++differing == 5) break;
  }
  detail::UseValueScalers(before);
}

TEST(Tokenizer, HundredFieldsAtMost) {
  EXPECT_EQ(detail::FieldTable(Record('3', 100)).count(), 100);
  // A blank after the 100th field with nothing behind it raises nothing.
  EXPECT_EQ(detail::FieldTable(Record('3', 100) + " ").count(), 101);
  EXPECT_EQ(ErrorNumberOf([] { detail::FieldTable(Record('3', 101)); }), err::kSubscript);
  for (char type : {'2', '3', '4', '6'}) {
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(Record(type, 100)); }), -1) << type;
  }
  for (char type : {'0', '1', '2', '3', '4', '6'}) {
    EXPECT_EQ(ErrorNumberOf([&] { Transformed(Record(type, 101)); }), err::kSubscript) << type;
  }
}

// The whole-number writer by pairs of digits (and from 10^4 on by a count
// of digits first) against std::to_string: each side of every power of ten,
// the ends of the range and random numbers of every length.
TEST(DigitWriter, WholeNumbersAsTheirDecimalText) {
  std::vector<std::int64_t> values{0, INT64_MAX, INT64_MIN, INT64_MIN + 1};
  for (std::int64_t power = 1; power <= INT64_MAX / 10; power *= 10) {
    for (std::int64_t v : {power - 1, power, power + 1, 10 * power - 1}) {
      values.push_back(v);
      values.push_back(-v);
    }
  }
  std::mt19937_64 random(23);
  for (int i = 0; i < 2000; ++i)
    values.push_back(static_cast<std::int64_t>(random() >> (random() % 64)));
  for (std::int64_t value : values) {
    char text[24];
    char* end = detail::WriteWhole(value, text);
    EXPECT_EQ(std::string(text, end), std::to_string(value));
    if (value >= 0) {
      end = detail::WriteDigits(static_cast<std::uint64_t>(value), text);
      EXPECT_EQ(std::string(text, end), std::to_string(value));
    }
  }
  char text[24];
  EXPECT_EQ(std::string(text, detail::WriteDigits(UINT64_MAX, text)), std::to_string(UINT64_MAX));
}

// The exact decimal writer against the digits' text with the point put in,
// the trailing zeros and a whole 0 taken off: every fraction from 0 to 8
// places, with zeros leading and trailing in it.
TEST(DigitWriter, ExactDecimalsWithoutTrailingZeros) {
  for (int fraction = 0; fraction <= 8; ++fraction) {
    for (std::uint64_t digits : {1ull, 5ull, 10ull, 62ull, 99ull, 100ull, 992ull, 1000ull, 1234ull,
                                 9990ull, 10001ull, 120300ull, 987654321ull}) {
      for (bool negative : {false, true}) {
        std::string expected = std::to_string(digits);
        if (fraction > 0) {
          expected.insert(0,
                          static_cast<std::size_t>(fraction + 1) -
                              std::min<std::size_t>(expected.size(), fraction + 1),
                          '0');
          expected.insert(expected.size() - static_cast<std::size_t>(fraction), ".");
          while (expected.back() == '0')
            expected.pop_back();
          if (expected.back() == '.') expected.pop_back();
          if (expected.starts_with("0.")) expected.erase(0, 1);
        }
        if (negative) expected.insert(0, "-");
        char text[32];
        char* const end = detail::WriteDecimal(negative, digits, fraction, text);
        EXPECT_EQ(std::string(text, end), expected) << digits << " / 10^" << fraction;
      }
    }
  }
}

}  // namespace
}  // namespace tavrel
