// Temporary files on Windows: the hidden sibling that becomes the user's
// file, the window's temporary file and its lease, the private folder and
// tavconv's private files.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "platform.h"
#include "platform_internal_win32.h"
#include "tavrel.h"

namespace tavrel {

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

std::string TemporaryFilePath() {
  // The user's temporary folder: the root of C:\ takes no files from a
  // standard user on current Windows.
  wchar_t folder[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) throw MakeError(err::kPathNotFound);
  return JoinPath(Utf8(std::wstring_view(folder, length)), "PEMBLIX.TMP");
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

}  // namespace tavrel
