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
#include "tavrel.h"

namespace tavrel {

RuntimeError FileError(int os_error, bool path_part) {
  switch (static_cast<DWORD>(os_error)) {
    case ERROR_FILE_NOT_FOUND:
      return MakeError(path_part ? err::kPathNotFound : err::kFileNotFound);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_DIRECTORY:
      return MakeError(err::kPathNotFound);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
      return MakeError(err::kPermission);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return MakeError(err::kDiskFull);
    case ERROR_FILE_TOO_LARGE:
      return FileTooLarge();
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return MakeError(err::kFileExists);
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_NO_UNICODE_TRANSLATION:
      return MakeError(err::kBadFileName);
    case ERROR_TOO_MANY_OPEN_FILES:
      return MakeError(err::kTooManyFiles);
    case ERROR_NOT_READY:
    case ERROR_CRC:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_BROKEN_PIPE:  // the reader of a pipe is gone: the output failed
    case ERROR_NO_DATA:
      return MakeError(err::kDeviceIo);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return MakeError(err::kOutOfMemory);
  }
  return MakeError(err::kPathFileAccess);
}

namespace {

constexpr char kDosEndOfFile = 0x1A;

RuntimeError LastError(bool path_part = false) {
  return FileError(static_cast<int>(GetLastError()), path_part);
}

std::wstring Wide(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) throw MakeError(err::kBadFileName);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      wide.data(), size);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                      nullptr, nullptr);
  return text;
}

HANDLE AsHandle(platform::NativeFile file) {
  return reinterpret_cast<HANDLE>(file);
}

platform::NativeFile AsNative(HANDLE handle) {
  return reinterpret_cast<platform::NativeFile>(handle);
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

// The length of the part of `path` that names a drive or share: "C:",
// "\\server\share", "\\?\C:"; 0 for none.
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

DWORD Attributes(const std::string& path) {
  try {
    return GetFileAttributesW(Wide(path).c_str());
  } catch (const RuntimeError&) {
    return INVALID_FILE_ATTRIBUTES;
  }
}

bool IsFolderAttribute(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A failed open: a missing folder on the way (or a file where a folder
// should be) is "path not found", a folder where a file should be 75.
RuntimeError OpenError(DWORD os_error, const std::string& path) {
  if (os_error == ERROR_ACCESS_DENIED && IsFolderAttribute(Attributes(path))) {
    return MakeError(err::kPathFileAccess);
  }
  if (os_error == ERROR_FILE_NOT_FOUND && !IsFolderAttribute(Attributes(FolderOf(path)))) {
    return MakeError(err::kPathNotFound);
  }
  return FileError(static_cast<int>(os_error));
}

// A source that cannot be had: missing, or a folder on its way missing, is
// "file not found".
RuntimeError SourceError(DWORD os_error, const std::string& path) {
  if (os_error == ERROR_FILE_NOT_FOUND || os_error == ERROR_PATH_NOT_FOUND) {
    return MakeError(err::kFileNotFound);
  }
  return OpenError(os_error, path);
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
HANDLE OpenToAsk(const std::string& path) {
  return CreateFileW(Wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

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

// Removes a half-written file unless it was put into place; declared before
// the file's handle, so that the handle is closed first.
struct Removal {
  std::string path;
  bool armed = true;
  ~Removal() {
    if (armed) {
      try {
        DeleteFileIfExists(path);
      } catch (const RuntimeError&) {
      }
    }
  }
};

}  // namespace

namespace platform {

std::size_t ReadSome(NativeFile file, char* into, std::size_t size) {
  DWORD got = 0;
  const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
  if (!ReadFile(AsHandle(file), into, want, &got, nullptr)) {
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;  // the writer closed its end
    throw LastError();
  }
  return got;
}

void WriteAll(NativeFile file, const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD want = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(AsHandle(file), data, want, &written, nullptr)) throw LastError();
    data += written;
    size -= written;
  }
}

InputFile::InputFile(const std::string& path) {
  const HANDLE handle = CreateFileW(
      Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw SourceError(GetLastError(), path);
  fd_ = AsNative(handle);
  remaining_ = UINT64_MAX;
  if (GetFileType(handle) == FILE_TYPE_DISK) {
    regular_ = true;
    // Read no further than the length seen now, and leave a final DOS
    // end-of-file mark out.
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle, &size)) {
      const RuntimeError error = LastError();
      CloseHandle(handle);
      fd_ = -1;
      throw error;
    }
    remaining_ = static_cast<std::uint64_t>(size.QuadPart);
    if (remaining_ > 0) {
      OVERLAPPED at{};
      at.Offset = static_cast<DWORD>(remaining_ - 1);
      at.OffsetHigh = static_cast<DWORD>((remaining_ - 1) >> 32);
      char last = 0;
      DWORD got = 0;
      if (ReadFile(handle, &last, 1, &got, &at) && got == 1 && last == kDosEndOfFile) {
        --remaining_;
      }
      LARGE_INTEGER start{};
      SetFilePointerEx(handle, start, nullptr, FILE_BEGIN);
    }
  }
}

InputFile::~InputFile() {
  if (fd_ != -1) CloseHandle(AsHandle(fd_));
}

OutputFile::OutputFile(const std::string& path) {
  RefuseReservedName(path);
  // Links are opened as themselves, and refused below.
  const HANDLE handle =
      CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), path);
  fd_ = AsNative(handle);
  // Only a regular file, emptied only when it holds something.
  BY_HANDLE_FILE_INFORMATION info;
  LARGE_INTEGER zero{};
  std::optional<RuntimeError> error;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    error = MakeError(err::kPathFileAccess);
  } else if (!GetFileInformationByHandle(handle, &info)) {
    error = LastError();
  } else if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) !=
             0) {
    error = MakeError(err::kPathFileAccess);
  } else if ((info.nFileSizeHigh != 0 || info.nFileSizeLow != 0) &&
             (!SetFilePointerEx(handle, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(handle))) {
    error = LastError();
  }
  if (error) {
    CloseHandle(handle);
    fd_ = -1;
    throw *error;
  }
  buffer_.Reserve(kFlushAt * 2);
}

