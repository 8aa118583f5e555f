// Folders on Windows: the windows' lists (folder contents, paths in the
// system's full form, the drives and their labels) and tavconv's walk
// (entries, identities, wildcards, folder making).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel::platform {

namespace {

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

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

std::wstring WideRootOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
  if (path.rfind(L"\\\\", 0) == 0) {
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
  }
  return path;
}

// Opens a search of the folder's entries; INVALID_HANDLE_VALUE with the
// system's error when it cannot be read.
HANDLE FindEntries(const std::wstring& folder, bool folders, WIN32_FIND_DATAW& found) {
  const NoCriticalErrorBoxes quiet;
  return FindFirstFileExW(Join(folder, L"*").c_str(), FindExInfoBasic, &found,
                          folders ? FindExSearchLimitToDirectories : FindExSearchNameMatch, nullptr,
                          FIND_FIRST_EX_LARGE_FETCH);
}

}  // namespace

bool ReadFolderContents(const std::string& folder, FolderContents& contents) {
  contents = {};
  WIN32_FIND_DATAW found;
  const HANDLE search = FindEntries(Utf16(folder), false, found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const DWORD attributes = found.dwFileAttributes;
    const wchar_t* const name = found.cFileName;
    if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0) continue;
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE))
      continue;
    ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? contents.folders : contents.files)
        .push_back(Utf8(name));
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return true;
}

bool IsReadableFolder(const std::string& folder) {
  if (folder.empty()) return false;
  // Its first entry is enough.
  WIN32_FIND_DATAW found;
  const HANDLE search = FindEntries(Utf16(folder), true, found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  FindClose(search);
  return true;
}

std::string CurrentFolder() {
  std::wstring current(32768, L'\0');
  current.resize(GetCurrentDirectoryW(static_cast<DWORD>(current.size()), current.data()));
  return current.empty() ? std::string("C:\\") : FullFolder(Utf8(current));
}

std::string FullFolder(const std::string& path) {
  const std::wstring wide = Utf16(path);
  std::wstring full(32768, L'\0');
  const DWORD length =
      GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(length > 0 && length < full.size() ? length : 0);
  if (full.empty()) return path;
  if (full.size() > WideRootOf(full).size() && full.back() == L'\\') full.pop_back();
  return Utf8(full);
}

std::string RootOf(const std::string& path) {
  return Utf8(WideRootOf(Utf16(path)));
}

std::string ParentFolder(const std::string& folder) {
  const std::string root = RootOf(folder);
  if (folder.size() <= root.size()) return root;
  const std::size_t slash = folder.find_last_of('\\');
  return slash == std::string::npos || slash < root.size() ? root : folder.substr(0, slash);
}

std::vector<std::string> FolderSteps(const std::string& folder) {
  const std::string root = RootOf(folder);
  std::vector<std::string> steps{root};
  const std::string rest = folder.substr(std::min(root.size(), folder.size()));
  for (std::size_t start = 0; start < rest.size();) {
    std::size_t end = rest.find('\\', start);
    if (end == std::string::npos) end = rest.size();
    if (end > start) steps.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

bool SameFolderText(const std::string& a, const std::string& b) {
  return CompareStringOrdinal(Utf16(a).c_str(), -1, Utf16(b).c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool FolderHolds(const std::string& root, const std::string& path) {
  if (path.size() < root.size()) return false;
  if (!SameFolderText(root, path.substr(0, root.size()))) return false;
  return path.size() == root.size() || root.back() == '\\' || path[root.size()] == '\\';
}

std::vector<Volume> Volumes() {
  std::wstring buffer(512, L'\0');
  const DWORD length = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
  buffer.resize(std::min<std::size_t>(length, buffer.size()));
  std::vector<Volume> volumes;
  for (std::size_t start = 0; start < buffer.size();) {
    const std::wstring root = buffer.c_str() + start;
    if (root.empty()) break;
    start += root.size() + 1;
    // A removable drive is not asked for its label: an empty card reader
    // would make the start wait.
    const bool removable = GetDriveTypeW(root.c_str()) == DRIVE_REMOVABLE;
    volumes.push_back({Utf8(root), removable ? std::string() : VolumeLabel(Utf8(root))});
  }
  return volumes;
}

std::string VolumeLabel(const std::string& root) {
  const NoCriticalErrorBoxes quiet;
  wchar_t label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(Utf16(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr,
                             nullptr, 0))
    return {};
  return Utf8(label);
}

bool VolumeReady(const std::string& root) {
  // A drive without a medium, or a network drive gone, has no volume
  // information; asking for it does not read the drive's root folder.
  if (root != RootOf(root)) return IsReadableFolder(root);
  const NoCriticalErrorBoxes quiet;
  return GetVolumeInformationW(Utf16(root).c_str(), nullptr, 0, nullptr, nullptr, nullptr, nullptr,
                               0) != FALSE;
}

}  // namespace tavrel::platform

namespace tavrel {

bool IsFolder(const std::string& path) {
  return IsFolderAttribute(Attributes(path));
}

namespace {

struct FindHandle {
  HANDLE handle;
  ~FindHandle() {
    if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
  }
};

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

}  // namespace tavrel
