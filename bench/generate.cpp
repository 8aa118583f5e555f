// Writes large Tavrel data files for the benchmarks.
//
//   generate 40|36 OUT [--lines N] [--bytes N] [--long-line N]
//
// 40 writes a 4.0 file, 36 a 3.6 file: the header, a block of options,
// layers and letter records as a drawing begins, then numeric records in the
// mix of a real board (tracks, pads and texts first, arcs and areas less
// often) with options, layers and letter records scattered among them.
// Coordinates are inches with 3 or 4 decimals (4.0) or whole thousandths
// (3.6).  --lines (default 1000000) or --bytes says when to stop; --long-line
// writes the header and one data line of N bytes instead (a letter record in
// a 4.0 file).  The same arguments always give the same file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace {

// xorshift64*: the same sequence on every machine.
class Random {
 public:
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1DULL;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  int Between(int low, int high) { return low + Below(high - low + 1); }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ULL;
};

class Writer {
 public:
  explicit Writer(const char* path) : file_(std::fopen(path, "wb")) {
    if (file_ == nullptr) {
      std::perror(path);
      std::exit(2);
    }
    buffer_.reserve(kFlushAt + 4096);
  }
  ~Writer() {
    Flush();
    if (std::fclose(file_) != 0) {
      std::perror("close");
      std::exit(2);
    }
  }
  void Line(std::string_view text) {
    buffer_ += text;
    buffer_ += "\r\n";
    bytes_ += text.size() + 2;
    ++lines_;
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Raw(std::string_view text) {
    buffer_ += text;
    bytes_ += text.size();
    if (buffer_.size() >= kFlushAt) Flush();
  }
  std::uint64_t bytes() const { return bytes_; }
  std::uint64_t lines() const { return lines_; }

 private:
  static constexpr std::size_t kFlushAt = 1 << 20;
  void Flush() {
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
      std::perror("write");
      std::exit(2);
    }
    buffer_.clear();
  }
  std::FILE* file_;
  std::string buffer_;
  std::uint64_t bytes_ = 0;
  std::uint64_t lines_ = 0;
};

void AppendInt(std::string& out, long value) {
  if (value < 0) {
    out += '-';
    value = -value;
  }
  char digits[24];
  int n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value > 0);
  while (n > 0)
    out += digits[--n];
}

// A length in ten-thousandths of an inch written as inches with 3 or 4
// decimals ("1.250", "0.0625", "-0.125").
void AppendInches(std::string& out, long tenths) {
  if (tenths < 0) {
    out += '-';
    tenths = -tenths;
  }
  AppendInt(out, tenths / 10000);
  out += '.';
  const long fraction = tenths % 10000;
  out += static_cast<char>('0' + fraction / 1000);
  out += static_cast<char>('0' + fraction / 100 % 10);
  out += static_cast<char>('0' + fraction / 10 % 10);
  if (fraction % 10 != 0) out += static_cast<char>('0' + fraction % 10);
}

constexpr std::string_view kWidths40[] = {"0.008", "0.010", "0.012", "0.025", "0.050", "0.0625"};
constexpr std::string_view kWidths36[] = {"8", "10", "12", "25", "50", "62"};
constexpr std::string_view kNames[] = {"GND", "VCC", "CLK", "DATA0", "RESET", "U1", "R12", "C7"};
constexpr std::string_view kAngles[] = {"0", "90", "180", "270", "45", "135", "359", "30.5"};