OutputFile::~OutputFile() {
  if (fd_ != -1 && owned_) CloseHandle(AsHandle(fd_));
}

void OutputFile::WriteCopyOf(std::string_view bytes, NativeFile, std::uint64_t) {
  Write(bytes);
}

void OutputFile::Close() {
  Flush();
  const HANDLE handle = AsHandle(fd_);
  fd_ = -1;
  if (owned_ && !CloseHandle(handle)) throw LastError();
}

bool IsRegularFile(const std::string& path) {
  if (IsDeviceName(path)) return false;
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE)) == 0;
}

namespace {

WIN32_FILE_ATTRIBUTE_DATA AttributeData(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data)) {
    throw SourceError(GetLastError(), path);
  }
  return data;
}

}  // namespace

std::uint64_t FileLength(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string FileDateText(const std::string& path) {
  const WIN32_FILE_ATTRIBUTE_DATA data = AttributeData(path);
  SYSTEMTIME utc, local;
  if (!FileTimeToSystemTime(&data.ftLastWriteTime, &utc) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
    return std::string();
  }
  auto two = [](int value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
  };
  return two(local.wDay) + "/" + two(local.wMonth) + "/" + std::to_string(local.wYear) + " " +
         two(local.wHour) + ":" + two(local.wMinute) + ":" + two(local.wSecond);
}

}  // namespace platform

NumberSettings NumberSettingsFromCLocale() {
  NumberSettings settings;
  const std::lconv* conv = std::localeconv();
  if (conv != nullptr) {
    if (conv->decimal_point != nullptr && *conv->decimal_point != '\0') {
      settings.decimal = conv->decimal_point;
    }
    settings.thousands = conv->thousands_sep != nullptr ? conv->thousands_sep : "";
  }
  return settings;
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

bool IsFolder(const std::string& path) {
  return IsFolderAttribute(Attributes(path));
}

bool SameFile(const std::string& a, const std::string& b) {
  // The volume's serial number and the file's index, not the names: links,
  // short names and different spellings of one file are the same.
  try {
    Handle ha(OpenToAsk(a));
    Handle hb(OpenToAsk(b));
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return ha.handle != INVALID_HANDLE_VALUE && hb.handle != INVALID_HANDLE_VALUE &&
           GetFileInformationByHandle(ha.handle, &ia) &&
           GetFileInformationByHandle(hb.handle, &ib) &&
           ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
  } catch (const RuntimeError&) {
    return false;
  }
}

namespace {

// Moves the finished hidden file `from` to `to`, replacing a file there when
// `replace`; error 58 when `to` exists and `replace` is false.
void MoveIntoPlace(const std::string& from, const std::string& to, bool replace) {
  RefuseReservedName(to);
  const std::wstring wide_from = Wide(from);
  const std::wstring wide_to = Wide(to);
  // The hidden temporary file becomes an ordinary one.
  SetFileAttributesW(wide_from.c_str(), FILE_ATTRIBUTE_NORMAL);
  // Without MOVEFILE_REPLACE_EXISTING an existing file is kept, even one
  // that appeared meanwhile.
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(wide_from.c_str(), wide_to.c_str(), flags)) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED && IsFolder(to)) throw MakeError(err::kPathFileAccess);
    throw FileError(static_cast<int>(error));
  }
  DropPending(wide_from);
}

}  // namespace

