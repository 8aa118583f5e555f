// Pieces shared by the number reader and writers (values.cpp), the
// scalers of value lists (value_lists.cpp, value_lists_simd.cpp) and the
// readers of the records' own fields (numeric_records.cpp, text_records.cpp,
// record_fields.h, angles.cpp).
#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "internal.h"

// The value lists are also scaled with the vector instructions of x86
// processors, chosen when the program runs; every build has the plain way.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define TAVREL_SIMD_VALUES 1
#else
#define TAVREL_SIMD_VALUES 0
#endif

namespace tavrel::detail {

// The vector ways in use (kScaleWindows ...), as UseValueScalers set them.
extern std::atomic<unsigned> value_scalers;

// ReadFixed of a field; the common short ones, up to eight digits with
// maybe a point and no sign, byte by byte without a call.
[[gnu::always_inline]] inline bool ReadField(std::string_view text, FixedDecimal& number) {
  if (text.size() - 1 >= 8) return ReadFixed(text, number);
  std::int64_t value = 0;
  const char* p = text.data();
  const char* const last = p + text.size();
  // The whole digits, then maybe a point and the decimals.
  for (unsigned digit; (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) <= 9;) {
    value = value * 10 + digit;
    if (++p == last) {
      number.value = value;
      number.fraction = 0;
      return true;
    }
  }
  if (*p != '.') return ReadFixed(text, number);
  const char* const point = p;
  while (++p != last) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) return ReadFixed(text, number);
    value = value * 10 + digit;
  }
  const auto fraction = static_cast<int>(last - point - 1);
  if (fraction > kFixedPlaces) return false;
  number.value = value;
  number.fraction = fraction;
  return true;
}

inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

inline constexpr auto kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{1};
  for (std::size_t i = 1; i < powers.size(); ++i)
    powers[i] = powers[i - 1] * 10;
  return powers;
}();

// Scaled values from 1e15 on need an exponent in 15 digits: left to the
// full way.
inline constexpr std::uint64_t kPlainLimit = 1'000'000'000'000'000;

// A number in the common form "-12.345": sign, digits, point, digits, and
// after them nothing that the full reader would read on (a blank or an
// exponent).  Its value is digits / 10^fraction.
struct PlainDecimal {
  std::uint64_t digits = 0;  // all digits as one whole number
  int fraction = 0;          // digits after the point
  bool negative = false;
};
bool ParsePlainDecimal(std::string_view text, PlainDecimal& number);

// Moltiplica of one token that holds the plain decimal `number` (not 0):
// times 1000, the fraction dropped, rounded down with a decimal point and
// toward zero with a decimal comma (the reading back stops at the comma).
// False, with nothing written, from 10^15 on, which takes the full way.
bool WriteScaledDecimal(const ExactDecimal& number, bool decimal_point, char*& out);

// Eight bytes of text as one number, the first byte in the lowest bits, and
// back.
inline std::uint64_t LoadWord(const char* p) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, sizeof word);
  } else {
    for (int i = 7; i >= 0; --i)
      word = word << 8 | static_cast<unsigned char>(p[i]);
  }
  return word;
}
inline void StoreWord(std::uint64_t word, char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &word, sizeof word);
  } else {
    for (int i = 0; i < 8; ++i, word >>= 8)
      out[i] = static_cast<char>(word & 0xFF);
  }
}

inline constexpr std::uint64_t kZeros = 0x3030303030303030ULL;   // "00000000"
inline constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;  // eight blanks

// The low `bytes` bytes of a word set, for 0 to 9 bytes.
inline constexpr auto kLowBytes = [] {
  std::array<std::uint64_t, 10> masks{};
  for (std::size_t i = 0; i < masks.size(); ++i)
    masks[i] = i >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * i)) - 1;
  return masks;
}();

