// File services on a POSIX system.
#include "platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <bit>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "tavrel.h"

namespace tavrel {

namespace platform {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kLargeChunk = 1 << 20;  // for copying whole buffers
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

void WriteAll(int fd, const char* data, std::size_t size) {
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

}  // namespace

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

bool InputFile::Fill(std::size_t chunk) {
  if (pos_ < size_) return true;
  size_ = 0;
  pos_ = 0;
  if (remaining_ == 0) return false;
  if (capacity_ < chunk) {
    buffer_ = std::make_unique_for_overwrite<char[]>(chunk);
    capacity_ = chunk;
  }
  const std::size_t want = remaining_ < chunk ? static_cast<std::size_t>(remaining_) : chunk;
  ssize_t got;
  do {
    got = read(fd_, buffer_.get(), want);
  } while (got < 0 && errno == EINTR);
  if (got < 0) throw FileError(errno);
  if (got == 0) {
    remaining_ = 0;  // the file became shorter
    return false;
  }
  size_ = static_cast<std::size_t>(got);
  offset_ += size_;
  if (remaining_ != UINT64_MAX) remaining_ -= size_;
  return true;
}

bool InputFile::AtEnd() {
  return !Fill();
}

std::string InputFile::ReadFirstField() {
  if (AtEnd()) throw MakeError(err::kPastEnd);
  std::string field;
  bool leading = true;
  while (Fill()) {
    const char c = buffer_[pos_++];
    if (leading && c == ' ') continue;
    leading = false;
    if (c == ',') break;
    if (c == '\n') {
      if (!field.empty() && field.back() == '\r') field.pop_back();
      break;
    }
    field += c;
  }
  return field;
}

std::string_view InputFile::ReadLineView(std::string& scratch) {
  if (AtEnd()) throw MakeError(err::kPastEnd);
  const char* start = buffer_.get() + pos_;
  const std::size_t available = size_ - pos_;
  const void* newline = std::memchr(start, '\n', available);
  if (newline == nullptr) {
    ReadLine(scratch);
    return scratch;
  }
  std::size_t length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
  pos_ += length + 1;
  if (length > 0 && start[length - 1] == '\r') --length;
  return std::string_view(start, length);
}

void InputFile::ReadLine(std::string& line) {
  if (AtEnd()) throw MakeError(err::kPastEnd);
  line.clear();
  while (Fill()) {
    const char* start = buffer_.get() + pos_;
    const std::size_t available = size_ - pos_;
    const void* newline = std::memchr(start, '\n', available);
    if (newline != nullptr) {
      const std::size_t length =
          static_cast<std::size_t>(static_cast<const char*>(newline) - start);
      line.append(start, length);
      pos_ += length + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return;
    }
    line.append(start, available);
    pos_ += available;
  }
}

namespace {

// The high bit of every byte of `word` that equals `byte`, exactly.
constexpr std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const std::uint64_t x = word ^ (0x0101010101010101ULL * byte);
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// Whether `bytes` holds a lone LF, one without a CR before it (`after_cr`
// tells whether the byte before `bytes` is a CR).  Eight bytes at a time.
bool HasLoneLineFeed(std::string_view bytes, bool after_cr) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time: one bit a byte for LF and for CR.
  {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    unsigned carry = after_cr ? 1 : 0;
    for (; n >= 16; p += 16, n -= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
      const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
      if ((lfs & ~((crs << 1) | carry)) != 0) return true;
      carry = crs >> 15;
    }
    after_cr = carry != 0;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t carry = after_cr ? 0x80 : 0;  // the CR flag of the byte before
    for (; n >= 8; p += 8, n -= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t cr = BytesEqual(word, '\r');
      // A byte is preceded by a CR when the byte one place lower is one.
      if ((BytesEqual(word, '\n') & ~((cr << 8) | carry)) != 0) return true;
      carry = cr >> 56;
    }
    after_cr = carry != 0;
  }
  for (; n > 0; ++p, --n) {
    if (*p == '\n' && !after_cr) return true;
    after_cr = *p == '\r';
  }
  return false;
}

}  // namespace

void InputFile::CopyLines(OutputFile& output) {
  // Buffers whose line ends are all CR LF go out whole; a lone LF gets its CR.
  bool after_cr = false;   // the previous buffer ended with a CR
  bool line_open = false;  // bytes since the last line end
  while (Fill(kLargeChunk)) {
    const std::string_view chunk(buffer_.get() + pos_, size_ - pos_);
    const std::uint64_t chunk_offset = offset_ - (size_ - pos_);
    pos_ = size_;
    if (!HasLoneLineFeed(chunk, after_cr)) {
      output.WriteCopyOf(chunk, fd_, chunk_offset);
    } else {
      std::size_t pending = 0;  // first byte not yet written
      for (std::size_t lf = chunk.find('\n'); lf != std::string_view::npos;
           lf = chunk.find('\n', lf + 1)) {
        const bool has_cr = lf > 0 ? chunk[lf - 1] == '\r' : after_cr;
        if (!has_cr) {
          output.Write(chunk.substr(pending, lf - pending));
          output.Write("\r\n");
          pending = lf + 1;
        }
      }
      output.Write(chunk.substr(pending));
    }
    after_cr = chunk.back() == '\r';
    line_open = chunk.back() != '\n';
  }
  if (line_open) output.Write("\r\n");  // a last line without its line end
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
  buffer_.reserve(kFlushAt * 2);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) close(fd_);
}

void OutputFile::Flush() {
  WriteAll(fd_, buffer_.data(), buffer_.size());
  buffer_.clear();
}

void OutputFile::WriteLine(std::string_view text) {
  if (text.size() >= kFlushAt) {
    Flush();
    WriteAll(fd_, text.data(), text.size());
  } else {
    buffer_ += text;
  }
  buffer_ += "\r\n";
  if (buffer_.size() >= kFlushAt) Flush();
}

void OutputFile::Write(std::string_view bytes) {
  if (bytes.size() >= kFlushAt) {
    Flush();
    WriteAll(fd_, bytes.data(), bytes.size());
    return;
  }
  buffer_ += bytes;
  if (buffer_.size() >= kFlushAt) Flush();
}

void OutputFile::WriteCopyOf(std::string_view bytes, int from, std::uint64_t offset) {
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
