// Numeric records "0" to "6": coordinates scaled to thousandths, angles in
// units, pad rotation and text anchoring folded into the 3.5 fields.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <utility>

#include "internal.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

double Checked(double value) {
  if (!std::isfinite(value)) Raise(err::kOverflow);
  return value;
}

// The line's first `count` characters (the whole line when shorter), trimmed.
std::string_view Prefix(std::string_view line, std::size_t count) {
  return TrimBlanks(line.substr(0, count));
}

// Moltiplica of fields `first` to `last` joined by single blanks.  When the
// line reaches field `last` they stand so joined in the line itself.
char* ScaledFields(const FieldTable& f, int first, int last, bool decimal_point, char* out) {
  if (f.count() >= last) return WriteScaled(f.Span(first, last), decimal_point, out);
  if (last - first == 3) {
    return WriteScaledFields({f[first], f[first + 1], f[first + 2], f[last]}, decimal_point, out);
  }
  return WriteScaledFields({f[first], f[first + 1], f[first + 2], f[first + 3], f[last]},
                           decimal_point, out);
}

// Records "0" and "1": a prefix of `width` characters, then one value list.
char* PrefixAndList(std::string_view line, std::size_t width, bool decimal_point, char* out) {
  // The fields are not used, but more than 100 of them is an error; that
  // takes more than 200 characters.
  if (line.size() > 2 * FieldTable::kMaxFields) FieldTable check(line);
  if (line.size() < width) Raise(err::kInvalidArgument);
  out = Put(out, Prefix(line, width));
  *out++ = ' ';
  return WriteScaled(TrimBlanks(line.substr(width)), decimal_point, out);
}

char* Record2(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = Put(out, Prefix(line, 4));
  *out++ = ' ';
  out = ScaledFields(f, 3, 6, decimal_point, out);
  *out++ = ' ';
  out = WriteRad(f[7], 256.0f, out);
  *out++ = ' ';
  out = WriteRad(f[8], 256.0f, out);
  *out++ = ' ';
  out = WriteIntegerText(Checked(std::floor(ReadNumber(f[9]) * 256.0)), out);
  *out++ = ' ';
  return WriteRad(f[10], 256.0f, out);
}

// The pad record.  A pad without size in field 3 takes 16 times field 2 there;
// at 90 and 270 degrees (field 9) its two sizes in fields 6 and 7 change place.
char* Record3(const FieldTable& f, bool decimal_point, char* out) {
  std::string_view field2 = f[2];
  std::string_view field3 = f[3];
  char sized[64];
  if (ReadNumber(field3) == 0.0) {
    ExactDecimal exact;
    const bool short_decimal = ParseShortDecimal(field2, exact);
    const double value = Checked((short_decimal ? ExactValue(exact) : ReadNumber(field2)) * 16.0);
    exact.digits *= 16;
    field3 = {sized, static_cast<std::size_t>(WriteNumberText(value, exact, sized) - sized)};
    field2 = "0";
  }
  const double rotation = ReadNumber(f[9]);
  const bool turned = rotation == 90.0 || rotation == 270.0;

  out = Put(out, "3 ");
  out = Put(out, field2);
  *out++ = ' ';
  out = Put(out, field3);
  *out++ = ' ';
  if (turned) {
    out = WriteScaledFields({f[4], f[5], f[7], f[6], f[8]}, decimal_point, out);
  } else {
    out = ScaledFields(f, 4, 8, decimal_point, out);
  }
  *out++ = ' ';
  out = Put(out, f[10]);
  if (f.count() == 11) {
    *out++ = ' ';
    out = Put(out, f[11]);
  }
  return out;
}

