// The number reader, integer and number texts, Moltiplica and Rad.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

// A token of a value list that one eight-byte word cannot hold (a minus, 8
// to 15 bytes) is scaled in sixteen bytes with SSSE3 where the processor has
// it (chosen when the program runs); every build also has the plain way,
// which TAVREL_SCALAR=1 in the environment forces.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define TAVREL_SIMD_VALUES 1
#include <immintrin.h>
#else
#define TAVREL_SIMD_VALUES 0
#endif

namespace tavrel {

namespace {

bool IsSkipped(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Whether a number whose text from_chars finds out of range is too large
// (rather than too close to zero).  `mantissa` holds digits and at most one
// point; `exponent` is the exponent written after it, saturated.
bool TooLarge(std::string_view mantissa, std::int64_t exponent) {
  std::int64_t magnitude = 0;  // decimal position of the first significant digit
  std::size_t point = mantissa.find('.');
  std::string_view whole = mantissa.substr(0, point);
  std::size_t first = whole.find_first_not_of('0');
  if (first != std::string_view::npos) {
    magnitude = static_cast<std::int64_t>(whole.size() - first);
  } else if (point != std::string_view::npos) {
    std::string_view fraction = mantissa.substr(point + 1);
    std::size_t nonzero = fraction.find_first_not_of('0');
    if (nonzero == std::string_view::npos) return false;
    magnitude = -static_cast<std::int64_t>(nonzero);
  }
  return magnitude + exponent > 0;
}

double ReadNumberInFull(std::string_view text) {
  std::string number;  // sign, digits, point, exponent: what from_chars reads
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip = [&] {
    while (i < n && IsSkipped(text[i]))
      ++i;
  };

  skip();
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool digits = false;
  bool point = false;
  for (;;) {
    skip();
    if (i >= n) break;
    char c = text[i];
    if (IsDigit(c)) {
      digits = true;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    number += c;
    ++i;
  }
  if (!digits) return 0.0;
  const std::size_t mantissa_size = number.size();

  // An exponent counts only when at least one digit follows its letter.
  std::int64_t exponent = 0;
  if (i < n && (text[i] == 'e' || text[i] == 'E')) {
    std::size_t j = i + 1;
    auto skip_j = [&] {
      while (j < n && IsSkipped(text[j]))
        ++j;
    };
    skip_j();
    bool exp_negative = false;
    if (j < n && (text[j] == '+' || text[j] == '-')) {
      exp_negative = text[j] == '-';
      ++j;
    }
    std::string exp_digits;
    for (;;) {
      skip_j();
      if (j >= n || !IsDigit(text[j])) break;
      exp_digits += text[j];
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[j] - '0');
      ++j;
    }
    if (!exp_digits.empty()) {
      number += exp_negative ? "e-" : "e";
      number += exp_digits;
      if (exp_negative) exponent = -exponent;
    } else {
      exponent = 0;
    }
  }

  double value = 0.0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                   std::chars_format::general);
  (void)end;
  if (ec == std::errc::result_out_of_range) {
    if (TooLarge(std::string_view(number).substr(0, mantissa_size), exponent)) {
      Raise(err::kOverflow);
    }
    value = 0.0;
  }
  return negative ? -value : value;
}

// A number in the common form "-12.345": sign, digits, point, digits, and
// after them nothing that the full reader would read on (a blank or an
// exponent).  Its value is digits / 10^fraction.
struct PlainDecimal {
  std::uint64_t digits = 0;  // all digits as one whole number
  int fraction = 0;          // digits after the point
  bool negative = false;
};

bool ParsePlainDecimal(std::string_view text, PlainDecimal& number) {
  const char* p = text.data();
  const char* const end = p + text.size();
  if (p < end && (*p == '-' || *p == '+')) {
    number.negative = *p == '-';
    ++p;
  }
  const char* const first = p;
  std::uint64_t digits = 0;
  while (p < end && IsDigit(*p))
    digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
  int count = static_cast<int>(p - first);
  if (p < end && *p == '.') {
    const char* const point = ++p;
    while (p < end && IsDigit(*p))
      digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
    number.fraction = static_cast<int>(p - point);
    count += number.fraction;
  }
  // Nineteen digits always fit; longer numbers are left to the full reader.
  if (count > 19) return false;
  number.digits = digits;
  return p == end || !(IsSkipped(*p) || *p == 'e' || *p == 'E');
}

// With at most 2^53 as the digits' whole number and an exact power of ten,
// one division rounds correctly, as reading the text in full would.
bool ReadPlainDecimal(std::string_view text, double& value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  PlainDecimal number;
  if (!ParsePlainDecimal(text, number)) return false;
  if (number.digits > (std::uint64_t{1} << 53) || number.fraction > 22) return false;
  value = static_cast<double>(number.digits) / kPowersOfTen[number.fraction];
  if (number.negative) value = -value;
  return true;
}

}  // namespace

double ReadNumber(std::string_view text) {
  // Short whole numbers (angles, codes) are the most common.
  if (!text.empty() && text.size() <= 9) {
    std::uint32_t whole = 0;
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
      const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
      if (digit > 9) break;
      whole = whole * 10 + digit;
    }
    if (i == text.size()) return whole;
  }
  double value;
  if (ReadPlainDecimal(text, value)) return value;
  return ReadNumberInFull(text);
}

