// File, console and number services on Windows.  Strings are UTF-8 inside
// the program and UTF-16 at the system's wide-character calls, converted
// here only.  Files are handles: binary, 64-bit sizes and offsets.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <cstdint>
#include <cwctype>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

bool IsFolder(const std::string& path) {
  return IsFolderAttribute(Attributes(path));
}

// ---------------------------------------------------------------------------
// Folder walking and standard streams, for tavconv

namespace {

struct FindHandle {
  HANDLE handle;
  ~FindHandle() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

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

std::vector<FolderEntry> ListFolder(const std::string& folder, bool) {
  // A junction met by a walk is never entered: it is listed as a link.
  WIN32_FIND_DATAW data;
  const FindHandle find{FindFirstFileW((Wide(JoinPath(folder, "*"))).c_str(), &data)};
  if (find.handle == INVALID_HANDLE_VALUE) throw LastError(true);
  std::vector<FolderEntry> entries;
  do {
    const std::string name = Utf8(data.cFileName);
    if (name == "." || name == "..") continue;
    FolderEntry found;
    found.name = name;
    found.type = FolderEntry::Type::kNotRegular;
    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      found.type = link ? FolderEntry::Type::kFolderLink : FolderEntry::Type::kFolder;
    } else if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE)) {
      found.type = FolderEntry::Type::kFile;
      found.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    entries.push_back(std::move(found));
  } while (FindNextFileW(find.handle, &data));
  if (GetLastError() != ERROR_NO_MORE_FILES) throw LastError(true);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

bool IdentityOf(const std::string& path, FileIdentity& identity) {
  const Handle file(OpenToAsk(path));
  BY_HANDLE_FILE_INFORMATION info;
  if (file.handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file.handle, &info))
    return false;
  identity = {info.dwVolumeSerialNumber,
              (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
  return true;
}

bool ChangeTimeOf(const std::string& path, std::int64_t& time) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) return false;
  time = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
  return true;
}

namespace {

// Whether `name` matches `pattern` (* any run of characters, ? one), letters
// compared without case as Windows compares names.
bool Matches(std::wstring_view pattern, std::wstring_view name) {
  std::size_t p = 0, n = 0, star = std::wstring_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() &&
               (pattern[p] == L'?' || towupper(pattern[p]) == towupper(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*')
    ++p;
  return p == pattern.size();
}

}  // namespace

std::vector<std::string> ExpandWildcards(const std::string& operand) {
  const std::size_t start = operand.size() - NameOf(operand).size();
  const std::string pattern = operand.substr(start);
  if (pattern.find_first_of("*?") == std::string::npos) return {operand};
  const std::string prefix = operand.substr(0, start);
  const std::wstring wide_pattern = Wide(pattern);
  WIN32_FIND_DATAW data;
  const FindHandle find{
      FindFirstFileW(Wide(JoinPath(prefix.empty() ? "." : prefix, "*")).c_str(), &data)};
  std::vector<std::string> names;
  if (find.handle != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring_view name = data.cFileName;
      if (name == L"." || name == L".." ||
          (data.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0 ||
          !Matches(wide_pattern, name))
        continue;
      names.push_back(Utf8(name));
    } while (FindNextFileW(find.handle, &data));
  }
  if (names.empty()) Raise(err::kFileNotFound);
  std::sort(names.begin(), names.end());
  for (std::string& name : names)
    name = prefix + name;
  return names;
}

void MakeFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return;
  const std::string parent = FolderOf(path);
  if (parent != path && parent != ".") MakeFolders(parent);
  if (!CreateDirectoryW(Wide(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    throw LastError(true);
  if (!IsFolder(path)) Raise(err::kPathFileAccess);
}

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
