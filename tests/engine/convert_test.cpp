// A 4.0 file converted in blocks, on one thread and on several: the same
// bytes as the reference transformer line by line, the first failing line's
// error, and long lines streamed across the reading blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "reference_transform.h"
#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

// A header line ending in a lone LF: the other lines may end either way.
const std::string kH40Lf = "TAVREL Version 4.0 -- Data File.\n";

class ConvertTest : public SourceFolderTest {
 protected:
  // Converts `bytes` with `threads`; the output, or "error N at line L".
  std::string Convert(const std::string& bytes, unsigned threads) {
    Write("IN.PCB", bytes);
    RecordingSink sink;
    AnalysisRequest request{dir_, "IN.PCB", output_, kPoint};
    request.threads = threads;
    const AnalysisOutcome outcome = Analizza(request, sink);
    if (outcome.failed) {
      EXPECT_FALSE(FileExists(output_)) << "a half conversion was left";
      return "error " + std::to_string(sink.failed_number) + " at line " +
             std::to_string(sink.line);
    }
    return Read(output_);
  }
};

// About 8 MB of lines of every family, with CR LF and lone LF line ends, the
// last line without one; and the output the reference gives for them.
struct LargeFile {
  std::string source = kH40Lf;
  std::string expected = kH35;
};
// With `crlf` the header line and every line end in CR LF, and some lines
// hold a lone LF, which is data (some begin with one).
LargeFile MakeLargeFile(bool crlf) {
  const std::string lines[] = {"0 12  1.5,2.25,-0.5,0.0625",
                               "1 3 0.5 0.25 7",
                               "2 5 1 2 0.5 0.25 90 180 1 0",
                               "3 0.062 0 1.25 2.5 0.06 0.08 0.032 90 1 U1-3",
                               "4 1 0.1 1.25 2.5 0.5 90 5 0 AB   CD",
                               "6 2 90 1 2 0.5 0.25 FRAME",
                               "S 1 MAIN",
                               "",
                               "-gp1,1",
                               "-gx0.5,0.5",
                               "-y255:00FFFFFF,0,0,0,00,9,Top Silk",
                               "-y3 abc",
                               "5 unchanged"};
  std::mt19937 random(14);
  LargeFile file;
  if (crlf) file.source = kH40;
  while (file.source.size() < 8'000'000) {
    std::string line = lines[random() % std::size(lines)];
    if (crlf && line == "5 unchanged" && random() % 2 == 0) line += "\n4 x";
    if (crlf && line == "-y3 abc" && random() % 2 == 0) line.insert(0, "\n");
    file.source += line + (!crlf && random() % 8 == 0 ? "\n" : "\r\n");
    std::string riga = line;
    file.expected += reference::Trasforma(riga) + "\r\n";
  }
  file.source += "4 1 0.1 1 2 0.5 90 3 0 LAST";
  std::string riga = "4 1 0.1 1 2 0.5 90 3 0 LAST";
  file.expected += reference::Trasforma(riga) + "\r\n";
  return file;
}

TEST_F(ConvertTest, LargeFileGivesTheSameBytesOnOneThreadAndOnSeveral) {
  for (bool crlf : {false, true}) {
    const LargeFile file = MakeLargeFile(crlf);
    for (unsigned threads : {1u, 2u, 3u, 0u}) {
      const std::string output = Convert(file.source, threads);
      EXPECT_TRUE(output == file.expected)
          << threads << " threads, " << (crlf ? "CR LF: " : "LF: ") << output.size() << " bytes, "
          << file.expected.size() << " expected";
    }
  }
}

