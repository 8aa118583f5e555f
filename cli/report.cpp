// tavconv --report: what the 3.5 format could not hold, line by line.
#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "tavconv.h"

namespace tavconv {

namespace {

struct KindText {
  const char* key;    // in JSON
  const char* label;  // in the count
};

constexpr std::array<KindText, 6> kKinds = {{
    {"riga_convertitore", "righe sostituite dalla riga del convertitore"},
    {"opzione_fissa", "opzioni con valori fissi 3.5"},
    {"rotazione_piazzola", "rotazioni di piazzola perse"},
    {"ancoraggio", "ancoraggi di testo riportati nella posizione o persi"},
    {"colore", "colori di layer ridotti a 16 colori"},
    {"impostazioni_layer", "impostazioni di layer senza posto in 3.5"},
}};

const KindText& TextOf(tavrel::LossKind kind) {
  return kKinds[static_cast<std::size_t>(kind)];
}

std::string JsonLine(const nlohmann::json& object) {
  // Bytes that are no UTF-8 (file names, line texts) are replaced, not fatal.
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

void Report::Lost(std::uint64_t line, tavrel::LossKind kind, const std::string& detail) {
  entries_.push_back({line, kind, detail});
}

void Report::Print(const std::string& source, Messages& messages) const {
  std::array<std::uint64_t, kKinds.size()> counts{};
  for (const Entry& entry : entries_)
    ++counts[static_cast<std::size_t>(entry.kind)];
  if (form_ == ReportForm::kJson) {
    for (const Entry& entry : entries_) {
      messages.Data(JsonLine({{"file", source},
                              {"line", entry.line},
                              {"kind", TextOf(entry.kind).key},
                              {"detail", entry.detail}}));
    }
    for (std::size_t k = 0; k < kKinds.size(); ++k) {
      if (counts[k] == 0) continue;
      messages.Data(JsonLine({{"file", source}, {"kind", kKinds[k].key}, {"count", counts[k]}}));
    }
    return;
  }
  std::string text =
      "  Rapporto: " + std::to_string(entries_.size()) +
      (entries_.size() == 1 ? " riga persa o approssimata\n" : " righe perse o approssimate\n");
  for (const Entry& entry : entries_) {
    text += "    riga " + std::to_string(entry.line) + " (" + TextOf(entry.kind).key +
            "): " + entry.detail + "\n";
  }
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    if (counts[k] == 0) continue;
    text += "    " + std::to_string(counts[k]) + " " + kKinds[k].label + "\n";
  }
  messages.Out(std::move(text));
}

}  // namespace tavconv
