// File services on a POSIX system.
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

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
    case EFBIG:
      return MakeError(err::kDiskFull);
    case EEXIST:
      return MakeError(err::kFileExists);
    case ENAMETOOLONG:
    case EINVAL:
      return MakeError(err::kBadFileName);
    case EMFILE:
    case ENFILE:
      return MakeError(err::kTooManyFiles);
    case EIO:
      return MakeError(err::kDeviceIo);
    case ENOMEM:
      return MakeError(err::kOutOfMemory);
  }
  return MakeError(err::kPathFileAccess);
}

namespace platform {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr char kDosEndOfFile = 0x1A;

// A failed open: a missing folder on the way is "path not found".
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

int Retrying(auto call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

}  // namespace

std::size_t ReadSome(NativeFile fd, char* into, std::size_t size) {
  ssize_t got;
  do {
    got = read(fd, into, size);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw FileError(errno);
  return static_cast<std::size_t>(got);
}

void WriteAll(NativeFile fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

InputFile::InputFile(const std::string& path) {
  fd_ = Retrying([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd_ < 0) throw OpenError(errno, path);
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    const int error = errno;
    close(fd_);
    throw FileError(error);
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd_);
    throw FileError(EISDIR);
  }
  remaining_ = UINT64_MAX;
  if (S_ISREG(st.st_mode)) {
    // Read no further than the length seen now, and leave a final DOS
    // end-of-file mark out.
    remaining_ = static_cast<std::uint64_t>(st.st_size);
    char last = 0;
    if (remaining_ > 0 && pread(fd_, &last, 1, static_cast<off_t>(remaining_ - 1)) == 1 &&
        last == kDosEndOfFile) {
      --remaining_;
    }
  }
}

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

OutputFile::OutputFile(const std::string& path) {
  // Not blocking: a pipe planted at the path must not hang the program.
  fd_ = Retrying([&] {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  });
  if (fd_ < 0) throw OpenError(errno, path);
  // Only a regular file, emptied only when it holds something: truncating a
  // file makes some file systems (ext4) write it out in full when it is
  // closed, which a new file need not wait for.
  struct stat st;
  int error = 0;
  if (fstat(fd_, &st) != 0) {
    error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    error = EISDIR;
  } else if (st.st_size > 0 && ftruncate(fd_, 0) != 0) {
    error = errno;
  }
  if (error != 0) {
    close(fd_);
    fd_ = -1;
    throw FileError(error);
  }
  buffer_.Reserve(kFlushAt * 2);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
}

void OutputFile::WriteCopyOf(std::string_view bytes, NativeFile from, std::uint64_t offset) {
  if (bytes.size() < kFlushAt) return Write(bytes);
  Flush();
  auto in = static_cast<loff_t>(offset);
  while (!bytes.empty()) {
    const ssize_t copied = copy_file_range(from, &in, fd_, nullptr, bytes.size(), 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EIO || errno == EFBIG)) {
      throw FileError(errno);
    }
    if (copied <= 0) break;  // not between these files, or the source shrank
    bytes.remove_prefix(static_cast<std::size_t>(copied));
  }
  WriteAll(fd_, bytes.data(), bytes.size());
}

void OutputFile::Close() {
  Flush();
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0 && errno != EINTR) throw FileError(errno);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint64_t FileLength(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw OpenError(errno, path);
  return static_cast<std::uint64_t>(st.st_size);
}

std::string FileDateText(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw OpenError(errno, path);
  struct tm local;
  const time_t stamp = st.st_mtime;
  if (localtime_r(&stamp, &local) == nullptr) return std::string();
  auto two = [](int value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
  };
  return two(local.tm_mday) + "/" + two(local.tm_mon + 1) + "/" +
         std::to_string(local.tm_year + 1900) + " " + two(local.tm_hour) + ":" + two(local.tm_min) +
         ":" + two(local.tm_sec);
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

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

NumberSettings UserNumberSettings() {
  return NumberSettingsFromCLocale();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

std::string MakeSiblingTemporary(const std::string& path) {
  std::string temp = JoinPath(FolderOf(path), "." + NameOf(path) + ".XXXXXX");
  const int fd = mkstemp(temp.data());
  if (fd < 0) throw FileError(errno);
  close(fd);
  return temp;
}

void MoveIntoPlace(const std::string& from, const std::string& to, bool replace) {
  const mode_t mask = umask(022);
  umask(mask);
  chmod(from.c_str(), 0666 & ~mask);
  if (replace) {
    if (rename(from.c_str(), to.c_str()) != 0) throw FileError(errno);
    return;
  }
  // A link never replaces what is there, even a file that appeared meanwhile.
  if (link(from.c_str(), to.c_str()) == 0) {
    unlink(from.c_str());
    return;
  }
  if (errno == EEXIST) throw MakeError(err::kFileExists);
  // A file system without links (FAT media): check, then rename.
  if (FileExists(to)) throw MakeError(err::kFileExists);
  if (rename(from.c_str(), to.c_str()) != 0) throw FileError(errno);
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrintOut(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void DeleteFileIfExists(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(errno);
}

std::string TemporaryFilePath() {
  constexpr const char* kName = "PEMBLIX.TMP";
  const uid_t uid = getuid();
  // A per-user folder: a fixed name in the shared /tmp could be planted as a
  // link by another user, or read by one.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    struct stat st;
    if (lstat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid) {
      return JoinPath(runtime, kName);
    }
  }
  const std::string folder = "/tmp/pemblix-" + std::to_string(uid);
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) throw FileError(errno, true);
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0) throw FileError(errno, true);
  if (!S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 077) != 0) {
    throw MakeError(err::kPermission);
  }
  return folder + "/" + kName;
}

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

// Removes a half-written file unless it was put into place.
struct Removal {
  std::string path;
  bool armed = true;
  ~Removal() {
    if (armed) unlink(path.c_str());
  }
};

}  // namespace

void CopyFileReplacing(const std::string& from, const std::string& to) {
  // A destination the user made read-only is not replaced.
  if (FileExists(to) && access(to.c_str(), W_OK) != 0) throw FileError(errno);

  Descriptor in{platform::Retrying([&] { return open(from.c_str(), O_RDONLY | O_CLOEXEC); })};
  if (in.fd < 0) throw platform::OpenError(errno, from);

  // A hidden sibling: the same folder, a dot before the name.
  const std::size_t name_at = to.rfind('/') == std::string::npos ? 0 : to.rfind('/') + 1;
  std::string temp = to.substr(0, name_at);
  temp += '.';
  temp += std::string_view(to).substr(name_at);
  temp += ".XXXXXX";
  Descriptor out{mkstemp(temp.data())};
  if (out.fd < 0) throw platform::OpenError(errno, to);
  Removal removal{temp};

  std::string buffer(platform::kChunk, '\0');
  for (;;) {
    const ssize_t got = read(in.fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(errno);
    if (got == 0) break;
    platform::WriteAll(out.fd, buffer.data(), static_cast<std::size_t>(got));
  }
  // The copy gets the mode of the file it replaces, else the usual one.
  struct stat st;
  mode_t mode;
  if (stat(to.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(022);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(out.fd, mode) != 0 || fsync(out.fd) != 0) throw FileError(errno);
  const int closing = close(out.fd);
  out.fd = -1;
  if (closing != 0 && errno != EINTR) throw FileError(errno);
  if (rename(temp.c_str(), to.c_str()) != 0) throw FileError(errno);
  removal.armed = false;
}

}  // namespace tavrel
