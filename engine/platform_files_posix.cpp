// Files on a POSIX system: reading and writing through descriptors, and
// what the program asks about files.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <string_view>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

namespace platform {

namespace {

constexpr std::size_t kChunk = 1 << 16;

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

void WriteAll(NativeFile fd, std::string_view first, std::string_view second) {
  iovec parts[2] = {{const_cast<char*>(first.data()), first.size()},
                    {const_cast<char*>(second.data()), second.size()}};
  iovec* part = parts;
  int count = 2;
  for (;;) {
    while (count > 0 && part->iov_len == 0) {
      ++part;
      --count;
    }
    if (count == 0) return;
    const ssize_t written = writev(fd, part, count);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw FileError(errno);
    }
    auto left = static_cast<std::size_t>(written);
    while (count > 0 && left >= part->iov_len) {
      left -= part->iov_len;
      ++part;
      --count;
    }
    if (count > 0) {
      part->iov_base = static_cast<char*>(part->iov_base) + left;
      part->iov_len -= left;
    }
  }
}

InputFile::InputFile(const std::string& path) {
  fd_ = Retrying([&] { return open(path.c_str(), O_RDONLY | O_CLOEXEC); });
  if (fd_ < 0) throw SourceError(errno);
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
  regular_ = S_ISREG(st.st_mode);
  if (regular_) {
    // Read no further than the length seen now (a final DOS end-of-file
    // mark is left out when it is read).
    remaining_ = static_cast<std::uint64_t>(st.st_size);
  }
}

InputFile::~InputFile() {
  if (fd_ >= 0) close(fd_);
}

OutputFile::OutputFile(const std::string& path) {
  // A spool file of the program's own, reached through its descriptor.
  fd_ = OpenOwnSpool(path);
  if (fd_ >= 0) {
    buffer_.Reserve(kFlushAt * 2);
    return;
  }
  // Only a file this program made: a leftover of the user's own goes first,
  // anything else is not the program's to write or remove.
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) throw MakeError(err::kPathFileAccess);
    if (st.st_uid != geteuid() || st.st_nlink != 1) throw MakeError(err::kPermission);
    if (unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(errno);
  }
  fd_ = Retrying([&] {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  });
  if (fd_ < 0) throw OpenError(errno, path);
  buffer_.Reserve(kFlushAt * 2);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0 && owned_) close(fd_);
}

void OutputFile::WriteCopyOf(std::string_view bytes, NativeFile from, std::uint64_t offset) {
  if (bytes.size() < kFlushAt) return Write(bytes);
  Flush();
  offset_ += bytes.size();
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

void OutputFile::CopyFrom(NativeFile from, std::uint64_t length) {
  Flush();
  offset_ += length;
  while (length > 0) {
    const std::size_t want = length < (1u << 30) ? static_cast<std::size_t>(length) : (1u << 30);
    const ssize_t copied = copy_file_range(from, nullptr, fd_, nullptr, want, 0);
    if (copied < 0 && errno == EINTR) continue;
    if (copied < 0 && (errno == ENOSPC || errno == EDQUOT || errno == EIO || errno == EFBIG)) {
      throw FileError(errno);
    }
    if (copied < 0) break;  // not between these files: read and written below
    // A file that became shorter while it was copied gives no sound result.
    if (copied == 0) throw MakeError(err::kPastEnd);
    length -= static_cast<std::uint64_t>(copied);
  }
  if (length == 0) return;
  const std::size_t chunk = length < kChunk * 4 ? static_cast<std::size_t>(length) : kChunk * 4;
  const auto buffer = std::make_unique_for_overwrite<char[]>(chunk);
  while (length > 0) {
    const std::size_t want = length < chunk ? static_cast<std::size_t>(length) : chunk;
    const std::size_t got = ReadSome(from, buffer.get(), want);
    if (got == 0) throw MakeError(err::kPastEnd);
    WriteAll(fd_, buffer.get(), got);
    length -= got;
  }
}

void OutputFile::Expect(std::uint64_t bytes) {
  Flush();
  if (bytes == 0 || bytes > static_cast<std::uint64_t>(INT64_MAX) - offset_) return;
  // Under a limit on the size of files the room might pass it, which is a
  // signal that may end the program: only the bytes written may meet it.
  rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur != RLIM_INFINITY) return;
  const auto at = static_cast<off_t>(offset_);
  if (fallocate(fd_, 0, at, static_cast<off_t>(bytes)) == 0) {
    expected_ = offset_ + bytes;
  } else {
    // Nothing taken, or a part: the file ends where it was written.
    [[maybe_unused]] const int ignored = ftruncate(fd_, at);
  }
}

void OutputFile::Close() {
  Flush();
  // The room taken by Expect beyond the end written goes back.
  const bool cut = expected_ > offset_ && ftruncate(fd_, static_cast<off_t>(offset_)) != 0;
  const int cut_error = errno;
  const int fd = fd_;
  fd_ = -1;
  if (owned_ && close(fd) != 0 && errno != EINTR) throw FileError(errno);
  if (cut) throw FileError(cut_error);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::uint64_t FileLength(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw SourceError(errno);
  return static_cast<std::uint64_t>(st.st_size);
}

FileStamp FileStampOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw SourceError(errno);
  FileStamp stamp;
  stamp.length = static_cast<std::uint64_t>(st.st_size);
  struct tm local;
  const time_t changed = st.st_mtime;
  if (localtime_r(&changed, &local) == nullptr) return stamp;
  auto two = [](int value) {
    return std::string{static_cast<char>('0' + value / 10 % 10),
                       static_cast<char>('0' + value % 10)};
  };
  stamp.date_text = two(local.tm_mday) + "/" + two(local.tm_mon + 1) + "/" +
                    std::to_string(local.tm_year + 1900) + " " + two(local.tm_hour) + ":" +
                    two(local.tm_min) + ":" + two(local.tm_sec);
  return stamp;
}

}  // namespace platform

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void DeleteFileIfExists(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(errno);
}

void CheckReplaceable(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0 || S_ISLNK(st.st_mode)) return;
  if (!S_ISREG(st.st_mode)) {
    throw RuntimeError(err::kPathFileAccess, MakeError(err::kPathFileAccess).description() +
                                                 " (non è un file ordinario)");
  }
  if (access(path.c_str(), W_OK) != 0 || (st.st_mode & 0222) == 0) {
    throw MakeError(err::kPermission);
  }
}

void CopyFileReplacing(const std::string& from, const std::string& to) {
  CheckReplaceable(to);
  struct Descriptor {
    int fd;
    ~Descriptor() {
      if (fd >= 0) close(fd);
    }
  } in{platform::Retrying([&] { return open(from.c_str(), O_RDONLY | O_CLOEXEC); })};
  if (in.fd < 0) throw platform::OpenError(errno, from);

  NewFile file(to);
  platform::OutputFile output(file);
  std::string buffer(platform::kChunk, '\0');
  for (;;) {
    const ssize_t got = read(in.fd, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(errno);
    if (got == 0) break;
    output.Write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
  }
  output.Close();
  file.Place(true);
}

}  // namespace tavrel
