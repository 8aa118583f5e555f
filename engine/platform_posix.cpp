// File services on a POSIX system.
#include "platform.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
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

// A source that cannot be had: missing, or a folder on its way missing, is
// "file not found".
RuntimeError SourceError(int os_error) {
  return FileError(os_error == ENOTDIR ? ENOENT : os_error);
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
  if (owned_ && close(fd) != 0 && errno != EINTR) throw FileError(errno);
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

std::string FileDateText(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) throw SourceError(errno);
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

std::string PrivateFolder(const std::string& base) {
  const uid_t uid = getuid();
  const std::string folder = JoinPath(base, "pemblix-" + std::to_string(uid));
  auto naming = [&folder](const RuntimeError& error, const char* why) {
    return RuntimeError(error.number(), error.description() + ": " + folder + why);
  };
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) throw naming(FileError(errno, true), "");
  struct stat st;
  if (lstat(folder.c_str(), &st) != 0) throw naming(FileError(errno, true), "");
  if (!S_ISDIR(st.st_mode) || st.st_uid != uid || (st.st_mode & 077) != 0) {
    throw naming(MakeError(err::kPermission), " non è una cartella privata dell'utente");
  }
  return folder;
}

namespace {

std::atomic<bool> unnamed_files_allowed{true};

// Hidden siblings not yet in place, removed when a signal ends the program.
// The handler reads the table; the rest changes it under `pending_guard`.
constexpr int kPendingSlots = 8;
constexpr std::size_t kPendingPathMax = 4096;
char pending_paths[kPendingSlots][kPendingPathMax];
std::atomic<bool> pending_used[kPendingSlots];
std::mutex pending_guard;
int new_files_alive = 0;

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
struct sigaction saved_actions[std::size(kEndingSignals)];
bool handled[std::size(kEndingSignals)];
struct sigaction saved_file_size_action;

extern "C" void RemovePendingAndEnd(int signal) {
  const int saved_errno = errno;
  for (int i = 0; i < kPendingSlots; ++i) {
    if (pending_used[i].load()) unlink(pending_paths[i]);
  }
  errno = saved_errno;
  // The default action is back (SA_RESETHAND): the signal ends the program
  // as soon as this handler returns.
  raise(signal);
}

// While any NewFile lives: the ending signals remove the hidden siblings, a
// file-size limit makes writes fail (error 61) instead of ending the program.
void NewFileBorn() {
  const std::lock_guard lock(pending_guard);
  if (new_files_alive++ > 0) return;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    handled[i] = false;
    if (sigaction(kEndingSignals[i], nullptr, &saved_actions[i]) != 0) continue;
    // An ignored signal, or one the program handles itself, is left alone.
    if ((saved_actions[i].sa_flags & SA_SIGINFO) != 0 || saved_actions[i].sa_handler != SIG_DFL)
      continue;
    struct sigaction action {};
    action.sa_handler = RemovePendingAndEnd;
    sigfillset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    handled[i] = sigaction(kEndingSignals[i], &action, nullptr) == 0;
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &saved_file_size_action);
}

void NewFileGone() {
  const std::lock_guard lock(pending_guard);
  if (--new_files_alive > 0) return;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    if (handled[i]) sigaction(kEndingSignals[i], &saved_actions[i], nullptr);
  }
  sigaction(SIGXFSZ, &saved_file_size_action, nullptr);
}

// Enters `path` in the table; the slot, or -1 when it cannot be (the file is
// then still removed by the NewFile, only not on a signal).
int RememberPending(const std::string& path) {
  if (path.size() >= kPendingPathMax) return -1;
  const std::lock_guard lock(pending_guard);
  for (int i = 0; i < kPendingSlots; ++i) {
    if (pending_used[i].load()) continue;
    std::memcpy(pending_paths[i], path.c_str(), path.size() + 1);
    pending_used[i].store(true);
    return i;
  }
  return -1;
}

void ForgetPending(int& slot) {
  if (slot >= 0) pending_used[slot].store(false);
  slot = -1;
}

// The ending signals held back while a hidden name is made and entered.
class EndingSignalsHeld {
 public:
  EndingSignalsHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndingSignals)
      sigaddset(&set, signal);
    pthread_sigmask(SIG_BLOCK, &set, &saved_);
  }
  ~EndingSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

 private:
  sigset_t saved_;
};

mode_t UsualMode() {
  const mode_t mask = umask(022);
  umask(mask);
  return 0666 & ~mask;
}

}  // namespace

void AllowUnnamedFiles(bool allowed) {
  unnamed_files_allowed = allowed;
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

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + argc);
}

void PrintOut(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void PrintError(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

bool StandardOutputWritten() {
  return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

bool FileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
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

void DeleteFileIfExists(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError(errno);
}

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
    return;
  }
  throw MakeError(err::kTooManyFiles);
}

TemporaryFileLease::~TemporaryFileLease() {
  if (lock_ < 0) return;
  unlink(lock_path_.c_str());  // while still held: no other copy holds this name
  close(static_cast<int>(lock_));
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

struct NewFile::State {
  std::string destination;
  std::string folder;
  int fd = -1;
  std::string hidden;  // the hidden sibling; empty for an unnamed file
  int pending = -1;    // its slot among the names removed on a signal
  bool placed = false;
};

NewFile::NewFile(const std::string& destination) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.destination = destination;
  s.folder = FolderOf(destination);
  platform::NewFileBorn();
  if (platform::unnamed_files_allowed && access("/proc/self/fd", X_OK) == 0) {
    s.fd = platform::Retrying([&] {
      return open(s.folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, platform::UsualMode());
    });
    if (s.fd >= 0) return;
  }
  // No unnamed files here: a hidden sibling with a short name of its own.
  const platform::EndingSignalsHeld held;
  std::string hidden = JoinPath(s.folder, ".tavconv-XXXXXX");
  s.fd = mkostemp(hidden.data(), O_CLOEXEC);
  if (s.fd < 0) {
    const int error = errno;
    platform::NewFileGone();
    state_.reset();
    throw platform::OpenError(error, destination);
  }
  s.hidden = hidden;
  s.pending = platform::RememberPending(hidden);
}

NewFile::~NewFile() {
  if (!state_) return;
  if (!state_->hidden.empty()) unlink(state_->hidden.c_str());
  platform::ForgetPending(state_->pending);
  if (state_->fd >= 0) close(state_->fd);
  platform::NewFileGone();
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
      if (fchown(s.fd, static_cast<uid_t>(-1), old.st_gid) != 0) {
        // Not a group of the user's: the file keeps the user's own.
      }
      mode = old.st_mode & 0777;
    }
  }
  if (fchmod(s.fd, mode) != 0) throw FileError(errno);
  if (replace && fsync(s.fd) != 0) throw FileError(errno);

  const platform::EndingSignalsHeld held;
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
      do {
        hidden = JoinPath(s.folder,
                          ".tavconv-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
        if (link_as(hidden)) break;
        if (errno != EEXIST) throw platform::OpenError(errno, to);
      } while (true);
      int pending = platform::RememberPending(hidden);
      if (rename(hidden.c_str(), to.c_str()) != 0) {
        const int error = errno;
        unlink(hidden.c_str());
        platform::ForgetPending(pending);
        throw FileError(error);
      }
      platform::ForgetPending(pending);
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
    s.hidden.clear();
    platform::ForgetPending(s.pending);
  }
  s.placed = true;
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

namespace platform {

OutputFile::OutputFile(NewFile& file) : fd_(file.state_->fd), owned_(false) {
  buffer_.Reserve(kFlushAt * 2);
}

}  // namespace platform

}  // namespace tavrel
