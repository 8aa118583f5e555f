#include "printable.h"

namespace tavconv {

std::string Printable(std::string_view text) {
  std::string shown;
  shown.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      shown += c;
      continue;
    }
    static constexpr std::string_view kNamed = "abtnvfr";
    if (byte >= '\a' && byte <= '\r') {
      shown += '\\';
      shown += kNamed[byte - '\a'];
    } else {
      shown += '\\';
      shown += static_cast<char>('0' + (byte >> 6));
      shown += static_cast<char>('0' + ((byte >> 3) & 7));
      shown += static_cast<char>('0' + (byte & 7));
    }
  }
  return shown;
}

}  // namespace tavconv
