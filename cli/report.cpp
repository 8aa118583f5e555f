// tavconv --report: what the 3.5 format could not hold, line by line.
#include <array>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>

#include "printable.h"
#include "tavconv.h"

namespace tavconv {

namespace {

struct KindText {
  const char* key;      // in JSON
  const char* one;      // in the count, after 1
  const char* several;  // in the count, after any other number
};

// In the order of tavrel::LossKind.
constexpr std::array<KindText, 8> kKinds = {{
    {"riga_convertitore", "riga sostituita dalla riga del convertitore",
     "righe sostituite dalla riga del convertitore"},
    {"opzione_fissa", "opzione con valori fissi 3.5", "opzioni con valori fissi 3.5"},
    {"rotazione_piazzola", "rotazione di piazzola persa", "rotazioni di piazzola perse"},
    {"ancoraggio", "ancoraggio di testo riportato nella posizione o perso",
     "ancoraggi di testo riportati nella posizione o persi"},
    {"colore", "colore di layer ridotto a 16 colori", "colori di layer ridotti a 16 colori"},
    {"impostazioni_layer", "layer con impostazioni senza posto in 3.5",
     "layer con impostazioni senza posto in 3.5"},
    {"campi_record", "record con campi non riportati", "record con campi non riportati"},
    {"rotazione_testo", "rotazione di testo persa", "rotazioni di testo perse"},
}};
static_assert(kKinds.size() == static_cast<std::size_t>(tavrel::LossKind::kTextRotation) + 1);

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
  // A line may lose several things; the entries come in the order of the file.
  std::uint64_t lines = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    lines += i == 0 || entries_[i].line != entries_[i - 1].line ? 1 : 0;
  std::string text =
      "  Rapporto: " + std::to_string(lines) +
      (lines == 1 ? " riga persa o approssimata\n" : " righe perse o approssimate\n");
  for (const Entry& entry : entries_) {
    text += "    riga " + std::to_string(entry.line) + " (" + TextOf(entry.kind).key +
            "): " + Printable(entry.detail) + "\n";
  }
  for (std::size_t k = 0; k < kKinds.size(); ++k) {
    if (counts[k] == 0) continue;
    text += "    " + std::to_string(counts[k]) + " " +
            (counts[k] == 1 ? kKinds[k].one : kKinds[k].several) + "\n";
  }
  messages.Out(std::move(text));
}

}  // namespace tavconv
