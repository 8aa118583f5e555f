// The number reader, and integer and number texts.
#include <array>
#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel {

namespace detail {

namespace {

// The plain form of a number: a sign, digits, a point and digits, each part
// optional.  The digits are gathered into one whole number (which wraps
// past 19 digits; the callers limit `count`).
struct ScannedDecimal {
  std::uint64_t digits = 0;
  int count = 0;     // digits in all
  int fraction = 0;  // digits after the point
  bool negative = false;
  const char* stop;  // the first character after the form
};

ScannedDecimal ScanDecimal(std::string_view text) {
  ScannedDecimal number;
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
  number.count = static_cast<int>(p - first);
  if (p < end && *p == '.') {
    const char* const point = ++p;
    while (p < end && IsDigit(*p))
      digits = digits * 10 + static_cast<std::uint64_t>(*p++ - '0');
    number.fraction = static_cast<int>(p - point);
    number.count += number.fraction;
  }
  number.digits = digits;
  number.stop = p;
  return number;
}

}  // namespace

bool ParsePlainDecimal(std::string_view text, PlainDecimal& number) {
  const ScannedDecimal scanned = ScanDecimal(text);
  number.negative = scanned.negative;
  number.fraction = scanned.fraction;
  // Nineteen digits always fit; longer numbers are left to the full reader.
  if (scanned.count > 19) return false;
  number.digits = scanned.digits;
  const char* const end = text.data() + text.size();
  const char* const p = scanned.stop;
  return p == end || !(*p == ' ' || *p == '\t' || *p == '\n' || *p == 'e' || *p == 'E');
}

namespace {

// The `size` (at most 8) bytes at `p` as a word, the first in the lowest
// bits, the rest 0; nothing past them is read.
[[gnu::always_inline]] inline std::uint64_t LoadShort(const char* p, std::size_t size) {
  auto byte = [p](std::size_t i) { return std::uint64_t{static_cast<unsigned char>(p[i])}; };
  if (size >= 4) {
    // Two words of four that overlap; the bytes they share are the same.
    if constexpr (std::endian::native == std::endian::little) {
      std::uint32_t low;
      std::uint32_t high;
      std::memcpy(&low, p, 4);
      std::memcpy(&high, p + size - 4, 4);
      return std::uint64_t{low} | std::uint64_t{high} << (8 * (size - 4));
    }
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < size; ++i)
      word |= byte(i) << (8 * i);
    return word;
  }
  if (size == 0) return 0;
  return byte(0) | byte(size / 2) << (8 * (size / 2)) | byte(size - 1) << (8 * (size - 1));
}

// The value of up to eight digits (0 to 9 each, the first in the lowest byte)
// that fill the word's high bytes, the low ones 0: pairs, then fours, then
// all eight, each step one multiplication.
std::uint64_t EightDigits(std::uint64_t word) {
  word = (word * (1 + (10 << 8)) >> 8) & 0x00FF00FF00FF00FFULL;
  word = (word * (1 + (100 << 16)) >> 16) & 0x0000FFFF0000FFFFULL;
  return (word * (1 + (10000ULL << 32))) >> 32;
}

// ReadFixed the long way, for any text; apart, so that the common short
// ones need no room on the stack.
[[gnu::noinline]] bool ReadLongFixed(std::string_view text, FixedDecimal& number) {
  const ScannedDecimal scanned = ScanDecimal(text);
  if (scanned.stop != text.data() + text.size() || scanned.count > kFixedDigits ||
      scanned.fraction > kFixedPlaces) {
    return false;
  }
  const auto value = static_cast<std::int64_t>(scanned.digits);
  number.value = scanned.negative ? -value : value;
  number.fraction = scanned.fraction;
  return true;
}

}  // namespace