namespace detail {

namespace {

char* WriteUnsigned(std::uint64_t value, char* out) {
  char buffer[20];
  char* const end = buffer + sizeof buffer;
  char* first = end;
  do {
    *--first = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return Put(out, {first, static_cast<std::size_t>(end - first)});
}

}  // namespace

char* WriteIntegerText(double value, char* out) {
  if (value == 0.0) {  // also -0
    *out = '0';
    return out + 1;
  }
  if (std::fabs(value) < 9e15) {
    if (value < 0) *out++ = '-';
    return WriteUnsigned(static_cast<std::uint64_t>(std::fabs(value)), out);
  }
  auto [ptr, ec] = std::to_chars(out, out + 400, value, std::chars_format::fixed, 0);
  if (ec != std::errc()) Raise(err::kOverflow);
  return ptr;
}

}  // namespace detail

std::string IntegerText(double value) {
  char text[400];
  return std::string(text, detail::WriteIntegerText(value, text));
}

namespace detail {

namespace {

constexpr auto kPowersOfTen = [] {
  std::array<std::uint64_t, 20> powers{1};
  for (std::size_t i = 1; i < powers.size(); ++i)
    powers[i] = powers[i - 1] * 10;
  return powers;
}();

// The exact decimal digits / 10^fraction written without trailing zeros and
// without a 0 before the point.
char* WriteDecimal(bool negative, std::uint64_t digits, int fraction, char* out) {
  if (negative) *out++ = '-';
  const std::uint64_t scale = kPowersOfTen[fraction];
  const std::uint64_t whole = digits / scale;
  std::uint64_t part = digits % scale;
  if (whole != 0) out = WriteUnsigned(whole, out);
  if (part == 0) return out;
  while (part % 10 == 0) {
    part /= 10;
    --fraction;
  }
  *out++ = '.';
  // The fraction's leading zeros, then its digits.
  char* const end = out + fraction;
  for (char* p = end; p > out; part /= 10)
    *--p = static_cast<char>('0' + part % 10);
  return end;
}

}  // namespace

bool ParseShortDecimal(std::string_view text, ExactDecimal& number) {
  const char* p = text.data();
  const char* const end = p + text.size();
  number.negative = false;
  if (p < end && (*p == '-' || *p == '+')) {
    number.negative = *p == '-';
    ++p;
  }
  const char* const first = p;
  std::uint64_t digits = 0;
  while (p < end && IsDigit(*p))
    digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
  int count = static_cast<int>(p - first);
  int fraction = 0;
  if (p < end && *p == '.') {
    const char* const point = ++p;
    while (p < end && IsDigit(*p))
      digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
    fraction = static_cast<int>(p - point);
    count += fraction;
  }
  if (p != end || count == 0 || count > 15) return false;
  number.known = true;
  number.digits = digits;
  number.fraction = fraction;
  return true;
}

double ExactValue(const ExactDecimal& number) {
  const double value =
      static_cast<double>(number.digits) / static_cast<double>(kPowersOfTen[number.fraction]);
  return number.negative ? -value : value;
}

char* WriteNumberText(double value, const ExactDecimal& exact, char* out) {
  if (value == 0.0) {
    *out = '0';
    return out + 1;
  }
  if (!std::isfinite(value)) Raise(err::kOverflow);
  // A decimal of at most 15 significant digits whose nearest double is the
  // value is the value's 15-digit text; below 1e-4 that text has an exponent.
  if (exact.known && exact.digits < kPowersOfTen[15] && exact.fraction <= 19 &&
      (exact.fraction <= 4 || exact.digits >= kPowersOfTen[exact.fraction - 4])) {
    // A double one unit in the last place away from the nearest still
    // rounds to the decimal at 15 digits: it is within 1.5 units of it, less
    // than 3.4e-16 of its size, and the 15-digit steps there are at least
    // 1e-15 of its size.
    const double nearest = ExactValue(exact);
    if (nearest == value || (exact.digits != 0 && (std::nextafter(nearest, HUGE_VAL) == value ||
                                                   std::nextafter(nearest, -HUGE_VAL) == value))) {
      return WriteDecimal(exact.negative, exact.digits, exact.fraction, out);
    }
  }
  std::array<char, 64> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::general, 15);
  if (ec != std::errc()) Raise(err::kOverflow);
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  // No 0 before the point: 0.75 is written .75, -0.5 is written -.5.
  if (text.front() == '-') {
    *out++ = '-';
    text.remove_prefix(1);
  }
  if (text.starts_with("0.")) text.remove_prefix(1);
  return Put(out, text);
}

}  // namespace detail

