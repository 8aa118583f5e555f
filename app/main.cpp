// Tavrel Converter: converts Tavrel 4.0 and 3.x data files for Tavrel 3.52.
#include <QApplication>
#include <QTimer>

#include "form_converter_window.h"
#include "look.h"
#include "names.h"
#include "tavrel.h"

int main(int argc, char* argv[]) {
  // Before Qt starts any thread: an ending signal (a logout's hang-up, a
  // termination) removes the window's temporary file and its lock as Exit
  // would.
  tavrel::PrepareProcess();
  QApplication application(argc, argv);
  application.setStyle(QStringLiteral("Fusion"));
  if (!tavrel::ui::InstallQtItalian())
    qWarning("Traduzione italiana di Qt (qtbase_it) non trovata");
  auto* window = new tavrel::ui::FormConverterWindow();
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->show();
  // A file or folder to open, as a file manager passes it: the system's
  // bytes (Qt's own options already taken out of argv), kept whole as the
  // lists keep a name that is not UTF-8.
  if (argc > 1) {
    QTimer::singleShot(0, window,
                       [window, path = tavrel::ui::FromEngine(argv[1])] { window->Open(path); });
  }
  return application.exec();
}
