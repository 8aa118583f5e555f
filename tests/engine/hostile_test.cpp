// Hostile inputs: binary files, empty and huge files, records at and past
// their limits, values at the edge of a double, a source that disappears and
// outputs that cannot be written.  Each ends in its documented outcome, and a
// failure never leaves a half-written file behind.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

// Bytes from a fixed seed, so every run tries the same file.
std::string RandomBytes(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& c : bytes) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return bytes;
}

class HostileTest : public SourceFolderTest {
 protected:
  // Analyses `bytes` as a source file.
  AnalysisOutcome RunBytes(const std::string& bytes, RecordingSink& sink) {
    Write("IN.PCB", bytes);
    return Run("IN.PCB", sink);
  }
  // The names in the output folder: nothing may be left there after a failure.
  std::vector<std::string> OutputFolder() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(out_dir_)) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }
  // The run failed with `number` at `line` and left no output.
  void ExpectFailure(const AnalysisOutcome& outcome, const RecordingSink& sink, int number,
                     std::uint64_t line, const std::string& what) {
    EXPECT_TRUE(outcome.failed) << what;
    EXPECT_FALSE(outcome.converted) << what;
    EXPECT_FALSE(sink.ready) << what;
    EXPECT_EQ(sink.failed_number, number) << what;
    EXPECT_EQ(sink.line, line) << what;
    EXPECT_TRUE(OutputFolder().empty()) << what << ": a half conversion was left";
  }
};

TEST_F(HostileTest, BinaryWithoutAHeaderIsUnrecognisedAndWritesNothing) {
  for (std::uint32_t seed : {1u, 2u, 3u}) {
    RecordingSink sink;
    const AnalysisOutcome outcome = RunBytes(RandomBytes(64 * 1024, seed), sink);
    EXPECT_FALSE(outcome.failed) << seed;
    EXPECT_EQ(outcome.code, 99) << seed;
    EXPECT_FALSE(sink.ready);
    EXPECT_TRUE(OutputFolder().empty());
  }
}

TEST_F(HostileTest, BinaryAfterAFourZeroHeaderConvertsOrFailsCleanly) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    RecordingSink sink;
    const AnalysisOutcome outcome = RunBytes(kH40 + RandomBytes(16 * 1024, seed), sink);
    EXPECT_EQ(outcome.code, 40);
    if (outcome.failed) {
      EXPECT_TRUE(sink.failed_number == err::kInvalidArgument ||
                  sink.failed_number == err::kOverflow || sink.failed_number == err::kSubscript)
          << "seed " << seed << ": error " << sink.failed_number;
      EXPECT_TRUE(OutputFolder().empty()) << seed;
    } else {
      EXPECT_TRUE(outcome.converted) << seed;
      EXPECT_EQ(Read(output_).substr(0, kH35.size()), kH35) << seed;
    }
  }
}

TEST_F(HostileTest, BinaryLinesPassByteForByte) {
  // Lines of any bytes but the line feed.  Copied by a 3.x conversion; in a
  // 4.0 file unchanged too when they begin with a byte no family claims.
  std::string body;
  for (std::uint32_t seed = 1; seed <= 200; ++seed) {
    std::string line = RandomBytes(seed % 97, seed);
    for (char& c : line) {
      if (c == '\n') c = 'x';
    }
    line.insert(0, 1, static_cast<char>(0x80 | seed));
    body += line + "\r\n";
  }
  ASSERT_NE(body.find('\0'), std::string::npos);
  for (const std::string& header : {kH36, kH40}) {
    RecordingSink sink;
    const AnalysisOutcome outcome = RunBytes(header + body, sink);
    ASSERT_TRUE(outcome.converted) << sink.failed_number;
    EXPECT_EQ(Read(output_), kH35 + body) << header;
  }
}

TEST_F(HostileTest, EmptyFileIsUnrecognisedWithoutErrorAndWritesNothing) {
  RecordingSink sink;
  const AnalysisOutcome outcome = RunBytes("", sink);
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(sink.failed_number, -1);
  EXPECT_EQ(outcome.code, 99);
  EXPECT_FALSE(sink.ready);
  EXPECT_TRUE(OutputFolder().empty());
}

