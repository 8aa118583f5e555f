// Temporary files on a POSIX system: the unnamed file or hidden sibling that
// becomes the user's file, the window's temporary file and its lease, the
// private folder and the program's own spool files.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

namespace platform {

std::string PrivateFolder(const std::string& base) {
  const uid_t uid = getuid();
  const std::string folder = JoinPath(base, "pemblix-" + std::to_string(uid));
  auto naming = [](const std::string& named, const RuntimeError& error, const char* why) {
    return RuntimeError(error.number(), error.description() + ": " + named + why);
  };
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    throw naming(folder, FileError(errno, true), "");
  }
  struct stat st;
  if (lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == uid &&
      (st.st_mode & 077) == 0) {
    return folder;
  }
  // Not a private folder of the user's (another user may have made it): a
  // fresh one of this run, made once and removed at its end.
  static std::mutex fresh_guard;
  static std::vector<std::pair<std::string, std::string>>& fresh =
      *new std::vector<std::pair<std::string, std::string>>;
  const std::lock_guard lock(fresh_guard);
  for (const auto& [made_in, made] : fresh) {
    if (made_in == base) return made;
  }
  std::string made = folder + "-XXXXXX";
  if (MakeGuarded(made, true, [](std::string& name) {
        return mkdtemp(name.data()) != nullptr ? 0 : -1;
      }) != 0) {
    throw naming(folder, MakeError(err::kPermission), " non è una cartella privata dell'utente");
  }
  if (fresh.empty()) {
    std::atexit([] {
      for (const auto& [made_in, made_folder] : fresh)
        rmdir(made_folder.c_str());
    });
  }
  fresh.emplace_back(base, made);
  return made;
}

namespace {

std::atomic<bool> unnamed_files_allowed{true};

}  // namespace

bool UnnamedFilesAllowed() {
  // TAVREL_UNNAMED_FILES=0 turns them off for a whole run (the tests of the
  // named files, and a file system that takes them badly).
  // /proc does not come and go during a run: asked once.
  static const bool possible = [] {
    const char* setting = std::getenv("TAVREL_UNNAMED_FILES");
    const bool turned_off = setting != nullptr && std::string_view(setting) == "0";
    return !turned_off && access("/proc/self/fd", X_OK) == 0;
  }();
  return unnamed_files_allowed && possible;
}

NativeFile OpenOwnSpool(const std::string& path) {
  if (!path.starts_with("/proc/self/fd/")) return -1;
  // Only a file with no name left, of the user's own: one of this program's.
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 0 ||
      st.st_uid != geteuid()) {
    return -1;
  }
  const int fd = Retrying([&] { return open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC); });
  if (fd < 0) throw FileError(errno);
  return fd;
}

void AllowUnnamedFiles(bool allowed) {
  unnamed_files_allowed = allowed;
}

}  // namespace platform

std::string TemporaryFilePath() {
  constexpr const char* kName = "PEMBLIX.TMP";
  // A per-user folder: a fixed name in a shared folder could be planted as a
  // link or a file by another user, or read by one.
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/') {
    struct stat st;
    if (lstat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
        (st.st_mode & 022) == 0) {
      return JoinPath(runtime, kName);
    }
  }
  return JoinPath(platform::PrivateFolder("/tmp"), kName);
}

TemporaryFileLease::TemporaryFileLease() {
  const std::string folder = FolderOf(TemporaryFilePath());
  // Each running copy holds a lock on the lock file of its path; the kernel
  // drops it when the copy ends, however it ends.
  int tries = 0;
  for (int n = 0; n < 1000 && tries < 10000; ++n, ++tries) {
    const std::string stem = JoinPath(folder, n == 0 ? "PEMBLIX" : "PEMBLIX" + std::to_string(n));
    const std::string lock_path = stem + ".LCK";
    const int fd = platform::Retrying(
        [&] { return open(lock_path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600); });
    if (fd < 0 && errno == ELOOP) continue;  // not a file of ours
    if (fd < 0) throw platform::OpenError(errno, lock_path);
    struct stat held, named;
    const bool ours = fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == geteuid() &&
                      held.st_nlink == 1;
    if (!ours || flock(fd, LOCK_EX | LOCK_NB) != 0) {
      close(fd);  // another running copy's
      continue;
    }
    // A copy that was ending may have removed the name meanwhile.
    if (stat(lock_path.c_str(), &named) != 0 || named.st_dev != held.st_dev ||
        named.st_ino != held.st_ino) {
      close(fd);
      --n;
      continue;
    }
    path_ = stem + ".TMP";
    lock_path_ = lock_path;
    lock_ = fd;
    // An ending signal removes both, as the window's exit would.
    for (std::string path : {path_, lock_path_})
      platform::MakeGuarded(path, false, [](std::string&) { return 0; });
    return;
  }
  throw MakeError(err::kTooManyFiles);
}

