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

bool IsSkipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

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

}  // namespace

double ReadNumber(std::string_view text) {
  std::string number;  // sign, digits, point, exponent: what from_chars reads
  std::size_t i = 0;
  const std::size_t n = text.size();
  auto skip = [&] {
    while (i < n && IsSkipped(text[i])) ++i;
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
      while (j < n && IsSkipped(text[j])) ++j;
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

std::string IntegerText(double value) {
  if (value == 0.0) return "0";  // also -0
  std::array<char, 400> buffer;
  auto [end, ec] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 0);
  if (ec != std::errc()) Raise(err::kOverflow);
  return std::string(buffer.data(), end);
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
  if (text.starts_with("0.")) return std::string(text.substr(1));
  if (text.starts_with("-0.")) return "-" + std::string(text.substr(2));
  return std::string(text);
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
std::string ScaleValue(std::string_view token, const NumberSettings& numbers) {
  double value = ReadNumber(token);
  if (value == 0.0) return std::string(token);
  double product = value * 1000.0;
  if (!std::isfinite(product)) Raise(err::kOverflow);
  double rounded = RoundTo15Digits(product);
  double whole = numbers.decimal == "." ? std::floor(rounded) : std::trunc(rounded);
  return IntegerText(whole);
}

}  // namespace

std::string Moltiplica(const std::string& valori, const NumberSettings& numbers) {
  constexpr int kMaxTokens = 50;
  std::array<std::string_view, kMaxTokens + 1> tokens{};
  char separator = '\0';
  const int count = detail::SplitRuns(valori, ", ", tokens.data(), kMaxTokens, &separator);

  std::string result;
  result.reserve(valori.size() + 16);
  for (int t = 1; t <= count; ++t) {
    // An empty token opened by a separator after the 50th value.
    if (t > kMaxTokens) Raise(err::kSubscript);
    if (t > 1) result += separator;
    result += ScaleValue(tokens[t], numbers);
  }
  return result;
}

std::string Rad(const std::string& gradi, float base) {
  const double d = ReadNumber(gradi);
  const double units = static_cast<double>(base);
  double result;
  if (base == 32768.0f) {
    // Signed half-turn: 32768 units to half a turn, negative past 180.
    if (d >= 0.0 && d <= 180.0) {
      result = std::floor(d * 32768.0 / 180.0);
    } else if (d > 180.0 && d <= 360.0) {
      result = -std::floor((360.0 - d) * 32768.0 / 180.0);
    } else {
      return std::string();
    }
  } else {
    result = std::floor(d * units / 360.0);
  }
  if (!std::isfinite(result)) Raise(err::kOverflow);
  return IntegerText(result);
}

}  // namespace tavrel
