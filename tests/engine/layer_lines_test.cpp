#include <gtest/gtest.h>

#include <string>

#include "tavrel.h"
#include "test_util.h"

namespace tavrel {
namespace {

TEST(LayerLines, PrefixColourShortFieldAndName) {
  const struct {
    const char* line;
    const char* result;
  } cases[] = {
      // Comma at 22: the short field starts at 23 and stops before a comma.
      {"-y1:00FF0000,0,0,0,00,3,Top Copper", "-y1:4,3,Top Copper"},
      // No comma at 22: two characters from 24; FF0000 converts to 5.
      {"-y12:00FF0000,0,0,0,00,12,Foo", "-y12:5,12,Foo"},
      // The flag character 1 wins over the name.
      {"-y1:01FF0000,0,0,0,00,3,Ratnest", "-y1:0,3,Ratnest"},
      {"-y1:00FF0000,0,0,0,00,3,Ratnest", "-y1:14,3,Ratnest"},
      // A colon but no comma, shorter than 22 characters.
      {"-y7:00C0C0C0", "-y7:11,,"},
      {"-y255:00FFFFFF,0,0,0,00,9,Top Silk", "-y15:7,9,Top Silk"},
      {"-y3:", "-y3:0,,"},
      {"-y3:0", "-y3:0,,"},
      {"-y:00FFFFFF", "-y:15,,"},
      // The prefix runs to the first colon; the name from the last comma.
      {"-y2:00000000,a:b,0,0,00,1,x,Vcc", "-y2:12,,1,Vcc"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Transformed(c.line), c.result) << c.line;
  // The last comma as the last byte of lines of 63 to 65 bytes, and a name
  // of 1 to 3 bytes after it.
  for (std::size_t size = 63; size <= 65; ++size) {
    const std::string head = "-y6:00FF0000,0,0,0,00,3,";
    const std::string line = head + std::string(size - head.size() - 1, 'n') + ",";
    EXPECT_EQ(Transformed(line), "-y6:5,3,") << size;
    EXPECT_EQ(Transformed(line + std::string(size - 62, 'N')),
              "-y6:5,3," + std::string(size - 62, 'N'))
        << size;
  }
}

TEST(LayerLines, FixedColoursByExactName) {
  const struct {
    const char* name;
    int colour;
  } names[] = {
      {"Master", 2},
      {"Pin numbers", 7},
      {"Top Silk", 7},
      {"Signals", 1},
      {"Bottom Copper", 1},
      {"Busses", 4},
      {"Top Copper", 4},
      {"Pin names", 8},
      {"Pin dots", 8},
      {"Pad Master", 5},
      {"Gnd", 9},
      {"GND", 9},
      {"Mid Layer 1", 9},
      {"Vcc", 12},
      {"VCC", 12},
      {"Mid Layer 4", 12},
      {"Mid Layer 2", 10},
      {"Mid Layer 3", 11},
      {"Ratnest", 14},
      // Other spellings take the colour's own number (00FF00: 5).
      {"gnd", 5},
      {"Top copper", 5},
      {"Top Copper ", 5},
      {"", 5},
      // A layer's name with one byte changed anywhere, or more bytes.
      {"GN", 5},
      {"Vcc1", 5},
      {"Pin dotz", 5},
      {"Pin Names", 5},
      {"Mid Layer 5", 5},
      {"Mid Lxyer 1", 5},
      {"Bottom Coppe", 5},
      {"Bottom CopperXYZ", 5},
      {"Bottom Copper XYZ", 5},
  };
  for (const auto& n : names) {
    const std::string line = std::string("-y4:0000FF00,0,0,0,00,3,") + n.name;
    EXPECT_EQ(Transformed(line), "-y4:" + std::to_string(n.colour) + ",3," + n.name) << n.name;
  }
}

TEST(LayerLines, SymbolsIsBrightUnlessItsColourIsDark) {
  EXPECT_EQ(Transformed("-y5:00808080,0,0,0,00,2,Symbols"), "-y5:14,2,Symbols");
  EXPECT_EQ(Transformed("-y5:00101010,0,0,0,00,2,Symbols"), "-y5:7,2,Symbols");
  EXPECT_EQ(Transformed("-y5:00000000,0,0,0,00,2,Symbols"), "-y5:7,2,Symbols");
}

TEST(LayerLines, WithoutColonComesBackAsRewritten) {
  EXPECT_EQ(Transformed("-y1 00FF0000,Top Copper"), "-y1 00FF0000,Top Copper");
  EXPECT_EQ(Transformed("-y255,Top Copper"), "-y15,Top Copper");
}

}  // namespace
}  // namespace tavrel
