// Pieces shared by the sources of the Win32 platform layer; not part of the
// engine's interface.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform.h"
#include "tavrel.h"

namespace tavrel {

// The file error of the calling thread's last failed system call.
RuntimeError LastError(bool path_part = false);
// A failed open: a missing folder on the way (or a file where a folder
// should be) is "path not found", a folder where a file should be 75.
RuntimeError OpenError(DWORD os_error, const std::string& path);
// A source that cannot be had: missing, or a folder on its way missing, is
// "file not found".
RuntimeError SourceError(DWORD os_error, const std::string& path);

// A path in UTF-16 for the system's calls: platform::Utf16, except that a
// path that is not UTF-8 is error 52.
std::wstring Wide(std::string_view text);
using platform::Utf8;

inline HANDLE AsHandle(platform::NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}

inline platform::NativeFile AsNative(HANDLE handle) {
  return reinterpret_cast<platform::NativeFile>(handle);
}

// The length of the part of `path` that names a drive or share: "C:",
// "\\server\share", "\\?\C:"; 0 for none.
std::size_t RootLength(std::string_view path);
// Names Windows keeps for its devices, whatever the extension, and names with
// a ':' past the drive (an alternate data stream) are never written.
bool IsDeviceName(const std::string& path);
void RefuseReservedName(const std::string& path);

// The file attributes of `path`; INVALID_FILE_ATTRIBUTES when it cannot be
// asked (or is no UTF-8 name).
DWORD Attributes(const std::string& path);

inline bool IsFolderAttribute(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Closes a handle when it goes out of scope.
struct Handle {
  HANDLE handle = INVALID_HANDLE_VALUE;
  ~Handle() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  Handle() = default;
  explicit Handle(HANDLE h) : handle(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
};

// Opens an existing file or folder only to ask about it.
HANDLE OpenToAsk(const std::string& path);

// The hidden siblings not yet put in place, which Ctrl-C, Ctrl-Break or the
// console's closing removes: a name is added before its file is made and
// dropped once it is moved or deleted.
void AddPending(const std::wstring& path);
void DropPending(const std::wstring& path);

}  // namespace tavrel