constexpr std::string_view kPreamble40[] = {"-gz0.05,0.05",
                                            "-gd50",
                                            "-gm2,1,2,0",
                                            "-gc1,1,0,0,0,25",
                                            "-gs5,25,5,10,50",
                                            "-gp1,1,0,0,2",
                                            "-it1",
                                            "-iv2",
                                            "-ip0",
                                            "-ix3,2",
                                            "-il5",
                                            "-gt1,0,1",
                                            "-ga0,45",
                                            "-gx0.5,0.5",
                                            "-dp0.025,0.05,0.1",
                                            "-y1:00FF0000,0,0,0,00,3,Top Copper",
                                            "-y2:000000ff,0,0,0,00,2,Bottom Copper",
                                            "-y7:00C0C0C0,0,0,0,00,1,Top Silk",
                                            "-y9:01FFFFFF,0,0,0,00,9,Ratnest",
                                            "-y255:00FFFFFF,0,0,0,00,15,Board",
                                            "",
                                            "S 1 MAIN 8.000 6.000",
                                            "I 0 1 2",
                                            "L 1 Top Copper",
                                            "G 0.025 0.025 0.005",
                                            "C 1 GND",
                                            "P 1 U1 DIP14",
                                            "T 1 0.125",
                                            "A 0 0"};

constexpr std::string_view kPreamble36[] = {
    "-gz0,0",           "-gd100", "-gm3,2,3,1",         "-nc0,0,0,0,0,39",
    "-gr3,35,5,10,25",  "-t60",   "-y1:4,3,Top Copper", "-y2:1,2,Bottom Copper",
    "-y7:7,1,Top Silk", ""};

constexpr std::string_view kScattered40[] = {"-gx0.1,0.1",
                                             "-iv0",
                                             "-dp0.05",
                                             "C 2 VCC",
                                             "P 2 U2 DIP8",
                                             "-y3:0000FF00,0,0,0,00,5,Mid Layer 1",
                                             "-y12:00a0a0a0,0,0,0,00,12,Board Outline",
                                             ""};
constexpr std::string_view kScattered36[] = {"-l10", "-t60", "-y3:9,5,Mid Layer 1", ""};

class Board {
 public:
  explicit Board(bool four) : four_(four) {}

  // One data line of the mix into `out`.
  void Line(std::string& out) {
    out.clear();
    const int pick = random_.Below(100);
    if (pick < 30) {
      Track(out, '0', true);
    } else if (pick < 40) {
      Track(out, '1', false);
    } else if (pick < 48) {
      Arc(out);
    } else if (pick < 76) {
      Pad(out);
    } else if (pick < 90) {
      Text(out);
    } else if (pick < 93) {
      Area(out);
    } else {
      const std::span<const std::string_view> scattered =
          four_ ? std::span<const std::string_view>(kScattered40) : kScattered36;
      out += scattered[random_.Below(static_cast<int>(scattered.size()))];
    }
  }

 private:
  // A coordinate on an 8 x 6 inch board.
  void Coordinate(std::string& out, int limit) {
    const long tenths = random_.Between(0, limit * 400) * 25;  // 0.0025-inch grid
    if (four_) {
      AppendInches(out, tenths);
    } else {
      AppendInt(out, tenths / 10);
    }
  }
  void Width(std::string& out) {
    out += four_ ? kWidths40[random_.Below(6)] : kWidths36[random_.Below(6)];
  }
  void Layer(std::string& out) { AppendInt(out, random_.Between(1, 12)); }