TemporaryFileLease::~TemporaryFileLease() {
  if (lock_ < 0) return;
  unlink(lock_path_.c_str());  // while still held: no other copy holds this name
  close(static_cast<int>(lock_));
  platform::Unguard(path_);
  platform::Unguard(lock_path_);
}

struct NewFile::State {
  std::string destination;
  std::string folder;
  int fd = -1;
  std::string hidden;  // the hidden sibling; empty for an unnamed file
  mode_t mode = 0;     // the mode the file was made with
  bool placed = false;
};

NewFile::NewFile(const std::string& destination) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.destination = destination;
  s.folder = FolderOf(destination);
  const mode_t mode = platform::UsualMode();
  s.mode = mode;
  if (platform::UnnamedFilesAllowed()) {
    s.fd = platform::Retrying(
        [&] { return open(s.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode); });
    if (s.fd >= 0) return;
  }
  // No unnamed files here: a hidden sibling with a short name of its own,
  // which an ending signal removes.
  std::string hidden = JoinPath(s.folder, ".tavconv-XXXXXX");
  s.fd = platform::MakeGuarded(hidden, false,
                               [](std::string& name) { return mkostemp(name.data(), O_CLOEXEC); });
  if (s.fd < 0) {
    const int error = errno;
    state_.reset();
    throw platform::OpenError(error, destination);
  }
  s.hidden = hidden;
}

NewFile::~NewFile() {
  if (!state_) return;
  if (!state_->hidden.empty()) {
    unlink(state_->hidden.c_str());
    platform::Unguard(state_->hidden);
  }
  if (state_->fd >= 0) close(state_->fd);
}

const std::string& NewFile::destination() const {
  return state_->destination;
}

void NewFile::Place(bool replace) {
  State& s = *state_;
  if (s.placed) return;
  const std::string& to = s.destination;
  mode_t mode = platform::UsualMode();
  if (replace) {
    CheckReplaceable(to);
    struct stat old;
    if (lstat(to.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
      // The replaced file's group where the user may give it, and its owner
      // when the administrator replaces it.  Its permission bits only: no
      // set-user or set-group bit is carried onto a new content.
      const uid_t owner = geteuid() == 0 ? old.st_uid : static_cast<uid_t>(-1);
      if (fchown(s.fd, owner, old.st_gid) != 0 &&
          fchown(s.fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not a group of the user's: the file keeps the user's own.
      }
      mode = old.st_mode & 0777;
    }
  }
  // An unnamed file made afresh has the usual mode from its making; a hidden
  // sibling (made private) and a replacing file get theirs now.
  const bool made_usual = s.hidden.empty() && !replace && s.mode == mode;
  if (!made_usual && fchmod(s.fd, mode) != 0) throw FileError(errno);
  if (replace && fsync(s.fd) != 0) throw FileError(errno);

  if (s.hidden.empty()) {
    // An unnamed file gets its name by a link through /proc.
    const std::string self = "/proc/self/fd/" + std::to_string(s.fd);
    auto link_as = [&](const std::string& name) {
      return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!replace) {
      if (!link_as(to)) throw platform::OpenError(errno, to);  // 58 when it exists
    } else {
      // A hidden name first, then renamed over the destination.
      static std::atomic<unsigned> counter{0};
      std::string hidden;
      const int made = platform::MakeGuarded(hidden, false, [&](std::string& name) {
        for (;;) {
          name = JoinPath(s.folder,
                          ".tavconv-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
          if (link_as(name)) return 0;
          if (errno != EEXIST) return -1;
        }
      });
      if (made < 0) throw platform::OpenError(errno, to);
      if (rename(hidden.c_str(), to.c_str()) != 0) {
        const int error = errno;
        unlink(hidden.c_str());
        platform::Unguard(hidden);
        throw FileError(error);
      }
      platform::Unguard(hidden);
    }
  } else {
    if (!replace) {
      if (link(s.hidden.c_str(), to.c_str()) == 0) {
        unlink(s.hidden.c_str());
      } else if (errno == EEXIST) {
        throw MakeError(err::kFileExists);
      } else {
        // A file system without links (FAT media): check, then rename.
        struct stat st;
        if (lstat(to.c_str(), &st) == 0) throw MakeError(err::kFileExists);
        if (rename(s.hidden.c_str(), to.c_str()) != 0) throw FileError(errno);
      }
    } else if (rename(s.hidden.c_str(), to.c_str()) != 0) {
      throw FileError(errno);
    }
    platform::Unguard(s.hidden);
    s.hidden.clear();
  }
  s.placed = true;
}

namespace platform {

OutputFile::OutputFile(NewFile& file) : fd_(file.state_->fd), owned_(false) {
  buffer_.Reserve(kFlushAt * 2);
}

}  // namespace platform

}  // namespace tavrel
