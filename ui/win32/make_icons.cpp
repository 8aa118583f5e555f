// Build tool, run on the build machine: writes the program's pictures as
// 16-colour Windows icon files for the resource compiler.  The program's
// icon holds the 16 and 32 pixel pictures and, for larger screens and high
// DPI, the same pictures scaled up pixel by pixel to 24, 48, 64 and 256
// pixels (from the 16 picture unless the size is a multiple of 32); the 256
// image is a PNG, as Windows wants it.
//   make_icons FOLDER
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <initializer_list>
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

// The picture `size` pixels square, each pixel taken from the one it covers
// (whole squares of pixels for a whole-number factor).
Picture Scaled(const Picture& picture, int size) {
  Picture scaled;
  scaled.width = scaled.height = size;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x)
      scaled.pixels.push_back(picture.pixels[static_cast<std::size_t>(
          y * picture.height / size * picture.width + x * picture.width / size)]);
  return scaled;
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

void PutBig32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out += static_cast<char>((value >> shift) & 0xFF);
}

std::uint32_t Crc32(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// Deflate with the fixed codes: literals, and copies of the same bytes one
// byte or one row back (which is all a picture scaled up by whole pixels
// repeats).
class Deflater {
 public:
  std::string Compress(const std::string& data, std::size_t row) {
    Bits(1, 1);  // the last block
    Bits(1, 2);  // fixed codes
    for (std::size_t i = 0; i < data.size();) {
      std::size_t best = 0, distance = 0;
      for (const std::size_t back : {row, std::size_t{1}}) {
        if (back > i) continue;
        std::size_t length = 0;
        while (length < 258 && i + length < data.size() &&
               data[i + length] == data[i + length - back])
          ++length;
        if (length > best) best = length, distance = back;
      }
      if (best >= 3) {
        Copy(best, distance);
        i += best;
      } else {
        Symbol(static_cast<unsigned char>(data[i++]));
      }
    }
    Symbol(256);
    if (count_ > 0) out_ += static_cast<char>(buffer_);
    return out_;
  }

 private:
  void Bits(std::uint32_t value, int count) {  // least significant bit first
    for (int i = 0; i < count; ++i) {
      buffer_ |= ((value >> i) & 1) << count_;
      if (++count_ == 8) {
        out_ += static_cast<char>(buffer_);
        buffer_ = 0;
        count_ = 0;
      }
    }
  }
  void Code(std::uint32_t code, int count) {  // a Huffman code, most significant bit first
    for (int i = count - 1; i >= 0; --i)
      Bits((code >> i) & 1, 1);
  }
  void Symbol(int symbol) {
    if (symbol < 144)
      Code(0x30 + symbol, 8);
    else if (symbol < 256)
      Code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
      Code(symbol - 256, 7);
    else
      Code(0xC0 + symbol - 280, 8);
  }
  void Copy(std::size_t length, std::size_t distance) {
    static constexpr int kLengthBase[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                          15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                          67, 83, 99, 115, 131, 163, 195, 227, 258};
    static constexpr int kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                           2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static constexpr int kDistanceBase[] = {
        1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int code = 28;
    while (kLengthBase[code] > static_cast<int>(length))
      --code;
    Symbol(257 + code);
    Bits(static_cast<std::uint32_t>(static_cast<int>(length) - kLengthBase[code]),
         kLengthExtra[code]);
    code = 29;
    while (kDistanceBase[code] > static_cast<int>(distance))
      --code;
    Code(static_cast<std::uint32_t>(code), 5);
    Bits(static_cast<std::uint32_t>(static_cast<int>(distance) - kDistanceBase[code]),
         code < 4 ? 0 : code / 2 - 1);
  }

  std::string out_;
  std::uint32_t buffer_ = 0;
  int count_ = 0;
};

// One PNG chunk: length, type, data and the checksum of type and data.
std::string Chunk(const std::string& type, const std::string& data) {
  std::string out;
  PutBig32(out, static_cast<std::uint32_t>(data.size()));
  out += type + data;
  PutBig32(out, Crc32(type + data));
  return out;
}

// The picture as a PNG file: 8-bit palette indices, the 16 colours and one
// more for transparent pixels.
std::string Png(const Picture& picture) {
  std::string header;
  PutBig32(header, static_cast<std::uint32_t>(picture.width));
  PutBig32(header, static_cast<std::uint32_t>(picture.height));
  header += std::string{8, 3, 0, 0, 0};  // depth, palette, deflate, no filter, not interlaced
  std::string palette, alpha;
  for (const std::uint32_t rgb : kPalette) {
    palette += static_cast<char>(rgb >> 16);
    palette += static_cast<char>((rgb >> 8) & 0xFF);
    palette += static_cast<char>(rgb & 0xFF);
    alpha += static_cast<char>(0xFF);
  }
  palette += std::string(3, '\0');
  alpha += '\0';
  std::string rows;
  for (int y = 0; y < picture.height; ++y) {
    rows += '\0';  // no filter
    for (int x = 0; x < picture.width; ++x) {
      const int pixel = picture.pixels[static_cast<std::size_t>(y * picture.width + x)];
      rows += static_cast<char>(pixel < 0 ? 16 : pixel);
    }
  }
  std::uint32_t a = 1, b = 0;  // Adler-32 of the rows
  for (const char byte : rows) {
    a = (a + static_cast<unsigned char>(byte)) % 65521;
    b = (b + a) % 65521;
  }
  std::string zlib = "\x78\x01";
  zlib += Deflater().Compress(rows, static_cast<std::size_t>(picture.width) + 1);
  PutBig32(zlib, (b << 16) | a);
  return "\x89PNG\r\n\x1a\n" + Chunk("IHDR", header) + Chunk("PLTE", palette) +
         Chunk("tRNS", alpha) + Chunk("IDAT", zlib) + Chunk("IEND", "");
}

bool Write(const std::string& path, const std::vector<Picture>& pictures) {
  std::string head, images;
  Put16(head, 0);
  Put16(head, 1);
  Put16(head, static_cast<unsigned>(pictures.size()));
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(pictures.size());
  for (const Picture& picture : pictures) {
    const std::string image = picture.width < 256 ? Image(picture) : Png(picture);
    head += static_cast<char>(picture.width % 256);  // 0 for 256
    head += static_cast<char>(picture.height % 256);
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

// The pictures as they are, one icon image each.
std::vector<Picture> AsIs(std::initializer_list<Xpm> xpms) {
  std::vector<Picture> pictures;
  for (const Xpm xpm : xpms)
    pictures.push_back(Read(xpm));
  return pictures;
}

// The program's icon at every size Windows asks for, up to 256 pixels.
std::vector<Picture> ProgramIcon() {
  using namespace tavrel::form::pictures;
  const Picture small = Read(kWindowIcon16), large = Read(kWindowIcon32);
  std::vector<Picture> pictures;
  for (const int size : {16, 24, 32, 48, 64, 256})
    pictures.push_back(Scaled(size % 32 == 0 ? large : small, size));
  return pictures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  using namespace tavrel::form::pictures;
  const std::string folder = argv[1];
  const bool ok = Write(folder + "/tavrel.ico", ProgramIcon()) &&
                  Write(folder + "/fennok.ico", AsIs({kFennokIcon32})) &&
                  Write(folder + "/drive.ico", AsIs({kDriveIcon16})) &&
                  Write(folder + "/folder_closed.ico", AsIs({kFolderClosed13})) &&
                  Write(folder + "/folder_open.ico", AsIs({kFolderOpen13}));
  return ok ? 0 : 1;
}
