#include "info_window.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "icons.h"
#include "layout.h"
#include "look.h"
#include "texts.h"
#include "twips.h"

namespace tavrel::ui {

namespace {

namespace layout = form::layout;
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
  setFixedSize(Pixels(layout::kInfoWidth), Pixels(layout::kInfoHeight));

  ButtInfoOk = new QPushButton(QString::fromUtf8(texts::kButtInfoOk), this);
  ButtInfoOk->setObjectName(QStringLiteral("ButtInfoOk"));
  ButtInfoOk->setDefault(true);  // Enter; Esc closes the dialog as well
  PlaceTwips(ButtInfoOk, layout::kButtInfoOk);

  FennokIcon = new QLabel(this);
  FennokIcon->setObjectName(QStringLiteral("FennokIcon"));
  FennokIcon->setPixmap(FennokPicture());
  FennokIcon->setAlignment(Qt::AlignCenter);
  PlaceTwips(FennokIcon, layout::kFennokIcon);

  Label1 = CentredLabel(this, "Label1", QString::fromUtf8(texts::kFreeware));
  PlaceTwips(Label1, layout::kLabel1);
  Label3 = CentredLabel(this, "Label3", QString::fromUtf8(texts::kEmail));
  PlaceTwips(Label3, layout::kLabel3);
  Label2 = CentredLabel(this, "Label2", QString::fromStdString(texts::AuthorLine()));
  PlaceTwips(Label2, layout::kLabel2);

  Istruzioni = new QPlainTextEdit(this);
  Istruzioni->setObjectName(QStringLiteral("Istruzioni"));
  Istruzioni->setReadOnly(true);
  Istruzioni->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Istruzioni->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Istruzioni->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The box breaks lines at CR LF; it keeps no CR of its own.
  Istruzioni->setPlainText(QString::fromStdString(texts::InstructionText())
                               .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  PlaceTwips(Istruzioni, layout::kIstruzioni);

  Label4 = CentredLabel(this, "Label4", QString::fromUtf8(texts::kWeb));
  PlaceTwips(Label4, layout::kLabel4);

  Line1 = new QFrame(this);
  Line1->setObjectName(QStringLiteral("Line1"));
  Line1->setFrameShape(QFrame::HLine);
  Line1->setFrameShadow(QFrame::Plain);
  Line1->setGeometry(Pixels(layout::kLine1.left), Pixels(layout::kLine1.top),
                     Pixels(layout::kLine1.width), 1);

  setTabOrder(ButtInfoOk, Istruzioni);
  ButtInfoOk->setFocus();
  connect(ButtInfoOk, &QPushButton::clicked, this, &InfoWindow::ButtInfoOk_Click);
}

void InfoWindow::ButtInfoOk_Click() {
  accept();
}

}  // namespace tavrel::ui
