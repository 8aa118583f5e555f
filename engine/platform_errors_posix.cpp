// System error codes as run-time errors (POSIX).
#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

RuntimeError FileError(int os_error, bool path_part) {
  switch (os_error) {
    case ENOENT:
      return MakeError(path_part ? err::kPathNotFound : err::kFileNotFound);
    case ENOTDIR:
      return MakeError(err::kPathNotFound);
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
      return MakeError(err::kPermission);
    case ENOSPC:
    case EDQUOT:
      return MakeError(err::kDiskFull);
    case EFBIG:
      return FileTooLarge();
    case EEXIST:
      return MakeError(err::kFileExists);
    case ENAMETOOLONG:
    case EINVAL:
      return MakeError(err::kBadFileName);
    case EMFILE:
    case ENFILE:
      return MakeError(err::kTooManyFiles);
    case EIO:
    case EPIPE:  // the reader of a pipe is gone: the output failed
      return MakeError(err::kDeviceIo);
    case ENOMEM:
      return MakeError(err::kOutOfMemory);
  }
  return MakeError(err::kPathFileAccess);
}

namespace platform {

RuntimeError OpenError(int os_error, const std::string& path) {
  if (os_error == ENOENT) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0) {
      struct stat st;
      if (stat(path.substr(0, slash).c_str(), &st) != 0) return FileError(ENOENT, true);
    }
  }
  return FileError(os_error);
}

// A source that cannot be had: missing, or a folder on its way missing, is
// "file not found".
RuntimeError SourceError(int os_error) {
  return FileError(os_error == ENOTDIR ? ENOENT : os_error);
}

}  // namespace platform

}  // namespace tavrel