bool SplitsApart(std::string_view text) {
  constexpr std::uint64_t kLow = 0x7F7F7F7F7F7F7F7FULL;
  // 0x80 in each byte of `word` that is `c`.
  auto bytes_of = [](std::uint64_t word, std::uint64_t c) {
    const std::uint64_t x = word ^ (0x0101010101010101ULL * c);
    return ~(((x & kLow) + kLow) | x) & ~kLow;
  };
  if (text.empty()) return false;
  if (text.front() == ' ') return true;
  const char* p = text.data();
  std::size_t size = text.size();
  if (size >= 16 && size <= 64) {
    // One word of masks (BytesEqual), the common case, without a loop.
    const std::uint64_t blanks = BytesEqual(p, 0, size, ' ');
    return BytesEqual(p, 0, size, ',') != 0 || (blanks & blanks << 1) != 0;
  }
  if (size >= 16) {
    // Masks of 64 bytes (BytesEqual); `after_blank` carries the last blank
    // of a word to the next one's first byte.
    std::uint64_t after_blank = 0;
    for (std::size_t at = 0; at < size; at += 64) {
      if (BytesEqual(p, at, size, ',') != 0) return true;
      const std::uint64_t blanks = BytesEqual(p, at, size, ' ');
      if ((blanks & (blanks << 1 | after_blank)) != 0) return true;
      after_blank = blanks >> 63;
    }
    return false;
  }
  // Words of eight bytes that overlap by one, so that no two neighbours
  // fall apart.
  for (;;) {
    const std::size_t taken = size < 8 ? size : 8;
    const std::uint64_t word = taken == 8 ? LoadWord(p) : LoadShort(p, taken);
    const std::uint64_t blanks = bytes_of(word, ' ') & kLowBytes[taken];
    if ((bytes_of(word, ',') & kLowBytes[taken]) != 0 || (blanks & (blanks >> 8)) != 0) return true;
    if (size <= 8) return false;
    p += 7;
    size -= 7;
  }
}

bool ReadFixed(std::string_view text, FixedDecimal& number) {
  // One to eight digits, and perhaps one point, without a sign: at once.
  // The rest (a sign, no text, longer texts) and anything not of the form
  // the long way, which tells them apart.
  const char* const p = text.data();
  const std::size_t size = text.size();
  if (size - 1 < 8) {
    if (size <= 2) {
      // Short whole numbers (angles, codes) without the masks.
      const unsigned first = static_cast<unsigned char>(p[0]) - unsigned{'0'};
      const unsigned last = static_cast<unsigned char>(p[size - 1]) - unsigned{'0'};
      if ((first | last) <= 9) {
        number.value = size == 1 ? first : first * 10 + last;
        number.fraction = 0;
        return true;
      }
    }
    const std::uint64_t values = LoadShort(p, size) ^ 0x3030303030303030ULL;  // digits: 0 to 9
    constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
    const std::uint64_t others =
        (((values & ~kHigh) + 0x7676767676767676ULL) | values) & kHigh & kLowBytes[size];
    std::uint64_t packed = values & kLowBytes[size];
    const int shift = static_cast<int>(64 - 8 * size);  // the digits up to the high bytes
    if (others == 0) {
      number.value = static_cast<std::int64_t>(EightDigits(packed << shift));
      number.fraction = 0;
      return true;
    }
    const int point = std::countr_zero(others) / 8;
    const int fraction = static_cast<int>(size) - point - 1;
    if ((others & (others - 1)) == 0 && p[point] == '.' && fraction <= kFixedPlaces) {
      // The whole part moved up over the point.
      packed = (packed & kLowBytes[point]) << 8 | (packed & ~kLowBytes[point + 1]);
      number.value = static_cast<std::int64_t>(EightDigits(packed << shift));
      number.fraction = fraction;
      return true;
    }
  }
  return ReadLongFixed(text, number);
}

}  // namespace detail

