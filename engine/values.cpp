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

double ReadNumberInFull(std::string_view text) {
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

// The common form "-12.345": sign, digits, point, digits and nothing the
// full reader would treat differently after it.  With at most 2^53 as the
// digits' whole number and an exact power of ten, one division rounds
// correctly, as reading the text in full would.  False to leave it to the
// full reader.
bool ReadPlainDecimal(std::string_view text, double& value) {
  static constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  std::size_t i = 0;
  const std::size_t n = text.size();
  bool negative = false;
  if (i < n && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  std::uint64_t digits = 0;
  int count = 0;     // digits taken into `digits`, leading zeros left out
  int fraction = 0;  // of them (or of the zeros) after the point
  bool any = false;
  bool point = false;
  for (; i < n; ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      any = true;
      if (point) ++fraction;
      if (digits == 0 && c == '0') continue;
      if (++count > 16) return false;
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i < n && (IsSkipped(text[i]) || text[i] == 'e' || text[i] == 'E')) return false;
  if (!any) {
    value = 0.0;
    return true;
  }
  if (digits > (std::uint64_t{1} << 53) || fraction > 22) return false;
  value = static_cast<double>(digits) / kPowersOfTen[fraction];
  if (negative) value = -value;
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

// One value of a list scaled by 1000 and made whole.  The product's 15-digit
// text is written with the user's decimal separator and read back by the
// number reader, so with a decimal comma the fraction is cut off (toward
// zero); with a point it is read whole and then rounded down.
void AppendScaledValue(std::string_view token, bool decimal_point, std::string& out) {
  const double value = ReadNumber(token);
  if (value == 0.0) {
    out += token;
    return;
  }
  const double product = value * 1000.0;
  if (!std::isfinite(product)) Raise(err::kOverflow);
  // Below 1e9 the 15 digits keep six decimals, so the rounding moves the
  // value by less than 1e-6: unless the fraction is that close to a whole
  // number, the whole part is the product's own.
  const double whole = std::floor(product);
  const double fraction = product - whole;
  double result;
  if (std::fabs(product) < 1e9 && (fraction == 0.0 || (fraction > 1e-6 && fraction < 1 - 1e-6))) {
    result = decimal_point || fraction == 0.0 || product > 0.0 ? whole : whole + 1.0;
  } else {
    const double rounded = RoundTo15Digits(product);
    result = decimal_point ? std::floor(rounded) : std::trunc(rounded);
  }
  detail::AppendIntegerText(result, out);
}

}  // namespace

namespace detail {

void AppendScaled(std::string_view valori, bool decimal_point, std::string& out) {
  constexpr int kMaxTokens = 50;
  std::array<std::string_view, kMaxTokens + 1> tokens;
  char separator = '\0';
  const int count = SplitRuns(valori, ", ", tokens.data(), kMaxTokens, &separator);
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
