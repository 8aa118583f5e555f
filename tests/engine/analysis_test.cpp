#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

class AnalysisTest : public SourceFolderTest {
 protected:
  // Converts `bytes` and returns the output.
  std::string Converted(const std::string& bytes) {
    Write("IN.PCB", bytes);
    RecordingSink sink;
    const AnalysisOutcome outcome = Run("IN.PCB", sink);
    EXPECT_TRUE(outcome.converted) << sink.failed_number;
    EXPECT_TRUE(sink.ready);
    return Read(output_);
  }
};

std::size_t FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return std::string::npos;
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at])
    ++at;
  return at;
}

TEST_F(AnalysisTest, HeaderTableGivesFormatOutcomeAndWhetherToConvert) {
  const struct {
    std::string header;
    int code;
    const char* format;
    const char* outcome;
  } rows[] = {
      {"TAVREL Version 3.3 -- DATA FILE", 33, "Formato: TAVREL 3.3 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
      {"TAVREL Version 3.4 -- DATA FILE", 34, "Formato: TAVREL 3.4 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
      {"TAVREL Version 3.5 -- DATA FILE", 35, "Formato: TAVREL 3.5",
       "Conversione: File già nel formato 3.5"},
      {"TAVREL Version 3.6 -- DATA FILE", 36, "Formato: TAVREL 3.6 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
      {"TAVREL Version 3.7 -- DATA FILE", 37, "Formato: TAVREL 3.7 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
      {"TAVREL Version 3.8 -- DATA FILE", 38, "Formato: TAVREL 3.8 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
      {"TAVREL Version 4.0 -- Data File.", 40, "Formato: TAVREL 4.0 per Windows",
       "Conversione: Possibile!"},
      {"TAVREL VERSION 3.5 -- SOURCE LIBRARY FILE", -35, "Formato: Libreria TAVREL 3.5 per Dos",
       "Conversione: Non convertibile"},
      {"   TAVREL Version 3.7 -- DATA FILE", 37, "Formato: TAVREL 3.7 per Dos",
       "Conversione: Rapida (modifica intestazione)"},
  };
  const char* kUnknownFormat = "Formato: Sconosciuto / Non convertibile";
  const char* kUnknownOutcome = "Conversione: Non possibile";
  const std::string unknown[] = {"TAVREL Version 4.0 -- DATA FILE.",
                                 "TAVREL Version 4.0 -- Data File",
                                 "TAVREL Version 4.0 -- Data file.",
                                 "TAVREL version 3.6 -- DATA FILE",
                                 "TAVREL Version 3.5 -- SOURCE LIBRARY FILE",
                                 "TAVREL Version 3.6 -- DATA FILE ",
                                 "\tTAVREL Version 3.6 -- DATA FILE",
                                 "TAVREL Version 3.9 -- DATA FILE",
                                 "Appunti"};
  auto check = [&](const std::string& header, int code, const char* format, const char* outcome) {
    fs::remove(output_);
    Write("IN.PCB", header + "\r\n-gz1\r\n");
    RecordingSink sink;
    const AnalysisOutcome result = Run("IN.PCB", sink);
    EXPECT_EQ(result.code, code) << header;
    EXPECT_EQ(sink.label(Label::kTipoFile), format) << header;
    EXPECT_EQ(sink.label(Label::kConvPreview), outcome) << header;
    EXPECT_EQ(sink.ready, IsConvertible(code)) << header;
    EXPECT_EQ(fs::exists(output_), IsConvertible(code)) << header;
    EXPECT_FALSE(result.failed);
  };
  for (const auto& row : rows)
    check(row.header, row.code, row.format, row.outcome);
  for (const auto& header : unknown)
    check(header, 99, kUnknownFormat, kUnknownOutcome);
}

TEST_F(AnalysisTest, LabelsRepaintAndButtonInTheirOrder) {
  Write("A.PCB", kDataHeader36 + "\r\nx\r\n");
  RecordingSink sink;
  Run("A.PCB", sink);
  ASSERT_EQ(sink.calls.size(), 9u);
  EXPECT_EQ(sink.calls[0], "SourceFile=Nome: A.PCB");
  EXPECT_EQ(sink.calls[1], "FileSize=Dimensione: 36 bytes");
  // "gg/mm/aaaa hh:mm:ss"
  const std::string date = sink.calls[2];
  const std::string prefix = "FileDate=Data Creazione: ";
  ASSERT_EQ(date.size(), prefix.size() + 19) << date;
  EXPECT_EQ(date.substr(0, prefix.size()), prefix);
  for (std::size_t i = 0; i < 19; ++i) {
    const char c = date[prefix.size() + i];
    const char shape = "00/00/0000 00:00:00"[i];
    EXPECT_TRUE(shape == '0' ? std::isdigit(static_cast<unsigned char>(c)) != 0 : c == shape)
        << date;
  }
  EXPECT_EQ(sink.calls[3], "ConvPreview=Conversione: Attendere... analisi del file in corso");
  EXPECT_EQ(sink.calls[4], "Repaint");
  EXPECT_EQ(sink.calls[5], "NotReady");
  EXPECT_EQ(sink.calls[6], "TipoFile=Formato: TAVREL 3.6 per Dos");
  EXPECT_EQ(sink.calls[7], "ConvPreview=Conversione: Rapida (modifica intestazione)");
  EXPECT_EQ(sink.calls[8], "Ready");
}

TEST_F(AnalysisTest, SizeIsGroupedWithTheUsersThousandsSeparator) {
  Write("BIG.PCB", kDataHeader36 + "\r\n" + std::string(1234567 - kDataHeader36.size() - 2, 'x'));
  const struct {
    NumberSettings numbers;
    const char* label;
  } cases[] = {
      {{",", "."}, "Dimensione: 1.234.567 bytes"},
      {{".", ","}, "Dimensione: 1,234,567 bytes"},
      {{".", ""}, "Dimensione: 1234567 bytes"},
  };
  for (const auto& c : cases) {
    RecordingSink sink;
    Run("BIG.PCB", sink, c.numbers);
    EXPECT_EQ(sink.label(Label::kFileSize), c.label);
  }
}

TEST_F(AnalysisTest, ThreeXLinesAreCopiedByteForByte) {
  const struct {
    std::string source;
    std::string output;
  } cases[] = {
      {kDataHeader36 + "\r\nA 1\r\nB 2\r\n", kH35 + "A 1\r\nB 2\r\n"},
      {kDataHeader36 + "\r\nA 1\r\nB 2", kH35 + "A 1\r\nB 2\r\n"},      // last line without CR LF
      {kDataHeader36 + "\nA 1\nB 2\n", kH35 + "A 1\r\nB 2\r\n"},        // LF-only file
      {kDataHeader36 + "\r\n\r\nA\r\n\r\n", kH35 + "\r\nA\r\n\r\n"},    // empty lines stay
      {kDataHeader36 + "\r\nA\rB\r\n", kH35 + "A\rB\r\n"},              // a lone CR is data
      {kDataHeader36 + "\r\nA\r\n\x1A", kH35 + "A\r\n"},                // final DOS end mark
      {kDataHeader36 + "\r\nA\x1A\r\nB\r\n", kH35 + "A\x1A\r\nB\r\n"},  // only at the very end
      {kDataHeader36 + "\r\n" + std::string("\0\xff\x80 ,", 5) + "\r\n",
       kH35 + std::string("\0\xff\x80 ,", 5) + "\r\n"},
      {kDataHeader36 + ",5 1 2\r\nA\r\n",
       kH35 + "5 1 2\r\nA\r\n"},  // after a comma: first data line
      // A header line ending in CR LF: only CR LF ends a line.
      {kDataHeader36 + "\r\n4 1 Line one\n0 A\r\n", kH35 + "4 1 Line one\n0 A\r\n"},
      {kDataHeader36 + "\r\nA\n", kH35 + "A\n\r\n"},
      {kDataHeader36 + ",x\ny\r\n", kH35 + "x\r\ny\r\n"},  // the first line end decides
      {kDataHeader36 + ",x\r\ny\nz", kH35 + "x\r\ny\nz\r\n"},
      {kDataHeader36 + "\r\n", kH35},  // its header alone: empty drawing
      {kDataHeader36, kH35},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Converted(c.source), c.output) << c.source;
}

TEST_F(AnalysisTest, LargeThreeXFileKeepsEveryByteAcrossBufferBoundaries) {
  // Mixed line ends over several megabytes, with CR LF pairs and lone LFs
  // placed on the reading buffers' boundaries (64 KiB, then 1 MiB steps).
  // The header line ends in a lone LF: so may the others.
  std::string source = kDataHeader36 + "\n";
  std::string expected = kH35;
  std::mt19937 random(12345);
  auto next = [&random] { return random(); };
  std::string line;
  while (source.size() < 3'500'000) {
    line.assign(next() % 90, 'a');
    for (char& c : line)
      c = static_cast<char>('0' + next() % 40);
    const bool boundary = source.size() % (1 << 20) > (1 << 20) - 100;
    const bool lone = next() % 3 == 0 || boundary;
    if (!lone && next() % 20 == 0) line += '\r';  // a CR of its own stays in the line
    source += line + (lone ? "\n" : "\r\n");
    expected += line + "\r\n";
  }
  source += "last";
  expected += "last\r\n";
  // (Compared whole: a failure shows where, not a diff of megabytes.)
  EXPECT_EQ(FirstDifference(Converted(source), expected), std::string::npos);
  // All CR LF: whole buffers copied as they are.
  std::string clean;
  for (char c : source) {
    if (c == '\n' && clean.back() != '\r') clean += '\r';
    clean += c;
  }
  const std::string clean_expected = kH35 + clean.substr(kDataHeader36.size() + 2) + "\r\n";
  ASSERT_EQ(clean.substr(kDataHeader36.size(), 2), "\r\n");
  EXPECT_EQ(FirstDifference(Converted(clean), clean_expected), std::string::npos);
}

TEST_F(AnalysisTest, CrLfThreeXFileEndsTheSameWhereverTheUnreadCopyStops) {
  // The header is read with the first buffer (1 MiB); the rest of a CR LF
  // file but its last bytes is copied unread, and those decide the end: a
  // line end there or not, a DOS end-of-file mark, a CR or a lone LF (data
  // in a CR LF file) as the last byte.
  constexpr std::size_t kFirst = 1 << 20;
  const std::size_t lengths[] = {100,        kFirst - 2, kFirst - 1,     kFirst,
                                 kFirst + 1, kFirst + 2, kFirst + 3,     kFirst + 4,
                                 kFirst + 5, kFirst + 7, 2 * kFirst + 11};
  const std::string endings[] = {"\r\n", "\r\n\x1A", "x", "x\x1A", "\r", "\r\x1A", "\n", "\n\x1A"};
  for (const std::size_t length : lengths) {
    for (const std::string& ending : endings) {
      std::string source = kH36;
      for (std::size_t i = 0; source.size() + ending.size() < length; ++i)
        source += i % 61 == 60 ? '\n' : i % 37 == 36 ? '\r' : static_cast<char>('A' + i % 26);
      source += ending;
      std::string body = source.substr(kH36.size());
      if (body.ends_with('\x1A')) body.pop_back();
      const std::string expected = kH35 + body + (body.ends_with("\r\n") ? "" : "\r\n");
      EXPECT_EQ(FirstDifference(Converted(source), expected), std::string::npos)
          << source.size() << " bytes ending " << testing::PrintToString(ending);
    }
  }
}

TEST_F(AnalysisTest, LargeFourZeroFileIsEveryLineTransformedInOrder) {
  for (bool crlf : {false, true}) {
    SCOPED_TRACE(crlf ? "CR LF lines" : "LF lines");
    // Lines of every family across many reading buffers, their line ends
    // falling anywhere in them: the driver writes Trasforma of each line.
    const std::string lines[] = {"0 1 2 1.5,2.25,-0.5",
                                 "3 2 0 1 2 0.5 0.25 0.125 90 5",
                                 "4 1 0.125 1 2 0.5 90 5 0 AB   CD",
                                 "S 1 2",
                                 "",
                                 "-gp",
                                 "-y255:00FFFFFF,0,0,0,00,9,Top Silk",
                                 "-y3 abc",
                                 "5 unchanged"};
    std::mt19937 random(7);
    // LF lines may end either way; in CR LF lines a lone LF is data.
    std::string source = kDataHeader40 + (crlf ? "\r\n" : "\n");
    std::string expected = kH35;
    for (int i = 0; i < 60000; ++i) {
      std::string line = lines[random() % std::size(lines)];
      if (crlf && line == "5 unchanged" && random() % 2 == 0) line += "\n4 x";
      source += line + (!crlf && random() % 4 == 0 ? "\n" : "\r\n");
      expected += Transformed(line) + "\r\n";
    }
    EXPECT_EQ(FirstDifference(Converted(source), expected), std::string::npos);
  }
}

TEST_F(AnalysisTest, FourZeroLinesGoThroughTrasforma) {
  const std::string banner(kBannerLine);
  EXPECT_EQ(Converted(kDataHeader40 + "\r\n-gp\r\n\r\n5 x\r\n3 2 0 1 2 0.5 0.25 0.125 90 5"),
            kH35 + "-hp2223440000000000\r\n-hs1.0000,0,0,0,0,0,0,0,0\r\n-hm0,0,0,3\r\n" + banner +
                "\r\n5 x\r\n3 0 32 1000 2000 250 500 125 5\r\n");
  EXPECT_EQ(Converted(kDataHeader40 + ",-gz12\r\n"), kH35 + "-gz0,0\r\n");
  EXPECT_EQ(Converted(kDataHeader40 + "\n-y255:00FFFFFF\n"), kH35 + "-y15:15,,\r\n");
  // A lone LF in a CR LF file is a character of the text record.
  const std::string text = "4 1 0.1 1 2 0.5 90 0 0 Line one\n0 A";
  EXPECT_EQ(Converted(kDataHeader40 + "\r\n" + text + "\r\n-gz\r\n"),
            kH35 + Transformed(text) + "\r\n" + Transformed("-gz") + "\r\n");
}

TEST_F(AnalysisTest, RerunRewritesTheOutputFromTheStart) {
  Converted(kDataHeader36 + "\r\n" + std::string(100000, 'x') + "\r\n");
  EXPECT_EQ(Converted(kDataHeader36 + "\r\nA\r\n"), kH35 + "A\r\n");
}

TEST_F(AnalysisTest, FileNotConvertedLeavesAnEarlierOutputAlone) {
  Converted(kDataHeader36 + "\r\nA\r\n");
  Write("LIB.SCH", "TAVREL VERSION 3.5 -- SOURCE LIBRARY FILE\r\nX\r\n");
  RecordingSink sink;
  Run("LIB.SCH", sink);
  EXPECT_FALSE(sink.ready);
  EXPECT_EQ(Read(output_), kH35 + "A\r\n");
}

TEST_F(AnalysisTest, EmptyFileIsUnrecognisedWithoutError) {
  for (const std::string bytes : {"", "\x1A"}) {
    Write("EMPTY.PCB", bytes);
    RecordingSink sink;
    const AnalysisOutcome outcome = Run("EMPTY.PCB", sink);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.code, 99);
    EXPECT_EQ(sink.label(Label::kFileSize),
              "Dimensione: " + std::to_string(bytes.size()) + " bytes");
    EXPECT_EQ(sink.label(Label::kTipoFile), "Formato: Sconosciuto / Non convertibile");
    EXPECT_EQ(sink.label(Label::kConvPreview), "Conversione: Non possibile");
    EXPECT_FALSE(sink.ready);
  }
}

TEST_F(AnalysisTest, RunTimeErrorsReachTheHandlerWithTheirLine) {
  std::string wide = "4";
  for (int i = 2; i <= 101; ++i)
    wide += " 1";
  const struct {
    std::string bytes;
    int number;
    std::uint64_t line;
  } cases[] = {
      {kDataHeader40 + "\r\n-gz\r\n" + wide + "\r\n-gd\r\n", err::kSubscript, 3},
      {kDataHeader40 + "\r\n0 1\r\n", err::kInvalidArgument, 2},
      {kDataHeader40 + "\r\n2 1 1 1 1 1 0 0 1e307 0\r\n", err::kOverflow, 2},
      {kDataHeader40 + ",0 1\r\n", err::kInvalidArgument, 1},  // data on the header line
      {kDataHeader40 + "\r\n-gz\nx\r\n0 1\r\n", err::kInvalidArgument, 3},
      {kDataHeader40 + "\n-gz\nx\r\n0 1\r\n", err::kInvalidArgument, 4},
  };
  for (const auto& c : cases) {
    Converted(kDataHeader36 + "\r\nA\r\n");  // an earlier conversion waiting
    Write("BAD.PCB", c.bytes);
    RecordingSink sink;
    const AnalysisOutcome outcome = Run("BAD.PCB", sink);
    EXPECT_TRUE(outcome.failed);
    EXPECT_FALSE(outcome.converted);
    EXPECT_EQ(sink.failed_number, c.number);
    EXPECT_EQ(sink.line, c.line);
    EXPECT_FALSE(sink.ready);
    EXPECT_FALSE(fs::exists(output_)) << "no half conversion may be left";
  }
}

TEST_F(AnalysisTest, MissingSourceIsFileNotFound) {
  Write("plain", "x");
  for (const char* name : {"NONE.PCB", "nofolder/NONE.PCB", "plain/NONE.PCB"}) {
    RecordingSink sink;
    Run(name, sink);
    EXPECT_EQ(sink.failed_number, err::kFileNotFound) << name;
    EXPECT_EQ(sink.line, 0u);
    EXPECT_EQ(sink.label(Label::kSourceFile), std::string("Nome: ") + name);
  }
}

TEST_F(AnalysisTest, OutputThatCannotBeWrittenIsAFileError) {
  Write("A.PCB", kDataHeader36 + "\r\nA\r\n");
  Write("plain", "x");
  const struct {
    std::string output;
    int number;
  } cases[] = {
      {dir_ + "/missing/PEMBLIX.TMP", err::kPathNotFound},
      {dir_ + "/plain/PEMBLIX.TMP", err::kPathNotFound},
      {dir_, err::kPathFileAccess},  // a folder
  };
  for (const auto& c : cases) {
    RecordingSink sink;
    AnalysisRequest request{dir_, "A.PCB", c.output, kPoint};
    Analizza(request, sink);
    EXPECT_EQ(sink.failed_number, c.number) << c.output;
    EXPECT_FALSE(sink.ready);
  }
  EXPECT_TRUE(fs::is_directory(dir_));
}

#ifndef _WIN32  // no FIFOs on Windows
TEST_F(AnalysisTest, OutputThatIsNoFileIsRefusedAndKept) {
  Write("A.PCB", kDataHeader36 + "\r\nA\r\n");
  ASSERT_EQ(mkfifo(output_.c_str(), 0600), 0);
  RecordingSink sink;
  Run("A.PCB", sink);  // neither hangs on the pipe nor removes it
  EXPECT_EQ(sink.failed_number, err::kPathFileAccess);
  EXPECT_TRUE(fs::is_fifo(output_));
}
#endif

TEST_F(AnalysisTest, OutputIsNotWrittenThroughALink) {
  Write("A.PCB", kDataHeader36 + "\r\nA\r\n");
  Write("victim", "keep");
  fs::create_symlink(dir_ + "/victim", output_);
  RecordingSink sink;
  Run("A.PCB", sink);
  EXPECT_NE(sink.failed_number, -1);
  EXPECT_EQ(Read(dir_ + "/victim"), "keep");
}

TEST(ProposedName, EightThreeNameFromTheSourceName) {
  const struct {
    const char* name;
    const char* proposed;
  } cases[] = {
      {"board.pcb", "3_BOARD.PCB"},
      {"schema01.sch", "3_SCHEMA.SCH"},
      {"x.longext", "3_X.LON"},
      {".sch", "3_OLDTAV.SCH"},
      // A dot before the extension's becomes "_": never two dots.
      {"a.b.sch", "3_A_B.S"},
      {"abcdef.b.sch", "3_ABCDEF.S"},
      {".a.b", "3_OLDTAV.B"},
      {"n.c", "3_N.C"},
      {"BOARD.PCB", "3_BOARD.PCB"},
      {"readme", "3_README"},
      {"schematic", "3_SCHEMA"},
      {"a.", "3_A."},
      {"Az09_-!#.$%&", "3_AZ09_-.$%&"},
      {"'()@^{}~.~@{", "3_'()@^{.~@{"},
      // Characters a DOS name cannot hold become "_".
      {"R&D <1>.pcb", "3_R&D__1.PCB"},
      {"space name.pcb", "3_SPACE_.PCB"},
      {"new\nline.pcb", "3_NEW_LI.PCB"},
      {"a\"*+,:;=?[\\]|\x7f.p/c", "3_A_____.P_C"},
      {"perché.sch", "3_PERCH_.SCH"},
      {"èèèèèèè.sch", "3_______.SCH"},
      {"\xe8\xe8.s\xe8h", "3___.S_H"},  // Latin-1 bytes: one "_" each
  };
  for (const auto& c : cases)
    EXPECT_EQ(ProposedName(c.name), c.proposed) << c.name;
}

TEST(ProposedName, NamesThatTellNamesakesApart) {
  const struct {
    const char* name;
    std::size_t keep_last;  // 0: numbered 7
    const char* proposed;
  } cases[] = {
      {"schema12.sch", 1, "3_SCHEM2.SCH"},  {"schema12.sch", 2, "3_SCHE12.SCH"},
      {"board_top.pcb", 5, "3_BD_TOP.PCB"}, {"short.pcb", 3, "3_SHORT.PCB"},
      {"schema12.sch", 0, "3_SCHE~7.SCH"},  {"x.pcbx", 0, "3_X~7.PCB"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.keep_last == 0 ? NumberedName(c.name, 7) : ProposedName(c.name, c.keep_last),
              c.proposed)
        << c.name << " " << c.keep_last;
  }
  EXPECT_EQ(NumberedName("schema.sch", 123), "3_SC~123.SCH");
}

#ifndef _WIN32  // the Windows place is tested with the Windows cases
TEST(TemporaryFilePath, PrivatePerUserPlace) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  const std::string saved_value = saved ? saved : "";

  char pattern[] = "/tmp/tavrel-runtime-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  setenv("XDG_RUNTIME_DIR", pattern, 1);
  EXPECT_EQ(TemporaryFilePath(), std::string(pattern) + "/PEMBLIX.TMP");

  for (const char* other : {"", "relative", "/nonexistent-folder-tavrel"}) {
    setenv("XDG_RUNTIME_DIR", other, 1);
    const std::string path = TemporaryFilePath();
    const std::string folder = "/tmp/pemblix-" + std::to_string(getuid());
    EXPECT_EQ(path, folder + "/PEMBLIX.TMP");
    struct stat st;
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
  }
  fs::remove_all(pattern);
  if (saved) {
    setenv("XDG_RUNTIME_DIR", saved_value.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
}
#endif

TEST_F(AnalysisTest, CopyReplacesThroughASiblingAndLeavesNoHalfFile) {
  Write("from", std::string("a\0b\r\n", 5));
  CopyFileReplacing(dir_ + "/from", dir_ + "/to");
  EXPECT_EQ(Read(dir_ + "/to"), std::string("a\0b\r\n", 5));
  Write("from", "new");
  CopyFileReplacing(dir_ + "/from", dir_ + "/to");
  EXPECT_EQ(Read(dir_ + "/to"), "new");

  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "/from", dir_ + "/no/to"); }),
            err::kPathNotFound);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "/none", dir_ + "/to"); }),
            err::kFileNotFound);
  EXPECT_EQ(Read(dir_ + "/to"), "new");
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 2u) << "no temporary sibling may be left";

  EXPECT_TRUE(FileExists(dir_ + "/to"));
  EXPECT_FALSE(FileExists(dir_));
  DeleteFileIfExists(dir_ + "/to");
  DeleteFileIfExists(dir_ + "/to");
  EXPECT_FALSE(FileExists(dir_ + "/to"));
}

}  // namespace
}  // namespace tavrel