TEST_F(HostileTest, OneTenMegabyteLine) {
  constexpr std::size_t kSize = 10 * 1024 * 1024;
  const std::string words = [] {
    std::string text;
    while (text.size() < kSize)
      text += "GND VCC 1.25,0.5 ";
    return text;
  }();
  const std::string zeros = "0." + std::string(kSize, '0');
  const struct {
    std::string source;
    std::string output;
  } cases[] = {
      {kH36 + words + "\r\n", kH35 + words + "\r\n"},  // 3.x: copied
      {kH36 + words, kH35 + words + "\r\n"},           // without a line end
      {kH40 + "C " + words + "\r\n", kH35 + std::string(kBannerLine) + "\r\n"},  // letter record
      {kH40 + "-zz" + words + "\r\n", kH35 + "-zz" + words + "\r\n"},            // unknown option
      {kH40 + "0 12  " + zeros + "\r\n", kH35 + "0 12 " + zeros + "\r\n"},  // a zero as written
  };
  for (const auto& c : cases) {
    RecordingSink sink;
    const AnalysisOutcome outcome = RunBytes(c.source, sink);
    ASSERT_TRUE(outcome.converted) << c.source.substr(0, 40) << ": " << sink.failed_number;
    EXPECT_TRUE(Read(output_) == c.output) << c.source.substr(0, 40);
  }
  // Ten million digits of one value do not fit a double.
  RecordingSink sink;
  const AnalysisOutcome outcome = RunBytes(kH40 + "-gx" + std::string(kSize, '9') + "\r\n", sink);
  ExpectFailure(outcome, sink, err::kOverflow, 2, "ten million nines");
}

// A record of `count` fields: the type and then "1"s.
std::string Fields(char type, int count) {
  std::string line(1, type);
  for (int i = 2; i <= count; ++i)
    line += " 1";
  return line;
}

// A value list of `count` values.
std::string Values(int count, const std::string& separator) {
  std::string list;
  for (int i = 1; i <= count; ++i)
    list += (i > 1 ? separator : "") + "0.125";
  return list;
}

TEST_F(HostileTest, RecordsAtAndPastTheirLimitsFailAtTheirLine) {
  const struct {
    std::string line;
    int error;  // -1: converted
  } cases[] = {
      {Fields('4', 100), -1},
      {Fields('3', 100), -1},
      {Fields('6', 100), -1},
      {Fields('4', 101), err::kSubscript},
      {Fields('3', 101), err::kSubscript},
      {Fields('2', 101), err::kSubscript},
      {Fields('4', 100) + " ", err::kSubscript},  // the 101st field is copied
      {Fields('6', 100) + " ", err::kSubscript},
      {Fields('3', 100) + " ", -1},  // a pad reads no field past 11
      {"-gx" + Values(50, ","), -1},
      {"-dp" + Values(50, " "), -1},
      {"0 12  " + Values(50, ","), -1},
      {"1 1 " + Values(50, ","), -1},
      {"-gx" + Values(51, ","), err::kSubscript},
      {"-dp" + Values(51, " "), err::kSubscript},
      {"0 12  " + Values(51, ","), err::kSubscript},
      {"1 1 " + Values(51, ","), err::kSubscript},
      {"-gx" + Values(50, ",") + ",", err::kSubscript},  // an empty 51st value
  };
  for (const auto& c : cases) {
    // The record is the fourth line, between two harmless ones.
    RecordingSink sink;
    const AnalysisOutcome outcome =
        RunBytes(kH40 + "-gz\r\n-gd\r\n" + c.line + "\r\n-it\r\n", sink);
    if (c.error == -1) {
      EXPECT_TRUE(outcome.converted) << c.line << ": error " << sink.failed_number;
      EXPECT_TRUE(sink.ready) << c.line;
    } else {
      ExpectFailure(outcome, sink, c.error, 4, c.line);
    }
  }
}

