// Layer lines: "-yN:" definitions rebuilt with a 16-colour number.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <type_traits>
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

// `count` bytes of `text` from `from` on as a number, the first the lowest.
constexpr std::uint64_t Bytes(std::string_view text, std::size_t from, std::size_t count) {
  if (!std::is_constant_evaluated() && std::endian::native == std::endian::little) {
    if (count == 8) {
      std::uint64_t bytes;
      std::memcpy(&bytes, text.data() + from, 8);
      return bytes;
    }
    if (count == 4) {
      std::uint32_t bytes;
      std::memcpy(&bytes, text.data() + from, 4);
      return bytes;
    }
  }
  std::uint64_t bytes = 0;
  for (std::size_t i = 0; i < count; ++i)
    bytes |= std::uint64_t{static_cast<unsigned char>(text[from + i])} << (8 * i);
  return bytes;
}

// A name of up to 16 bytes whole in two numbers and its length: the first
// and the last eight bytes (four of a shorter one), which overlap, read
// without a byte past the name.
struct NameKey {
  std::uint64_t head = 0;
  std::uint64_t tail = 0;
  std::size_t size = 0;
  constexpr bool operator==(const NameKey&) const = default;
};
constexpr NameKey KeyOf(std::string_view name) {
  const std::size_t size = name.size();
  if (size >= 8) return {Bytes(name, 0, 8), Bytes(name, size - 8, 8), size};
  if (size >= 4) return {Bytes(name, 0, 4), Bytes(name, size - 4, 4), size};
  return {Bytes(name, 0, size), 0, size};
}

constexpr std::array<NameKey, kLayerColours.size()> kLayerKeys = [] {
  std::array<NameKey, kLayerColours.size()> keys{};
  for (std::size_t i = 0; i < keys.size(); ++i)
    keys[i] = KeyOf(kLayerColours[i].first);
  return keys;
}();

// The place of a name's key among 32: one multiplication, which sets the
// names of kLayerColours apart (kLayerSlots checks it).
constexpr std::size_t SlotOf(const NameKey& key) {
  return static_cast<std::size_t>(((key.head + 3 * key.tail) * 0xdabdd856c06724f3) >> 59);
}

// Of each place, the index of the name in kLayerColours that has it, or -1.
constexpr auto kLayerSlots = [] {
  std::array<int, 32> slots{};
  slots.fill(-1);
  for (std::size_t i = 0; i < kLayerKeys.size(); ++i) {
    int& slot = slots[SlotOf(kLayerKeys[i])];
    if (slot >= 0) throw "two names in one place";
    slot = static_cast<int>(i);
  }
  return slots;
}();

int ColourNumber(std::string_view name, std::string_view colour) {
  // The names are of 3 to 13 bytes: a longer one is none of them.
  if (name.size() <= 16) {
    const NameKey key = KeyOf(name);
    if (const int i = kLayerSlots[SlotOf(key)]; i >= 0 && kLayerKeys[i] == key) {
      const int number = kLayerColours[static_cast<std::size_t>(i)].second;
      if (number != kSymbolsBright) return number;
      return EgaOf(colour) > 0 ? 14 : 7;
    }
  }
  return EgaOf(colour);
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
  // Positions are counted from the first colon.  A line of up to 64 bytes,
  // the usual, looked at in one mask for each.
  std::size_t colon;
  std::size_t last_comma;
  if (line.size() <= 64) {
    const std::uint64_t colons = BytesEqual(line.data(), 0, line.size(), ':');
    const std::uint64_t commas = BytesEqual(line.data(), 0, line.size(), ',');
    colon = colons != 0 ? LowestSet(colons) : std::string_view::npos;
    last_comma = commas != 0 ? static_cast<std::size_t>(63 - std::countl_zero(commas))
                             : std::string_view::npos;
  } else {
    colon = line.find(':');
    last_comma = line.rfind(',');
  }
  const std::string_view name =
      last_comma == std::string_view::npos ? std::string_view() : line.substr(last_comma + 1);
  out = Put(out, line.substr(0, colon + 1));
  out = LayerMiddle(line, At(line, colon + 2, 1), At(line, colon + 3, 6), name, out);
  return Put(out, name);
}

}  // namespace tavrel::detail
