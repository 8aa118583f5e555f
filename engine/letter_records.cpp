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

// The first three bytes of `text` (at least three) as a whole number, the
// first in the lowest byte.
constexpr std::uint32_t KeyOf(std::string_view text) {
  return std::uint32_t{static_cast<unsigned char>(text[0])} |
         std::uint32_t{static_cast<unsigned char>(text[1])} << 8 |
         std::uint32_t{static_cast<unsigned char>(text[2])} << 16;
}

constexpr std::array<std::uint32_t, kOptions.size()> kKeys = [] {
  std::array<std::uint32_t, kOptions.size()> keys{};
  for (std::size_t i = 0; i < kOptions.size(); ++i)
    keys[i] = KeyOf(kOptions[i].key);
  return keys;
}();

// The option whose key begins `line`, nullptr for none: three bytes
// compared at once with each key.
const Option* FindOption(std::string_view line) {
  if (line.size() < 3 || line[0] != '-') return nullptr;
  const std::uint32_t key = KeyOf(line);
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (kKeys[i] == key) return &kOptions[i];
  }
  return nullptr;
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
