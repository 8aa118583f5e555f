// File services on a POSIX system.
#include "platform.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

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
      for (const auto& [made_in, made] : fresh)
        rmdir(made.c_str());
    });
  }
  fresh.emplace_back(base, made);
  return made;
}

namespace {

std::atomic<bool> unnamed_files_allowed{true};

// The signals that end the program and that it takes into one thread of its
// own, and the two it ignores (a closed pipe and a file-size limit then make
// the writing fail with an error instead of ending the program).
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int kIgnoredSignals[] = {SIGPIPE, SIGXFSZ};

// What the program made and removes itself before it ends: hidden siblings
// and named spool files not yet placed or removed, and private folders made
// afresh for this run.  An ending signal removes them all.  Kept for the
// whole run (never destroyed: the signal thread may use it while the
// program ends).
struct Guards {
  // Held while a file is made and entered, and for good once a signal ends
  // the program: nothing is made after the last look at the lists.
  std::mutex mutex;
  std::vector<std::string> files;
  std::vector<std::string> folders;  // removed when empty, after the files
  bool installed = false;
  mode_t umask_value = 022;
  sigset_t ending;  // the ending signals the program takes (not ignored at start)
  struct sigaction ignored_before[std::size(kIgnoredSignals)];
};

Guards& TheGuards() {
  static Guards& guards = *new Guards;
  return guards;
}

// The process's umask, read without changing it: a umask() call sets the
// mask for every thread at once, so the program never makes one once other
// threads may be making files.
mode_t ReadUmask() {
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char text[4096];
    ssize_t got;
    do {
      got = read(fd, text, sizeof text);
    } while (got < 0 && errno == EINTR);
    close(fd);
    const std::string_view status(text, got > 0 ? static_cast<std::size_t>(got) : 0);
    constexpr std::string_view kKey = "\nUmask:";
    if (const std::size_t at = status.find(kKey); at != std::string_view::npos) {
      std::size_t from = at + kKey.size();
      while (from < status.size() && (status[from] == '\t' || status[from] == ' '))
        ++from;
      unsigned value = 0;
      const auto [end, ec] =
          std::from_chars(status.data() + from, status.data() + status.size(), value, 8);
      if (ec == std::errc() && end != status.data() + from)
        return static_cast<mode_t>(value & 0777);
    }
  }
  const mode_t mask = umask(022);
  umask(mask);
  return mask;
}

// The one place where an ending signal is taken: it removes what the lists
// hold and ends the program by the same signal.
void* AwaitEndingSignal(void*) {
  Guards& guards = TheGuards();
  int signal = 0;
  while (sigwait(&guards.ending, &signal) != 0) {
  }
  guards.mutex.lock();  // never released: no file is made from now on
  for (const std::string& file : guards.files)
    unlink(file.c_str());
  for (auto folder = guards.folders.rbegin(); folder != guards.folders.rend(); ++folder)
    rmdir(folder->c_str());
  struct sigaction usual {};
  usual.sa_handler = SIG_DFL;
  sigaction(signal, &usual, nullptr);
  sigset_t one;
  sigemptyset(&one);
  sigaddset(&one, signal);
  pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
  raise(signal);
  _exit(128 + signal);
}

void RestoreInChild();

// Under the guards' lock.
void InstallLocked(Guards& guards) {
  if (guards.installed) return;
  guards.installed = true;
  guards.umask_value = ReadUmask();
  for (std::size_t i = 0; i < std::size(kIgnoredSignals); ++i) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(kIgnoredSignals[i], &ignore, &guards.ignored_before[i]);
  }
  // An ending signal ignored from the start (a background job's interrupt)
  // or handled by the program itself is left as it is.
  sigemptyset(&guards.ending);
  for (int signal : kEndingSignals) {
    struct sigaction now;
    if (sigaction(signal, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO) == 0 &&
        now.sa_handler == SIG_DFL) {
      sigaddset(&guards.ending, signal);
    }
  }
  // Blocked in this thread, and so in every thread started after it; the
  // signal thread takes them.  A small stack: it starts even when memory is
  // short.
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &guards.ending, &before);
  pthread_attr_t attributes;
  pthread_t thread;
  bool started = false;
  if (pthread_attr_init(&attributes) == 0) {
    const long least = sysconf(_SC_THREAD_STACK_MIN);
    pthread_attr_setstacksize(&attributes,
                              static_cast<std::size_t>(least > 64 * 1024 ? least : 64 * 1024));
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    started = pthread_create(&thread, &attributes, AwaitEndingSignal, nullptr) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) {
    // No thread to take them: the signals end the program as usual (an
    // unnamed file goes with it all the same).
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    sigemptyset(&guards.ending);
  }
  static bool fork_hooked = false;
  if (!fork_hooked) {
    fork_hooked = true;
    pthread_atfork([] { TheGuards().mutex.lock(); }, [] { TheGuards().mutex.unlock(); },
                   RestoreInChild);
  }
}

// A child of fork() has no signal thread and none of the parent's files: it
// starts as the program did, and installs the guards again when it needs them.
void RestoreInChild() {
  Guards& guards = TheGuards();
  guards.files.clear();
  guards.folders.clear();
  if (guards.installed) {
    guards.installed = false;
    for (std::size_t i = 0; i < std::size(kIgnoredSignals); ++i)
      sigaction(kIgnoredSignals[i], &guards.ignored_before[i], nullptr);
    pthread_sigmask(SIG_UNBLOCK, &guards.ending, nullptr);
  }
  guards.mutex.unlock();
}

void Install() {
  Guards& guards = TheGuards();
  const std::lock_guard lock(guards.mutex);
  InstallLocked(guards);
}

mode_t UsualMode() {
  Guards& guards = TheGuards();
  const std::lock_guard lock(guards.mutex);
  InstallLocked(guards);
  return 0666 & ~guards.umask_value;
}

}  // namespace

int MakeGuarded(std::string& path, bool folder, const std::function<int(std::string&)>& make) {
  Guards& guards = TheGuards();
  const std::lock_guard lock(guards.mutex);
  InstallLocked(guards);
  const int made = make(path);
  if (made >= 0) {
    const int error = errno;
    (folder ? guards.folders : guards.files).push_back(path);
    errno = error;
  }
  return made;
}

void Unguard(const std::string& path) {
  Guards& guards = TheGuards();
  const std::lock_guard lock(guards.mutex);
  std::erase(guards.files, path);
  std::erase(guards.folders, path);
}

bool UnnamedFilesAllowed() {
  // TAVREL_UNNAMED_FILES=0 turns them off for a whole run (the tests of the
  // named files, and a file system that takes them badly).
  static const bool turned_off = [] {
    const char* setting = std::getenv("TAVREL_UNNAMED_FILES");
    return setting != nullptr && std::string_view(setting) == "0";
  }();
  return unnamed_files_allowed && !turned_off && access("/proc/self/fd", X_OK) == 0;
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

namespace {}  // namespace

void AllowUnnamedFiles(bool allowed) {
  unnamed_files_allowed = allowed;
}

}  // namespace platform

void PrepareProcess() {
  platform::Install();
}

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
  bool placed = false;
};

NewFile::NewFile(const std::string& destination) : state_(std::make_unique<State>()) {
  State& s = *state_;
  s.destination = destination;
  s.folder = FolderOf(destination);
  const mode_t mode = platform::UsualMode();
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
  if (fchmod(s.fd, mode) != 0) throw FileError(errno);
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
