// Whole conversions of the bundled samples against their checked-in 3.5
// forms: tests/golden/NAME.out is the conversion of samples/NAME.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

class QuietSink : public AnalysisSink {
 public:
  void SetLabel(Label, const std::string&) override {}
  void Repaint() override {}
  void SetReady(bool) override {}
  void Failed(const RuntimeError& error, std::uint64_t line) override {
    ADD_FAILURE() << "error " << error.number() << " at line " << line;
  }
};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(Golden, SamplesConvertToTheirCheckedInForms) {
  const std::string folder = NewTemporaryFolder("tavrel-golden-");
  const std::string output = folder + "/out";
  int compared = 0;
  for (const auto& entry : fs::directory_iterator(TAVREL_GOLDEN_DIR)) {
    if (entry.path().extension() != ".out") continue;
    const std::string name = entry.path().stem().string();
    const std::string expected = ReadAll(entry.path());
    for (const NumberSettings& numbers : {kPoint, kComma}) {
      QuietSink sink;
      AnalysisRequest request{TAVREL_SAMPLES_DIR, name, output, numbers};
      const AnalysisOutcome outcome = Analizza(request, sink);
      ASSERT_TRUE(outcome.converted) << name;
      // Compared line by line first, for a readable failure.
      const std::string actual = ReadAll(output);
      if (actual != expected) {
        std::size_t at = 0, line = 1;
        while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
          line += actual[at] == '\n';
          ++at;
        }
        ADD_FAILURE() << name << " differs at output line " << line << " (decimal "
                      << numbers.decimal << ")";
      }
    }
    ++compared;
  }
  fs::remove_all(folder);
  EXPECT_GE(compared, 3) << "the golden outputs are missing";
}

}  // namespace
}  // namespace tavrel
