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

// The places of the point in a field of the common text (see ReadPlain),
// by the field's size (1 to 8 bytes) and the point's place (0 to 7):
// 10^place where at most five digits stand before it and one to six after
// it, else 0.
inline constexpr auto kPointScales = [] {
  std::array<std::uint32_t, 9 * 9> scales{};
  for (std::size_t size = 2; size <= 8; ++size) {
    for (std::size_t point = 0; point <= 5 && point + 1 < size; ++point) {
      if (size - 1 - point <= 6) {
        scales[size * 9 + point] = static_cast<std::uint32_t>(kPowersOfTen[point]);
      }
    }
  }
  return scales;
}();

// A field of the common text read at once: its value in units of 10^-8,
// its digits without the point (0 to 9 each, the first in the lowest byte,
// none past the last) and the point's place.
struct PlainField {
  std::uint64_t value = 0;
  std::uint64_t digits = 0;
  std::size_t point = 0;
};

// Reads the `size` bytes at `p` (the line holds eight from there) as up to
// five digits, a point and one to six more (at most eight bytes); false for
// any other text.  All bytes are looked at at once and the digits made a
// number in three steps: no jump depends on where the point stands or how
// many digits there are.
[[gnu::always_inline]] inline bool ReadPlain(const char* p, std::size_t size, PlainField& field) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  if (size - 1 >= 8) return false;
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & kLowBytes[size];
  // A high bit in each byte other than a digit; those past the field are 0.
  // A byte from 0x8A up carries into the next, which may then count as
  // another: either way the field is not plain.
  const std::uint64_t others = ((values + 0x7676767676767676ULL) | values) & kHigh;
  // The first of them, or the last byte (never a place the table takes).
  const std::size_t point = LowestSet(others | std::uint64_t{1} << 63) / 8;
  // One byte other than a digit, a point, in a place that the table takes:
  // tested together, in one jump.
  const bool plain = ((others & (others - 1)) == 0) & (p[point] == '.');
  const std::uint64_t scale = kPointScales[size * 9 + point] & (0 - std::uint64_t{plain});
  if (scale == 0) return false;
  field.digits = (values & kLowBytes[point]) | ((values >> 8) & ~kLowBytes[point]);
  field.point = point;
  // The digits as eight places (those past the last 0), joined in pairs,
  // fours and eights: the value times 10^(8 - point).
  std::uint64_t v = field.digits;
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFULL;
  field.value = v * scale;
  return true;
}

// Moltiplica of a field read by ReadPlain that stays as it is, from its
// digits (ScaledFieldInRoom): those before the point and three after it,
// without leading zeros; nullptr for a value below a thousandth (0 keeps its
// text), which is not of the common form.
[[gnu::always_inline]] inline char* ScaledPlain(const PlainField& field, char* out) {
  const std::uint64_t kept = field.digits & kFieldMasks[kKeptAt + field.point];
  if (kept == 0) return nullptr;
  const std::size_t zeros = LowestSet(kept) & ~std::size_t{7};
  StoreWord((kept | kFieldMasks[kKeptZerosAt + field.point]) >> zeros, out);
  return out + field.point + 3 - zeros / 8;
}

// What a step of the anchor (see Record4) adds to a position, in units of
// 10^-8, from the size `s`: 0, -s / 2, -s, the fixed shift; as `times` / 2
// of the size kept by `size_mask`, or of `fixed`.
struct AnchorStep {
  std::uint64_t size_mask;
  std::uint64_t fixed;
  std::int64_t times;
};
inline constexpr AnchorStep kAnchorSteps[] = {
    {0, 0, 0}, {~std::uint64_t{0}, 0, -1}, {~std::uint64_t{0}, 0, -2}, {0, 3332000, 2}};

// The position `position` moved by `step` (see Record4; the size `size`,
// both in units of 10^-8) as Shifted moves it, exactly, at `sum`: whether
// that sum is the number text of the shift computed as from the texts (or
// both are 0).  The same steps for every `step`, so that no jump depends on
// it.
[[gnu::always_inline]] inline bool MovedExactly(std::uint64_t position, unsigned step,
                                                std::uint64_t size, std::int64_t& sum) {
  const AnchorStep& how = kAnchorSteps[step];
  const auto amount = static_cast<std::int64_t>((size & how.size_mask) | how.fixed);
  // Of a size with at most six places, even: its half is exact (a shift,
  // as for a negative number).
  const std::int64_t moved = (how.times * amount) >> 1;
  const auto from = static_cast<std::int64_t>(position);
  sum = from + moved;
  // value - amount / 2, value - amount and value + the fixed shift: the
  // amount's share of it is exact.
  const double shifted = static_cast<double>(from) / 1e8 + static_cast<double>(moved) / 1e8;
  // The sign (all ones when negative) and the size, without a jump.
  const std::uint64_t sign = static_cast<std::uint64_t>(sum >> 63);
  const std::uint64_t magnitude = (static_cast<std::uint64_t>(sum) ^ sign) - sign;
  // IsTextOfSum: the least sum (1e-4) and the double's distance from it.
  const double exact = static_cast<double>(static_cast<std::int64_t>(magnitude)) / 1e8;
  const std::uint64_t apart =
      std::bit_cast<std::uint64_t>(shifted) - (std::bit_cast<std::uint64_t>(exact) | (sign << 63));
  return ((sum == 0) & (shifted == 0.0)) | ((magnitude >= 10000) & (apart + 1 <= 2));
}

