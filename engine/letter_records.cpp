// Letter records and option lines: what 3.5 lacks becomes the banner line,
// 4.0 options become their fixed 3.5 options.
#include <array>
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

}  // namespace

char* OptionLine(std::string_view line, bool decimal_point, char* out) {
  const std::string_view key = line.substr(0, 3);
  for (const Option& option : kOptions) {
    if (option.key != key) continue;
    switch (option.kind) {
      case Kind::kFixed:
        return Put(out, option.text);
      case Kind::kBanner:
        return Put(out, kBannerLine);
      case Kind::kScaled:
        return WriteScaled(line.substr(3), decimal_point, Put(out, option.text));
      case Kind::kFourth:
        if (line.size() < 4) return nullptr;
        for (const auto& [fourth, text] : option.cases) {
          if (line[3] == fourth) return Put(out, text);
        }
        return nullptr;  // any other fourth character: the line as it was
    }
  }
  return nullptr;
}

bool OptionReadsValues(std::string_view line) {
  const std::string_view key = line.substr(0, 3);
  for (const Option& option : kOptions) {
    if (option.key == key) return option.kind == Kind::kScaled;
  }
  return false;
}

}  // namespace detail
}  // namespace tavrel