std::string NumberText(double value) {
  char text[64];
  return std::string(text, detail::WriteNumberText(value, {}, text));
}

namespace {

// Rounds a product to 15 significant digits, as its 15-digit text reads back.
double RoundTo15Digits(double product) {
  std::array<char, 64> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), product,
                                 std::chars_format::general, 15);
  if (ec != std::errc()) Raise(err::kOverflow);
  double rounded = 0.0;
  auto [stop, rec] = std::from_chars(buffer.data(), end, rounded, std::chars_format::general);
  (void)stop;
  if (rec == std::errc::result_out_of_range) Raise(err::kOverflow);
  return rounded;
}

// One value of a list scaled by 1000 and made whole.  The product's 15-digit
// text is written with the user's decimal separator and read back by the
// number reader, so with a decimal comma the fraction is cut off (toward
// zero); with a point it is read whole and then rounded down.
char* WriteScaledInFull(std::string_view token, bool decimal_point, char* out) {
  const double value = ReadNumber(token);
  if (value == 0.0) return detail::Put(out, token);
  const double product = value * 1000.0;
  if (!std::isfinite(product)) Raise(err::kOverflow);
  const double rounded = RoundTo15Digits(product);
  return detail::WriteIntegerText(decimal_point ? std::floor(rounded) : std::trunc(rounded), out);
}

// Products from 1e15 on need an exponent in 15 digits: left to the full way.
constexpr std::uint64_t kPlainLimit = 1'000'000'000'000'000;

