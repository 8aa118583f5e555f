// Ega: the 16-colour number of a hexadecimal RGB colour, by brightness.
#include <array>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// The value of each byte as a hexadecimal digit; a character that is none
// counts as 0.
constexpr auto kHexDigits = [] {
  std::array<unsigned char, 256> digits{};
  for (int c = 0; c < 10; ++c)
    digits['0' + c] = static_cast<unsigned char>(c);
  for (int c = 0; c < 6; ++c) {
    digits['A' + c] = static_cast<unsigned char>(10 + c);
    digits['a' + c] = static_cast<unsigned char>(10 + c);
  }
  return digits;
}();

}  // namespace

namespace detail {

int EgaOf(std::string_view hexrgb) {
  // Red + green + blue, 0 to 765; missing digits count as 0.
  auto digit = [&](std::size_t i) {
    return i < hexrgb.size() ? int{kHexDigits[static_cast<unsigned char>(hexrgb[i])]} : 0;
  };
  const int sum = (digit(0) + digit(2) + digit(4)) * 16 + digit(1) + digit(3) + digit(5);
  return sum / 51;
}

}  // namespace detail

int Ega(const std::string& hexrgb) {
  return detail::EgaOf(hexrgb);
}

}  // namespace tavrel