TEST_F(ConvertTest, FirstFailingLineInFileOrderWins) {
  // Lines of about 100 characters, so that the failing lines fall in blocks
  // far apart: line 30002 raises 5 (a record "0" too short), line 60003
  // raises 9 (more than 100 fields).
  const std::string filler = "S " + std::string(97, 'x') + "\r\n";
  std::string half;
  for (int i = 0; i < 30000; ++i)
    half += filler;
  const std::string too_many_fields = "4" + std::string(300, ' ') + "\r\n";
  const std::string both = kH40 + half + "0\r\n" + half + too_many_fields + "-it\r\n";
  const std::string later = kH40 + half + "-it\r\n" + half + too_many_fields + "-it\r\n";
  for (unsigned threads : {1u, 2u}) {
    EXPECT_EQ(Convert(both, threads), "error 5 at line 30002") << threads;
    EXPECT_EQ(Convert(later, threads), "error 9 at line 60003") << threads;
  }
}

TEST_F(ConvertTest, LineFeedThatBeginsAReadingBlock) {
  // Letter records filling the first reading block exactly, so that the
  // next block begins with a line feed: an empty line of LF lines, data in
  // CR LF lines (a line of its own when the block's last line is cut there).
  const std::string banner = std::string(kBannerLine) + "\r\n";
  for (const bool crlf : {false, true}) {
    const std::string end = crlf ? "\r\n" : "\n";
    std::string source;
    std::string expected = kH35;
    for (std::size_t left = 1u << 18; left > 0;) {
      const std::size_t size = left > 200 ? 100 : left;
      source += "S " + std::string(size - 2 - end.size(), 'x') + end;
      expected += banner;
      left -= size;
    }
    for (unsigned threads : {1u, 2u}) {
      SCOPED_TRACE(crlf ? "CR LF" : "LF");
      EXPECT_TRUE(Convert((crlf ? kH40 : kH40Lf) + source + "\n-it" + end + "-it", threads) ==
                  expected + (crlf ? "\n-it\r\n" : banner + "-t60\r\n") + "-t60\r\n")
          << threads;
    }
  }
}

TEST_F(ConvertTest, LongLinesAcrossTheReadingBlocksAreStreamed) {
  // Lengths around multiples of the reading block, so that the carriage
  // return falls at the end of one block and the line feed at the start of
  // the next, and around it.
  const std::string banner(kBannerLine);
  for (std::size_t length :
       {(1u << 18) - 2, (1u << 18) - 1, 1u << 18, (1u << 18) + 1, (1u << 19) - 1, (1u << 19) + 3}) {
    std::string unknown = "-zz";
    while (unknown.size() < length)
      unknown += static_cast<char>('a' + unknown.size() % 26);
    const std::string letter = "C" + unknown.substr(1);
    for (unsigned threads : {1u, 2u}) {
      EXPECT_TRUE(Convert(kH40 + unknown + "\r\n-it\r\n", threads) ==
                  kH35 + unknown + "\r\n-t60\r\n")
          << length;
      EXPECT_TRUE(Convert(kH40 + "-it\r\n" + letter + "\r\n" + unknown, threads) ==
                  kH35 + "-t60\r\n" + banner + "\r\n" + unknown + "\r\n")
          << length;
      // A carriage return that ends the file is part of the line.
      EXPECT_TRUE(Convert(kH40 + unknown + "\r", threads) == kH35 + unknown + "\r\r\n") << length;
      EXPECT_TRUE(Convert(kH40Lf + unknown + "\n" + letter + "\n", threads) ==
                  kH35 + unknown + "\r\n" + banner + "\r\n")
          << length;
      // In CR LF lines a lone LF is data, also across the blocks.
      EXPECT_TRUE(Convert(kH40 + unknown + "\n" + letter + "\r\n-it\r\n", threads) ==
                  kH35 + unknown + "\n" + letter + "\r\n-t60\r\n")
          << length;
      EXPECT_TRUE(Convert(kH40 + letter + "\n" + unknown + "\r\n-it\r\n", threads) ==
                  kH35 + banner + "\r\n-t60\r\n")
          << length;
    }
  }
}

