// Text on Windows: UTF-8 inside the program and UTF-16 at the system's
// wide-character calls, converted here only; the names of paths (drives,
// shares, device names) and the user's number settings.
#include <windows.h>

#include <string>
#include <string_view>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

namespace platform {

std::wstring Utf16(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size,
                      nullptr, nullptr);
  return narrow;
}

}  // namespace platform

std::wstring Wide(std::string_view text) {
  // A path that is not UTF-8 names no file: refused, never changed into
  // another name.
  if (!text.empty() && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                           static_cast<int>(text.size()), nullptr, 0) <= 0)
    throw MakeError(err::kBadFileName);
  return platform::Utf16(text);
}

namespace {

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::size_t RootLength(std::string_view path) {
  std::size_t at = 0;
  bool share = false;
  if (path.starts_with("\\\\?\\") || path.starts_with("\\\\.\\")) {
    at = 4;
    if (path.substr(at).starts_with("UNC\\")) {
      at += 4;
      share = true;
    }
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    at = 2;
    share = true;
  }
  if (share) {
    // The server's name, a separator, the share's name.
    while (at < path.size() && !IsSeparator(path[at]))
      ++at;
    if (at < path.size()) ++at;
    while (at < path.size() && !IsSeparator(path[at]))
      ++at;
    return at;
  }
  const bool letter = at < path.size() && ((path[at] >= 'A' && path[at] <= 'Z') ||
                                           (path[at] >= 'a' && path[at] <= 'z'));
  if (letter && at + 1 < path.size() && path[at + 1] == ':') return at + 2;
  return at;
}

// Names Windows keeps for its devices, whatever the extension, and names with
// a ':' past the drive (an alternate data stream) are never written.
bool IsDeviceName(const std::string& path) {
  std::string stem = NameOf(path);
  stem = stem.substr(0, stem.find('.'));
  while (!stem.empty() && stem.back() == ' ')
    stem.pop_back();
  for (char& c : stem) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
                        stem[3] >= '1' && stem[3] <= '9';
  return numbered || stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" ||
         stem == "CONIN$" || stem == "CONOUT$";
}

void RefuseReservedName(const std::string& path) {
  if (path.find(':', RootLength(path)) != std::string::npos) {
    throw RuntimeError(err::kBadFileName, "Nome di file non valido: contiene ':'");
  }
  if (IsDeviceName(path)) {
    throw RuntimeError(err::kBadFileName,
                       "Nome di file riservato da Windows (CON, PRN, AUX, NUL, COM1-COM9, "
                       "LPT1-LPT9): " +
                           NameOf(path));
  }
}

NumberSettings UserNumberSettings() {
  NumberSettings settings;
  wchar_t text[8];
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, text, 8) > 1) {
    settings.decimal = Utf8(text);
  }
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STHOUSAND, text, 8) > 0) {
    settings.thousands = Utf8(text);
  }
  return settings;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  // "C:" names the drive's current folder: "C:name", not "C:\name".
  if (IsSeparator(folder.back()) || (folder.back() == ':' && folder.size() == RootLength(folder))) {
    return folder + name;
  }
  return folder + "\\" + name;
}

std::string FolderOf(const std::string& path) {
  const std::size_t root = RootLength(path);
  std::size_t at = path.size();
  while (at > root && !IsSeparator(path[at - 1]))
    --at;
  if (at == root) return root == 0 ? "." : path.substr(0, root);
  // The separator after a drive, or a path's leading one, is the root itself.
  if (at - 1 == root && (root == 0 || path[root - 1] == ':')) return path.substr(0, at);
  return path.substr(0, at - 1);
}

std::string NameOf(const std::string& path) {
  const std::size_t root = RootLength(path);
  std::size_t at = path.size();
  while (at > root && !IsSeparator(path[at - 1]))
    --at;
  return path.substr(at);
}

}  // namespace tavrel
