// UTF-8 (the form logic's and the engine's texts and names) to UTF-16 (the
// window's) and back: the platform layer's one conversion.
#pragma once

#include <string>
#include <string_view>

#include "platform.h"

namespace tavrel::win32 {

inline std::wstring Wide(std::string_view text) {
  return platform::Utf16(text);
}

using platform::Utf8;

}  // namespace tavrel::win32
