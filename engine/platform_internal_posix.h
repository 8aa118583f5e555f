// Pieces shared by the sources of the POSIX platform layer; not part of the
// engine's interface.
#pragma once

#include <sys/types.h>

#include <cerrno>
#include <string>

#include "tavrel.h"

namespace tavrel::platform {

// A failed open: a missing folder on the way is "path not found".
RuntimeError OpenError(int os_error, const std::string& path);

// A source that cannot be had: missing, or a folder on its way missing, is
// "file not found".
RuntimeError SourceError(int os_error);

// A system call made again while a signal interrupts it.
int Retrying(auto call) {
  int result;
  do {
    result = call();
  } while (result < 0 && errno == EINTR);
  return result;
}

// The mode of a new file: 0666 without the bits of the process's umask
// (installs the signal handling of PrepareProcess when not done).
mode_t UsualMode();

}  // namespace tavrel::platform
