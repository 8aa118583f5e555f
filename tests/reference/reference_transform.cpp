// The line transformer as it was before it wrote straight into the output
// buffer: kept unchanged as the reference that the engine's transformer is
// compared with, line by line (differential tests and fuzz target).  It uses
// only the engine's public helpers (ReadNumber, NumberText, Ega).
#include "reference_transform.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace tavrel::reference {

namespace {

bool IsSkipped(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Leading and trailing blanks (only " ") removed; tabs stay.
std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

// A piece of a line, like a string_view but left uninitialised in arrays:
// a line splits into at most 100 of them, most of them never used.
struct TextRun {
  TextRun() = default;
  TextRun(std::string_view text) : data(text.data()), size(text.size()) {}
  operator std::string_view() const { return {data, size}; }
  const char* data;
  std::size_t size;
};

// Splits `text` into runs the way the line transformer does it: each
// character goes to the current item; when the next character is a separator,
// the item ends and that separator is dropped (so of two separators in a row
// the second begins the next item, and a separator at the end opens one more,
// empty item).  `items` is numbered from 1 and holds `max` + 1 entries; an
// item past `max` is never stored.  Returns the number of the last item
// (max + 1 when a separator ends the text after item max).  Error 9 when a
// character would go into item max + 1.  `last_separator` receives the
// separator that ended an item last (unchanged when none did).
// Splits `text` into runs separated by `a` or `b` (the same character twice
// for one separator).
template <typename Item>
int SplitRuns(std::string_view text, char a, char b, Item* items, int max, char* last_separator) {
  int current = 1;
  std::size_t start = 0;
  const std::size_t size = text.size();
  while (start < size) {
    if (current > max) Raise(err::kSubscript);
    // The item's first character is always its own, even a separator.
    std::size_t end = start + 1;
    while (end < size && text[end] != a && text[end] != b)
      ++end;
    items[current] = text.substr(start, end - start);
    if (end == size) return current;
    *last_separator = text[end];
    ++current;
    start = end + 1;  // the separator is dropped
  }
  // An empty text, or an empty item opened by a separator at the end.
  if (current <= max) items[current] = {};
  return current;
}

// The up to 100 blank-separated fields of a numeric record, numbered from 1.
// Fields are views into the line: a field is always a run of its characters.
class FieldTable {
 public:
  static constexpr int kMaxFields = 100;

  // Splits `line`.  Error 9 when a character would go into field 101.
  explicit FieldTable(std::string_view line);

  // Field n (1-based); empty past the last field.  Error 9 beyond 100.
  std::string_view operator[](int n) const {
    if (n < 1 || n > kMaxFields) Raise(err::kSubscript);
    return n <= count_ ? std::string_view(fields_[n]) : std::string_view();
  }
  // The field count: the number of the last field, 101 when a blank follows
  // the 100th field at the end of the line.
  int count() const { return count_; }

 private:
  TextRun fields_[kMaxFields + 1];
  int count_ = 1;
};

FieldTable::FieldTable(std::string_view line) {
  char separator = ' ';
  count_ = SplitRuns(line, ' ', ' ', fields_, kMaxFields, &separator);
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
  AppendIntegerText(decimal_point ? std::floor(rounded) : std::trunc(rounded), out);
}

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

enum class Kind {
  kFixed,   // the fixed text
  kFourth,  // chosen by the line's fourth character
  kBanner,  // the banner line
  kScaled,  // the fixed text followed by the rest of the line scaled
};

struct Option {
  std::string_view key;
  Kind kind;
  std::string_view text;
  // kFourth: the fourth characters and their texts.
  std::array<std::pair<char, std::string_view>, 2> cases{};
};

// Tried in this order; the first equal key decides.  Several 3.5 lines are
// joined by CR LF, none after the last.
constexpr std::array<Option, 15> kOptions = {{
    {"-gz", Kind::kFixed, "-gz0,0"},
    {"-gd", Kind::kFixed, "-gd100"},
    {"-gm", Kind::kFixed, "-gm3,2,3,1"},
    {"-gc", Kind::kFixed, "-nc0,0,0,0,0,39"},
    {"-gs", Kind::kFixed, "-gr3,35,5,10,25"},
    {"-gp", Kind::kFixed, "-hp2223440000000000\r\n-hs1.0000,0,0,0,0,0,0,0,0\r\n-hm0,0,0,3"},
    {"-it", Kind::kFixed, "-t60"},
    {"-iv", Kind::kFourth, {}, {{{'2', "-p40v0,2"}, {'0', "-p50v28,0"}}}},
    {"-ip", Kind::kFourth, {}, {{{'0', "-p10z0,0"}, {'1', "-p60r20,0"}}}},
    {"-ix", Kind::kFixed, "-nr0\r\n-nh3"},
    {"-il", Kind::kFixed, "-l10"},
    {"-gt", Kind::kBanner, {}},
    {"-ga", Kind::kBanner, {}},
    {"-gx", Kind::kScaled, "-m"},
    {"-dp", Kind::kScaled, "-dp"},
}};

bool OptionLine(std::string_view line, bool decimal_point, std::string& out) {
  const std::string_view key = line.substr(0, 3);
  for (const Option& option : kOptions) {
    if (option.key != key) continue;
    switch (option.kind) {
      case Kind::kFixed:
        out += option.text;
        return true;
      case Kind::kBanner:
        out += kBannerLine;
        return true;
      case Kind::kScaled:
        out += option.text;
        AppendScaled(line.substr(3), decimal_point, out);
        return true;
      case Kind::kFourth:
        if (line.size() < 4) return false;
        for (const auto& [fourth, text] : option.cases) {
          if (line[3] == fourth) {
            out += text;
            return true;
          }
        }
        return false;  // any other fourth character: the line as it was
    }
  }
  return false;
}

constexpr int kSymbolsBright = -1;  // "Symbols": 14 when the colour is not black, else 7

// Layers whose colour number is fixed by their name (exact case).
constexpr std::array<std::pair<std::string_view, int>, 20> kLayerColours = {{
    {"Master", 2},       {"Symbols", kSymbolsBright},
    {"Pin numbers", 7},  {"Top Silk", 7},
    {"Signals", 1},      {"Bottom Copper", 1},
    {"Busses", 4},       {"Top Copper", 4},
    {"Pin names", 8},    {"Pin dots", 8},
    {"Pad Master", 5},   {"Gnd", 9},
    {"GND", 9},          {"Mid Layer 1", 9},
    {"Vcc", 12},         {"VCC", 12},
    {"Mid Layer 4", 12}, {"Mid Layer 2", 10},
    {"Mid Layer 3", 11}, {"Ratnest", 14},
}};

// Characters from index `from` (0-based), at most `count`, none past the end.
std::string_view At(std::string_view line, std::size_t from, std::size_t count) {
  if (from >= line.size()) return {};
  return line.substr(from, count);
}

int ColourNumber(std::string_view name, std::string_view colour) {
  for (const auto& [layer, number] : kLayerColours) {
    if (layer != name) continue;
    if (number != kSymbolsBright) return number;
    return Ega(std::string(colour)) > 0 ? 14 : 7;
  }
  return Ega(std::string(colour));
}

void LayerLine(std::string_view line, std::string& out) {
  // Positions are counted from the first colon, except the fixed column 22
  // that decides where the short field starts.
  const std::size_t colon = line.find(':');
  const std::string_view prefix = line.substr(0, colon + 1);
  const std::string_view flag = At(line, colon + 2, 1);
  const std::string_view colour = At(line, colon + 3, 6);

  const std::size_t last_comma = line.rfind(',');
  const std::string_view name =
      last_comma == std::string_view::npos ? std::string_view() : line.substr(last_comma + 1);

  const int number = flag == "1" ? 0 : ColourNumber(name, colour);

  std::string_view short_field = At(line, 21, 1) == "," ? At(line, 22, 2) : At(line, 23, 2);
  if (short_field.ends_with(',')) short_field = short_field.substr(0, 1);

  out += prefix;
  out += std::to_string(number);
  out += ',';
  out += short_field;
  out += ',';
  out += name;
}

bool IsNumericType(char c) {
  return std::string_view("012346").find(c) != std::string_view::npos;
}

}  // namespace

std::string Trasforma(std::string& riga, const NumberSettings& numbers) {
  const bool decimal_point = numbers.decimal == ".";
  std::string out;
  if (riga.starts_with("-y255")) riga.replace(0, 5, "-y15");
  if (!riga.empty() && IsNumericType(riga[0])) {
    const FieldTable fields(riga);
    NumericRecord(riga, fields, decimal_point, out);
  } else if (riga.empty() || std::string_view("SILGCPTA").find(riga[0]) != std::string_view::npos) {
    out += kBannerLine;
  } else if (!OptionLine(riga, decimal_point, out)) {
    if (riga.starts_with("-y") && riga.find(':') != std::string::npos) {
      LayerLine(riga, out);
    } else {
      out += riga;
    }
  }
  return out;
}

}  // namespace tavrel::reference