namespace {

bool IsSkipped(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
using detail::IsDigit;

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

// With at most 2^53 as the digits' whole number and an exact power of ten,
// one division rounds correctly, as reading the text in full would.
bool ReadPlainDecimal(std::string_view text, double& value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  detail::PlainDecimal number;
  if (!detail::ParsePlainDecimal(text, number)) return false;
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

char* WriteLongDigits(std::uint64_t value, char* out) {
  // The count of digits (at least five), then the digits from the last
  // back by pairs.
  std::size_t count = 5;
  while (count < 20 && value >= kPowersOfTen[count])
    ++count;
  char* const end = out + count;
  char* p = end;
  for (; value >= 100; value /= 100) {
    p -= 2;
    std::memcpy(p, kDigitPairs + 2 * (value % 100), 2);
  }
  if (value >= 10) {
    std::memcpy(p - 2, kDigitPairs + 2 * value, 2);
  } else {
    p[-1] = static_cast<char>('0' + value);
  }
  return end;
}

char* WriteIntegerText(double value, char* out) {
  if (value == 0.0) {  // also -0
    *out = '0';
    return out + 1;
  }
  if (std::fabs(value) < 9e15) {
    if (value < 0) *out++ = '-';
    return WriteDigits(static_cast<std::uint64_t>(std::fabs(value)), out);
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

bool IsNumberTextOf(double value, const ExactDecimal& exact) {
  // A decimal of at most 15 significant digits whose nearest double is the
  // value is the value's 15-digit text; below 1e-4 that text has an exponent.
  if (!exact.known || exact.digits >= kPowersOfTen[15] || exact.fraction > 19 ||
      (exact.fraction > 4 && exact.digits < kPowersOfTen[exact.fraction - 4])) {
    return false;
  }
  // A double one unit in the last place away from the nearest still rounds
  // to the decimal at 15 digits: it is within 1.5 units of it, less than
  // 3.4e-16 of its size, and the 15-digit steps there are at least 1e-15 of
  // its size.  The doubles next to a finite one other than 0 are those whose
  // bits, taken as a whole number, are one more and one less.
  const double nearest = ExactValue(exact);
  const std::uint64_t apart =
      std::bit_cast<std::uint64_t>(value) - std::bit_cast<std::uint64_t>(nearest);
  return apart == 0 || (exact.digits != 0 && (apart == 1 || apart == ~std::uint64_t{0}));
}

namespace {

// NumberText of a finite `value` other than 0 by its 15 significant digits;
// apart, so that the common exact decimal needs no buffer.
[[gnu::noinline]] char* WriteFifteenDigits(double value, char* out) {
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

}  // namespace

char* WriteDecimal(bool negative, std::uint64_t digits, int fraction, char* out) {
  if (negative) *out++ = '-';
  const std::uint64_t scale = kPowersOfTen[fraction];
  const std::uint64_t whole = digits / scale;
  std::uint64_t part = digits % scale;
  if (whole != 0) out = WriteDigits(whole, out);
  if (part == 0) return out;
  if (std::endian::native == std::endian::little && fraction <= 4) {
    // The fraction padded with zeros to four digits, two pairs of them in
    // one word of four bytes, all written; the text ends after the last
    // digit that is not 0.
    *out++ = '.';
    const auto four = static_cast<std::uint32_t>(part * kPowersOfTen[4 - fraction]);
    const std::uint32_t high = four / 100;
    std::uint16_t first;
    std::uint16_t second;
    std::memcpy(&first, kDigitPairs + 2 * high, 2);
    std::memcpy(&second, kDigitPairs + 2 * (four - 100 * high), 2);
    const std::uint32_t text = first | std::uint32_t{second} << 16;
    std::memcpy(out, &text, 4);
    return out + 4 - std::countl_zero(text ^ 0x30303030U) / 8;
  }
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

char* WriteNumberText(double value, const ExactDecimal& exact, char* out) {
  if (value == 0.0) {
    *out = '0';
    return out + 1;
  }
  if (!std::isfinite(value)) Raise(err::kOverflow);
  if (IsNumberTextOf(value, exact))
    return WriteDecimal(exact.negative, exact.digits, exact.fraction, out);
  return WriteFifteenDigits(value, out);
}

}  // namespace detail

NumberSettings NumberSettingsFromCLocale() {
  NumberSettings settings;
  const std::lconv* conv = std::localeconv();
  if (conv != nullptr) {
    if (conv->decimal_point != nullptr && *conv->decimal_point != '\0') {
      settings.decimal = conv->decimal_point;
    }
    settings.thousands = conv->thousands_sep != nullptr ? conv->thousands_sep : "";
  }
  return settings;
}

std::string NumberText(double value) {
  char text[64];
  return std::string(text, detail::WriteNumberText(value, {}, text));
}

}  // namespace tavrel
