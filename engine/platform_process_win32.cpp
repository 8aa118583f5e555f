// The process on Windows: nothing to prepare at the start, and the console
// control handler that removes the hidden siblings not yet put in place.
#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// The hidden siblings not yet put in place.  Ctrl-C, Ctrl-Break or closing
// the console removes them (the handler runs on a thread of its own; a file
// still open, opened with FILE_SHARE_DELETE, goes when its handle is closed
// as the program ends).
std::mutex pending_mutex;
std::vector<std::wstring>* pending = nullptr;

BOOL WINAPI RemovePending(DWORD) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  if (pending != nullptr) {
    for (const std::wstring& path : *pending)
      DeleteFileW(path.c_str());
  }
  return FALSE;  // then the usual handling: the program ends
}

}  // namespace

void AddPending(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  if (pending == nullptr) {
    pending = new std::vector<std::wstring>();  // kept to the end, for the handler
    SetConsoleCtrlHandler(RemovePending, TRUE);
  }
  pending->push_back(path);
}

void DropPending(const std::wstring& path) {
  std::lock_guard<std::mutex> lock(pending_mutex);
  if (pending != nullptr) std::erase(*pending, path);
}

void PrepareProcess() {}

}  // namespace tavrel