// `field` moved by `step`: 1 by minus half of `size`, 2 by minus `size`,
// 3 by a fixed amount, written as a number text at `out`.
char* Shifted(std::string_view field, int step, std::string_view size, char* out) {
  constexpr double kFixedShift = 0.03332;
  // Short decimals, the common case, are read once and also summed exactly,
  // which gives the text without formatting a double.
  ExactDecimal a;
  ExactDecimal b;
  const bool exact_a = ParseShortDecimal(field, a);
  const double value = exact_a ? ExactValue(a) : ReadNumber(field);
  bool exact_b = true;
  double shifted;
  if (step == 3) {
    b = {true, false, 3332, 5};
    shifted = Checked(value + kFixedShift);
  } else {
    exact_b = ParseShortDecimal(size, b);
    const double amount = exact_b ? ExactValue(b) : ReadNumber(size);
    shifted = Checked(step == 1 ? value - amount / 2.0 : value - amount);
  }
  ExactDecimal exact;
  constexpr std::uint64_t kSmall = 100'000'000'000;  // times 10^7 still fits
  if (exact_a && exact_b && a.digits < kSmall && b.digits < kSmall && a.fraction <= 6 &&
      b.fraction <= 6) {
    // Both at 10^fraction, with one more place for a half.
    const int fraction = std::max(a.fraction, b.fraction) + (step == 1 ? 1 : 0);
    auto scaled = [fraction](const ExactDecimal& d) {
      std::int64_t v = static_cast<std::int64_t>(d.digits);
      for (int i = d.fraction; i < fraction; ++i)
        v *= 10;
      return d.negative ? -v : v;
    };
    const std::int64_t sum = step == 1   ? scaled(a) - scaled(b) / 2
                             : step == 2 ? scaled(a) - scaled(b)
                                         : scaled(a) + scaled(b);
    exact = {true, sum < 0, static_cast<std::uint64_t>(sum < 0 ? -sum : sum), fraction};
  }
  return WriteNumberText(shifted, exact, out);
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

// The text record: anchoring folded into the text position.  The anchor
// code's remainder by 4 shifts the x position (field 4) by the text's width
// (field 6), its quotient shifts the y position (field 5) by its height
// (field 3).  The anchor code (field 8) and field 9 are dropped.
char* Record4(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  const double anchor = ReadNumber(f[8]);
  std::string_view field4 = f[4];
  std::string_view field5 = f[5];
  char text4[64];
  char text5[64];
  bool shifted = false;
  if (anchor == std::floor(anchor) && anchor >= 0.0 && anchor <= 15.0) {
    const int code = static_cast<int>(anchor);
    if (code % 4 != 0) {
      field4 = {text4, static_cast<std::size_t>(Shifted(f[4], code % 4, f[6], text4) - text4)};
      shifted = true;
    }
    if (code / 4 != 0) {
      field5 = {text5, static_cast<std::size_t>(Shifted(f[5], code / 4, f[3], text5) - text5)};
      shifted = true;
    }
  }

  out = Put(out, Prefix(line, 4));
  *out++ = ' ';
  if (shifted) {
    out = WriteScaledFields({f[3], field4, field5, f[6]}, decimal_point, out);
  } else {
    out = ScaledFields(f, 3, 6, decimal_point, out);
  }
  *out++ = ' ';
  out = WriteRad(f[7], 32768.0f, out);
  *out++ = ' ';
  return FieldsFromAndTrim(10, f, out);
}

char* Record6(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = Put(out, Prefix(line, 4));
  *out++ = ' ';
  out = WriteRad(f[3], 128.0f, out);
  *out++ = ' ';
  out = ScaledFields(f, 4, 7, decimal_point, out);
  *out++ = ' ';
  return FieldsFromAndTrim(8, f, out);
}

}  // namespace

char* NumericRecord(std::string_view line, bool decimal_point, char* out) {
  switch (line.front()) {
    case '0':
      return PrefixAndList(line, 6, decimal_point, out);
    case '1':
      return PrefixAndList(line, 4, decimal_point, out);
    default:
      break;
  }
  const FieldTable fields(line);
  switch (line.front()) {
    case '2':
      return Record2(line, fields, decimal_point, out);
    case '3':
      return Record3(fields, decimal_point, out);
    case '4':
      return Record4(line, fields, decimal_point, out);
    default:  // '6'
      return Record6(line, fields, decimal_point, out);
  }
}

}  // namespace tavrel::detail