// Moltiplica of an exact sum in units of 10^-8 (see ScaledSum), below 10^14
// in size: its thousandths, a fraction dropped (rounded down under a decimal
// point), with a minus when negative and not 0; nullptr, with what was
// written of no use, from 10^8 thousandths on.  The digits are written
// without a jump by their count: split in fours, pairs and single digits
// side by side in one word, the leading zeros dropped; eight bytes are
// written, the digits' kept.
[[gnu::always_inline]] inline char* ScaledSumOf(std::int64_t sum, bool decimal_point, char* out) {
  const bool negative = sum < 0;
  const std::uint64_t sign = static_cast<std::uint64_t>(sum >> 63);
  const std::uint64_t magnitude = (static_cast<std::uint64_t>(sum) ^ sign) - sign;
  std::uint64_t thousandths = magnitude / 100000;
  const bool cut = magnitude != thousandths * 100000;
  thousandths += negative & decimal_point & cut;
  *out = '-';
  out += negative & (thousandths != 0);
  if (thousandths >= 100'000'000) return nullptr;
  const std::uint64_t high = thousandths / 10000;
  std::uint64_t v = high | (thousandths - high * 10000) << 32;
  std::uint64_t q = ((v * 10486) >> 20) & 0x0000007F0000007FULL;  // each four by 100
  v = q | (v - q * 100) << 16;
  q = ((v * 103) >> 10) & 0x000F000F000F000FULL;  // each pair by 10
  v = q | (v - q * 10) << 8;
  // The leading zeros' bits, whole bytes; the last digit stays.
  const std::size_t zeros = LowestSet(v | std::uint64_t{1} << 56) & ~std::size_t{7};
  StoreWord((v | kZeros) >> zeros, out);
  return out + 8 - zeros / 8;
}

// Record4 of the common text: fields 3 to 7 short and plain (the sizes,
// positions and rotation of the usual forms, anchor code "0" to "15"), the
// shifted positions' number texts their exact sums, fields 10 on present.
// Everything is read and computed the same way whatever the anchor code and
// the counts of digits; the tests that exit are of the form alone.  nullptr,
// with what was written of no use, for any other text, which the general
// way takes.
[[gnu::always_inline]] inline char* CommonText(std::string_view line, const FieldTable& f,
                                               bool decimal_point, char* out) {
  if (f.count() < 10 || f.count() > FieldTable::kMaxFields) return nullptr;
  const char* const end = line.data() + line.size();
  const auto start = [&](int n) { return f.From(n).data(); };
  const auto size = [&](int n) { return static_cast<std::size_t>(start(n + 1) - 1 - start(n)); };
  if (end - start(7) < 8) return nullptr;
  // The anchor code, "0" to "9" or "1" and "0" to "5"; the byte after a
  // field of one is a blank.
  const char* const code_text = start(8);
  const std::size_t two = size(8) - 1;  // 0 or 1
  if (two > 1) return nullptr;
  const unsigned first = static_cast<unsigned char>(code_text[0]) - unsigned{'0'};
  const unsigned second = static_cast<unsigned char>(code_text[1]) - unsigned{'0'};
  if ((static_cast<unsigned>(first > 9) |
       (static_cast<unsigned>(two) & (static_cast<unsigned>(first != 1) | (second > 5)))) != 0) {
    return nullptr;
  }
  const unsigned code = first + static_cast<unsigned>(two) * (10 + second - first);
  // The prefix: the line's first four bytes less the blanks at their end
  // (the first is the record type).
  std::uint32_t head;
  std::memcpy(&head, line.data(), 4);
  std::memcpy(out, line.data(), 4);
  const std::uint32_t head_values = head ^ 0x20202020U;
  const std::uint32_t kept = (((head_values & 0x7F7F7F7FU) + 0x7F7F7F7FU) | head_values) &
                             0x80808080U;  // a high bit in each byte other than a blank
  out += std::bit_width(kept | 0x80U) / 8;
  *out++ = ' ';
  // Each field read, moved and written in turn; the sizes' values kept for
  // the positions.
  PlainField height;
  if (!ReadPlain(start(3), size(3), height)) return nullptr;
  out = ScaledPlain(height, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  PlainField width;
  PlainField x;
  std::int64_t sum;
  // A position of 0 that stays keeps its text.
  if (!ReadPlain(start(6), size(6), width) || !ReadPlain(start(4), size(4), x) || x.value == 0 ||
      !MovedExactly(x.value, code & 3, width.value, sum)) {
    return nullptr;
  }
  out = ScaledSumOf(sum, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  PlainField y;
  if (!ReadPlain(start(5), size(5), y) || y.value == 0 ||
      !MovedExactly(y.value, code >> 2, height.value, sum)) {
    return nullptr;
  }
  out = ScaledSumOf(sum, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  out = ScaledPlain(width, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  // The rotation, whole degrees in one to three digits up to 360
  // (WriteRadOn).
  const std::size_t turn_size = size(7);
  if (turn_size - 1 >= 3) return nullptr;
  const std::uint64_t turn = (LoadWord(start(7)) ^ kZeros) & kLowBytes[turn_size];
  if ((((turn + 0x7676767676767676ULL) | turn) & 0x8080808080808080ULL) != 0) return nullptr;
  // The last digit moved to the third byte, those missing before it 0.
  const std::uint64_t turn_digits = turn << (8 * (3 - turn_size));
  const std::size_t degrees =
      (turn_digits & 0xFF) * 100 + (turn_digits >> 8 & 0xFF) * 10 + (turn_digits >> 16 & 0xFF);
  if (degrees > 360) return nullptr;
  const std::uint64_t word = kRad32768.word[degrees];
  StoreWord(word, out);
  out += word >> 56;
  *out++ = ' ';
  return TextTail<true>(line, f, out);
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
  if (char* const common = CommonText(line, f, decimal_point, out)) return common;
  return OtherText(line, f, decimal_point, out);
}

}  // namespace tavrel::detail