// One token of a value list, whatever it holds; a plain decimal of up to 19
// digits in whole numbers.
char* WriteScaledToken(std::string_view token, bool decimal_point, char* out) {
  // A plain decimal of at most 15 significant digits (its digits below
  // 10^15) times 1000 has at most 15 too, so its product rounded to 15
  // digits is that decimal product exactly, and whole numbers give the
  // result without a double.
  PlainDecimal number;
  if (!ParsePlainDecimal(token, number) || number.digits >= kPlainLimit || number.fraction > 21) {
    return WriteScaledInFull(token, decimal_point, out);
  }
  if (number.digits == 0) return detail::Put(out, token);  // a value of 0 keeps its text
  std::uint64_t whole;
  bool cut = false;  // a fraction was dropped
  if (number.fraction <= 3) {
    whole = number.digits * detail::kPowersOfTen[3 - number.fraction];
  } else {
    const std::uint64_t divisor = detail::kPowersOfTen[number.fraction - 3];
    whole = number.digits / divisor;
    cut = number.digits % divisor != 0;
  }
  // Rounded down with a decimal point; with a decimal comma the reading
  // back stops at the comma, which cuts toward zero.
  if (number.negative && cut && decimal_point) ++whole;
  if (whole >= kPlainLimit) return WriteScaledInFull(token, decimal_point, out);
  if (number.negative && whole != 0) *out++ = '-';
  return detail::WriteUnsigned(whole, out);
}

// Eight bytes of text as one number, the first byte in the lowest bits, and
// back.
std::uint64_t LoadWord(const char* p) {
  std::uint64_t word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, sizeof word);
  } else {
    for (int i = 7; i >= 0; --i)
      word = word << 8 | static_cast<unsigned char>(p[i]);
  }
  return word;
}
void StoreWord(std::uint64_t word, char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &word, sizeof word);
  } else {
    for (int i = 0; i < 8; ++i, word >>= 8)
      out[i] = static_cast<char>(word & 0xFF);
  }
}

constexpr std::uint64_t kZeros = 0x3030303030303030ULL;   // "00000000"
constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;  // eight blanks

// The low `bytes` bytes of a word set, for 0 to 9 bytes.
constexpr auto kLowBytes = [] {
  std::array<std::uint64_t, 10> masks{};
  for (std::size_t i = 0; i < masks.size(); ++i)
    masks[i] = i >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * i)) - 1;
  return masks;
}();

// A word with a byte other than 0 where `word` holds no digit.  Exact up to
// the first byte of 0xFA or more; the byte after one may be taken for no
// digit by mistake.
std::uint64_t NonDigits(std::uint64_t word) {
  // A digit has the high half 3, and its low half plus 6 stays below 16.
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  constexpr std::uint64_t kSixes = 0x0606060606060606ULL;
  return ((word & kHigh) ^ kZeros) | (((word + kSixes) & kHigh) ^ kZeros);
}

// The index of the lowest byte other than 0 in `word`, which is not 0.
unsigned FirstByte(std::uint64_t word) {
  return static_cast<unsigned>(std::countr_zero(word)) / 8;
}

// How many of the eight bytes at `p` are digits before the first that is
// not.  A byte after one of 0xFA or more may be taken for no digit, which
// only ends a number early (and leaves the token to the slower way).
unsigned DigitsAhead(const char* p) {
  const std::uint64_t other = NonDigits(LoadWord(p));
  return other == 0 ? 8 : FirstByte(other);
}