// ReadField of a field in a line ending at `end`: when the line holds eight
// bytes from the field's start, its bytes are looked at at once and its
// digits (without the point) made a number in three steps.
[[gnu::always_inline]] inline bool ReadFieldIn(std::string_view text, const char* end,
                                               FixedDecimal& number) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  if (size - 1 >= 8 || end - p < 8) return ReadField(text, number);
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & kLowBytes[size];
  // A high bit in each byte other than a digit; those past the field are 0.
  const std::uint64_t others = (((values & ~kHigh) + 0x7676767676767676ULL) | values) & kHigh;
  const std::size_t point = std::min(static_cast<std::size_t>(std::countr_zero(others)) / 8, size);
  const std::size_t count = others != 0 ? size - 1 : size;
  if ((others & (others - 1)) != 0 || (others != 0 && p[point] != '.') || count == 0) {
    return ReadField(text, number);
  }
  const auto fraction = static_cast<int>(count - point);
  if (fraction > kFixedPlaces) return false;
  // The digits, the first in the lowest byte, moved up to the highest
  // (leading zeros below), then joined in pairs, fours and eights.
  std::uint64_t v = ((values & kLowBytes[point]) | ((values >> 8) & ~kLowBytes[point]))
                    << (8 * (8 - count));
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFULL;
  number.value = static_cast<std::int64_t>(v);
  number.fraction = fraction;
  return true;
}

// The whole degrees written as `gradi` in one to three digits, the usual
// text of an angle; else -1.
[[gnu::always_inline]] inline int WholeDegrees(std::string_view gradi) {
  const auto digit = [&](std::size_t i) {
    return static_cast<unsigned char>(gradi[i]) - unsigned{'0'};
  };
  switch (gradi.size()) {
    case 1:
      return digit(0) <= 9 ? static_cast<int>(digit(0)) : -1;
    case 2:
      return digit(0) <= 9 && digit(1) <= 9 ? static_cast<int>(digit(0) * 10 + digit(1)) : -1;
    case 3:
      return digit(0) <= 9 && digit(1) <= 9 && digit(2) <= 9
                 ? static_cast<int>(digit(0) * 100 + digit(1) * 10 + digit(2))
                 : -1;
    default:
      return -1;
  }
}

// The texts WriteRad writes for the whole degrees 0 to 360 on one base,
// each in a word: its bytes, the first in the lowest, and its length in the
// highest byte.
struct RadTexts {
  std::uint64_t word[361] = {};
};

constexpr RadTexts MakeRadTexts(unsigned base) {
  RadTexts texts;
  for (unsigned degrees = 0; degrees <= 360; ++degrees) {
    // The units as the whole-degree path of WriteRad computes them.
    bool negative = false;
    unsigned units = 0;
    if (base != 32768) {
      units = degrees * base / 360;
    } else if (degrees <= 180) {
      units = degrees * 32768 / 180;
    } else if (degrees < 360) {
      negative = true;
      units = (360 - degrees) * 32768 / 180;
    }
    char digits[8] = {};
    unsigned size = 0;
    do {
      digits[size++] = static_cast<char>('0' + units % 10);
      units /= 10;
    } while (units != 0);
    std::uint64_t word = 0;
    unsigned at = 0;
    if (negative) word |= std::uint64_t{'-'} << (8 * at++);
    while (size > 0)
      word |= std::uint64_t{static_cast<unsigned char>(digits[--size])} << (8 * at++);
    texts.word[degrees] = word | std::uint64_t{at} << 56;
  }
  return texts;
}

inline constexpr RadTexts kRad256 = MakeRadTexts(256);
inline constexpr RadTexts kRad128 = MakeRadTexts(128);
inline constexpr RadTexts kRad32768 = MakeRadTexts(32768);

// WriteRad on base `kBase` (256, 128 or 32768), whole degrees up to a turn
// from the tables without a call; eight bytes are written, of which the
// text's are kept.
template <unsigned kBase>
[[gnu::always_inline]] inline char* WriteRadOn(std::string_view gradi, char* out) {
  static_assert(kBase == 256 || kBase == 128 || kBase == 32768);
  if (const int degrees = WholeDegrees(gradi); degrees >= 0 && degrees <= 360) {
    const std::uint64_t word = (kBase == 256   ? kRad256
                                : kBase == 128 ? kRad128
                                               : kRad32768)
                                   .word[degrees];
    StoreWord(word, out);
    return out + (word >> 56);
  }
  return WriteRad(gradi, static_cast<float>(kBase), out);
}

