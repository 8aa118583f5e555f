// Build tool, run on the build machine: writes the program's pictures as
// 16-colour Windows icon files for the resource compiler.
//   make_icons FOLDER
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "pictures.h"

namespace {

using Xpm = const char* const*;

// The classic 16-colour palette, in the order of its numbers.
constexpr std::array<std::uint32_t, 16> kPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

struct Picture {
  int width = 0, height = 0;
  std::vector<int> pixels;  // palette index, -1 transparent; top row first
};

Picture Read(Xpm xpm) {
  Picture picture;
  int colours = 0, depth = 0;
  std::sscanf(xpm[0], "%d %d %d %d", &picture.width, &picture.height, &colours, &depth);
  std::map<char, int> index;
  for (int i = 1; i <= colours; ++i) {
    const std::string line = xpm[i];
    const std::string value = line.substr(line.rfind(' ') + 1);
    if (value == "None") {
      index[line[0]] = -1;
      continue;
    }
    const auto rgb = static_cast<std::uint32_t>(std::stoul(value.substr(1), nullptr, 16));
    int found = 0;
    for (int c = 0; c < 16; ++c)
      if (kPalette[c] == rgb) found = c;
    index[line[0]] = found;
  }
  for (int y = 0; y < picture.height; ++y)
    for (int x = 0; x < picture.width; ++x)
      picture.pixels.push_back(index[xpm[1 + colours + y][x]]);
  return picture;
}

void Put16(std::string& out, unsigned value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// One icon image: the header, the palette, the colour rows and the mask
// rows, bottom row first, each row filled to four bytes.
std::string Image(const Picture& picture) {
  const int colour_row = ((picture.width * 4 + 31) / 32) * 4;
  const int mask_row = ((picture.width + 31) / 32) * 4;
  std::string out;
  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(picture.width));
  Put32(out, static_cast<std::uint32_t>(picture.height * 2));
  Put16(out, 1);
  Put16(out, 4);
  Put32(out, 0);
  Put32(out, static_cast<std::uint32_t>((colour_row + mask_row) * picture.height));
  for (int i = 0; i < 4; ++i)
    Put32(out, 0);
  for (const std::uint32_t rgb : kPalette)
    Put32(out, rgb);  // B G R 0 in bytes
  std::string colours, mask;
  for (int y = picture.height - 1; y >= 0; --y) {
    std::string row(static_cast<std::size_t>(colour_row), '\0');
    std::string bits(static_cast<std::size_t>(mask_row), '\0');
    for (int x = 0; x < picture.width; ++x) {
      const int pixel = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
      const int value = pixel < 0 ? 0 : pixel;
      row[static_cast<std::size_t>(x / 2)] |= static_cast<char>(x % 2 == 0 ? value << 4 : value);
      if (pixel < 0) bits[static_cast<std::size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
    }
    colours += row;
    mask += bits;
  }
  return out + colours + mask;
}

bool Write(const std::string& path, std::vector<Xpm> xpms) {
  std::string head, images;
  Put16(head, 0);
  Put16(head, 1);
  Put16(head, static_cast<unsigned>(xpms.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(xpms.size());
  for (const Xpm xpm : xpms) {
    const Picture picture = Read(xpm);
    const std::string image = Image(picture);
    head += static_cast<char>(picture.width);
    head += static_cast<char>(picture.height);
    head += static_cast<char>(16);
    head += '\0';
    Put16(head, 1);
    Put16(head, 4);
    Put32(head, static_cast<std::uint32_t>(image.size()));
    Put32(head, offset);
    offset += static_cast<std::uint32_t>(image.size());
    images += image;
  }
  std::ofstream file(path, std::ios::binary);
  file << head << images;
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  using namespace tavrel::form::pictures;
  const std::string folder = argv[1];
  const bool ok = Write(folder + "/tavrel.ico", {kWindowIcon32, kWindowIcon16}) &&
                  Write(folder + "/fennok.ico", {kFennokIcon32}) &&
                  Write(folder + "/drive.ico", {kDriveIcon16}) &&
                  Write(folder + "/folder_closed.ico", {kFolderClosed13}) &&
                  Write(folder + "/folder_open.ico", {kFolderOpen13});
  return ok ? 0 : 1;
}