// The most common token, scaled within one word: `word` holds the bytes
// from the token's start.  When they hold the whole token, up to five
// digits, maybe a point and more digits, and then a separator, writes the
// token's value times 1000 at `out` (up to eight bytes, of which the value
// keeps the first) and returns the token's length; else returns 0.  The
// whole part and the first three decimals, the missing ones as zeros, are
// the product; its leading zeros are dropped.
unsigned ScaleWord(std::uint64_t word, char*& out) {
  const std::uint64_t other = NonDigits(word);
  if (other == 0) return 0;
  const unsigned whole = FirstByte(other);
  if (whole > 5) return 0;
  std::uint64_t digits = word;  // the whole part, then the decimals
  unsigned size = whole;        // the token's length
  unsigned kept = whole;        // the whole part and up to three decimals
  if (((word >> (8 * whole)) & 0xFF) == '.') {
    const std::uint64_t after = other & ~kLowBytes[whole + 1];
    if (after == 0) return 0;
    size = FirstByte(after);
    kept = std::min(size - 1, whole + 3);
    // The point taken out: the decimals move down one byte.
    digits = (word & kLowBytes[whole]) | ((word >> 8) & ~kLowBytes[whole]);
  } else if (whole == 0) {
    return 0;
  }
  const std::uint64_t separator = (word >> (8 * size)) & 0xFF;
  if (separator != ',' && separator != ' ') return 0;
  // Zeros from the last kept decimal on: the missing decimals, and then
  // nothing that counts.
  digits = (digits & kLowBytes[kept]) | (kZeros & ~kLowBytes[kept]);
  const std::uint64_t significant = digits ^ kZeros;
  if (significant == 0) {
    // A value of 0 keeps its text; less than a thousandth is cut to 0.
    if (((word ^ kZeros) & kLowBytes[size] & ~kLowBytes[whole + 4]) != 0) {
      *out++ = '0';
    } else {
      StoreWord(word, out);
      out += size;
    }
    return size;
  }
  const unsigned zeros = FirstByte(significant);
  StoreWord(digits >> (8 * zeros), out);
  out += whole + 3 - zeros;
  return size;
}

// The eight bytes from `p` on, of a list that ends at `end`; those past the
// end are blanks, which end the last token as a separator would.
std::uint64_t WordAt(const char* p, const char* list, const char* end) {
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left >= 8) return LoadWord(p);
  if (end - list >= 8) {
    // The list's last eight bytes, moved down to begin at `p`.
    return LoadWord(end - 8) >> (8 * (8 - left)) | kBlanks << (8 * left);
  }
  char bytes[8];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, p, left);
  return LoadWord(bytes);
}

// The common token, digits with at most one point and nothing else up to
// the next separator, scaled in one pass: its digits are written as they
// are read, the point three places further on.  False, with `p` and `out`
// unchanged, for any other token (a sign, an exponent, a long number ...).
bool WriteScaledShort(const char*& p, const char* end, char*& out) {
  const char* const start = p;
  const char* q = p;
  char* o = out;
  while (q < end && *q == '0')
    ++q;
  if (end - q >= 8) {
    const unsigned n = DigitsAhead(q);
    if (n == 8) return false;  // a long whole part
    std::memcpy(o, q, 8);
    o += n;
    q += n;
  } else {
    while (q < end && IsDigit(*q))
      *o++ = *q++;
  }
  const std::size_t whole_count = static_cast<std::size_t>(q - start);
  std::size_t fraction_count = 0;
  bool cut = false;  // a digit other than 0 past the third decimal
  if (q < end && *q == '.') {
    const char* const fraction = ++q;
    if (end - q >= 8) {
      const unsigned n = DigitsAhead(q);
      std::memcpy(o, q, 4);
      for (unsigned i = n; i < 3; ++i)
        o[i] = '0';
      o += 3;
      for (unsigned i = 3; i < n; ++i)
        cut |= q[i] != '0';
      q += n;
    } else {
      const char* const third = end - q > 3 ? q + 3 : end;
      while (q < third && IsDigit(*q))
        *o++ = *q++;
      for (std::size_t n = static_cast<std::size_t>(q - fraction); n < 3; ++n)
        *o++ = '0';
    }
    while (q < end && IsDigit(*q))
      cut |= *q++ != '0';
    fraction_count = static_cast<std::size_t>(q - fraction);
  } else {
    o[0] = o[1] = o[2] = '0';
    o += 3;
  }
  if (q == start || (q < end && *q != ',' && *q != ' ')) return false;
  if (whole_count > 12 || whole_count + fraction_count > 15) return false;
  if (o - out == 3) {
    // No whole part: the three decimals without their leading zeros.
    const char* lead = out;
    while (lead < o && *lead == '0')
      ++lead;
    if (lead == o) {
      // A value of 0 keeps its text; less than a thousandth is cut to 0.
      o = cut ? out + 1 : detail::Put(out, {start, static_cast<std::size_t>(q - start)});
      if (cut) *out = '0';
    } else {
      char* to = out;
      while (lead < o)
        *to++ = *lead++;
      o = to;
    }
  }
  p = q;
  out = o;
  return true;
}

