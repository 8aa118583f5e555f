// Tavrel Converter for Windows: converts Tavrel 4.0 and 3.x data files for
// Tavrel 3.52.  Creates and shows the main window; a file or folder named on
// the command line ("Apri con", a file dropped on the program) is opened.
#include <vector>

#include "form_converter_window.h"
#include "tavrel.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // The manifest says so too; this covers a start without it.
  SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  tavrel::win32::FormConverterWindow window({});
  window.Show(show);
  if (const std::vector<std::string> arguments = tavrel::CommandLineArguments(0, nullptr);
      arguments.size() > 1 && !window.Closed()) {
    window.Open(arguments[1]);
  }
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (tavrel::win32::FormConverterWindow::PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
