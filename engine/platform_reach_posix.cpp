// Paths longer than the system takes (POSIX): reached step by step from a
// folder of theirs that the system can still name.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "tavrel.h"

namespace tavrel {

namespace {

// The longest path the system takes in one call, with its ending zero.
constexpr std::size_t kLongest = PATH_MAX;

// Opens the folder at `path` (short enough) as a handle that only names it.
int OpenFolder(int at, const std::string& path) {
  int fd;
  do {
    fd = openat(at, path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

ShortPath::ShortPath(const std::string& path, bool make_folders) : path_(path) {
  if (path.size() < kLongest) return;
  const std::string folder = FolderOf(path);
  const std::string name = NameOf(path);
  // The longest leading part that the system takes whole, ending before a
  // separator; the rest is opened one folder at a time.
  std::size_t cut = folder.rfind('/', kLongest - 2);
  if (cut == std::string::npos || cut == 0) cut = folder.empty() || folder[0] != '/' ? 0 : 1;
  const std::string head = cut == 0 ? std::string(".") : folder.substr(0, cut);
  if (make_folders) MakeFolders(head);
  int fd = OpenFolder(AT_FDCWD, head);
  if (fd < 0) {
    if (make_folders) throw FileError(errno, true);
    return;  // the long path stays, and its own use says what is wrong
  }
  for (std::size_t at = cut; at < folder.size();) {
    const std::size_t end = std::min(folder.find('/', at), folder.size());
    const std::string step = folder.substr(at, end - at);
    at = end + 1;
    if (step.empty() || step == ".") continue;
    int next = OpenFolder(fd, step);
    if (next < 0 && errno == ENOENT && make_folders) {
      if (mkdirat(fd, step.c_str(), 0777) != 0 && errno != EEXIST) {
        const int error = errno;
        close(fd);
        throw FileError(error, true);
      }
      next = OpenFolder(fd, step);
    }
    const int error = errno;
    close(fd);
    if (next < 0) {
      if (make_folders) throw FileError(error, true);
      return;
    }
    fd = next;
  }
  folder_ = fd;
  path_ = "/proc/self/fd/" + std::to_string(fd) + "/" + name;
}

ShortPath::~ShortPath() {
  if (folder_ >= 0) close(static_cast<int>(folder_));
}

}  // namespace tavrel
