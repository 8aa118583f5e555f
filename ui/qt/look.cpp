#include "look.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTranslator>

#include "layout.h"
#include "texts.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

// The width a label or a push button asks for to show `text`, worked out as
// they do it but without making one: the window comes up sooner.
int NeededWidth(const QFontMetrics& metrics, const QString& text, bool button) {
  if (!button) return metrics.boundingRect(QRect(0, 0, 4000, 4000), Qt::AlignLeft, text).width();
  QStyleOptionButton option;
  option.state = QStyle::State_Enabled;
  option.fontMetrics = metrics;
  option.text = text;
  const QSize contents = metrics.size(Qt::TextShowMnemonic, text);
  return QApplication::style()->sizeFromContents(QStyle::CT_PushButton, &option, contents).width();
}

bool FitsEverywhere(const QFont& font) {
  const QFontMetrics metrics(font);
  if (metrics.height() > Pixels(form::layout::kLabelHeight)) return false;
  for (const form::layout::TightText& fit : form::layout::kTightestTexts) {
    if (NeededWidth(metrics, QString::fromUtf8(fit.text), fit.button) > Pixels(fit.width_twips))
      return false;
  }
  const QString author = QStringLiteral("di ") + QString::fromUtf8(form::texts::kAuthor);
  return QFontMetrics(font).horizontalAdvance(author) <= Pixels(form::layout::kLabel2.width);
}

}  // namespace

QFont WindowFont() {
  static const QFont font = [] {
    QFont candidate = QApplication::font();
    // A narrow face where there is one; otherwise the platform's own.
    candidate.setFamilies({QStringLiteral("DejaVu Sans Condensed"),
                           QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Arial Narrow"),
                           QApplication::font().family()});
    for (int pixels = 11; pixels > 8; --pixels) {
      candidate.setPixelSize(pixels);
      if (FitsEverywhere(candidate)) break;
    }
    return candidate;
  }();
  return font;
}

bool InstallQtItalian() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(QStringLiteral("qtbase_it"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
      QCoreApplication::installTranslator(translator)) {
    return true;
  }
  delete translator;
  return false;
}

}  // namespace tavrel::ui
