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

std::vector<FolderEntry> ListFolder(const std::string& folder, bool follow) {
  const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow ? 0 : O_NOFOLLOW);
  Fd opened{open(folder.c_str(), flags)};
  if (opened.fd < 0) throw FileError(errno, true);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(fdopendir(opened.fd), closedir);
  if (!dir) throw FileError(errno, true);
  opened.fd = -1;  // the stream has it now
  const int at = dirfd(dir.get());
  std::vector<FolderEntry> entries;
  errno = 0;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry found;
    found.name = name;
    found.type = FolderEntry::Type::kNotRegular;
    struct stat st;
    if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      const RuntimeError error = FileError(errno);
      found.type = FolderEntry::Type::kUnexamined;
      found.error = error.number();
      found.why = error.description();
    } else if (S_ISDIR(st.st_mode)) {
      found.type = FolderEntry::Type::kFolder;
    } else if (S_ISREG(st.st_mode)) {
      found.type = FolderEntry::Type::kFile;
      found.size = static_cast<std::uint64_t>(st.st_size);
    } else if (S_ISLNK(st.st_mode) && fstatat(at, name.c_str(), &st, 0) == 0) {
      // A link to a file is read like the file; one to a folder is not
      // followed, so no walk loops.
      if (S_ISREG(st.st_mode)) {
        found.type = FolderEntry::Type::kFile;
        found.size = static_cast<std::uint64_t>(st.st_size);
      } else if (S_ISDIR(st.st_mode)) {
        found.type = FolderEntry::Type::kFolderLink;
      }
    }
    entries.push_back(std::move(found));
    errno = 0;
  }
  if (errno != 0) throw FileError(errno, true);
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

bool IdentityOf(const std::string& path, FileIdentity& identity) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  identity = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  return true;
}

bool ChangeTimeOf(const std::string& path, std::int64_t& time) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  time = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  return true;
}

std::vector<std::string> ExpandWildcards(const std::string& operand) {
  return {operand};  // the shell has expanded them
}

void MakeFolders(const std::string& path) {
  if (path.empty() || IsFolder(path)) return;
  const std::size_t slash = path.find_last_of('/', path.size() - 1);
  if (slash != std::string::npos && slash > 0) MakeFolders(path.substr(0, slash));
  if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) throw FileError(errno, true);
  if (!IsFolder(path)) Raise(err::kPathFileAccess);
}

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

PrivateFile::PrivateFile() {
  const std::string temporary = TemporaryFilePath();
  std::string name = temporary.substr(0, temporary.rfind('/') + 1) + "tavconv-XXXXXX";
  const Fd file{mkstemp(name.data())};
  if (file.fd < 0) throw FileError(errno, true);
  path_ = name;
}

PrivateFile::~PrivateFile() {
  unlink(path_.c_str());
}

void CopyStandardInputTo(const std::string& path) {
  Fd file{open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC)};
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
