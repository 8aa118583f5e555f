// Rad: angles in the units of the records, from short decimals in whole
// numbers where that is exact, else as the doubles compute them.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel {

namespace detail {

namespace {

// floor(numerator / denominator), the denominator above 0.
std::int64_t FloorDivide(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t quotient = numerator / denominator;
  return numerator % denominator < 0 ? quotient - 1 : quotient;
}

// Rad of a short decimal in whole numbers, for the bases the records use,
// as the doubles below compute it.  With x = value / 10^fraction and d the
// double nearest to x, d * base is exact and one division by 360 (180) rounds:
// the quotient q' is within |q| * 2^-51 of the exact quotient q.  When q is
// not whole it is at least 1 / (360 * 10^fraction) from the next whole
// number, more than that error while |value * base| < 2^51 (12 digits);
// when q is whole, x is a multiple of 2^-13 and d, d * base and q' are exact.
// At 32768, 360 - d is exact between 180 and 360 and within 2^-45 of
// 360 - x; the comparisons with 0, 180 and 360 are exact, as x lies at least
// 10^-6 from each unless equal.  False for another base.
bool WriteFixedRad(const FixedDecimal& d, float base, char*& out) {
  const std::int64_t scale = static_cast<std::int64_t>(kPowersOfTen[d.fraction]);
  if (base == 256.0f || base == 128.0f) {
    out = WriteWhole(FloorDivide(d.value * static_cast<std::int64_t>(base), 360 * scale), out);
    return true;
  }
  if (base != 32768.0f) return false;
  if (d.value < 0 || d.value > 360 * scale) return true;  // the empty text
  if (d.value <= 180 * scale) {
    out = WriteWhole(d.value * 32768 / (180 * scale), out);
  } else {
    out = WriteWhole(-((360 * scale - d.value) * 32768 / (180 * scale)), out);
  }
  return true;
}

// WriteDigits of a number below 10^5, the units of an angle on any base.
char* WriteUnits(unsigned units, char* out) {
  if (units < 10000) return WriteDigits(units, out);
  const unsigned high = units / 100 % 100;
  const unsigned low = units % 100;
  out[0] = static_cast<char>('0' + units / 10000);
  out[1] = static_cast<char>('0' + high / 10);
  out[2] = static_cast<char>('0' + high % 10);
  out[3] = static_cast<char>('0' + low / 10);
  out[4] = static_cast<char>('0' + low % 10);
  return out + 5;
}

// WriteRad of anything but whole degrees up to 360 on the records' bases.
[[gnu::noinline]] char* WriteOtherRad(std::string_view gradi, float base, char* out);

}  // namespace

namespace {

// WriteFloorTimes256 of any text: apart, so that the common one keeps its
// number in registers.
[[gnu::noinline]] char* WriteOtherFloorTimes256(std::string_view text, char* out) {
  FixedDecimal d;
  if (ReadField(text, d)) {
    return WriteWhole(
        FloorDivide(d.value * 256, static_cast<std::int64_t>(kPowersOfTen[d.fraction])), out);
  }
  const double product = std::floor(ReadNumber(text) * 256.0);
  if (!std::isfinite(product)) Raise(err::kOverflow);
  return WriteIntegerText(product, out);
}

}  // namespace

char* WriteFloorTimes256(std::string_view text, char* out) {
  // With d the double nearest to x = value / 10^fraction, d * 256 is the
  // double nearest to 256 x, within 256 |x| 2^-53 of it: less than the
  // 10^-fraction that separates 256 x from a whole number it is not, and a
  // whole 256 x is exact.  The common text, one to eight digits and maybe
  // one point, at most six decimals, read here as ReadField reads it.
  const char* p = text.data();
  const std::size_t size = text.size();
  if (size - 1 < 8) {
    const char* const last = p + size;
    std::uint64_t value = 0;
    const char* point = nullptr;
    for (; p != last; ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit <= 9) {
        value = value * 10 + digit;
      } else if (*p == '.' && point == nullptr) {
        point = p;
      } else {
        return WriteOtherFloorTimes256(text, out);
      }
    }
    const auto fraction = point != nullptr ? static_cast<std::size_t>(last - point - 1) : 0;
    if (fraction <= kFixedPlaces) return WriteDigits(value * 256 / kPowersOfTen[fraction], out);
  }
  return WriteOtherFloorTimes256(text, out);
}

char* WriteRad(std::string_view gradi, float base, char* out) {
  // Whole degrees up to a turn, the most common angles, from the tables;
  // eight bytes are written, of which the text's are kept.
  if (const int degrees = WholeDegrees(gradi); degrees >= 0 && degrees <= 360) {
    const RadTexts* const texts = base == 256.0f     ? &kRad256
                                  : base == 128.0f   ? &kRad128
                                  : base == 32768.0f ? &kRad32768
                                                     : nullptr;
    if (texts != nullptr) {
      const std::uint64_t word = texts->word[degrees];
      StoreWord(word, out);
      return out + (word >> 56);
    }
  }
  return WriteOtherRad(gradi, base, out);
}

namespace {

char* WriteOtherRad(std::string_view gradi, float base, char* out) {
  // Whole degrees, the most common angles, as WriteFixedRad computes them.
  if (const int degrees = WholeDegrees(gradi); degrees >= 0) {
    if (base == 256.0f) return WriteUnits(static_cast<unsigned>(degrees) * 256 / 360, out);
    if (base == 128.0f) return WriteUnits(static_cast<unsigned>(degrees) * 128 / 360, out);
    if (base == 32768.0f) {
      // The quarter turns, the most common, as they come out.
      if (degrees == 90) return Put(out, "16384");
      if (degrees == 270) return Put(out, "-16384");
      if (degrees <= 180) return WriteUnits(static_cast<unsigned>(degrees) * 32768 / 180, out);
      if (degrees == 360) return WriteUnits(0, out);
      if (degrees > 360) return out;  // the empty text
      *out++ = '-';
      return WriteUnits(static_cast<unsigned>(360 - degrees) * 32768 / 180, out);
    }
  }
  if (FixedDecimal fixed; ReadField(gradi, fixed) && WriteFixedRad(fixed, base, out)) return out;
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

}  // namespace

}  // namespace detail

std::string Rad(const std::string& gradi, float base) {
  char text[400];
  return std::string(text, detail::WriteRad(gradi, base, text));
}

}  // namespace tavrel
