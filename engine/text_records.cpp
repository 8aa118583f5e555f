// The text record "4": anchoring folded into the text position, the
// shifted positions summed exactly where they are short decimals.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "common_texts.h"
#include "internal.h"
#include "record_fields.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel::detail {

namespace {

// A field and, when it is a short decimal, its value; none before it is read.
struct Field {
  Field() = default;
  explicit Field(std::string_view field) : text(field), fixed(ReadField(field, value)) {}
  std::string_view text;
  FixedDecimal value;
  bool fixed = false;
};

// f[n] without a call.
[[gnu::always_inline]] inline std::string_view FieldOf(const FieldTable& f, int n) {
  if (n > f.count()) return {};
  const std::string_view rest = f.From(n);
  if (n == f.count()) return rest;
  return {rest.data(), static_cast<std::size_t>(f.From(n + 1).data() - 1 - rest.data())};
}

// A Field read without a call: for the fields a text's shift reads.
[[gnu::always_inline]] inline void ReadInto(std::string_view text, Field& field) {
  field.text = text;
  field.fixed = ReadField(text, field.value);
}

// Moltiplica of a field that is one token of its list.
char* ScaledToken(const Field& field, bool decimal_point, char* out) {
  if (field.fixed) {
    if (field.value.value == 0) return Put(out, field.text);  // a value of 0 keeps its text
    if (WriteScaledDecimal(Exact(field.value), decimal_point, out)) return out;
  }
  return WriteScaled(field.text, decimal_point, out);
}

// Powers of ten from 10^0 to 10^7, each exact as a double.
inline constexpr double kDoublePowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

// ExactValue of a short decimal, without a call: its whole number (exact as
// a double) divided by the power of ten.
double Nearest(const FixedDecimal& d) {
  return static_cast<double>(d.value) / kDoublePowers[d.fraction];
}

// IsNumberTextOf(value, sum) for a sum of short decimals (at most seven
// places), without a call: the same limits, then whether `value` is the
// double nearest to the sum or one of its two neighbours.
[[gnu::always_inline]] inline bool IsTextOfSum(double value, const ExactDecimal& sum) {
  // The least sum of each count of places (from five on; none below).
  static constexpr std::uint64_t kLeast[] = {0, 0, 0, 0, 0, 10, 100, 1000, 10000, 100000};
  // Tests combined without a jump each: which of them holds depends on the
  // values.
  if ((sum.digits >= kPowersOfTen[15]) | (sum.digits < kLeast[sum.fraction])) return false;
  const double size = static_cast<double>(sum.digits) / kDoublePowers[sum.fraction];
  const std::uint64_t apart = std::bit_cast<std::uint64_t>(value) -
                              std::bit_cast<std::uint64_t>(sum.negative ? -size : size);
  return apart + 1 <= 2 && ((apart == 0) | (sum.digits != 0));
}

// A text position moved by its anchor (see Record4): the exact decimal of
// its number text when that is known, else the text.
struct ShiftedField {
  bool exact = false;
  ExactDecimal sum;
  char text[64];
  std::size_t size = 0;
  std::string_view Text() const { return {text, size}; }
};

constexpr double kFixedShift = 0.03332;

// Shifted of fields that are not both short decimals: from their texts.
// Apart, as is ShiftedText, so that the common case saves no registers for
// their calls.
[[gnu::noinline]] void ShiftedByText(const Field& field, int step, const Field& size,
                                     ShiftedField& result) {
  const double value = ReadNumber(field.text);
  const double shifted = step == 3   ? Checked(value + kFixedShift)
                         : step == 1 ? Checked(value - ReadNumber(size.text) / 2.0)
                                     : Checked(value - ReadNumber(size.text));
  result.size = static_cast<std::size_t>(WriteNumberText(shifted, {}, result.text) - result.text);
}

// The number text of `shifted`, not the exact sum's text.
[[gnu::noinline]] void ShiftedText(double shifted, ShiftedField& result) {
  result.size =
      static_cast<std::size_t>(WriteNumberText(shifted, result.sum, result.text) - result.text);
}

// The shift of short decimals `a` by `b` (see Shifted): its exact sum
// (with one more place for a half), and the double sum, computed as from the
// texts, which is returned.
[[gnu::always_inline]] inline double ShortShift(const FixedDecimal& a, int step,
                                                const FixedDecimal& b, ExactDecimal& sum) {
  const double value = Nearest(a);
  const double amount = Nearest(b);
  const double shifted = step == 1   ? value - amount / 2.0
                         : step == 2 ? value - amount
                                     : value + kFixedShift;
  const int fraction = std::max(a.fraction, b.fraction) + (step == 1 ? 1 : 0);
  const std::int64_t scaled_a =
      a.value * static_cast<std::int64_t>(kPowersOfTen[fraction - a.fraction]);
  const std::int64_t scaled_b =
      b.value * static_cast<std::int64_t>(kPowersOfTen[fraction - b.fraction]);
  sum = Exact({step == 1   ? scaled_a - scaled_b / 2
               : step == 2 ? scaled_a - scaled_b
                           : scaled_a + scaled_b,
               fraction});
  return shifted;
}

// The fixed shift as a short decimal.
inline constexpr FixedDecimal kFixedShiftDecimal{3332, 5};

// `field` moved by `step`: 1 by minus half of `size`, 2 by minus `size`,
// 3 by a fixed amount; the value is a number text.
void Shifted(const Field& field, int step, const Field& size, ShiftedField& result) {
  // Short decimals, the common case, are also summed exactly; the double
  // sum tells whether the number text is that exact sum.
  if (field.fixed && (step == 3 || size.fixed)) {
    const double shifted =
        ShortShift(field.value, step, step == 3 ? kFixedShiftDecimal : size.value, result.sum);
    if (shifted == 0.0) {
      result.sum = {true, false, 0, 0};  // the text "0"
      result.exact = true;
    } else if (IsTextOfSum(shifted, result.sum)) {
      result.exact = true;
    } else {
      ShiftedText(shifted, result);
    }
    return;
  }
  ShiftedByText(field, step, size, result);
}

// The shifted field's number text.
std::string_view TextOf(ShiftedField& field) {
  if (field.exact) {
    field.size = static_cast<std::size_t>(
        WriteNumberText(field.sum.digits == 0 ? 0.0 : ExactValue(field.sum), field.sum,
                        field.text) -
        field.text);
    field.exact = false;
  }
  return field.Text();
}

// ScaledShift of any field but an exact sum of three to seven places below
// 10^12; apart, so that the common case saves no registers for its calls.
[[gnu::noinline]] char* ScaledShiftOther(ShiftedField& field, bool decimal_point, char* out) {
  if (field.exact && WriteScaledDecimal(field.sum, decimal_point, out)) return out;
  return ScaledToken(Field(TextOf(field)), decimal_point, out);
}

// Moltiplica of a shifted field's exact sum, without a call, for the sums
// of three to seven places below 10^12, the common ones (WriteScaledDecimal)
// and for 0; nullptr, with nothing written, for the others.
[[gnu::always_inline]] inline char* ScaledSum(const ExactDecimal& sum, bool decimal_point,
                                              char* out) {
  if (sum.digits == 0) return Put(out, "0");  // its text, worth 0
  if (sum.fraction < 3 || sum.fraction > 7 || sum.digits >= kPowersOfTen[12]) return nullptr;
  static constexpr std::uint64_t kDivisors[] = {1, 10, 100, 1000, 10000};
  const std::uint64_t divisor = kDivisors[sum.fraction - 3];
  std::uint64_t whole = sum.digits / divisor;
  if (sum.negative) {
    // A fraction dropped: rounded down under a decimal point.
    if (decimal_point && sum.digits % divisor != 0) ++whole;
    if (whole != 0) *out++ = '-';
  }
  return WriteDigits(whole, out);
}

// Moltiplica of a shifted field that is one token of its list.
char* ScaledShift(ShiftedField& field, bool decimal_point, char* out) {
  if (field.exact) {
    if (char* const scaled = ScaledSum(field.sum, decimal_point, out)) return scaled;
  }
  return ScaledShiftOther(field, decimal_point, out);
}

// The anchor code of a text: ReadNumber(text) when whole from 0 to 15, else 0.
int AnchorCode(std::string_view text) {
  // The usual texts, "0" to "15", known without reading them.
  const auto digit = [&](std::size_t i) { return static_cast<unsigned>(text[i] - '0'); };
  if (text.size() == 1 && digit(0) <= 9) return static_cast<int>(digit(0));
  if (text.size() == 2 && text[0] == '1' && digit(1) <= 5) return 10 + static_cast<int>(digit(1));
  if (FixedDecimal d; ReadFixed(text, d)) {
    const auto scale = static_cast<std::int64_t>(kPowersOfTen[d.fraction]);
    return d.value % scale == 0 && d.value >= 0 && d.value <= 15 * scale
               ? static_cast<int>(d.value / scale)
               : 0;
  }
  const double anchor = ReadNumber(text);
  if (anchor == std::floor(anchor) && anchor >= 0.0 && anchor <= 15.0) {
    return static_cast<int>(anchor);
  }
  return 0;
}

// Moltiplica of a text's fields 3 to 6 (`height` ... `width`, all read),
// fields 4 and 5 replaced by their shifts `x` and `y` where these are given.
char* ScaledTextFields(const FieldTable& f, const Field& height, const Field& field4,
                       const Field& field5, const Field& width, ShiftedField* x, ShiftedField* y,
                       bool decimal_point, char* out) {
  // A short decimal holds no blank and no comma: four of them are four
  // tokens.
  const bool all_fixed = height.fixed && field4.fixed && field5.fixed && width.fixed;
  if ((all_fixed && f.count() >= 6) || OneTokenEach(f, 3, 6)) {
    // The shifted values scaled straight from their exact decimals.
    out = ScaledToken(height, decimal_point, out);
    *out++ = ' ';
    out = x != nullptr ? ScaledShift(*x, decimal_point, out)
                       : ScaledToken(field4, decimal_point, out);
    *out++ = ' ';
    out = y != nullptr ? ScaledShift(*y, decimal_point, out)
                       : ScaledToken(field5, decimal_point, out);
    *out++ = ' ';
    return ScaledToken(width, decimal_point, out);
  }
  return WriteScaledFields(
      {f[3], x != nullptr ? TextOf(*x) : f[4], y != nullptr ? TextOf(*y) : f[5], f[6]},
      decimal_point, out);
}

// Shifted of a field and its size (`step` 3: none, and `read` untouched)
// that are short decimals whose shift's number text is their exact sum:
// that sum, and the size's value in `read`.  False for any other, which the
// general way takes.
[[gnu::always_inline]] inline bool ShiftedShort(std::string_view field, int step,
                                                std::string_view size, ExactDecimal& sum,
                                                FixedDecimal& read) {
  FixedDecimal a;
  FixedDecimal b = kFixedShiftDecimal;
  if (!ReadField(field, a) || (step != 3 && !ReadField(size, b))) return false;
  if (step != 3) read = b;
  const double shifted = ShortShift(a, step, b, sum);
  if (shifted == 0.0) {
    sum = {true, false, 0, 0};  // the text "0"
    return true;
  }
  return IsTextOfSum(shifted, sum);
}

// Moltiplica of a field already read as the short decimal `d`, without
// reading its text again: its thousandths, for the values from a thousandth
// with at most three places and five whole digits; nullptr, with nothing
// written, for the others (0 keeps its text, a negative value depends on the
// separator).
[[gnu::always_inline]] inline char* ScaledRead(const FixedDecimal& d, char* out) {
  static constexpr std::int64_t kThousandths[] = {1000, 100, 10, 1};
  if (d.value <= 0 || d.fraction > 3) return nullptr;
  const std::int64_t thousandths = d.value * kThousandths[d.fraction];
  if (thousandths >= std::int64_t{100'000'000}) return nullptr;
  return WriteDigits(static_cast<std::uint64_t>(thousandths), out);
}

// A shifted text's fields 3 to 6 (see Record4) with its prefix, in the
// common case: all four short decimals, the shifts' texts their exact sums,
// each value scaled by itself without a call.  nullptr, with what was
// written of no use, for any other case.
[[gnu::always_inline]] inline char* ShiftedShortFields(std::string_view line, const FieldTable& f,
                                                       int x_step, int y_step, bool decimal_point,
                                                       char* out) {
  if (f.count() < 6) return nullptr;
  const char* const end = line.data() + line.size();
  const std::string_view height = FieldOf(f, 3);
  const std::string_view field4 = FieldOf(f, 4);
  const std::string_view field5 = FieldOf(f, 5);
  const std::string_view width = FieldOf(f, 6);
  ExactDecimal x;
  ExactDecimal y;
  // The sizes the shifts read; none (0) is scaled from its text.
  FixedDecimal height_read;
  FixedDecimal width_read;
  if (x_step != 0 && !ShiftedShort(field4, x_step, width, x, width_read)) return nullptr;
  if (y_step != 0 && !ShiftedShort(field5, y_step, height, y, height_read)) return nullptr;
  out = PutPrefix4(line, out);
  *out++ = ' ';
  if (char* const scaled = ScaledRead(height_read, out)) {
    out = scaled;
  } else {
    out = ScaledField(height, end, decimal_point, out);
    if (out == nullptr) return nullptr;
  }
  *out++ = ' ';
  out =
      x_step != 0 ? ScaledSum(x, decimal_point, out) : ScaledField(field4, end, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  out =
      y_step != 0 ? ScaledSum(y, decimal_point, out) : ScaledField(field5, end, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  if (char* const scaled = ScaledRead(width_read, out)) return scaled;
  return ScaledField(width, end, decimal_point, out);
}

// A shifted text's fields 3 to 6 with its prefix, in any case (see
// Record4); apart, so that the common case needs none of its room.
[[gnu::noinline]] char* ShiftedFields(std::string_view line, const FieldTable& f, int x_step,
                                      int y_step, bool decimal_point, char* out) {
  const char* const end = line.data() + line.size();
  // The fields a shift reads, each read once, for the shift and for its
  // scaling.
  Field height;
  Field field4;
  Field field5;
  Field width;
  ShiftedField x;
  ShiftedField y;
  const bool x_sized = x_step == 1 || x_step == 2;
  const bool y_sized = y_step == 1 || y_step == 2;
  if (x_step != 0) {
    ReadInto(f[4], field4);
    if (x_sized) ReadInto(f[6], width);
    Shifted(field4, x_step, width, x);
  }
  if (y_step != 0) {
    ReadInto(f[5], field5);
    if (y_sized) ReadInto(f[3], height);
    Shifted(field5, y_step, height, y);
  }

  out = PutPrefix4(line, out);
  *out++ = ' ';
  // Short decimals: the shifted ones scaled from their exact decimals or
  // their texts, the others each by itself.
  char* scaled = nullptr;
  if (f.count() >= 6 && (x_step == 0 || field4.fixed) && (y_step == 0 || field5.fixed)) {
    scaled = ScaledField(FieldOf(f, 3), end, decimal_point, out);
    if (scaled != nullptr) {
      *scaled++ = ' ';
      scaled = x_step != 0 ? ScaledShift(x, decimal_point, scaled)
                           : ScaledField(FieldOf(f, 4), end, decimal_point, scaled);
    }
    if (scaled != nullptr) {
      *scaled++ = ' ';
      scaled = y_step != 0 ? ScaledShift(y, decimal_point, scaled)
                           : ScaledField(FieldOf(f, 5), end, decimal_point, scaled);
    }
    if (scaled != nullptr) {
      *scaled++ = ' ';
      scaled = ScaledField(FieldOf(f, 6), end, decimal_point, scaled);
    }
  }
  if (scaled != nullptr) {
    out = scaled;
  } else {
    // The other fields read too.
    if (!x_sized) width = Field(f[6]);
    if (!y_sized) height = Field(f[3]);
    if (x_step == 0) field4 = Field(f[4]);
    if (y_step == 0) field5 = Field(f[5]);
    out = ScaledTextFields(f, height, field4, field5, width, x_step != 0 ? &x : nullptr,
                           y_step != 0 ? &y : nullptr, decimal_point, out);
  }
  return out;
}

// FieldsFromAndTrim(10, f, out) for the common tail: 1 to 16 bytes not
// ending in a blank (nothing to trim) in a line of at least sixteen, copied
// without a jump by its size: the line's last sixteen bytes moved down to
// the tail's start, written with what follows them (the output has room).
// `kCounted`: the caller knows the field count to be 10 to 100.
template <bool kCounted = false>
[[gnu::always_inline]] inline char* TextTail(std::string_view line, const FieldTable& f,
                                             char* out) {
  const char* const end = line.data() + line.size();
  if ((kCounted || (f.count() >= 10 && f.count() <= FieldTable::kMaxFields)) && line.size() >= 16 &&
      end[-1] != ' ') {
    const std::string_view tail = f.From(10);
    if (tail.size() <= 16) {
      const unsigned __int128 last =
          static_cast<unsigned __int128>(LoadWord(end - 8)) << 64 | LoadWord(end - 16);
      const unsigned __int128 moved = last >> (8 * (16 - tail.size()));
      StoreWord(static_cast<std::uint64_t>(moved), out);
      StoreWord(static_cast<std::uint64_t>(moved >> 64), out + 8);
      return out + tail.size();
    }
  }
  return FieldsFromAndTrim(10, f, out);
}

// Record4 of any text; apart, so that the common one saves no registers for
// its calls.
[[gnu::noinline]] char* OtherText(std::string_view line, const FieldTable& f, bool decimal_point,
                                  char* out) {
  const char* const end = line.data() + line.size();
  const int code = AnchorCode(f[8]);
  const int x_step = code % 4;
  const int y_step = code / 4;
  if (code == 0) {
    out = PutPrefix4(line, out);
    *out++ = ' ';
    out = ScaledFourFields<3>(f, end, decimal_point, out);
  } else if (char* const shifted =
                 ShiftedShortFields(line, f, x_step, y_step, decimal_point, out)) {
    out = shifted;
  } else {
    out = ShiftedFields(line, f, x_step, y_step, decimal_point, out);
  }
  *out++ = ' ';
  out = WriteRadOn<32768>(f[7], out);
  *out++ = ' ';
  return TextTail(line, f, out);
}

}  // namespace

// The text record: anchoring folded into the text position.  The anchor
// code's remainder by 4 shifts the x position (field 4) by the text's width
// (field 6), its quotient shifts the y position (field 5) by its height
// (field 3).  The anchor code (field 8) and field 9 are dropped.
[[gnu::noinline]] char* Record4(std::string_view line, const FieldTable& f, bool decimal_point,
                                char* out) {
  if (char* const common = CommonText(line, f, decimal_point, out)) {
    return TextTail<true>(line, f, common);
  }
  return OtherText(line, f, decimal_point, out);
}

}  // namespace tavrel::detail
