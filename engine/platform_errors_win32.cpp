// System error codes as run-time errors (Windows).
#include "platform.h"
#include "platform_internal_win32.h"
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

RuntimeError LastError(bool path_part) {
  return FileError(static_cast<int>(GetLastError()), path_part);
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

}  // namespace tavrel
