// Numeric records "0" to "6": coordinates scaled to thousandths, angles in
// units, pad rotation and text anchoring folded into the 3.5 fields.
#include <cmath>
#include <initializer_list>
#include <string>
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

// Fields joined by single blanks (an empty field still gives its blank) and
// scaled as one value list.
void AppendScaledFields(std::initializer_list<std::string_view> fields, bool decimal_point,
                        std::string& out) {
  thread_local std::string list;
  list.clear();
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) list += ' ';
    first = false;
    list += field;
  }
  AppendScaled(list, decimal_point, out);
}

// Records "0" and "1": a prefix of `width` characters, then one value list.
void PrefixAndList(std::string_view line, std::size_t width, bool decimal_point, std::string& out) {
  if (line.size() < width) Raise(err::kInvalidArgument);
  out += Prefix(line, width);
  out += ' ';
  AppendScaled(TrimBlanks(line.substr(width)), decimal_point, out);
}

void Record2(std::string_view line, const FieldTable& f, bool decimal_point, std::string& out) {
  out += Prefix(line, 4);
  out += ' ';
  AppendScaledFields({f[3], f[4], f[5], f[6]}, decimal_point, out);
  out += ' ';
  AppendRad(f[7], 256.0f, out);
  out += ' ';
  AppendRad(f[8], 256.0f, out);
  out += ' ';
  AppendIntegerText(Checked(std::floor(ReadNumber(f[9]) * 256.0)), out);
  out += ' ';
  AppendRad(f[10], 256.0f, out);
}

// The pad record.  A pad without size in field 3 takes 16 times field 2 there;
// at 90 and 270 degrees (field 9) its two sizes in fields 6 and 7 change place.
void Record3(const FieldTable& f, bool decimal_point, std::string& out) {
  std::string_view field2 = f[2];
  std::string_view field3 = f[3];
  std::string sized;
  if (ReadNumber(field3) == 0.0) {
    sized = NumberText(Checked(ReadNumber(field2) * 16.0));
    field3 = sized;
    field2 = "0";
  }
  std::string_view field6 = f[6];
  std::string_view field7 = f[7];
  const double rotation = ReadNumber(f[9]);
  if (rotation == 90.0 || rotation == 270.0) std::swap(field6, field7);

  out += "3 ";
  out += field2;
  out += ' ';
  out += field3;
  out += ' ';
  AppendScaledFields({f[4], f[5], field6, field7, f[8]}, decimal_point, out);
  out += ' ';
  out += f[10];
  if (f.count() == 11) {
    out += ' ';
    out += f[11];
  }
}

// Anchoring folded into the text position: the anchor code's remainder by 4
// shifts the x position (field 4) by the text's width (field 6), its quotient
// shifts the y position (field 5) by its height (field 3).
void ShiftToBottomLeft(double anchor, const FieldTable& f, std::string& field4,
                       std::string& field5) {
  if (anchor != std::floor(anchor) || anchor < 0.0 || anchor > 15.0) return;
  constexpr double kFixedShift = 0.03332;
  const int code = static_cast<int>(anchor);
  // Step 1 moves by half the size, 2 by the whole size, 3 by a fixed amount.
  auto shifted = [](std::string_view field, int step, std::string_view size) -> std::string {
    const double value = ReadNumber(field);
    switch (step) {
      case 1:
        return NumberText(Checked(value - ReadNumber(size) / 2.0));
      case 2:
        return NumberText(Checked(value - ReadNumber(size)));
      default:
        return NumberText(Checked(value + kFixedShift));
    }
  };
  if (code % 4 != 0) field4 = shifted(f[4], code % 4, f[6]);
  if (code / 4 != 0) field5 = shifted(f[5], code / 4, f[3]);
}

// Fields `first` to the field count, each followed by a blank; then the
// blanks at the end of the whole result are removed (its start is a prefix
// that begins with the record type).
void AppendFieldsFromAndTrim(int first, const FieldTable& f, std::string& out) {
  for (int k = first; k <= f.count(); ++k) {
    out += f[k];
    out += ' ';
  }
  out.erase(out.find_last_not_of(' ') + 1);
}

// The text record: anchor code (field 8) and field 9 are dropped.
void Record4(std::string_view line, const FieldTable& f, bool decimal_point, std::string& out) {
  std::string field4(f[4]);
  std::string field5(f[5]);
  ShiftToBottomLeft(ReadNumber(f[8]), f, field4, field5);

  out += Prefix(line, 4);
  out += ' ';
  AppendScaledFields({f[3], field4, field5, f[6]}, decimal_point, out);
  out += ' ';
  AppendRad(f[7], 32768.0f, out);
  out += ' ';
  AppendFieldsFromAndTrim(10, f, out);
}

void Record6(std::string_view line, const FieldTable& f, bool decimal_point, std::string& out) {
  out += Prefix(line, 4);
  out += ' ';
  AppendRad(f[3], 128.0f, out);
  out += ' ';
  AppendScaledFields({f[4], f[5], f[6], f[7]}, decimal_point, out);
  out += ' ';
  AppendFieldsFromAndTrim(8, f, out);
}

}  // namespace

void NumericRecord(std::string_view line, const FieldTable& fields, bool decimal_point,
                   std::string& out) {
  switch (line.front()) {
    case '0':
      return PrefixAndList(line, 6, decimal_point, out);
    case '1':
      return PrefixAndList(line, 4, decimal_point, out);
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
