// The number reader, integer and number texts, and Rad.
#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel {

namespace detail {

bool ParsePlainDecimal(std::string_view text, PlainDecimal& number) {
  auto is_skipped = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
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
  return p == end || !(is_skipped(*p) || *p == 'e' || *p == 'E');
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

namespace detail {

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

std::string Rad(const std::string& gradi, float base) {
  char text[400];
  return std::string(text, detail::WriteRad(gradi, base, text));
}

}  // namespace tavrel
