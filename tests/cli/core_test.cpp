// tavconv's core without a process: the command line, the names of a run,
// and the pool that converts N files at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "printable.h"
#include "tavconv.h"

namespace tavconv {
namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (char c : line + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

TEST(ParseArguments, ReadsOptionsAsGnuProgramsDo) {
  const struct {
    const char* line;
    bool recursive, force, dry_run, update, quiet;
    unsigned threads;
    ReportForm report;
    const char* operands;
  } cases[] = {
      {"-rj2 a b", true, false, false, false, false, 2, ReportForm::kNone, "a b"},
      {"-fj 2 a b", false, true, false, false, false, 2, ReportForm::kNone, "a b"},
      {"--recursive --jobs=3 a b", true, false, false, false, false, 3, ReportForm::kNone, "a b"},
      {"--jobs 4 a", false, false, false, false, false, 4, ReportForm::kNone, "a"},
      {"a --force --dry-run b", false, true, true, false, false, 0, ReportForm::kNone, "a b"},
      {"--update --quiet a", false, false, false, true, true, 0, ReportForm::kNone, "a"},
      {"-unq a", false, false, true, true, true, 0, ReportForm::kNone, "a"},
      {"--rec --for a", true, true, false, false, false, 0, ReportForm::kNone, "a"},
      {"--report a", false, false, false, false, false, 0, ReportForm::kText, "a"},
      {"--report=json -j8 a", false, false, false, false, false, 8, ReportForm::kJson, "a"},
      {"-- -r -", false, false, false, false, false, 0, ReportForm::kNone, "-r -"},
      {"- out", false, false, false, false, false, 0, ReportForm::kNone, "- out"},
  };
  for (const auto& c : cases) {
    const Command command = ParseArguments(Words(c.line));
    ASSERT_EQ(command.action, Command::kRun) << c.line << ": " << command.wrong;
    const Options& o = command.options;
    EXPECT_EQ(o.recursive, c.recursive) << c.line;
    EXPECT_EQ(o.force, c.force) << c.line;
    EXPECT_EQ(o.dry_run, c.dry_run) << c.line;
    EXPECT_EQ(o.update, c.update) << c.line;
    EXPECT_EQ(o.quiet, c.quiet) << c.line;
    EXPECT_EQ(o.threads, c.threads) << c.line;
    EXPECT_EQ(o.report, c.report) << c.line;
    EXPECT_EQ(o.operands, Words(c.operands)) << c.line;
  }
}

TEST(ParseArguments, SaysWhatIsWrongInItalian) {
  const struct {
    const char* line;
    const char* wrong;  // the beginning of the message
  } cases[] = {
      {"-r a -j", "l'opzione -j vuole un numero"},
      {"a --jobs", "l'opzione --jobs vuole un numero"},
      {"-j 9 a", "numero di thread non valido: 9"},
      {"-j0 a", "numero di thread non valido: 0"},
      {"--jobs=x a", "numero di thread non valido: x"},
      {"-z a", "opzione sconosciuta: -z"},
      {"--fast a", "opzione sconosciuta: --fast"},
      {"--re a", "opzione ambigua: --re"},
      {"--force=yes a", "l'opzione --force non vuole un valore"},
      {"--report=xml a", "forma di rapporto sconosciuta: xml"},
      {"-f", "manca il file sorgente"},
  };
  for (const auto& c : cases) {
    const Command command = ParseArguments(Words(c.line));
    EXPECT_EQ(command.action, Command::kWrong) << c.line;
    EXPECT_TRUE(command.wrong.starts_with(c.wrong)) << c.line << ": " << command.wrong;
  }
  EXPECT_EQ(ParseArguments(Words("-rh")).action, Command::kHelp);
  EXPECT_EQ(ParseArguments(Words("--version")).action, Command::kVersion);
}

TEST(DistinctNames, KeepWhatTellsSourcesApart) {
  const struct {
    std::vector<std::string> names;
    std::vector<std::string> expected;
  } cases[] = {
      // Nothing coincides: the proposals stay.
      {{"board.pcb", "schema.sch"}, {"3_BOARD.PCB", "3_SCHEMA.SCH"}},
      // The smallest k that tells the group apart.
      {{"board_top.pcb", "board_bot.pcb"}, {"3_BOARDP.PCB", "3_BOARDT.PCB"}},
      {{"SCHEMA01.SCH", "SCHEMA02.SCH", "SCHEMA11.SCH", "SCHEMA12.SCH"},
       {"3_SCHE01.SCH", "3_SCHE02.SCH", "3_SCHE11.SCH", "3_SCHE12.SCH"}},
      // A group's name never takes one a lone proposal already has.
      {{"schema_1.sch", "schema_x1.sch", "schem1.sch"},
       {"3_SCHE_1.SCH", "3_SCHEX1.SCH", "3_SCHEM1.SCH"}},
      // Nothing in the names tells them apart: numbered in order.
      {{"x.pcbx", "X.PCBY", "x.pcb"}, {"3_X~1.PCB", "3_X~2.PCB", "3_X~3.PCB"}},
      {{"a b.sch", "a_b.sch"}, {"3_A_B~1.SCH", "3_A_B~2.SCH"}},
      // The extension stays; a dot inside the base becomes "_".
      {{"a.b.sch"}, {"3_A_B.S"}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DistinctNames(c.names), c.expected) << c.names.front();

  // Twelve numbered drawings and many namesakes: every name a valid,
  // distinct, upper-case 8.3 name.
  std::vector<std::string> names;
  for (int i = 1; i <= 12; ++i)
    names.push_back("schema" + std::string(i < 10 ? "0" : "") + std::to_string(i) + ".sch");
  for (int i = 0; i < 30; ++i)
    names.push_back("plan.pcb" + std::to_string(i));
  const std::vector<std::string> chosen = DistinctNames(names);
  for (std::size_t i = 0; i < chosen.size(); ++i) {
    const std::string& name = chosen[i];
    const std::size_t dot = name.find('.');
    EXPECT_LE(dot == std::string::npos ? name.size() : dot, 8u) << name;
    EXPECT_LE(dot == std::string::npos ? 0 : name.size() - dot - 1, 3u) << name;
    EXPECT_EQ(name.find('.', dot + 1), std::string::npos) << name;
    for (std::size_t j = 0; j < i; ++j)
      EXPECT_NE(name, chosen[j]);
    for (char c : name)
      EXPECT_FALSE(c >= 'a' && c <= 'z') << name;
  }
  EXPECT_EQ(chosen[11], "3_SCHE12.SCH");
  EXPECT_EQ(chosen.back(), "3_PLA~30.PCB");
}

TEST(RunInOrder, ConvertsNFilesAtOnceAndReportsInOrder) {
  for (const unsigned workers : {1u, 2u, 4u}) {
    std::mutex mutex;
    std::condition_variable changed;
    unsigned in_flight = 0, most = 0;
    std::vector<std::size_t> reported;
    RunInOrder(
        12, workers,
        [&](std::size_t) {
          std::unique_lock lock(mutex);
          most = std::max(most, ++in_flight);
          changed.notify_all();
          // Held until `workers` tasks run together (or long enough to know
          // they never will).
          changed.wait_for(lock, std::chrono::seconds(5), [&] { return in_flight >= workers; });
          --in_flight;
        },
        [&](std::size_t i) { reported.push_back(i); });
    EXPECT_EQ(most, workers);
    ASSERT_EQ(reported.size(), 12u);
    for (std::size_t i = 0; i < reported.size(); ++i)
      EXPECT_EQ(reported[i], i);
  }
}

TEST(Printable, ControlCharactersBecomeEscapes) {
  EXPECT_EQ(Printable("a\033[2Jb"), "a\\033[2Jb");
  EXPECT_EQ(Printable(std::string("n\nt\tz\0e", 7)), "n\\nt\\tz\\000e");
  EXPECT_EQ(Printable("C:\\dati\\perché.pcb\x7f"), "C:\\dati\\perché.pcb\\177");
}

}  // namespace
}  // namespace tavconv
