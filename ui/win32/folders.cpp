#include "folders.h"

#include <algorithm>
#include <cwchar>

namespace tavrel::win32 {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

std::wstring RootOf(const std::wstring& path) {
  if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
  if (path.rfind(L"\\\\", 0) == 0) {
    const std::size_t server = path.find(L'\\', 2);
    const std::size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
  }
  return path;
}

std::vector<std::wstring> Steps(const std::wstring& path) {
  const std::wstring root = RootOf(path);
  std::vector<std::wstring> steps{root};
  const std::wstring rest = path.substr(std::min(root.size(), path.size()));
  for (std::size_t start = 0; start < rest.size();) {
    std::size_t end = rest.find(L'\\', start);
    if (end == std::wstring::npos) end = rest.size();
    if (end > start) steps.push_back(rest.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

std::wstring ParentOf(const std::wstring& folder) {
  const std::wstring root = RootOf(folder);
  if (folder.size() <= root.size()) return root;
  const std::size_t slash = folder.find_last_of(L'\\');
  return slash == std::wstring::npos || slash < root.size() ? root : folder.substr(0, slash);
}

std::wstring FullFolder(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  const DWORD length =
      GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  full.resize(length > 0 && length < full.size() ? length : 0);
  if (full.empty()) return path;
  if (full.size() > RootOf(full).size() && full.back() == L'\\') full.pop_back();
  return full;
}

namespace {

bool LessFolded(const std::wstring& a, const std::wstring& b) {
  const int folded = CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                          static_cast<int>(b.size()), TRUE);
  return folded != CSTR_EQUAL ? folded == CSTR_LESS_THAN : a < b;
}

}  // namespace

namespace {

// Opens a search of the folder's entries; INVALID_HANDLE_VALUE with the
// system's error when it cannot be read.
HANDLE FindEntries(const std::wstring& folder, bool folders, WIN32_FIND_DATAW& found) {
  const NoCriticalErrorBoxes quiet;
  return FindFirstFileExW(Join(folder, L"*").c_str(), FindExInfoBasic, &found,
                          folders ? FindExSearchLimitToDirectories : FindExSearchNameMatch, nullptr,
                          FIND_FIRST_EX_LARGE_FETCH);
}

}  // namespace

namespace {

// Reads the folder's visible entries into `folders` and `files`; `files`
// null: the search asks for folders only.
bool Scan(const std::wstring& folder, std::vector<std::wstring>* folders,
          std::vector<std::wstring>* files) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindEntries(folder, files == nullptr, found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const DWORD attributes = found.dwFileAttributes;
    const wchar_t* const name = found.cFileName;
    if (std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0) continue;
    if (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE))
      continue;
    std::vector<std::wstring>* const kind =
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? folders : files;
    if (kind != nullptr) kind->emplace_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  for (std::vector<std::wstring>* names : {folders, files}) {
    if (names != nullptr) std::sort(names->begin(), names->end(), LessFolded);
  }
  return true;
}

}  // namespace

bool ReadListing(const std::wstring& folder, Listing& listing) {
  listing.folders.clear();
  listing.files.clear();
  return Scan(folder, &listing.folders, &listing.files);
}

bool IsReadableFolder(const std::wstring& folder) {
  if (folder.empty()) return false;
  // Its first entry is enough.
  WIN32_FIND_DATAW found;
  const HANDLE search = FindEntries(folder, true, found);
  if (search == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  FindClose(search);
  return true;
}

}  // namespace tavrel::win32