bool FileExists(const std::string& path) {
  if (IsDeviceName(path)) return false;  // a device, not a file
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

void DeleteFileIfExists(const std::string& path) {
  const std::wstring wide = Wide(path);
  if (!DeleteFileW(wide.c_str())) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
      throw FileError(static_cast<int>(error));
    }
  }
  DropPending(wide);
}

std::string TemporaryFilePath() {
  // The user's temporary folder: the root of C:\ takes no files from a
  // standard user on current Windows.
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) throw MakeError(err::kPathNotFound);
  return JoinPath(Utf8(std::wstring_view(folder, length)), "PEMBLIX.TMP");
}

void CopyFileReplacing(const std::string& from, const std::string& to) {
  CheckReplaceable(to);
  Handle in(CreateFileW(Wide(from).c_str(), GENERIC_READ,
                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (in.handle == INVALID_HANDLE_VALUE) throw OpenError(GetLastError(), from);
  NewFile file(to);
  platform::OutputFile output(file);
  std::string buffer(1 << 16, '\0');
  while (const std::size_t got =
             platform::ReadSome(AsNative(in.handle), buffer.data(), buffer.size())) {
    output.Write(std::string_view(buffer.data(), got));
  }
  output.Close();
  file.Place(true);
}

void CheckReplaceable(const std::string& path) {
  RefuseReservedName(path);
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return;
  }
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
    throw RuntimeError(err::kPathFileAccess, MakeError(err::kPathFileAccess).description() +
                                                 " (non è un file ordinario)");
  }
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) throw MakeError(err::kPermission);
}

TemporaryFileLease::TemporaryFileLease() {
  const std::string folder = FolderOf(TemporaryFilePath());
  // Each running copy holds its lock file open without sharing; the system
  // closes it, and deletes it, when the copy ends, however it ends.
  for (int n = 0; n < 1000; ++n) {
    const std::string stem = JoinPath(folder, n == 0 ? "PEMBLIX" : "PEMBLIX" + std::to_string(n));
    const std::string lock_path = stem + ".LCK";
    const HANDLE lock =
        CreateFileW(Wide(lock_path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
      const DWORD error = GetLastError();
      if (error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED) continue;
      throw OpenError(error, lock_path);
    }
    path_ = stem + ".TMP";
    lock_path_ = lock_path;
    lock_ = AsNative(lock);
    return;
  }
  throw MakeError(err::kTooManyFiles);
}

TemporaryFileLease::~TemporaryFileLease() {
  if (lock_ != -1) CloseHandle(AsHandle(lock_));  // deletes the lock file
}

namespace {

// Marks an open file to be deleted by the system when its last handle is
// closed, or clears the mark; false when the file system cannot.
bool MarkForDeletion(HANDLE handle, bool deleted) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = deleted ? TRUE : FALSE;
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                    sizeof disposition) != 0;
}

}  // namespace

void PrepareProcess() {}

// Windows has no unnamed files: always a hidden sibling.  It is marked for
// deletion while it is written, so that the system removes it when the
// program ends however it ends (even killed); the mark is cleared just before
// it is moved into place.  The destructor removes it too, and so does the
// console handler on Ctrl-C, Ctrl-Break or the console's closing.
struct NewFile::State {
  std::string destination;
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string hidden;
  bool placed = false;
};

