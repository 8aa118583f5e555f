// Numeric records "0" to "6": coordinates scaled to thousandths, angles in
// units, pad rotation and text anchoring folded into the 3.5 fields.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "internal.h"
#include "record_fields.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel::detail {

namespace {

double Checked(double value) {
  if (!std::isfinite(value)) Raise(err::kOverflow);
  return value;
}

// The line's first `count` characters (the whole line when shorter), trimmed.
std::string_view Prefix(std::string_view line, std::size_t count) {
  const char* first = line.data();
  const char* last = first + std::min(count, line.size());
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  return {first, static_cast<std::size_t>(last - first)};
}

// Put of Prefix(line, 4) for a line that begins with its record type: four
// characters copied at once, then the blanks at their end taken back.
[[gnu::always_inline]] inline char* PutPrefix4(std::string_view line, char* out) {
  if (line.size() < 4) return Put(out, Prefix(line, 4));
  std::memcpy(out, line.data(), 4);
  std::size_t kept = 4;
  while (line[kept - 1] == ' ')
    --kept;
  return out + kept;
}

// Error 9 when `line` has more than 100 fields; apart, so that its field
// table takes no room on the stack of the common case.
[[gnu::noinline]] void CheckFieldCount(std::string_view line) {
  const FieldTable check(line);
}

// Records "0" and "1": a prefix of `kWidth` characters, then one value list;
// the field count checked by the caller.
template <std::size_t kWidth>
[[gnu::always_inline]] inline char* PrefixAndListCounted(std::string_view line, bool decimal_point,
                                                         char* out) {
  if (line.size() < kWidth) Raise(err::kInvalidArgument);
  // The prefix copied whole, then its blanks at the end taken back; it
  // begins with the record type, which stops the search.
  const char* const p = line.data();
  std::size_t kept = kWidth;
  if (line.size() >= 8) {
    // Eight bytes copied; the last of the prefix's that is not a blank
    // found in one word.
    const std::uint64_t word = LoadWord(p);
    StoreWord(word, out);
    kept = 8 - static_cast<std::size_t>(std::countl_zero((word ^ kBlanks) & kLowBytes[kWidth])) / 8;
  } else {
    std::memcpy(out, p, kWidth);
    while (p[kept - 1] == ' ')
      --kept;
  }
  out += kept;
  *out++ = ' ';
  const char* first = p + kWidth;
  const char* last = p + line.size();
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  const std::size_t size = static_cast<std::size_t>(last - first);
#if TAVREL_SIMD_VALUES
  // The most lists, as WriteScaled scales them, without its call.
  if (size - 32 <= 96 - 32) {
    const unsigned scalers = value_scalers.load(std::memory_order_relaxed);
    if ((scalers & kScaleWide) != 0) {
      return ScaleMediumListWide(first, last, decimal_point, (scalers & kScaleBlocks) != 0, out);
    }
  }
#endif
  return WriteScaled({first, size}, decimal_point, out);
}

// A line of more than 200 characters, which may have more than 100 fields
// (error 9); apart, so that the common case saves no registers for the call.
template <std::size_t kWidth>
[[gnu::noinline]] char* LongPrefixAndList(std::string_view line, bool decimal_point, char* out) {
  CheckFieldCount(line);
  return PrefixAndListCounted<kWidth>(line, decimal_point, out);
}

template <std::size_t kWidth>
[[gnu::noinline]] char* PrefixAndList(std::string_view line, bool decimal_point, char* out) {
  // The fields are not used, but more than 100 of them is an error; that
  // takes more than 200 characters.
  if (line.size() > 2 * FieldTable::kMaxFields) {
    return LongPrefixAndList<kWidth>(line, decimal_point, out);
  }
  return PrefixAndListCounted<kWidth>(line, decimal_point, out);
}

// WriteRadOn<256>, apart: inline, record 2's three angles would cost more
// than they save.
[[gnu::noinline]] char* WriteRad256(std::string_view gradi, char* out) {
  return WriteRadOn<256>(gradi, out);
}

char* Record2(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = PutPrefix4(line, out);
  *out++ = ' ';
  out = ScaledFourFields(f, 3, line.data() + line.size(), decimal_point, out);
  *out++ = ' ';
  out = WriteRad256(f[7], out);
  *out++ = ' ';
  out = WriteRad256(f[8], out);
  *out++ = ' ';
  out = WriteFloorTimes256(f[9], out);
  *out++ = ' ';
  return WriteRad256(f[10], out);
}

// Whether `text` is `literal`, without a call.
template <std::size_t N>
bool Is(std::string_view text, const char (&literal)[N]) {
  if (text.size() != N - 1) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (text[i] != literal[i]) return false;
  }
  return true;
}