// One token of a value list scaled, whatever it holds: the token begins at
// `p` (before `end`; the list begins at `list`), its text times 1000 made
// whole is written at `out`.  Returns the token's end (a separator or
// `end`).  `blocks`: the sixteen-byte scaler may be used.
const char* ScaleToken(const char* p, const char* list, const char* end, bool decimal_point,
                       bool blocks, char*& out);

// A value list scaled the plain way, token by token (ScaleToken), as
// WriteScaled: the separators are written as found, and put right at the
// end if they were mixed.  At most 50 tokens; the caller checked for a 51st.
char* WriteScaledByTokens(const char* list, const char* end, bool decimal_point, bool blocks,
                          char* out);

#if TAVREL_SIMD_VALUES
// A token of a value list scaled within sixteen bytes with SSSE3 (see
// value_lists_simd.cpp); 0 with nothing written for a token it cannot take.
unsigned ScaleBlock(const char* p, const char* list, const char* end, bool decimal_point,
                    char*& out);
// A whole value list scaled 64 bytes at a time with SSSE3 and POPCNT, the
// tokens of an unusual form one by one (ScaleToken), a list whose separators
// are mixed by WriteScaledByTokens; as WriteScaled.  At most 50 tokens; the
// caller checked for a 51st.  Apart for lists of fewer than 32 bytes, of up
// to 96 and longer ones (value_lists_simd.cpp).
char* ScaleShortList(const char* list, const char* end, bool decimal_point, bool blocks, char* out);
char* ScaleOneWindowList(const char* list, const char* end, bool decimal_point, bool blocks,
                         char* out);
char* ScaleTwoWindowsList(const char* list, const char* end, bool decimal_point, bool blocks,
                          char* out);
// A list of 32 to 96 bytes: in one window, or in two.
inline char* ScaleMediumList(const char* list, const char* end, bool decimal_point, bool blocks,
                             char* out) {
  return (end - list < 64 ? ScaleOneWindowList : ScaleTwoWindowsList)(list, end, decimal_point,
                                                                      blocks, out);
}
char* ScaleLongList(const char* list, const char* end, bool decimal_point, bool blocks, char* out);
inline char* ScaleListInWindows(const char* list, const char* end, bool decimal_point, bool blocks,
                                char* out) {
  const std::size_t size = static_cast<std::size_t>(end - list);
  if (size < 32) return ScaleShortList(list, end, decimal_point, blocks, out);
  if (size <= 96) return ScaleMediumList(list, end, decimal_point, blocks, out);
  return ScaleLongList(list, end, decimal_point, blocks, out);
}
// The same with AVX2, BMI and BMI2.
char* ScaleShortListWide(const char* list, const char* end, bool decimal_point, bool blocks,
                         char* out);
char* ScaleOneWindowListWide(const char* list, const char* end, bool decimal_point, bool blocks,
                             char* out);
char* ScaleTwoWindowsListWide(const char* list, const char* end, bool decimal_point, bool blocks,
                              char* out);
inline char* ScaleMediumListWide(const char* list, const char* end, bool decimal_point, bool blocks,
                                 char* out) {
  return (end - list < 64 ? ScaleOneWindowListWide : ScaleTwoWindowsListWide)(
      list, end, decimal_point, blocks, out);
}
char* ScaleLongListWide(const char* list, const char* end, bool decimal_point, bool blocks,
                        char* out);
inline char* ScaleListInWideWindows(const char* list, const char* end, bool decimal_point,
                                    bool blocks, char* out) {
  const std::size_t size = static_cast<std::size_t>(end - list);
  if (size < 32) return ScaleShortListWide(list, end, decimal_point, blocks, out);
  if (size <= 96) return ScaleMediumListWide(list, end, decimal_point, blocks, out);
  return ScaleLongListWide(list, end, decimal_point, blocks, out);
}
#endif

}  // namespace tavrel::detail
