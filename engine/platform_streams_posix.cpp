// Platform services of tavconv's batches and standard streams (POSIX):
// folder walking, folder making, the terminal test and standard input and
// output taken as files.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// Writes all of `size` bytes to `fd`, again after an interruption.
void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) throw FileError(errno);
    data += put;
    size -= static_cast<std::size_t>(put);
  }
}

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

namespace {

// The temporary folder: $TMPDIR when it names a folder, else /tmp.
std::string TemporaryFolder() {
  if (const char* folder = std::getenv("TMPDIR"); folder != nullptr && *folder == '/') {
    struct stat st;
    if (stat(folder, &st) == 0 && S_ISDIR(st.st_mode)) return folder;
  }
  return "/tmp";
}

// An unnamed file of mode 0600 in `folder`, or -1.
int UnnamedIn(const std::string& folder) {
  if (!platform::UnnamedFilesAllowed()) return -1;
  int fd;
  do {
    fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

PrivateFile::PrivateFile() : PrivateFile(std::string()) {}

PrivateFile::PrivateFile(const std::string& destination) {
  const std::string temporary = TemporaryFolder();
  int fd = destination.empty() ? -1 : UnnamedIn(FolderOf(destination));
  if (fd < 0) fd = UnnamedIn(temporary);
  if (fd >= 0) {
    file_ = fd;
    path_ = "/proc/self/fd/" + std::to_string(fd);
    return;
  }
  std::string name = JoinPath(platform::PrivateFolder(temporary), "tavconv-XXXXXX");
  fd = platform::MakeGuarded(name, false,
                             [](std::string& made) { return mkostemp(made.data(), O_CLOEXEC); });
  if (fd < 0) throw FileError(errno, true);
  file_ = fd;
  path_ = name;
  named_ = true;
}

PrivateFile::~PrivateFile() {
  if (named_) {
    unlink(path_.c_str());
    platform::Unguard(path_);
  }
  if (file_ >= 0) close(static_cast<int>(file_));
}

void CopyStandardInputTo(const std::string& path) {
  Fd file{platform::OpenOwnSpool(path)};
  if (file.fd < 0) file.fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (file.fd < 0) throw FileError(errno);
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(errno);
    if (got == 0) break;
    WriteAll(file.fd, buffer, static_cast<std::size_t>(got));
  }
  const int fd = file.fd;
  file.fd = -1;
  if (close(fd) != 0 && errno != EINTR) throw FileError(errno);
}

void CopyToStandardOutput(const std::string& path) {
  // A new description of the file: reading from its start whoever wrote it.
  const Fd file{open(path.c_str(), O_RDONLY | O_CLOEXEC)};
  if (file.fd < 0) throw FileError(errno);
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw FileError(errno);
    if (got == 0) return;
    WriteAll(STDOUT_FILENO, buffer, static_cast<std::size_t>(got));
  }
}

}  // namespace tavrel