// Whether ReadNumber(text) is the whole number `whole`.
bool NumberIs(std::string_view text, int whole) {
  if (FixedDecimal d; ReadFixed(text, d)) {
    return d.value == whole * static_cast<std::int64_t>(kPowersOfTen[d.fraction]);
  }
  return ReadNumber(text) == whole;
}

// Whether a field (in a line ending at `end`) is worth 0: 1 or 0 where its
// form tells at once (up to eight digits with maybe a point, no sign, eight
// bytes of the line from its start), else -1.
int IsZeroField(std::string_view text, const char* end) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  if (size - 1 >= 8 || end - p < 8) return -1;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & kLowBytes[size];
  // A high bit in each byte other than a digit.
  const std::uint64_t others = (((values & ~kHigh) + 0x7676767676767676ULL) | values) & kHigh;
  if (others == 0) return values == 0 ? 1 : 0;
  const auto point = static_cast<unsigned>(LowestSet(others)) / 8;
  if ((others & (others - 1)) != 0 || p[point] != '.') return -1;
  return (values & ~(std::uint64_t{0xFF} << (8 * point))) == 0 ? 1 : 0;
}

// Whether a pad is turned a quarter: field 9 is 90 or 270.  The usual
// texts are known without reading them.
bool QuarterTurned(std::string_view text) {
  if (Is(text, "0") || Is(text, "180")) return false;
  if (Is(text, "90") || Is(text, "270")) return true;
  return NumberIs(text, 90) || NumberIs(text, 270);
}

// WriteNumberText of the double nearest to `exact` where that is the exact
// decimal's own text (IsNumberTextOf): its digits without trailing zeros and
// without a 0 before the point.  False, with nothing written, for 0, for 15
// digits and more, and below 10^-4, whose texts WriteNumberText decides.
bool WriteExactText(const ExactDecimal& exact, char*& out) {
  const int fraction = exact.fraction;
  if (exact.digits == 0 || exact.digits >= kPowersOfTen[15] || fraction > 19 ||
      (fraction > 4 && exact.digits < kPowersOfTen[fraction - 4])) {
    return false;
  }
  out = WriteDecimal(exact.negative, exact.digits, fraction, out);
  return true;
}

// The exact decimal of a short decimal.
ExactDecimal Exact(const FixedDecimal& d) {
  const bool negative = d.value < 0;
  return {true, negative,
          negative ? 0 - static_cast<std::uint64_t>(d.value) : static_cast<std::uint64_t>(d.value),
          d.fraction};
}

// Whether the blank-joined fields `first` to `last` are all there, each one
// token of a value list: Moltiplica of them joined is that of each, joined by
// blanks.  A field may begin with a blank (the second of two), which would
// separate tokens.
bool OneTokenEach(const FieldTable& f, int first, int last) {
  return f.count() >= last && !SplitsApart(f.Span(first, last));
}

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