TEST_F(ConvertTest, LongNumericRecordsGiveWhatTheReferenceGives) {
  // Longer than a reading block: more than 100 fields (50 values of an
  // option) is error 9 as soon as field 101 begins; up to 100 fields,
  // whatever their length, the line is converted.  A blank after field 100 at the line's end opens
  // an empty field 101, also when its carriage return and line feed fall in different reading
  // blocks.
  std::string hundred = "4 1 0.1 1 2 0.5 90 3 0";
  for (int field = 10; field < 100; ++field)
    hundred += " T" + std::to_string(field);
  auto padded = [](std::string line, std::size_t length) {
    line += " ";
    while (line.size() < length)
      line += static_cast<char>('a' + line.size() % 26);
    return line;
  };
  const std::string letters = [] {
    std::string text;
    while (text.size() < (9u << 20))
      text += static_cast<char>('a' + text.size() * 7 % 26);
    return text;
  }();
  const std::string many_values = [] {
    std::string line = "0";
    while (line.size() < 600'000)
      line += " 1";
    return line;
  }();
  const std::string lines[] = {
      many_values,
      "1 " + many_values.substr(1),
      "6" + many_values.substr(1),
      padded("4 1 0.1 1 2 0.5 90 3 0 TEXT", 300'000),
      padded(hundred, (1u << 18) - 5) + " ",
      padded(hundred, (1u << 18) - 2) + " ",
      padded(hundred, (1u << 18) - 1) + " ",
      padded(hundred, 1u << 19) + " ",
      padded(hundred, 1u << 19) + " x",
      padded(hundred, 1u << 19) + "  ",
      // The texts of records "4" and "6", copied as they are read: blanks at
      // the end, a text of blanks only, an error before the text, with or
      // without a field 101 after it.
      padded("4 1 0.1 1.25 2.5 0.5 90 5 1 ", 300'000) + "   ",
      "4 1 0.1 1.25 2.5 0.5 90 5 0 " + std::string(300'000, ' '),
      "4 1 0.1 1.25 2.5 0.5 90 5 0 T" + std::string(300'000, ' ') + "\t",
      padded("6 2 90 1 2 0.5 0.25 ", 300'000) + " A  B ",
      padded("4 1 1e999 1.25 2.5 0.5 90 5 0", 300'000),
      padded("4 1 1e999 1.25 2.5 0.5 90 5 0", 300'000) + many_values,
      padded(std::string(hundred).replace(4, 3, "1e999"), 1u << 19) + " ",
      padded("4 1 0.1 1.25 2.5 0.5 90 5 3", 1u << 19) + " x\r",
      // Values of a record "0" or "1" or an option that cannot fit a double
      // whatever follows them: error 6, known before the line is held; and
      // those that an exponent brings back, or that are worth 0.
      "1 " + std::string(1'000'000, '7'),
      "0 12  " + std::string(400'000, '1') + "e-399990,2",
      "0 12  0." + std::string(300'000, '0') + "1e300010",
      "0 12    " + std::string(300'000, '0') + "   ",
      "1 " + std::string(300'000, '1') + many_values.substr(1, 200),
      "-gx5e" + std::string(300'000, '0') + "400",
      "-gx1," + std::string(300'000, '\t') + std::string(400, '9') + "e-95,2",
      "-gx" + std::string(300'000, '9') + "e-" + std::string(12, '9'),
      "-dp" + std::string(300'000, '8') + "e1",
      "1 " + std::string(309, '9') + std::string(300'000, '\t'),
      // Records "2" and "3" with a long field in every place, and records
      // "4" and "6" whose fields before the text are long: the fields that
      // are read as numbers stand for what they are worth, those that are
      // copied (a value worth 0, a pad's sizes and name) come out whole.
      "2 5 " + std::string(300'000, '0') + " 1 2 3 90 90 1 0",
      "2 5 1 2 0." + std::string(300'000, '0') + "1 3 90 90 1 0",
      "2 5 1 2 3 4 " + std::string(300'000, '9') + "e-300200 90 1 0",
      "2 5 1 2 3 4 90 90 " + std::string(300'000, '1') + " 0",
      "2 5 1 2 3 4 90 90 1 0 " + std::string(300'000, 'x'),
      "2" + std::string(300'000, 'x') + " 5 1 2 3 4 90 90 1 0",
      "2 " + std::string(300'000, '5') + " 1 2 3 4 90 90 1 0",
      "2 5 1," + std::string(300'000, ',') + " 2 3 4 90 90 1 0",
      "2 5 1,2,3,4,5,6,7,8,9," + std::string(300'000, '0') + ",1 2 3 4 90 90 1 0",
      // A value's first character is its own, even a comma: worth 0.
      "2 5 1 " + std::string(300'000, ':') + ",," + std::string(300'000, '7') + " 2 90 90 1 0",
      "6 2 90 1 2," + std::string(300'000, '0') + ",,1" + std::string(300'000, '1') + " 1 T",
      "3 " + std::string(300'000, '7') + " 2 1 2 3 4 5 90 1 U1",
      "3 1.5 " + std::string(300'000, '0') + " 1 2 3 4 5 90 1 U1",
      "3 1.5 0." + std::string(300'000, '0') + "5 1 2 3 4 5 90 1 U1",
      "3 1.5 2 1 2 3 4 5 " + std::string(300'000, '0') + "90 1 U1",
      "3 1.5 2 1 2 3 4 5 90 " + std::string(300'000, 'T') + " U1",
      "3 1.5 2 1 2 3 4 5 90 1 " + std::string(300'000, 'U'),
      "3 1.5 2 1 2 3 4 5 90 1 " + std::string(300'000, 'U') + " 12",
      "3 1.5 2 1 2 3 4 5 90 1 U1 " + std::string(300'000, '1'),
      "3 1.5 2 1 " + std::string(300'000, '0') + "," + std::string(300'000, '0') + " 4 5 90 1 U1",
      "3 1e999 2 1 2 3 4 5 90 1 " + std::string(300'000, 'U'),
      "3 1e999 0 1 2 3 4 5 90 1 " + std::string(300'000, 'U'),
      "3 1e999 0 1 2 3 4 5 90 1 " + std::string(300'000, 'U') + many_values.substr(1, 200),
      "3 1.5 2 1 2 3 4 5 90  " + std::string(300'000, 'T') + " ",
      "3 1.5 2 1 2 3 4 5 90 " + std::string(300'000, 'T') + many_values.substr(1, 180),
      "3 1.5 2 1 2 3 4 5 90 " + std::string(300'000, 'T') + many_values.substr(1, 181),
      "3 1.5 2 1 2 3 4 5 90 " + std::string(300'000, 'T') + many_values.substr(1, 182),
      "4 1 " + std::string(300'000, '0') + " 1.25 2.5 0.5 90 5 1 TEXT",
      "4 1 0.1 0." + std::string(300'000, '0') + "7 2.5 0.5 90 6 1 TEXT",
      "4 1 0.1 1.25 2.5 0.5 " + std::string(300'000, '0') + "90 7 1 TEXT " +
          std::string(300'000, 'T'),
      "4 1 0.1 1.25 2.5 0.5 90 5 " + std::string(300'000, '1') + " TEXT",
      "4 " + std::string(300'000, '1') + " 0.1 1.25 2.5 0.5 90 5 1 TEXT",
      "6 2 " + std::string(300'000, '3') + "e-299990 1 2 0.5 0.25 TEXT",
      "6 2 90 1 2 " + std::string(300'000, '0') + " 0.25 TEXT",
      "6 2 90 1 2 0.5 0.25 " + std::string(300'000, '0') + " " + std::string(300'000, 'T'),
      // Copied pieces past what is held in memory, which are spooled.
      "3 1.5 2 1 2 3 4 5 90 1 " + letters,
      "-gx1,0x" + letters + ",2",
      // Options that scale their values: at most 50.
      "-gx" + many_values.substr(1),
      "-dp1,2" + many_values.substr(1),
      padded("-gx1,2,3", 300'000),
      padded("-dp", 300'000) + std::string(49, ',') + "1",
      padded("-gx", 300'000) + std::string(49, ',') + " 1",
      padded("-gx", 300'000) + std::string(49, ','),
  };
  for (const std::string& line : lines) {
    std::string expected;
    try {
      std::string riga = line;
      expected = kH35 + "-t60\r\n" + reference::Trasforma(riga) + "\r\n-t60\r\n";
    } catch (const RuntimeError& error) {
      expected = "error " + std::to_string(error.number()) + " at line 3";
    }
    for (unsigned threads : {1u, 2u}) {
      EXPECT_TRUE(Convert(kH40 + "-it\r\n" + line + "\r\n-it\r\n", threads) == expected)
          << line.substr(0, 40) << "... " << line.size() << " " << expected.substr(0, 40);
    }
  }
}

TEST_F(ConvertTest, RandomLongLinesGiveWhatTheReferenceGives) {
  // Lines longer than a reading block of the kinds converted while they are
  // read, made of pieces that matter to them: long runs of digits, zeros,
  // blanks, commas, tabs, carriage returns, exponents, colons.
  const std::string starts[] = {"0 12  ",
                                "1 ",
                                "4 1 0.1 1.25 2.5 0.5 90 5 1 ",
                                "6 2 90 1 2 .5 .25 ",
                                "-gx",
                                "-dp1,",
                                "-y3:00FF00FF,0,0,0,00,9,",
                                "-y255:1",
                                "2 ",
                                "2 5 1 ",
                                "3 ",
                                "3 1.5 0 1 2 ",
                                "3 1.5 2 1 2 3 4 5 90 ",
                                "4 1 ",
                                "4 1 0.1 1.25 ",
                                "6 2 ",
                                "6 2 90 1 "};
  const std::string pieces[] = {"7", "0", " ", ",", "\t", "\r", "e", "e-", "e9",
                                ".", ":", "x", "1", "-",  "+",  "E", "0."};
  std::mt19937 random(19);
  for (int n = 0; n < 160; ++n) {
    std::string line = starts[random() % std::size(starts)];
    while (line.size() < 300'000) {
      const std::string& piece = pieces[random() % std::size(pieces)];
      // Mostly long runs of one piece, a few single ones; separators few,
      // so that the lines do not all have too many fields.
      const bool separator = piece == " " || piece == ",";
      const std::size_t count =
          separator || random() % 4 == 0 ? 1 + random() % 2 : 1 + random() % 60'000;
      for (std::size_t i = 0; i < count && line.size() < 400'000; ++i)
        line += piece;
    }
    std::string expected;
    try {
      std::string riga = line;
      expected = kH35 + reference::Trasforma(riga) + "\r\n";
    } catch (const RuntimeError& error) {
      expected = "error " + std::to_string(error.number()) + " at line 2";
    }
    EXPECT_TRUE(Convert(kH40 + line + "\r\n", 1) == expected)
        << n << ": " << line.substr(0, 40) << "... " << expected.substr(0, 60);
  }
}

// Records what an observer is told, one text per account.
class RecordingObserver : public LineObserver {
 public:
  void Lost(std::uint64_t line, LossKind kind, const std::string& detail) override {
    told.push_back(std::to_string(line) + " " + std::to_string(static_cast<int>(kind)) + " " +
                   detail);
  }
  std::vector<std::string> told;
};

TEST_F(ConvertTest, LongRecordsTellWhatTheWholeLineLoses) {
  // Longer than a reading block, converted from a short line that stands
  // for them: the accounts of the fields they lose are the whole line's.
  const std::string lines[] = {
      "2" + std::string(300'000, 'x') + " 5 1 2 3 4 90 90 1 0",
      "2 5 1 2 3 4 90 90 1 0 " + std::string(300'000, 'x') + " y",
      "3 1.5 2 1 2 3 4 5 90 1 U1 " + std::string(300'000, 'z'),
      "3 1.5 2 1 2 3 4 5 45 " + std::string(300'000, 'T') + " U1 " + std::string(300'000, 'z'),
      "6 " + std::string(300'000, 'x') + " 90 1 2 0.5 0.25 T",
  };
  for (const std::string& line : lines) {
    RecordingObserver whole;
    DescribeLosses(line, 2, whole);
    ASSERT_FALSE(whole.told.empty()) << line.substr(0, 40);
    Write("IN.PCB", kH40 + line + "\r\n");
    RecordingSink sink;
    RecordingObserver streamed;
    AnalysisRequest request{dir_, "IN.PCB", output_, kPoint};
    request.threads = 1;
    request.observer = &streamed;
    ASSERT_TRUE(Analizza(request, sink).converted) << sink.failed_number;
    EXPECT_EQ(streamed.told, whole.told) << line.substr(0, 40);
  }
}

TEST_F(ConvertTest, LongLayerLinesAreConvertedWhileTheyAreRead) {
  // Longer than a reading block, and some names longer than what is held in
  // memory: the same text and the same accounts as the whole line gives.
  auto letters = [](std::size_t length, char first) {
    std::string text;
    while (text.size() < length)
      text += static_cast<char>(first + text.size() % 26);
    return text;
  };
  const std::string big_name = letters(5 << 20, 'a');
  const std::string lines[] = {
      "-y3:00FFFFFF,0,0,0,00,9," + letters(300'000, 'a'),
      "-y3:00FFFFFF,0,0,0,00,9," + big_name,
      "-y3:00FFFFFF,0,0,0,00,9," + big_name + ",Top Silk",
      "-y3:00FFFFFF,0,0,0,00,9," + big_name + "," + big_name + ",Gnd",
      "-y255:00FF0000,1,0,0,00,9," + letters(300'000, 'A') + ",Symbols",
      "-y3" + letters(300'000, 'a'),
      "-y3:" + letters(300'000, 'a'),
      "-y" + letters(300'000, 'a') + ":00FFFFFF,0,0,0,00,9,Vcc",
      "-y12:000000FF,0,0,0,00,9,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20," +
          letters(300'000, 'a') + "\r\r",
      "-y1,2:1" + letters(300'000, 'a'),
  };
  for (const std::string& line : lines) {
    std::string riga = line;
    const std::string text = reference::Trasforma(riga);
    RecordingObserver whole;
    riga = line;
    if (riga.starts_with("-y255")) riga.replace(0, 5, "-y15");
    DescribeLosses(riga, 3, whole);
    for (const std::string& end : {std::string("\r\n-it\r\n"), std::string("\r")}) {
      const bool last = end == "\r";
      const unsigned threads = last ? 2 : 1;
      Write("IN.PCB", kH40 + "-it\r\n" + line + end);
      RecordingSink sink;
      RecordingObserver streamed;
      AnalysisRequest request{dir_, "IN.PCB", output_, kPoint};
      request.threads = threads;
      request.observer = &streamed;
      ASSERT_TRUE(Analizza(request, sink).converted) << sink.failed_number;
      // A carriage return that ends the file is part of the line.
      std::string expected = kH35 + "-t60\r\n" + text;
      if (last) {
        riga = line + "\r";
        expected = kH35 + "-t60\r\n" + reference::Trasforma(riga) + "\r\n";
      } else {
        expected += "\r\n-t60\r\n";
        // The accounts of line 3 (the "-it" lines around it have theirs).
        std::erase_if(streamed.told,
                      [](const std::string& told) { return !told.starts_with("3 "); });
        EXPECT_EQ(streamed.told, whole.told) << line.substr(0, 40);
      }
      EXPECT_TRUE(Read(output_) == expected) << line.substr(0, 40) << "... " << line.size();
    }
  }
}

}  // namespace
}  // namespace tavrel
