// Layer lines: "-yN:" definitions rebuilt with a 16-colour number.
#include <array>
#include <string>
#include <string_view>
#include <utility>

#include "internal.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

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

}  // namespace

char* LayerMiddle(std::string_view head, std::string_view flag, std::string_view colour,
                  std::string_view name, char* out) {
  const int number = flag == "1" ? 0 : ColourNumber(name, colour);
  // The fixed column 22 decides where the short field starts.
  std::string_view short_field = At(head, 21, 1) == "," ? At(head, 22, 2) : At(head, 23, 2);
  if (short_field.ends_with(',')) short_field = short_field.substr(0, 1);
  if (number >= 10) *out++ = '1';
  *out++ = static_cast<char>('0' + number % 10);
  *out++ = ',';
  out = Put(out, short_field);
  *out++ = ',';
  return out;
}

char* LayerLine(std::string_view line, char* out) {
  // Positions are counted from the first colon.
  const std::size_t colon = line.find(':');
  const std::size_t last_comma = line.rfind(',');
  const std::string_view name =
      last_comma == std::string_view::npos ? std::string_view() : line.substr(last_comma + 1);
  out = Put(out, line.substr(0, colon + 1));
  out = LayerMiddle(line, At(line, colon + 2, 1), At(line, colon + 3, 6), name, out);
  return Put(out, name);
}

}  // namespace tavrel::detail
