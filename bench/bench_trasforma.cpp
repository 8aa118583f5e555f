// Trasforma per record family, on the lines of the bundled 4.0 samples.
// Each benchmark converts every line of its family once per iteration and
// reports lines per second (items) and bytes per second.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "tavrel.h"

namespace {

enum class Family {
  kRecord0,
  kRecord1,
  kRecord2,
  kRecord3,
  kRecord4,
  kRecord6,
  kLetter,
  kOption,
  kLayer,
  kUnchanged
};

Family FamilyOf(std::string_view line) {
  if (line.empty()) return Family::kLetter;  // an empty line becomes the banner line
  switch (line.front()) {
    case '0':
      return Family::kRecord0;
    case '1':
      return Family::kRecord1;
    case '2':
      return Family::kRecord2;
    case '3':
      return Family::kRecord3;
    case '4':
      return Family::kRecord4;
    case '6':
      return Family::kRecord6;
  }
  if (std::string_view("SILGCPTA").find(line.front()) != std::string_view::npos) {
    return Family::kLetter;
  }
  if (line.starts_with("-y")) return Family::kLayer;
  if (line.starts_with("-")) return Family::kOption;
  return Family::kUnchanged;
}

// The sample lines of one family that convert without a run-time error.
std::vector<std::string> LinesOf(Family family) {
  std::vector<std::string> lines;
  for (const char* name : {"BOARD40.PCB", "SCHEMA40.SCH"}) {
    std::ifstream in(std::string(TAVREL_SAMPLES_DIR) + "/" + name, std::ios::binary);
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (FamilyOf(line) != family) continue;
      std::string riga = line;
      try {
        tavrel::Trasforma(riga);
      } catch (const tavrel::RuntimeError&) {
        continue;
      }
      lines.push_back(line);
    }
  }
  return lines;
}

void BM_Trasforma(benchmark::State& state, Family family) {
  const std::vector<std::string> lines = LinesOf(family);
  if (lines.empty()) {
    state.SkipWithError("no sample lines of this family");
    return;
  }
  std::size_t bytes = 0;
  for (const std::string& line : lines)
    bytes += line.size();
  const tavrel::NumberSettings numbers;
  std::string riga;
  for (auto _ : state) {
    for (const std::string& line : lines) {
      riga.assign(line);
      benchmark::DoNotOptimize(tavrel::Trasforma(riga, numbers));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.counters["lines"] = static_cast<double>(lines.size());
}

BENCHMARK_CAPTURE(BM_Trasforma, record0, Family::kRecord0);
BENCHMARK_CAPTURE(BM_Trasforma, record1, Family::kRecord1);
BENCHMARK_CAPTURE(BM_Trasforma, record2, Family::kRecord2);
BENCHMARK_CAPTURE(BM_Trasforma, record3, Family::kRecord3);
BENCHMARK_CAPTURE(BM_Trasforma, record4, Family::kRecord4);
BENCHMARK_CAPTURE(BM_Trasforma, record6, Family::kRecord6);
BENCHMARK_CAPTURE(BM_Trasforma, letter, Family::kLetter);
BENCHMARK_CAPTURE(BM_Trasforma, option, Family::kOption);
BENCHMARK_CAPTURE(BM_Trasforma, layer, Family::kLayer);
BENCHMARK_CAPTURE(BM_Trasforma, unchanged, Family::kUnchanged);

}  // namespace

BENCHMARK_MAIN();