// The pad record.  A pad without size in field 3 takes 16 times field 2 there;
// at 90 and 270 degrees (field 9) its two sizes in fields 6 and 7 change place.
char* Record3(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  const char* const end = line.data() + line.size();
  std::string_view field2 = f[2];
  std::string_view field3 = f[3];
  char sized[64];
  if (const int zero = Is(field3, "0") ? 1 : IsZeroField(field3, end);
      zero > 0 || (zero < 0 && NumberIs(field3, 0))) {
    // Sixteen times the double nearest to a short decimal is the double
    // nearest to sixteen times it, whose number text is mostly the exact
    // decimal's.
    char* sized_end = sized;
    if (FixedDecimal d; ReadFieldIn(field2, end, d)) {
      d.value *= 16;
      const ExactDecimal exact = Exact(d);
      if (!WriteExactText(exact, sized_end)) {
        sized_end = WriteNumberText(ExactValue(exact), exact, sized);
      }
    } else {
      sized_end = WriteNumberText(Checked(ReadNumber(field2) * 16.0), {}, sized);
    }
    field3 = {sized, static_cast<std::size_t>(sized_end - sized)};
    field2 = "0";
  }
  const bool turned = QuarterTurned(f[9]);

  if (f.count() >= 4 && field2.data() == line.data() + 2) {
    // Field 1 is "3": it, fields 2 and 3 (not replaced) and a blank after
    // each, as they stand in the line.
    out = Put(out, {line.data(), static_cast<std::size_t>(f.From(4).data() - line.data())});
  } else {
    out = Put(out, "3 ");
    out = Put(out, field2);
    *out++ = ' ';
    out = Put(out, field3);
    *out++ = ' ';
  }
  // The common short decimals each scaled by itself, in their new order.
  static constexpr int kStraight[] = {4, 5, 6, 7, 8};
  static constexpr int kTurned[] = {4, 5, 7, 6, 8};
  if (char* const scaled =
          ScaledShortFields(f, turned ? kTurned : kStraight, end, decimal_point, out)) {
    out = scaled;
  } else if (!turned) {
    out = ScaledFields(f, 4, 8, decimal_point, out);
  } else if (OneTokenEach(f, 4, 8)) {
    // The five values scaled as they stand, then the third and the fourth
    // (none holds a blank) change place.
    char* const list = out;
    out = WriteScaled(f.Span(4, 8), decimal_point, out);
    char* blanks[4];
    char* p = list;
    for (char*& blank : blanks) {
      blank = std::find(p, out, ' ');
      p = blank + 1;
    }
    // [third blank fourth] becomes [fourth blank third].
    char* const third = blanks[1] + 1;
    const std::string_view fourth(blanks[2] + 1,
                                  static_cast<std::size_t>(blanks[3] - blanks[2] - 1));
    if (const auto third_size = static_cast<std::size_t>(blanks[2] - third);
        third_size <= 32 && fourth.size() <= 32) {
      char copy[32];
      std::memcpy(copy, third, third_size);
      std::memmove(third, fourth.data(), fourth.size());  // they may overlap
      char* const blank = third + fourth.size();
      *blank = ' ';
      std::memcpy(blank + 1, copy, third_size);
    } else {
      std::rotate(third, blanks[2] + 1, blanks[3]);
      std::rotate(third + fourth.size(), blanks[3] - 1, blanks[3]);
    }
  } else {
    out = WriteScaledFields({f[4], f[5], f[7], f[6], f[8]}, decimal_point, out);
  }
  *out++ = ' ';
  // Fields 10 and 11, the last ones, stand so joined in the line.
  if (f.count() == 10 || f.count() == 11) return Put(out, f.From(10));
  out = Put(out, f[10]);
  if (f.count() == 11) {
    *out++ = ' ';
    out = Put(out, f[11]);
  }
  return out;
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
bool IsTextOfSum(double value, const ExactDecimal& sum) {
  if (sum.digits >= kPowersOfTen[15] ||
      (sum.fraction > 4 && sum.digits < kPowersOfTen[sum.fraction - 4])) {
    return false;
  }
  const double size = static_cast<double>(sum.digits) / kDoublePowers[sum.fraction];
  const std::uint64_t apart = std::bit_cast<std::uint64_t>(value) -
                              std::bit_cast<std::uint64_t>(sum.negative ? -size : size);
  return apart == 0 || (sum.digits != 0 && (apart == 1 || apart == ~std::uint64_t{0}));
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

// `field` moved by `step`: 1 by minus half of `size`, 2 by minus `size`,
// 3 by a fixed amount; the value is a number text.
void Shifted(const Field& field, int step, const Field& size, ShiftedField& result) {
  // Short decimals, the common case, are also summed exactly (with one
  // more place for a half); the double sum, computed as from the texts,
  // tells whether the number text is that exact sum.
  if (field.fixed && (step == 3 || size.fixed)) {
    const FixedDecimal a = field.value;
    const FixedDecimal b = step == 3 ? FixedDecimal{3332, 5} : size.value;
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
    const std::int64_t sum = step == 1   ? scaled_a - scaled_b / 2
                             : step == 2 ? scaled_a - scaled_b
                                         : scaled_a + scaled_b;
    result.sum = Exact({sum, fraction});
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

// Moltiplica of a shifted field that is one token of its list.
char* ScaledShift(ShiftedField& field, bool decimal_point, char* out) {
  if (field.exact) {
    if (field.sum.digits == 0) return Put(out, "0");  // its text, worth 0
    // WriteScaledDecimal, without a call, for the sums of three to seven
    // places below 10^12, the common ones.
    const ExactDecimal& sum = field.sum;
    if (sum.fraction >= 3 && sum.fraction <= 7 && sum.digits < kPowersOfTen[12]) {
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
  }
  return ScaledShiftOther(field, decimal_point, out);
}

// The blanks at the end of a record's text removed; the text begins with
// its record type, so the search stops there.
char* TrimEnd(char* out) {
  while (out[-1] == ' ')
    --out;
  return out;
}

// Fields `first` to the field count, each followed by a blank, then the
// blanks at the end of the whole result removed.  A blank after the 100th
// field opens field 101, which is past the field table.
char* FieldsFromAndTrim(int first, const FieldTable& f, char* out) {
  if (f.count() >= first) {
    if (f.count() > FieldTable::kMaxFields) Raise(err::kSubscript);
    out = Put(out, f.From(first));
    *out++ = ' ';
  }
  return TrimEnd(out);
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

// The text record: anchoring folded into the text position.  The anchor
// code's remainder by 4 shifts the x position (field 4) by the text's width
// (field 6), its quotient shifts the y position (field 5) by its height
// (field 3).  The anchor code (field 8) and field 9 are dropped.
[[gnu::noinline]] char* Record4(std::string_view line, const FieldTable& f, bool decimal_point,
                                char* out) {
  const char* const end = line.data() + line.size();
  const int code = AnchorCode(f[8]);
  const int x_step = code % 4;
  const int y_step = code / 4;
  if (code == 0) {
    out = PutPrefix4(line, out);
    *out++ = ' ';
    out = ScaledFourFields(f, 3, end, decimal_point, out);
  } else {
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
    // The common case: short decimals, the shifted ones scaled straight
    // from their exact decimals, the others each by itself.
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
  }
  *out++ = ' ';
  out = WriteRadOn<32768>(f[7], out);
  *out++ = ' ';
  return FieldsFromAndTrim(10, f, out);
}

char* Record6(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = PutPrefix4(line, out);
  *out++ = ' ';
  out = WriteRadOn<128>(f[3], out);
  *out++ = ' ';
  out = ScaledFourFields(f, 4, line.data() + line.size(), decimal_point, out);
  *out++ = ' ';
  return FieldsFromAndTrim(8, f, out);
}

// Records "2" to "6", which read their fields; apart, so that records "0"
// and "1" do not save the registers these use.
[[gnu::noinline]] char* FieldRecord(std::string_view line, bool decimal_point, char* out) {
  const FieldTable fields(line);
  switch (line.front()) {
    case '2':
      return Record2(line, fields, decimal_point, out);
    case '3':
      return Record3(line, fields, decimal_point, out);
    case '4':
      return Record4(line, fields, decimal_point, out);
    default:  // '6'
      return Record6(line, fields, decimal_point, out);
  }
}

}  // namespace

char* NumericRecord(std::string_view line, bool decimal_point, char* out) {
  switch (line.front()) {
    case '0':
      return PrefixAndList<6>(line, decimal_point, out);
    case '1':
      return PrefixAndList<4>(line, decimal_point, out);
    default:
      return FieldRecord(line, decimal_point, out);
  }
}

}  // namespace tavrel::detail
