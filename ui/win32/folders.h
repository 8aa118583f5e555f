// Folders as the Win32 window's lists show them: paths in UTF-16, the
// folders from a path's root down, a folder's files or subfolders.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <vector>

namespace tavrel::win32 {

std::wstring Join(const std::wstring& folder, const std::wstring& name);
// The root of a path: "C:\", or "\\server\share\" for a network folder.
std::wstring RootOf(const std::wstring& path);
// The folders from the root down to `path`: "C:\", "a", "b".
std::vector<std::wstring> Steps(const std::wstring& path);
// The folder above; the root is its own.
std::wstring ParentOf(const std::wstring& folder);
// A folder as the lists hold it: the system's full form, without a
// backslash at the end except the root's.
std::wstring FullFolder(const std::wstring& path);

// A folder's subfolders and ordinary files from one reading, hidden and
// system ones left out, each sorted without regard to case.
struct Listing {
  std::vector<std::wstring> folders, files;
};
// False when the folder cannot be read.
bool ReadListing(const std::wstring& folder, Listing& listing);
bool IsReadableFolder(const std::wstring& folder);

// No "insert the disk" box from the system for a drive without a medium,
// while this lives.
class NoCriticalErrorBoxes {
 public:
  NoCriticalErrorBoxes() : mode_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~NoCriticalErrorBoxes() { SetErrorMode(mode_); }
  NoCriticalErrorBoxes(const NoCriticalErrorBoxes&) = delete;
  NoCriticalErrorBoxes& operator=(const NoCriticalErrorBoxes&) = delete;

 private:
  UINT mode_;
};

}  // namespace tavrel::win32
