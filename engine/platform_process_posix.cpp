// The process on a POSIX system: the signals that end the program, taken in
// a thread of its own that removes what the program made, and the files and
// folders it guards.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

namespace platform {

namespace {

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

}  // namespace

mode_t UsualMode() {
  Guards& guards = TheGuards();
  const std::lock_guard lock(guards.mutex);
  InstallLocked(guards);
  return 0666 & ~guards.umask_value;
}

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

}  // namespace platform

void PrepareProcess() {
  platform::Install();
}

}  // namespace tavrel