#if TAVREL_SIMD_VALUES

// The sixteen bytes from `p` on, of a list that ends at `end`; those past
// the end are blanks, which end the last token as a separator would.
__attribute__((target("ssse3"))) inline __m128i BlockAt(const char* p, const char* list,
                                                        const char* end) {
  alignas(16) static constexpr signed char kFrom[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                        11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left >= 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if (end - list >= 16) {
    // The list's last sixteen bytes, moved down to begin at `p`; the bytes
    // moved in (zeros) become blanks.
    const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFrom + 16 - left));
    const __m128i moved =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), from);
    return _mm_or_si128(
        moved, _mm_and_si128(_mm_cmplt_epi8(from, _mm_setzero_si128()), _mm_set1_epi8(' ')));
  }
  alignas(16) char bytes[16];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, p, left);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}

// A token of a value list scaled within one block of sixteen bytes, which
// hold the token from its first byte and the separator after it: an
// optional minus, up to twelve digits, maybe a point and more digits.
// Writes the token's value times 1000 at `out` (up to seventeen bytes, of
// which the value keeps the first) and returns the token's length; returns
// 0 for any other token, with nothing written.  The digits kept are the
// whole part and three decimals, the missing ones as zeros, laid out at the
// block's end; their leading zeros are dropped.
__attribute__((target("ssse3"))) unsigned ScaleBlock(const char* p, const char* list,
                                                     const char* end, bool decimal_point,
                                                     char*& out) {
  const __m128i block = BlockAt(p, list, end);
  const __m128i offsets = _mm_sub_epi8(block, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets);
  const __m128i is_zero = _mm_cmpeq_epi8(block, _mm_set1_epi8('0'));
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(is_digit));
  const unsigned points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('.'))));
  const unsigned separators = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_cmpeq_epi8(block, _mm_set1_epi8(',')), _mm_cmpeq_epi8(block, _mm_set1_epi8(' ')))));
  // A token's first byte is its own, even a separator.
  const unsigned after = separators & ~1u;
  if (after == 0) return 0;
  const unsigned size = static_cast<unsigned>(std::countr_zero(after));
  const bool negative = (static_cast<unsigned>(_mm_cvtsi128_si32(block)) & 0xFF) == '-';
  const unsigned sign = negative ? 1 : 0;
  const unsigned body = ((1u << size) - 1) & ~((1u << sign) - 1);
  const unsigned point_in = points & body;
  if (((digits | point_in) & body) != body || (digits & body) == 0 ||
      (point_in & (point_in - 1)) != 0) {
    return 0;
  }
  // Where the whole part ends: at the point, or at the token's end.
  const unsigned point = point_in != 0 ? static_cast<unsigned>(std::countr_zero(point_in)) : size;
  const unsigned whole = point - sign;
  if (whole > 12) return 0;
  const unsigned nonzero = digits & ~static_cast<unsigned>(_mm_movemask_epi8(is_zero));
  if ((nonzero & body) == 0) {
    // A value of 0 keeps its text.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    out += size;
    return size;
  }
  const unsigned kept = std::min(size - std::min(size, point + 1), 3u);  // decimals kept
  // Any digit other than 0 past the third decimal is cut off.
  const bool cut = (nonzero & body & ~((2u << std::min(point + 3, 15u)) - 1)) != 0;
  // Byte i of the layout: the whole part ends at byte 12, the decimals fill
  // bytes 13 to 15; anything else is a 0.
  const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i skip_point = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1);
  const __m128i from = _mm_add_epi8(_mm_add_epi8(lanes, skip_point),
                                    _mm_set1_epi8(static_cast<char>(static_cast<int>(point) - 13)));
  const __m128i used =
      _mm_and_si128(_mm_cmpgt_epi8(lanes, _mm_set1_epi8(static_cast<char>(12 - whole))),
                    _mm_cmplt_epi8(lanes, _mm_set1_epi8(static_cast<char>(13 + kept))));
  __m128i layout = _mm_or_si128(
      _mm_shuffle_epi8(block, _mm_or_si128(from, _mm_xor_si128(used, _mm_set1_epi8(-1)))),
      _mm_set1_epi8('0'));
  if (negative && cut && decimal_point) {
    // Rounded down: one more in the last place, the nines before it carried.
    alignas(16) static constexpr signed char kCarry[32] = {
        0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  1,
        -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9};
    const unsigned nines =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(layout, _mm_set1_epi8('9'))));
    // Byte 0 is always a 0 (twelve whole digits at most): the carry stops.
    const unsigned carried =
        static_cast<unsigned>(std::countl_one(static_cast<std::uint16_t>(nines)));
    layout =
        _mm_add_epi8(layout, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kCarry + carried)));
  }
  const unsigned zeros = static_cast<unsigned>(std::countr_one(
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(layout, _mm_set1_epi8('0'))))));
  if (zeros == 16) {
    // Less than a thousandth, cut to 0 (toward zero).
    *out++ = '0';
    return size;
  }
  alignas(16) static constexpr signed char kFrom[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                        11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  if (negative) *out++ = '-';
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(out),
      _mm_shuffle_epi8(layout, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFrom + zeros))));
  out += 16 - zeros;
  return size;
}

