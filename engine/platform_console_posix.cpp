// The command line and the standard output and error on a POSIX system.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

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

}  // namespace tavrel
