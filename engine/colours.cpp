// Ega: the 16-colour number of a hexadecimal RGB colour, by brightness.
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// A character that is no hexadecimal digit counts as 0.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return 0;
}

}  // namespace

namespace detail {

int EgaOf(std::string_view hexrgb) {
  // Red + green + blue, 0 to 765; missing digits count as 0.
  int sum = 0;
  for (std::size_t i = 0; i < 6 && i < hexrgb.size(); ++i) {
    sum += HexDigit(hexrgb[i]) * (i % 2 == 0 ? 16 : 1);
  }
  return sum / 51;
}

}  // namespace detail

int Ega(const std::string& hexrgb) {
  return detail::EgaOf(hexrgb);
}

}  // namespace tavrel
