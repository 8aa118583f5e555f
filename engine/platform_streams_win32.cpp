// Standard input and output taken as files, for tavconv (Windows).
#include <windows.h>

#include <memory>
#include <string>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// Copies everything `from` holds to `to`, bytes as they are.
void CopyHandle(HANDLE from, HANDLE to) {
  std::unique_ptr<char[]> buffer(new char[1 << 16]);
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(from, buffer.get(), 1 << 16, &got, nullptr)) {
      // The writer of a pipe closed it: that is its end.
      if (GetLastError() == ERROR_BROKEN_PIPE) return;
      throw LastError();
    }
    if (got == 0) return;
    platform::WriteAll(AsNative(to), buffer.get(), got);
  }
}

}  // namespace

void CopyStandardInputTo(const std::string& path) {
  const Handle file{CreateFileW(Wide(path).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) throw LastError();
  CopyHandle(GetStdHandle(STD_INPUT_HANDLE), file.handle);
}

void CopyToStandardOutput(const std::string& path) {
  const Handle file{CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) throw LastError();
  CopyHandle(file.handle, GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace tavrel
