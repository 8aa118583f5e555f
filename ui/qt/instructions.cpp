#include "instructions.h"

namespace tavrel::ui {

QStringList InstructionLines() {
  // Many lines end in a blank that belongs to them.
  return {
      QStringLiteral("Questo programma converte i file .SCH e .PCB "),
      QStringLiteral("creati con diverse versioni di Tavrel, inclusa la "),
      QStringLiteral("versione per Windows, nel formato utilizzato dalla "),
      QStringLiteral("versione 3.52 per Dos."),
      QString(),
      QStringLiteral("Tale formato non supporta alcune funzioni "),
      QStringLiteral("speciali come, ad esempio, le quote dimensionali, "),
      QStringLiteral("l'ancoraggio variabile del testo o la rotazione dei "),
      QStringLiteral("pad con angoli diversi da 90 o 270 gradi."),
      QString(),
      QStringLiteral("Per questo motivo la conversione può generare "),
      QStringLiteral("risultati inaspettati, soprattutto relativi alla parte "),
      QStringLiteral("serigrafica dei file convertiti. "),
      QString(),
      QStringLiteral("Pertanto, è consigliabile eliminare già prima della "),
      QStringLiteral("conversione gli elementi non supportati dalla "),
      QStringLiteral("versione 3.52. Riguardo al testo, basterà "),
      QStringLiteral("controllare che tutti gli elementi posizionati siano "),
      QStringLiteral("ancorati nell'angolo inferiore sinistro (\"0=Bottom "),
      QStringLiteral("Left\"). Le quote dimensionali, se non eliminate, "),
      QStringLiteral("provocano la comparsa di piani che oscurano "),
      QStringLiteral("l'intero circuito."),
      QString(),
      QStringLiteral(" "),
      QStringLiteral("\"AS IS\", ovvero \"così com'è\", pertanto non si "),
      QStringLiteral(" "),
      QString(),
      QString(),
      QStringLiteral("TAVREL è un marchio registrato di "),
      QStringLiteral("Quintrel Design Systems Ltd."),
      QString(),
      QString::fromUtf8(credits::kFreeware),
      QStringLiteral("di ") + QString::fromUtf8(credits::kAuthor),
      QStringLiteral("E-mail: ") + QString::fromUtf8(credits::kEmail),
      QStringLiteral("Web: ") + QString::fromUtf8(credits::kWeb),
  };
}

QString InstructionText() {
  const QString crlf = QStringLiteral("\r\n");
  return InstructionLines().join(crlf) + crlf;
}

}  // namespace tavrel::ui
