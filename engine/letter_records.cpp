// Letter records and option lines: what 3.5 lacks becomes the banner line,
// 4.0 options become their fixed 3.5 options.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {

// A comma starts the line, so the 3.5 program passes over it.
const std::string_view kBannerLine =
    ",Convertito con Tavrel Converter 1.1 (freeware) - www.tavrel-converter.example.org";

namespace detail {

namespace {

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

// The options by their key's second character ("g", "i" or "d") and the low
// five bits of its third: one slot each, 0 for none, else the option's
// index plus one.
constexpr int Group(char second) {
  return second == 'g' ? 0 : second == 'i' ? 1 : second == 'd' ? 2 : -1;
}
constexpr auto kSlots = [] {
  std::array<std::array<std::uint8_t, 32>, 3> slots{};
  for (std::size_t i = 0; i < kOptions.size(); ++i) {
    const std::string_view key = kOptions[i].key;
    auto& slot = slots[static_cast<std::size_t>(Group(key[1]))][key[2] & 0x1F];
    if (key[0] != '-' || Group(key[1]) < 0 || slot != 0) throw "two keys in one slot";
    slot = static_cast<std::uint8_t>(i + 1);
  }
  return slots;
}();

// The option whose key begins `line`, nullptr for none.
const Option* FindOption(std::string_view line) {
  if (line.size() < 3 || line[0] != '-') return nullptr;
  const int group = Group(line[1]);
  if (group < 0) return nullptr;
  const unsigned slot = kSlots[static_cast<std::size_t>(group)][line[2] & 0x1F];
  if (slot == 0) return nullptr;
  const Option& option = kOptions[slot - 1];
  return line[2] == option.key[2] ? &option : nullptr;
}

}  // namespace

char* OptionLine(std::string_view line, bool decimal_point, char* out) {
  const Option* const option = FindOption(line);
  if (option == nullptr) return nullptr;
  switch (option->kind) {
    case Kind::kFixed:
      return Put(out, option->text);
    case Kind::kBanner:
      return Put(out, kBannerLine);
    case Kind::kScaled:
      return WriteScaled(line.substr(3), decimal_point, Put(out, option->text));
    case Kind::kFourth:
      if (line.size() < 4) return nullptr;
      for (const auto& [fourth, text] : option->cases) {
        if (line[3] == fourth) return Put(out, text);
      }
      return nullptr;  // any other fourth character: the line as it was
  }
  return nullptr;
}

OptionLost OptionLoss(std::string_view line) {
  const Option* const option = FindOption(line);
  if (option == nullptr) return OptionLost::kNothing;
  switch (option->kind) {
    case Kind::kFixed:
      return OptionLost::kValues;
    case Kind::kBanner:
      return OptionLost::kLine;
    case Kind::kScaled:
      return OptionLost::kNothing;
    case Kind::kFourth:
      for (const auto& [fourth, text] : option->cases) {
        if (line.size() >= 4 && line[3] == fourth) return OptionLost::kValues;
      }
      return OptionLost::kNothing;
  }
  return OptionLost::kNothing;
}

bool OptionReadsValues(std::string_view line) {
  const Option* const option = FindOption(line);
  return option != nullptr && option->kind == Kind::kScaled;
}

}  // namespace detail
}  // namespace tavrel
