// Shared by the fuzz targets: the run-time errors a hostile input may raise.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "tavrel.h"

namespace tavrel::fuzz {

// Aborts (a finding for libFuzzer) unless `error` is one of `allowed`.
inline void ExpectError(const RuntimeError& error, std::initializer_list<int> allowed,
                        const char* where) {
  for (int number : allowed) {
    if (error.number() == number) return;
  }
  std::fprintf(stderr, "%s: unexpected run-time error %d (%s)\n", where, error.number(),
               error.description().c_str());
  std::abort();
}

// Aborts with a message when `condition` does not hold.
inline void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken: %s\n", what);
  std::abort();
}

}  // namespace tavrel::fuzz