  // Records "0" (comma list after a six-character prefix) and "1".
  void Track(std::string& out, char type, bool padded) {
    out += type;
    out += ' ';
    if (padded) {
      const int layer = random_.Between(1, 12);
      if (layer < 10) out += ' ';
      AppendInt(out, layer);
      out += "  ";
    } else {
      Layer(out);
      out += ' ';
    }
    Width(out);
    const int points = random_.Between(2, 6);
    for (int i = 0; i < points; ++i) {
      out += ',';
      Coordinate(out, 8);
      out += ',';
      Coordinate(out, 6);
    }
  }
  void Arc(std::string& out) {
    out += "2 ";
    Layer(out);
    for (int i = 0; i < 4; ++i) {
      out += ' ';
      Coordinate(out, i % 2 == 0 ? 8 : 6);
    }
    out += ' ';
    out += kAngles[random_.Below(8)];
    out += ' ';
    out += kAngles[random_.Below(8)];
    out += ' ';
    Width(out);
    out += ' ';
    out += kAngles[random_.Below(4)];
  }
  void Pad(std::string& out) {
    out += "3 ";
    const bool round = random_.Below(3) == 0;
    out += four_ ? "0.062" : "62";
    out += ' ';
    out += round ? "0" : (four_ ? "0.062" : "62");
    out += ' ';
    Coordinate(out, 8);
    out += ' ';
    Coordinate(out, 6);
    out += four_ ? " 0.06 0.08 0.032 " : " 60 80 32 ";
    out += kAngles[random_.Below(4)];
    out += ' ';
    AppendInt(out, random_.Between(1, 3));
    out += " U";
    AppendInt(out, random_.Between(1, 40));
    out += '-';
    AppendInt(out, random_.Between(1, 16));
  }
  void Text(std::string& out) {
    out += "4 ";
    Layer(out);
    out += four_ ? " 0.1 " : " 100 ";
    Coordinate(out, 8);
    out += ' ';
    Coordinate(out, 6);
    out += four_ ? " 0.5 " : " 500 ";
    out += kAngles[random_.Below(4)];
    if (four_) {
      out += ' ';
      AppendInt(out, random_.Between(0, 15));
      out += " 0";
    }
    out += ' ';
    out += kNames[random_.Below(8)];
    if (random_.Below(4) == 0) out += " value";
  }
  void Area(std::string& out) {
    out += "6 ";
    Layer(out);
    out += ' ';
    out += kAngles[random_.Below(4)];
    for (int i = 0; i < 4; ++i) {
      out += ' ';
      Coordinate(out, i % 2 == 0 ? 8 : 6);
    }
    if (random_.Below(2) == 0) out += " FRAME";
  }

  bool four_;
  Random random_;
};

[[noreturn]] void Usage() {
  std::fputs("usage: generate 40|36 OUT [--lines N] [--bytes N] [--long-line N]\n", stderr);
  std::exit(2);
}

std::uint64_t Count(const char* text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text, &end, 10);
  if (end == text || *end != '\0') Usage();
  return value;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) Usage();
  const std::string_view version = argv[1];
  if (version != "40" && version != "36") Usage();
  const bool four = version == "40";
  std::uint64_t lines = 1000000;
  std::uint64_t bytes = 0;
  std::uint64_t long_line = 0;
  for (int i = 3; i < argc; ++i) {
    const std::string_view option = argv[i];
    if (i + 1 >= argc) Usage();
    const std::uint64_t value = Count(argv[++i]);
    if (option == "--lines") {
      lines = value;
    } else if (option == "--bytes") {
      bytes = value;
      lines = 0;
    } else if (option == "--long-line") {
      long_line = value;
    } else {
      Usage();
    }
  }

  Writer out(argv[2]);
  out.Line(four ? "TAVREL Version 4.0 -- Data File." : "TAVREL Version 3.6 -- DATA FILE");
  if (long_line > 0) {
    // One line of blank-separated words: a letter record in a 4.0 file.
    std::string chunk;
    while (chunk.size() < (1 << 16))
      chunk += "GND VCC CLK DATA0 ";
    std::uint64_t left = long_line;
    std::string_view start = four ? "C 1 " : "4 7 100 500 250 500 0 ";
    out.Raw(start);
    left -= start.size() < left ? start.size() : left;
    while (left > 0) {
      const std::size_t n = left < chunk.size() ? static_cast<std::size_t>(left) : chunk.size();
      out.Raw(std::string_view(chunk).substr(0, n));
      left -= n;
    }
    out.Raw("\r\n");
    return 0;
  }

  const std::span<const std::string_view> preamble =
      four ? std::span<const std::string_view>(kPreamble40) : kPreamble36;
  for (std::string_view line : preamble)
    out.Line(line);
  Board board(four);
  std::string line;
  while (bytes > 0 ? out.bytes() < bytes : out.lines() < lines) {
    board.Line(line);
    out.Line(line);
  }
  return 0;
}
