// Writes the program's desktop icon at one size as a PNG file, for the
// installed icon theme: export_icon SIZE FILE
#include <QGuiApplication>
#include <QImage>
#include <QString>
#include <cstdio>

#include "icons.h"

int main(int argc, char* argv[]) {
  // Pictures need the GUI library but no screen.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication application(argc, argv);
  const QStringList arguments = QGuiApplication::arguments();
  bool is_number = false;
  const int size = arguments.size() == 3 ? arguments.at(1).toInt(&is_number) : 0;
  const QImage icon = is_number ? tavrel::ui::DesktopIcon(size) : QImage();
  if (icon.isNull()) {
    std::fprintf(stderr, "uso: export_icon DIMENSIONE FILE.png (DIMENSIONE multiplo di 16)\n");
    return 2;
  }
  if (!icon.save(arguments.at(2), "PNG")) {
    std::fprintf(stderr, "export_icon: impossibile scrivere %s\n", qPrintable(arguments.at(2)));
    return 1;
  }
  return 0;
}