#endif  // TAVREL_SIMD_VALUES

// The number of tokens of a value list, and whether the last one is empty.
int TokenCount(std::string_view valori, bool& last_empty) {
  const char* p = valori.data();
  const char* const end = p + valori.size();
  int count = 1;
  last_empty = p == end;
  while (p < end) {
    ++p;  // a token's first character is its own, even a separator
    while (p < end && *p != ',' && *p != ' ')
      ++p;
    if (p == end) break;
    ++count;
    last_empty = ++p == end;
  }
  return count;
}

using BlockScaler = unsigned (*)(const char*, const char*, const char*, bool, char*&);

// The scaler of sixteen bytes this processor can run, unless `blocks` is
// false; nullptr for none.
BlockScaler ChosenBlockScaler(bool blocks) {
#if TAVREL_SIMD_VALUES
  if (blocks && __builtin_cpu_supports("ssse3")) return &ScaleBlock;
#endif
  (void)blocks;
  return nullptr;
}

bool BlocksWanted() {
  const char* scalar = std::getenv("TAVREL_SCALAR");
  return scalar == nullptr || scalar[0] == '\0' || std::string_view(scalar) == "0";
}

std::atomic<BlockScaler> block_scaler{ChosenBlockScaler(BlocksWanted())};

// A token the word could not hold, in sixteen bytes where they are chosen;
// else 0 with nothing written.
[[gnu::noinline]] unsigned ScaleBlockIfChosen(const char* p, const char* list, const char* end,
                                              bool decimal_point, char*& out) {
  const BlockScaler blocks = block_scaler.load(std::memory_order_relaxed);
  return blocks != nullptr ? blocks(p, list, end, decimal_point, out) : 0;
}

}  // namespace

