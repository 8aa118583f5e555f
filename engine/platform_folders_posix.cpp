// The folder services on POSIX: tavconv's folder walking and folder making,
// and for the windows' lists folder contents, paths worked out on their
// text and the mounted volumes.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <mntent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "tavrel.h"

namespace tavrel {

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {

// A descriptor closed when it goes.
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

}  // namespace tavrel

namespace tavrel::platform {

namespace {

using Dir = std::unique_ptr<DIR, int (*)(DIR*)>;

Dir OpenFolder(const std::string& folder) {
  return Dir(opendir(folder.c_str()), closedir);
}

// A name of /proc/self/mounts or /dev/disk/by-label, its blanks written as
// octal or hexadecimal escapes.
std::string Unescaped(std::string_view text) {
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool hex = text.substr(i, 2) == "\\x" && i + 4 <= text.size();
    const bool octal =
        text[i] == '\\' && i + 4 <= text.size() && text[i + 1] >= '0' && text[i + 1] <= '3';
    if (hex || octal) {
      const std::string digits(text.substr(i + (hex ? 2 : 1), hex ? 2 : 3));
      plain += static_cast<char>(std::strtol(digits.c_str(), nullptr, hex ? 16 : 8));
      i += 3;
    } else {
      plain += text[i];
    }
  }
  return plain;
}

bool IsMedia(const std::string& root) {
  for (const char* prefix : {"/media/", "/mnt/", "/run/media/"}) {
    if (root.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

struct Mount {
  std::string device, root;
};

std::vector<Mount> Mounts() {
  std::vector<Mount> mounts;
  std::unique_ptr<FILE, int (*)(FILE*)> table(setmntent("/proc/self/mounts", "r"), endmntent);
  if (!table) return mounts;
  while (const mntent* entry = getmntent(table.get()))
    mounts.push_back({entry->mnt_fsname, entry->mnt_dir});
  return mounts;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

}  // namespace

bool ReadFolderContents(const std::string& folder, FolderContents& contents) {
  const Dir dir = OpenFolder(folder);
  if (!dir) return false;
  contents = {};
  const int at = dirfd(dir.get());
  errno = 0;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name.front() == '.') continue;
    struct stat st;
    // A link to nothing is simply not listed.
    if (fstatat(at, name.c_str(), &st, 0) == 0) {
      if (S_ISDIR(st.st_mode)) contents.folders.push_back(name);
      if (S_ISREG(st.st_mode)) contents.files.push_back(name);
    }
    errno = 0;
  }
  return errno == 0;
}

bool IsReadableFolder(const std::string& folder) {
  return !folder.empty() && OpenFolder(folder) != nullptr;
}

std::string CurrentFolder() {
  std::string buffer(PATH_MAX, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    buffer.resize(buffer.size() * 2);
  }
  buffer.resize(buffer.find('\0'));
  return buffer;
}

std::string FullFolder(const std::string& path) {
  const std::string absolute =
      !path.empty() && path.front() == '/' ? path : CurrentFolder() + "/" + path;
  std::vector<std::string> steps;
  for (std::size_t start = 0; start < absolute.size();) {
    std::size_t end = absolute.find('/', start);
    if (end == std::string::npos) end = absolute.size();
    const std::string step = absolute.substr(start, end - start);
    if (step == "..") {
      if (!steps.empty()) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    start = end + 1;
  }
  std::string full;
  for (const std::string& step : steps)
    full += "/" + step;
  return full.empty() ? "/" : full;
}

std::string RootOf(const std::string& /*path*/) {
  return "/";
}

std::string ParentFolder(const std::string& folder) {
  const std::size_t slash = folder.find_last_of('/');
  return slash == std::string::npos || slash == 0 ? "/" : folder.substr(0, slash);
}

std::vector<std::string> FolderSteps(const std::string& folder) {
  std::vector<std::string> steps{"/"};
  for (std::size_t start = 0; start < folder.size();) {
    std::size_t end = folder.find('/', start);
    if (end == std::string::npos) end = folder.size();
    if (end > start) steps.push_back(folder.substr(start, end - start));
    start = end + 1;
  }
  return steps;
}

bool SameFolderText(const std::string& a, const std::string& b) {
  return a == b;
}

bool FolderHolds(const std::string& root, const std::string& path) {
  if (path == root) return true;
  const std::string prefix = !root.empty() && root.back() == '/' ? root : root + "/";
  return path.rfind(prefix, 0) == 0;
}

std::vector<Volume> Volumes() {
  const std::vector<Mount> mounts = Mounts();
  std::vector<std::string> roots{"/"};
  for (const Mount& mount : mounts) {
    const std::string root = Unescaped(mount.root);
    struct statvfs sizes;
    if (IsMedia(root) && statvfs(root.c_str(), &sizes) == 0 && sizes.f_blocks > 0)
      roots.push_back(root);
  }
  // The volume holding the current folder: its innermost mount.
  const std::string current = CurrentFolder();
  std::string home = "/";
  for (const Mount& mount : mounts) {
    const std::string root = Unescaped(mount.root);
    if (FolderHolds(root, current) && root.size() > home.size()) home = root;
  }
  roots.push_back(home);
  std::sort(roots.begin(), roots.end());
  roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
  std::vector<Volume> volumes;
  for (const std::string& root : roots)
    volumes.push_back({root, VolumeLabel(root)});
  return volumes;
}

std::string VolumeLabel(const std::string& root) {
  // The label the system gave the device mounted there.
  std::string device;
  for (const Mount& mount : Mounts()) {
    if (Unescaped(mount.root) == root) device = RealPath(mount.device);
  }
  if (device.empty()) return {};
  const std::string labels = "/dev/disk/by-label";
  const Dir dir = OpenFolder(labels);
  if (!dir) return {};
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.front() != '.' && RealPath(labels + "/" + name) == device) return Unescaped(name);
  }
  return {};
}

bool VolumeReady(const std::string& root) {
  return IsReadableFolder(root);
}

}  // namespace tavrel::platform
