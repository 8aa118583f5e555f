#include "texts.h"

#include "tavrel_version.h"

namespace tavrel::form::texts {

std::string Caption() {
  return std::string("Tavrel Converter ") + kVersion + " (" + kReleaseDate + ")";
}

std::string Fill(std::string_view text, const std::vector<std::string>& values) {
  std::string filled;
  filled.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
      const auto index = static_cast<std::size_t>(text[i + 1] - '1');
      if (index < values.size()) {
        filled += values[index];
        ++i;
        continue;
      }
    }
    filled += text[i];
  }
  return filled;
}

std::string AuthorLine() {
  return std::string("di ") + kAuthor;
}

std::vector<std::string> InstructionLines() {
  // Many lines end in a blank that belongs to them.
  return {
      "Questo programma converte i file .SCH e .PCB ",
      "creati con diverse versioni di Tavrel, inclusa la ",
      "versione per Windows, nel formato utilizzato dalla ",
      "versione 3.52 per Dos.",
      "",
      "Tale formato non supporta alcune funzioni ",
      "speciali come, ad esempio, le quote dimensionali, ",
      "l'ancoraggio variabile del testo o la rotazione dei ",
      "pad con angoli diversi da 90 o 270 gradi.",
      "",
      "Per questo motivo la conversione può generare ",
      "risultati inaspettati, soprattutto relativi alla parte ",
      "serigrafica dei file convertiti. ",
      "",
      "Pertanto, è consigliabile eliminare già prima della ",
      "conversione gli elementi non supportati dalla ",
      "versione 3.52. Riguardo al testo, basterà ",
      "controllare che tutti gli elementi posizionati siano ",
      "ancorati nell'angolo inferiore sinistro (\"0=Bottom ",
      "Left\"). Le quote dimensionali, se non eliminate, ",
      "provocano la comparsa di piani che oscurano ",
      "l'intero circuito.",
      "",
      " ",
      "\"AS IS\", ovvero \"così com'è\", pertanto non si ",
      " ",
      "",
      "",
      "TAVREL è un marchio registrato di ",
      "Quintrel Design Systems Ltd.",
      "",
      kFreeware,
      AuthorLine(),
      std::string("E-mail: ") + kEmail,
      std::string("Web: ") + kWeb,
  };
}

std::string InstructionText() {
  std::string text;
  for (const std::string& line : InstructionLines()) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace tavrel::form::texts