TEST_F(HostileTest, ValuesNearTheLargestDouble) {
  const std::string kMax = "1.7976931348623157e308";
  const struct {
    std::string line;
    int error;  // -1: converted
  } cases[] = {
      {"-gx" + kMax, err::kOverflow},  // times 1000
      {"-gx1e306,-" + kMax, err::kOverflow},
      {"0 12  1," + kMax, err::kOverflow},
      {"2 1 1 1 1 1 0 0 " + kMax + " 0", err::kOverflow},              // times 256
      {"2 1 1 1 1 1 " + kMax + " 0 1 0", err::kOverflow},              // an angle times 256
      {"6 1 1e308 1 1 1 1", err::kOverflow},                           // an angle times 128
      {"3 " + kMax + " 0 1 1 1 1 1 0 1 X", err::kOverflow},            // field 2 times 16
      {"4 1 1 -" + kMax + " 1 " + kMax + " 0 2 0 X", err::kOverflow},  // x less the width
      {"4 1 " + kMax + " 1 -" + kMax + " 1 0 8 0 X", err::kOverflow},  // y less the height
      {"-gx1e309", err::kOverflow},                                    // beyond a double as written
      {"-gx1e300", -1},                                  // large but whole after scaling
      {"3 0.062 0.062 1 1 1 1 1 " + kMax + " 1 X", -1},  // a rotation is only compared
      {"4 1 0.1 1 1 0.5 " + kMax + " 0 0 X", -1},        // outside 0..360: no angle
      {"-gx1e-320", -1},                                 // next to zero: no error
  };
  for (const auto& c : cases) {
    RecordingSink sink;
    const AnalysisOutcome outcome = RunBytes(kH40 + "-gz\r\n" + c.line + "\r\n", sink);
    if (c.error == -1) {
      EXPECT_TRUE(outcome.converted) << c.line << ": error " << sink.failed_number;
    } else {
      ExpectFailure(outcome, sink, c.error, 3, c.line);
    }
  }
}

TEST_F(HostileTest, SourceThatVanishesBeforeItIsReadIsFileNotFound) {
  // Removed while the labels are being shown, and after the repaint, just
  // before the file is opened.
  const struct {
    const char* when;
    std::function<void(RecordingSink&, const std::string&)> arm;
  } cases[] = {
      {"after its size",
       [](RecordingSink& sink, const std::string& path) {
         sink.on_label = [path](Label label) {
           if (label == Label::kFileSize) fs::remove(path);
         };
       }},
      {"at the repaint",
       [](RecordingSink& sink, const std::string& path) {
         sink.on_repaint = [path] { fs::remove(path); };
       }},
  };
  for (const auto& c : cases) {
    Write("GONE.PCB", kH40 + "-gz\r\n");
    RecordingSink sink;
    c.arm(sink, dir_ + "/GONE.PCB");
    const AnalysisOutcome outcome = Run("GONE.PCB", sink);
    ExpectFailure(outcome, sink, err::kFileNotFound, 0, c.when);
  }
}

TEST_F(HostileTest, OutputThatCannotBeCreatedLeavesNothing) {
  Write("A.PCB", kH40 + "-gz\r\n");
  Write("plain", "x");
  const std::string outputs[] = {dir_ + "/missing/PEMBLIX.TMP", dir_ + "/plain/PEMBLIX.TMP"};
  for (const std::string& output : outputs) {
    RecordingSink sink;
    AnalysisRequest request{dir_, "A.PCB", output, kPoint};
    const AnalysisOutcome outcome = Analizza(request, sink);
    EXPECT_TRUE(outcome.failed) << output;
    EXPECT_EQ(sink.failed_number, err::kPathNotFound) << output;
    EXPECT_FALSE(sink.ready);
    EXPECT_FALSE(fs::exists(dir_ + "/missing"));
    EXPECT_EQ(Read(dir_ + "/plain"), "x");
  }
}