namespace detail {

bool UseValueBlocks(bool blocks) {
  return block_scaler.exchange(ChosenBlockScaler(blocks), std::memory_order_relaxed) != nullptr;
}

char* WriteScaled(std::string_view valori, bool decimal_point, char* out) {
  constexpr int kMaxTokens = 50;
  // A character in a 51st token is an error before any value is converted;
  // an empty 51st token (a separator after the 50th) only once the 50 are.
  // Fifty-one tokens take at least 100 characters.
  if (valori.size() >= 100) {
    bool last_empty;
    const int count = TokenCount(valori, last_empty);
    if (count > kMaxTokens + 1 || (count == kMaxTokens + 1 && !last_empty)) {
      Raise(err::kSubscript);
    }
  }
  const char* const list = valori.data();
  const char* const end = list + valori.size();
  const char* p = list;
  if (p == end) return out;
  // The tokens are joined by the separator found last: the separators are
  // written as found, and put right at the end if they were mixed.
  char* separators[kMaxTokens];
  int count = 0;
  char previous = 0;
  bool mixed = false;
  for (;;) {
    // The common token, a plain decimal, is read once, as it is split off.
    // A token here begins before `end`.  The shortest and most common fit
    // one word; those with a minus or longer ones, sixteen bytes.
    const char* const start = p;
    if (const unsigned size = ScaleWord(WordAt(p, list, end), out); size != 0) {
      p += size;
    } else if (const unsigned block_size = ScaleBlockIfChosen(p, list, end, decimal_point, out);
               block_size != 0) {
      p += block_size;
    } else if (!WriteScaledShort(p, end, out)) {
      p = start + 1;  // a token's first character is its own, even a separator
      while (p < end && *p != ',' && *p != ' ')
        ++p;
      out = WriteScaledToken({start, static_cast<std::size_t>(p - start)}, decimal_point, out);
    }
    if (p == end) break;
    const char separator = *p++;
    if (count > 0 && separator != previous) mixed = true;
    if (count == kMaxTokens - 1) Raise(err::kSubscript);  // an empty 51st token
    separators[count++] = out;
    previous = separator;
    *out++ = separator;
    if (p == end) break;  // an empty last token
  }
  if (mixed) {
    for (int i = 0; i < count - 1; ++i)
      *separators[i] = previous;
  }
  return out;
}

char* WriteScaledFields(std::initializer_list<std::string_view> fields, bool decimal_point,
                        char* out) {
  std::size_t size = fields.size();
  for (std::string_view field : fields)
    size += field.size();
  char local[512];
  std::unique_ptr<char[]> large;
  char* list = local;
  if (size > sizeof local) {
    large = std::make_unique_for_overwrite<char[]>(size);
    list = large.get();
  }
  char* end = list;
  for (std::string_view field : fields) {
    end = Put(end, field);
    *end++ = ' ';
  }
  --end;  // no blank after the last
  return WriteScaled({list, static_cast<std::size_t>(end - list)}, decimal_point, out);
}

char* WriteRad(std::string_view gradi, float base, char* out) {
  const double d = ReadNumber(gradi);
  double result;
  if (base == 32768.0f) {
    // Signed half-turn: 32768 units to half a turn, negative past 180.
    if (d >= 0.0 && d <= 180.0) {
      result = std::floor(d * 32768.0 / 180.0);
    } else if (d > 180.0 && d <= 360.0) {
      result = -std::floor((360.0 - d) * 32768.0 / 180.0);
    } else {
      return out;  // the empty text
    }
  } else {
    result = std::floor(d * static_cast<double>(base) / 360.0);
  }
  if (!std::isfinite(result)) Raise(err::kOverflow);
  return WriteIntegerText(result, out);
}

}  // namespace detail

std::string Moltiplica(const std::string& valori, const NumberSettings& numbers) {
  detail::ByteBuffer result;
  result.Commit(detail::WriteScaled(valori, detail::DecimalPoint(numbers),
                                    result.Reserve(detail::LineBound(valori.size()))));
  return std::string(result.view());
}

std::string Rad(const std::string& gradi, float base) {
  char text[400];
  return std::string(text, detail::WriteRad(gradi, base, text));
}

}  // namespace tavrel
