// The command line and the standard output and error on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

std::vector<std::string> CommandLineArguments(int, char**) {
  // The wide command line: every name whole, whatever the ANSI code page.
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i)
    arguments.push_back(Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

namespace {

// Whether something printed to the standard output was lost.
std::atomic<bool> output_lost{false};

// Writes `text` to a standard handle; false when it is not all written.
bool Print(DWORD which, std::string_view text) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return text.empty();
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A console shows wide characters whatever its code page.
    std::wstring wide;
    try {
      wide = Wide(text);
    } catch (const RuntimeError&) {
      wide.assign(text.begin(), text.end());
    }
    DWORD written = 0;
    return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) &&
           written == wide.size();
  }
  // A file or pipe: UTF-8 with the usual CR LF line ends.
  std::string bytes;
  for (char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  DWORD written = 0;
  return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

void PrintOut(std::string_view text) {
  if (!Print(STD_OUTPUT_HANDLE, text)) output_lost = true;
}

bool StandardOutputWritten() {
  return !output_lost;  // written at once, nothing waits in a buffer
}

void PrintError(std::string_view text) {
  Print(STD_ERROR_HANDLE, text);
}

bool StandardErrorIsTerminal() {
  // The progress line is redrawn with terminal escapes: a console that
  // cannot take them (before Windows 10) counts as no terminal.
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0 &&
         ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
          SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
}

}  // namespace tavrel