NewFile::NewFile(const std::string& destination) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.destination = destination;
  RefuseReservedName(destination);
  const std::string start = JoinPath(FolderOf(destination), ".tavconv-");
  std::uint64_t seed = GetTickCount64() * 2654435761u ^ GetCurrentProcessId();
  for (int attempt = 0; attempt < 100 && s.handle == INVALID_HANDLE_VALUE; ++attempt) {
    seed = seed * 6364136223846793005u + 1442695040888963407u;
    std::string hidden = start;
    for (int i = 0; i < 6; ++i)
      hidden += "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"[(seed >> (8 + 5 * i)) % 36];
    const std::wstring wide = Wide(hidden);
    // Registered first, so that Ctrl-C never leaves a file it did not know.
    AddPending(wide);
    s.handle =
        CreateFileW(wide.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (s.handle != INVALID_HANDLE_VALUE) {
      s.hidden = hidden;
      // A file system that cannot mark it still has the destructor and the
      // console handler.
      MarkForDeletion(s.handle, true);
      break;
    }
    const DWORD error = GetLastError();
    DropPending(wide);
    if (error != ERROR_FILE_EXISTS) throw OpenError(error, destination);
  }
  if (s.handle == INVALID_HANDLE_VALUE) throw MakeError(err::kFileExists);
}

NewFile::~NewFile() {
  if (!state_) return;
  if (state_->handle != INVALID_HANDLE_VALUE) CloseHandle(state_->handle);
  if (!state_->placed && !state_->hidden.empty()) {
    try {
      DeleteFileIfExists(state_->hidden);
    } catch (const RuntimeError&) {
    }
  }
}

const std::string& NewFile::destination() const {
  return state_->destination;
}

void NewFile::Place(bool replace) {
  State& s = *state_;
  if (s.placed) return;
  if (replace) CheckReplaceable(s.destination);
  if (s.handle != INVALID_HANDLE_VALUE) {  // still open unless a Place failed before
    if (replace && !FlushFileBuffers(s.handle)) throw LastError();
    // Kept from now on: closing the handle no longer deletes it.
    MarkForDeletion(s.handle, false);
    const HANDLE handle = s.handle;
    s.handle = INVALID_HANDLE_VALUE;
    if (!CloseHandle(handle)) throw LastError();
  }
  MoveIntoPlace(s.hidden, s.destination, replace);
  s.placed = true;
}

namespace platform {

std::string PrivateFolder(const std::string& base) {
  // The user's temporary folder is the user's alone (its access list); a
  // folder of the program's own inside it.
  const std::string folder = JoinPath(base, "pemblix");
  if (!CreateDirectoryW(Wide(folder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    const RuntimeError error = LastError(true);
    throw RuntimeError(error.number(), error.description() + ": " + folder);
  }
  if (!IsFolder(folder)) {
    throw RuntimeError(err::kPermission, MakeError(err::kPermission).description() + ": " + folder);
  }
  return folder;
}

void AllowUnnamedFiles(bool) {}

OutputFile::OutputFile(NewFile& file) : fd_(AsNative(file.state_->handle)), owned_(false) {
  buffer_.Reserve(kFlushAt * 2);
}

}  // namespace platform

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

bool StandardErrorIsTerminal() {
  // The progress line is redrawn with terminal escapes: a console that
  // cannot take them (before Windows 10) counts as no terminal.
  const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  return GetConsoleMode(handle, &mode) != 0 &&
         ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
          SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0);
}

PrivateFile::PrivateFile() : PrivateFile(std::string()) {}

// Always in the user's temporary folder: a file with a name would be seen
// beside the destination.  Held open, marked to be deleted when the last
// handle goes (however the program ends); others open it while it is held,
// sharing its deletion.
PrivateFile::PrivateFile(const std::string&) {
  const std::string folder = FolderOf(TemporaryFilePath());
  for (unsigned n = GetCurrentProcessId() & 0xFFFFFF;; ++n) {
    const std::string name = JoinPath(folder, "tavconv-" + std::to_string(n) + ".tmp");
    const HANDLE file = CreateFileW(
        Wide(name).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        CREATE_NEW,
        FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED | FILE_FLAG_DELETE_ON_CLOSE,
        nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      path_ = name;
      file_ = AsNative(file);
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) throw LastError(true);
  }
}

PrivateFile::~PrivateFile() {
  if (file_ != -1) CloseHandle(AsHandle(file_));  // deletes the file
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
