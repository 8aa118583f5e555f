#include "info_window.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "icons.h"
#include "look.h"
#include "texts.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

namespace texts = form::texts;

QLabel* CentredLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignCenter);
  label->setTextFormat(Qt::PlainText);
  return label;
}

}  // namespace

InfoWindow::InfoWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("InfoWindow"));
  setWindowTitle(QString::fromUtf8(texts::kInfoCaption));
  setWindowIcon(WindowIcon());
  setFont(WindowFont());
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(Pixels(4365), Pixels(3630));

  ButtInfoOk = new QPushButton(QString::fromUtf8(texts::kButtInfoOk), this);
  ButtInfoOk->setObjectName(QStringLiteral("ButtInfoOk"));
  ButtInfoOk->setDefault(true);  // Enter; Esc closes the dialog as well
  PlaceTwips(ButtInfoOk, 3240, 2400, 780, 465);

  FennokIcon = new QLabel(this);
  FennokIcon->setObjectName(QStringLiteral("FennokIcon"));
  FennokIcon->setPixmap(FennokPicture());
  FennokIcon->setAlignment(Qt::AlignCenter);
  PlaceTwips(FennokIcon, 360, 2400, 480, 480);

  Label1 = CentredLabel(this, "Label1", QString::fromUtf8(texts::kFreeware));
  PlaceTwips(Label1, 1320, 2280, 1335, 255);
  Label3 = CentredLabel(this, "Label3", QString::fromUtf8(texts::kEmail));
  PlaceTwips(Label3, 1200, 2880, 1575, 255);
  Label2 = CentredLabel(this, "Label2", QString::fromStdString(texts::AuthorLine()));
  PlaceTwips(Label2, 1320, 2520, 1335, 255);

  Istruzioni = new QPlainTextEdit(this);
  Istruzioni->setObjectName(QStringLiteral("Istruzioni"));
  Istruzioni->setReadOnly(true);
  Istruzioni->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Istruzioni->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Istruzioni->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The box breaks lines at CR LF; it keeps no CR of its own.
  Istruzioni->setPlainText(QString::fromStdString(texts::InstructionText())
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  PlaceTwips(Istruzioni, 240, 240, 3855, 1695);

  Label4 = CentredLabel(this, "Label4", QString::fromUtf8(texts::kWeb));
  PlaceTwips(Label4, 1200, 3120, 1575, 255);

  Line1 = new QFrame(this);
  Line1->setObjectName(QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Plain);
  Line1->setGeometry(Pixels(1080), Pixels(2760), Pixels(1800), 1);

  setTabOrder(ButtInfoOk, Istruzioni);
  ButtInfoOk->setFocus();
  connect(ButtInfoOk, &QPushButton::clicked, this, &InfoWindow::ButtInfoOk_Click);
}

void InfoWindow::ButtInfoOk_Click() {
  accept();
}

}  // namespace tavrel::ui
