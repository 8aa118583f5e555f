// The number reader, integer and number texts, Moltiplica and Rad.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

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
  double value;
  if (ReadPlainDecimal(text, value)) return value;
  return ReadNumberInFull(text);
}

namespace detail {

void AppendIntegerText(double value, std::string& out) {
  if (value == 0.0) {  // also -0
    out += '0';
    return;
  }
  std::array<char, 400> buffer;
  char* end;
  if (std::fabs(value) < 9e15) {
    end = std::to_chars(buffer.data(), buffer.data() + buffer.size(),
                        static_cast<std::int64_t>(value))
              .ptr;
  } else {
    auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, 0);
    if (ec != std::errc()) Raise(err::kOverflow);
    end = ptr;
  }
  out.append(buffer.data(), end);
}

}  // namespace detail

std::string IntegerText(double value) {
  std::string text;
  detail::AppendIntegerText(value, text);
  return text;
}

std::string NumberText(double value) {
  if (value == 0.0) return "0";
  if (!std::isfinite(value)) Raise(err::kOverflow);
  std::array<char, 64> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                 std::chars_format::general, 15);
  if (ec != std::errc()) Raise(err::kOverflow);
  std::string_view text(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
  // No 0 before the point: 0.75 is written .75, -0.5 is written -.5.
  std::string result;
  if (text.front() == '-') {
    result += '-';
    text.remove_prefix(1);
  }
  if (text.starts_with("0.")) text.remove_prefix(1);
  result += text;
  return result;
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

void AppendDigits(std::uint64_t value, std::string& out) {
  char buffer[24];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  out.append(buffer, end);
}

// One value of a list scaled by 1000 and made whole.  The product's 15-digit
// text is written with the user's decimal separator and read back by the
// number reader, so with a decimal comma the fraction is cut off (toward
// zero); with a point it is read whole and then rounded down.
void AppendScaledInFull(std::string_view token, bool decimal_point, std::string& out);

// Products from 1e15 on need an exponent in 15 digits: left to the full way.
constexpr std::uint64_t kPlainLimit = 1'000'000'000'000'000;

void AppendScaledValue(std::string_view token, bool decimal_point, std::string& out) {
  // A plain decimal of at most 15 significant digits (its digits below
  // 10^15) times 1000 has at most 15 too, so its product rounded to 15 digits is that decimal
  // product exactly, and whole numbers give the result without a double.
  static constexpr auto kPowersOfTen = [] {
    std::array<std::uint64_t, 19> powers{1};
    for (std::size_t i = 1; i < powers.size(); ++i)
      powers[i] = powers[i - 1] * 10;
    return powers;
  }();
  PlainDecimal number;
  if (ParsePlainDecimal(token, number) && number.digits < kPlainLimit && number.fraction <= 21) {
    if (number.digits == 0) {
      out += token;  // a value of 0 keeps its text
      return;
    }
    std::uint64_t whole;
    bool cut = false;  // a fraction was dropped
    if (number.fraction <= 3) {
      whole = number.digits * kPowersOfTen[3 - number.fraction];
    } else if (number.fraction == 4) {  // the usual case, with a constant divisor
      whole = number.digits / 10;
      cut = number.digits % 10 != 0;
    } else {
      const std::uint64_t divisor = kPowersOfTen[number.fraction - 3];
      whole = number.digits / divisor;
      cut = number.digits % divisor != 0;
    }
    // Rounded down with a decimal point; with a decimal comma the reading
    // back stops at the comma, which cuts toward zero.
    if (number.negative && cut && decimal_point) ++whole;
    if (whole >= kPlainLimit) return AppendScaledInFull(token, decimal_point, out);
    if (number.negative && whole != 0) out += '-';
    AppendDigits(whole, out);
    return;
  }

  AppendScaledInFull(token, decimal_point, out);
}

void AppendScaledInFull(std::string_view token, bool decimal_point, std::string& out) {
  const double value = ReadNumber(token);
  if (value == 0.0) {
    out += token;
    return;
  }
  const double product = value * 1000.0;
  if (!std::isfinite(product)) Raise(err::kOverflow);
  const double rounded = RoundTo15Digits(product);
  detail::AppendIntegerText(decimal_point ? std::floor(rounded) : std::trunc(rounded), out);
}

}  // namespace

namespace detail {

void AppendScaled(std::string_view valori, bool decimal_point, std::string& out) {
  constexpr int kMaxTokens = 50;
  TextRun tokens[kMaxTokens + 1];
  char separator = '\0';
  const int count = SplitRuns(valori, ',', ' ', tokens, kMaxTokens, &separator);
  for (int t = 1; t <= count; ++t) {
    // An empty token opened by a separator after the 50th value.
    if (t > kMaxTokens) Raise(err::kSubscript);
    if (t > 1) out += separator;
    AppendScaledValue(tokens[t], decimal_point, out);
  }
}

void AppendRad(std::string_view gradi, float base, std::string& out) {
  const double d = ReadNumber(gradi);
  double result;
  if (base == 32768.0f) {
    // Signed half-turn: 32768 units to half a turn, negative past 180.
    if (d >= 0.0 && d <= 180.0) {
      result = std::floor(d * 32768.0 / 180.0);
    } else if (d > 180.0 && d <= 360.0) {
      result = -std::floor((360.0 - d) * 32768.0 / 180.0);
    } else {
      return;  // the empty text
    }
  } else {
    result = std::floor(d * static_cast<double>(base) / 360.0);
  }
  if (!std::isfinite(result)) Raise(err::kOverflow);
  AppendIntegerText(result, out);
}

}  // namespace detail

std::string Moltiplica(const std::string& valori, const NumberSettings& numbers) {
  std::string result;
  detail::AppendScaled(valori, detail::DecimalPoint(numbers), result);
  return result;
}

std::string Rad(const std::string& gradi, float base) {
  std::string result;
  detail::AppendRad(gradi, base, result);
  return result;
}

}  // namespace tavrel