#ifndef _WIN32  // file-size limits and POSIX modes
TEST_F(HostileTest, OutputThatStopsTakingBytesLeavesNoHalfFile) {
  // A file-size limit makes the writes fail part-way, for root as well.
  std::string body;
  while (body.size() < 1024 * 1024)
    body += "0 12  0.025,1.25,2.5,3.75,0.5\r\n";
  for (const std::string& header : {kH40, kH36}) {
    Write("BIG.PCB", header + body);

    struct sigaction ignore {};
    struct sigaction saved_action {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &saved_action), 0);
    struct rlimit saved_limit {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_limit), 0);
    struct rlimit limit = saved_limit;
    limit.rlim_cur = 100 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);

    RecordingSink sink;
    const AnalysisOutcome outcome = Run("BIG.PCB", sink);

    setrlimit(RLIMIT_FSIZE, &saved_limit);
    sigaction(SIGXFSZ, &saved_action, nullptr);

    EXPECT_TRUE(outcome.failed);
    EXPECT_FALSE(sink.ready);
    EXPECT_EQ(sink.failed_number, err::kDiskFull);
    // A 4.0 line was being written; a 3.x copy is about no line.
    if (header == kH40) {
      EXPECT_GT(sink.line, 1u);
    } else {
      EXPECT_EQ(sink.line, 0u);
    }
    EXPECT_TRUE(OutputFolder().empty()) << "a half conversion was left";
  }
}

TEST_F(HostileTest, HugeFirstFieldIsUnknownAtOnce) {
  // 4 GiB without a comma or line end (a sparse file of zero bytes), and
  // blanks then such a field.
  for (const std::string& start : {std::string(), std::string(100000, ' ') + "TAVREL"}) {
    Write("HUGE.PCB", start);
    fs::resize_file(dir_ + "/HUGE.PCB", std::uint64_t{4} << 30);
    RecordingSink sink;
    const auto began = std::chrono::steady_clock::now();
    const AnalysisOutcome outcome = Run("HUGE.PCB", sink);
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_FALSE(outcome.failed) << sink.failed_number;
    EXPECT_EQ(outcome.code, 99);
    EXPECT_LT(took, std::chrono::milliseconds(500));
    EXPECT_TRUE(OutputFolder().empty());
  }
}

TEST_F(HostileTest, SourceThatShrinksWhileReadIsAnError) {
  std::string body;
  while (body.size() < 1024 * 1024)
    body += "A 1 2 3\r\n";
  for (const std::string& header : {kH36, kH40}) {
    Write("SHRINKS.PCB", header + body);
    RecordingSink sink;
    sink.on_label = [this](Label label) {
      if (label == Label::kTipoFile) fs::resize_file(dir_ + "/SHRINKS.PCB", 200000);
    };
    const AnalysisOutcome outcome = Run("SHRINKS.PCB", sink);
    EXPECT_TRUE(outcome.failed) << header;
    EXPECT_EQ(sink.failed_number, err::kPastEnd);
    EXPECT_FALSE(sink.ready);
    EXPECT_TRUE(OutputFolder().empty());
  }
}

TEST_F(HostileTest, CopyToAPlaceThatCannotTakeItLeavesNoHalfFile) {
  Write("from", kH35 + "A\r\n");
  Write("plain", "x");
  fs::create_directory(dir_ + "/folder");
  const struct {
    std::string to;
    int error;
  } cases[] = {
      {dir_ + "/missing/to", err::kPathNotFound},
      {dir_ + "/plain/to", err::kPathNotFound},  // the parent is a file
      {dir_ + "/folder", err::kPathFileAccess},  // a folder of that name
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "/from", c.to); }), c.error) << c.to;
  }
  EXPECT_EQ(Read(dir_ + "/plain"), "x");
  EXPECT_TRUE(fs::is_directory(dir_ + "/folder"));
  EXPECT_TRUE(fs::is_empty(dir_ + "/folder"));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"folder", "from", "out", "plain"}))
      << "a temporary sibling was left";
}

TEST_F(HostileTest, CopyIntoAFolderWithoutWritePermission) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
  Write("from", kH35 + "A\r\n");
  const std::string locked = dir_ + "/locked";
  fs::create_directory(locked);
  Write("locked/to", "old");
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "/from", locked + "/to"); }),
            err::kPermission);
  EXPECT_EQ(ErrorNumberOf([&] { CopyFileReplacing(dir_ + "/from", locked + "/new"); }),
            err::kPermission);
  fs::permissions(locked, fs::perms::owner_all);
  EXPECT_EQ(Read(locked + "/to"), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(locked), fs::directory_iterator()), 1);
}
#endif

}  // namespace
}  // namespace tavrel
