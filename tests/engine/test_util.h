// Helpers shared by the engine's tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "tavrel.h"

// Runs `call` and returns the number of the run-time error it raised, or -1.
inline int ErrorNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const tavrel::RuntimeError& error) {
    return error.number();
  }
  return -1;
}

inline const tavrel::NumberSettings kPoint{".", ","};
inline const tavrel::NumberSettings kComma{",", "."};

// Trasforma on a copy of the line.
inline std::string Transformed(std::string line, const tavrel::NumberSettings& numbers = kPoint) {
  return tavrel::Trasforma(line, numbers);
}
