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

// Fields joined by single blanks, an empty field still giving its blank.
std::string Joined(std::initializer_list<std::string_view> fields) {
  std::string list;
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) list += ' ';
    first = false;
    list += field;
  }
  return list;
}

// Records "0" and "1": a prefix of `width` characters, then one value list.
std::string PrefixAndList(std::string_view line, std::size_t width, const NumberSettings& numbers) {
  if (line.size() < width) Raise(err::kInvalidArgument);
  std::string result(Prefix(line, width));
  result += ' ';
  result += Moltiplica(std::string(TrimBlanks(line.substr(width))), numbers);
  return result;
}

std::string Record2(std::string_view line, const FieldTable& f, const NumberSettings& numbers) {
  std::string result(Prefix(line, 4));
  result += ' ';
  result += Moltiplica(Joined({f[3], f[4], f[5], f[6]}), numbers);
  result += ' ';
  result += Rad(std::string(f[7]), 256.0f);
  result += ' ';
  result += Rad(std::string(f[8]), 256.0f);
  result += ' ';
  result += IntegerText(Checked(std::floor(ReadNumber(f[9]) * 256.0)));
  result += ' ';
  result += Rad(std::string(f[10]), 256.0f);
  return result;
}

// The pad record.  A pad without size in field 3 takes 16 times field 2 there;
// at 90 and 270 degrees (field 9) its two sizes in fields 6 and 7 change place.
std::string Record3(const FieldTable& f, const NumberSettings& numbers) {
  std::string field2(f[2]);
  std::string field3(f[3]);
  if (ReadNumber(field3) == 0.0) {
    field3 = NumberText(Checked(ReadNumber(field2) * 16.0));
    field2 = "0";
  }
  std::string_view field6 = f[6];
  std::string_view field7 = f[7];
  const double rotation = ReadNumber(f[9]);
  if (rotation == 90.0 || rotation == 270.0) std::swap(field6, field7);

  std::string result = "3 ";
  result += field2;
  result += ' ';
  result += field3;
  result += ' ';
  result += Moltiplica(Joined({f[4], f[5], field6, field7, f[8]}), numbers);
  result += ' ';
  result += f[10];
  if (f.count() == 11) {
    result += ' ';
    result += f[11];
  }
  return result;
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

// Fields `first` to the field count, each followed by a blank.
void AppendFieldsFrom(int first, const FieldTable& f, std::string& result) {
  for (int k = first; k <= f.count(); ++k) {
    result += f[k];
    result += ' ';
  }
}

// The text record: anchor code (field 8) and field 9 are dropped.
std::string Record4(std::string_view line, const FieldTable& f, const NumberSettings& numbers) {
  std::string field4(f[4]);
  std::string field5(f[5]);
  ShiftToBottomLeft(ReadNumber(f[8]), f, field4, field5);

  std::string result(Prefix(line, 4));
  result += ' ';
  result += Moltiplica(Joined({f[3], field4, field5, f[6]}), numbers);
  result += ' ';
  result += Rad(std::string(f[7]), 32768.0f);
  result += ' ';
  AppendFieldsFrom(10, f, result);
  return std::string(TrimBlanks(result));
}

std::string Record6(std::string_view line, const FieldTable& f, const NumberSettings& numbers) {
  std::string result(Prefix(line, 4));
  result += ' ';
  result += Rad(std::string(f[3]), 128.0f);
  result += ' ';
  result += Moltiplica(Joined({f[4], f[5], f[6], f[7]}), numbers);
  result += ' ';
  AppendFieldsFrom(8, f, result);
  return std::string(TrimBlanks(result));
}

}  // namespace

std::string NumericRecord(std::string_view line, const FieldTable& fields,
                          const NumberSettings& numbers) {
  switch (line.front()) {
    case '0':
      return PrefixAndList(line, 6, numbers);
    case '1':
      return PrefixAndList(line, 4, numbers);
    case '2':
      return Record2(line, fields, numbers);
    case '3':
      return Record3(fields, numbers);
    case '4':
      return Record4(line, fields, numbers);
    default:  // '6'
      return Record6(line, fields, numbers);
  }
}

}  // namespace tavrel::detail
