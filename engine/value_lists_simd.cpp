// The value lists scaled with the vector instructions of x86 processors:
// whole lists in windows of 64 bytes (classified 16 bytes at a time with
// SSE2, or 32 with AVX2), and single tokens in sixteen bytes.  Most lists
// (all their tokens plain decimals of up to eight bytes) take a short way,
// ScaleCommon; any other window goes to ScaleWindows, any other token to
// ScaleToken.  Each function carries the instruction set it needs (no
// build option asks for more than the processor's base), and
// value_lists.cpp calls it only where the processor has that set.
#include "value_lists.h"

#if TAVREL_SIMD_VALUES

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "internal.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

// The sixteen bytes from `p` on, of a list that ends at `end`; those past
// the end are blanks, which end the last token as a separator would.
__attribute__((target("ssse3"))) inline __m128i BlockAt(const char* p, const char* list,
                                                        const char* end) {
  alignas(16) static constexpr signed char kFrom[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                        11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left >= 16) return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if (end - list >= 16) {
    // The list's last sixteen bytes, moved down to begin at `p`; the bytes
    // moved in (zeros) become blanks.
    const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFrom + 16 - left));
    const __m128i moved =
        _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 16)), from);
    return _mm_or_si128(
        moved, _mm_and_si128(_mm_cmplt_epi8(from, _mm_setzero_si128()), _mm_set1_epi8(' ')));
  }
  alignas(16) char bytes[16];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, p, left);
  return _mm_load_si128(reinterpret_cast<const __m128i*>(bytes));
}

// A token of a value list scaled within one block of sixteen bytes, which
// hold the token from its first byte and the separator after it: an
// optional minus, up to twelve digits, maybe a point and more digits.
// Writes the token's value times 1000 at `out` (up to seventeen bytes, of
// which the value keeps the first) and returns the token's length; returns
// 0 for any other token, with nothing written.  The digits kept are the
// whole part and three decimals, the missing ones as zeros, laid out at the
// block's end; their leading zeros are dropped.
}  // namespace

__attribute__((target("ssse3"))) unsigned ScaleBlock(const char* p, const char* list,
                                                     const char* end, bool decimal_point,
                                                     char*& out) {
  const __m128i block = BlockAt(p, list, end);
  const __m128i offsets = _mm_sub_epi8(block, _mm_set1_epi8('0'));
  const __m128i is_digit = _mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets);
  const __m128i is_zero = _mm_cmpeq_epi8(block, _mm_set1_epi8('0'));
  const unsigned digits = static_cast<unsigned>(_mm_movemask_epi8(is_digit));
  const unsigned points =
      static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_set1_epi8('.'))));
  const unsigned separators = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
      _mm_cmpeq_epi8(block, _mm_set1_epi8(',')), _mm_cmpeq_epi8(block, _mm_set1_epi8(' ')))));
  // A token's first byte is its own, even a separator.
  const unsigned after = separators & ~1u;
  if (after == 0) return 0;
  const unsigned size = static_cast<unsigned>(std::countr_zero(after));
  const bool negative = (static_cast<unsigned>(_mm_cvtsi128_si32(block)) & 0xFF) == '-';
  const unsigned sign = negative ? 1 : 0;
  const unsigned body = ((1u << size) - 1) & ~((1u << sign) - 1);
  const unsigned point_in = points & body;
  if (((digits | point_in) & body) != body || (digits & body) == 0 ||
      (point_in & (point_in - 1)) != 0) {
    return 0;
  }
  // Where the whole part ends: at the point, or at the token's end.
  const unsigned point = point_in != 0 ? static_cast<unsigned>(std::countr_zero(point_in)) : size;
  const unsigned whole = point - sign;
  if (whole > 12) return 0;
  const unsigned nonzero = digits & ~static_cast<unsigned>(_mm_movemask_epi8(is_zero));
  if ((nonzero & body) == 0) {
    // A value of 0 keeps its text.
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), block);
    out += size;
    return size;
  }
  const unsigned kept = std::min(size - std::min(size, point + 1), 3u);  // decimals kept
  // Any digit other than 0 past the third decimal is cut off.
  const bool cut = (nonzero & body & ~((2u << std::min(point + 3, 15u)) - 1)) != 0;
  // Byte i of the layout: the whole part ends at byte 12, the decimals fill
  // bytes 13 to 15; anything else is a 0.
  const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  const __m128i skip_point = _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1);
  const __m128i from = _mm_add_epi8(_mm_add_epi8(lanes, skip_point),
                                    _mm_set1_epi8(static_cast<char>(static_cast<int>(point) - 13)));
  const __m128i used =
      _mm_and_si128(_mm_cmpgt_epi8(lanes, _mm_set1_epi8(static_cast<char>(12 - whole))),
                    _mm_cmplt_epi8(lanes, _mm_set1_epi8(static_cast<char>(13 + kept))));
  __m128i layout = _mm_or_si128(
      _mm_shuffle_epi8(block, _mm_or_si128(from, _mm_xor_si128(used, _mm_set1_epi8(-1)))),
      _mm_set1_epi8('0'));
  if (negative && cut && decimal_point) {
    // Rounded down: one more in the last place, the nines before it carried.
    alignas(16) static constexpr signed char kCarry[32] = {
        0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  0,  1,
        -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9, -9};
    const unsigned nines =
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(layout, _mm_set1_epi8('9'))));
    // Byte 0 is always a 0 (twelve whole digits at most): the carry stops.
    const unsigned carried =
        static_cast<unsigned>(std::countl_one(static_cast<std::uint16_t>(nines)));
    layout =
        _mm_add_epi8(layout, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kCarry + carried)));
  }
  const unsigned zeros = static_cast<unsigned>(std::countr_one(
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(layout, _mm_set1_epi8('0'))))));
  if (zeros == 16) {
    // Less than a thousandth, cut to 0 (toward zero).
    *out++ = '0';
    return size;
  }
  alignas(16) static constexpr signed char kFrom[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                        11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  if (negative) *out++ = '-';
  _mm_storeu_si128(
      reinterpret_cast<__m128i*>(out),
      _mm_shuffle_epi8(layout, _mm_loadu_si128(reinterpret_cast<const __m128i*>(kFrom + zeros))));
  out += 16 - zeros;
  return size;
}

namespace {

constexpr unsigned kWindow = 64;  // bytes classified at once

// Which bytes of a window hold what, one bit a byte, the first byte in the
// lowest bit.  Bytes past the list's end are none of these.
struct WindowBytes {
  std::uint64_t digits = 0;
  std::uint64_t zeros = 0;
  std::uint64_t points = 0;
  std::uint64_t commas = 0;
  std::uint64_t blanks = 0;
  std::uint64_t minus = 0;

  // The sets of `part`, whose first byte is byte `at` of the window, added.
  void AddAt(const WindowBytes& part, unsigned at) {
    digits |= part.digits << at;
    zeros |= part.zeros << at;
    points |= part.points << at;
    commas |= part.commas << at;
    blanks |= part.blanks << at;
    minus |= part.minus << at;
  }
  // The sets of `part`, whose first `skip` bytes come before the window.
  static WindowBytes Skipped(const WindowBytes& part, unsigned skip) {
    WindowBytes in;
    in.digits = part.digits >> skip;
    in.zeros = part.zeros >> skip;
    in.points = part.points >> skip;
    in.commas = part.commas >> skip;
    in.blanks = part.blanks >> skip;
    in.minus = part.minus >> skip;
    return in;
  }
};

// The bytes the classification compares with, 32 of each.
enum Broadcast { kAsciiZero, kNine, kPoint, kComma, kBlank, kMinus, kBroadcasts };
alignas(32) constexpr auto kBroadcast = [] {
  std::array<std::array<char, 32>, kBroadcasts> bytes{};
  const char of[kBroadcasts] = {'0', 9, '.', ',', ' ', '-'};
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i].fill(of[i]);
  return bytes;
}();

// The table of those bytes at an address the compiler does not look
// through, once for each classification: it then reads them from memory,
// with the comparison that uses them, rather than building each in three
// instructions or keeping it aside.
inline const char* Broadcasts() {
  const char* bytes = kBroadcast[0].data();
  asm volatile("" : "+r"(bytes));
  return bytes;
}

__attribute__((target("sse2"))) inline __m128i Load16(const char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
__attribute__((target("sse2"))) inline void Store16(char* p, __m128i w) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), w);
}
__attribute__((target("sse2"))) inline __m128i Broadcast16(const char* table, Broadcast c) {
  return _mm_load_si128(reinterpret_cast<const __m128i*>(table + 32 * c));
}
__attribute__((target("sse2"))) inline std::uint64_t Equal16(__m128i w, const char* table,
                                                             Broadcast c) {
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, Broadcast16(table, c))));
}

// Sixteen bytes classified.
__attribute__((target("sse2"))) inline WindowBytes Classify16(__m128i w, bool minus) {
  const char* const table = Broadcasts();
  const __m128i offsets = _mm_sub_epi8(w, Broadcast16(table, kAsciiZero));
  WindowBytes in;
  in.digits = static_cast<std::uint16_t>(
      _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(offsets, Broadcast16(table, kNine)), offsets)));
  in.zeros = Equal16(w, table, kAsciiZero);
  in.points = Equal16(w, table, kPoint);
  in.commas = Equal16(w, table, kComma);
  in.blanks = Equal16(w, table, kBlank);
  if (minus) in.minus = Equal16(w, table, kMinus);
  return in;
}

__attribute__((target("avx"))) inline __m256i Load32(const char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx"))) inline void Store32(char* p, __m256i w) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), w);
}
__attribute__((target("avx"))) inline __m256i Broadcast32(const char* table, Broadcast c) {
  return _mm256_load_si256(reinterpret_cast<const __m256i*>(table + 32 * c));
}
__attribute__((target("avx2"))) inline std::uint64_t Equal32(__m256i w, const char* table,
                                                             Broadcast c) {
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(w, Broadcast32(table, c))));
}

// 32 bytes classified.
__attribute__((target("avx2"))) inline WindowBytes Classify32(__m256i w, bool minus) {
  const char* const table = Broadcasts();
  const __m256i offsets = _mm256_sub_epi8(w, Broadcast32(table, kAsciiZero));
  WindowBytes in;
  in.digits = static_cast<std::uint32_t>(_mm256_movemask_epi8(
      _mm256_cmpeq_epi8(_mm256_min_epu8(offsets, Broadcast32(table, kNine)), offsets)));
  in.zeros = Equal32(w, table, kAsciiZero);
  in.points = Equal32(w, table, kPoint);
  in.commas = Equal32(w, table, kComma);
  in.blanks = Equal32(w, table, kBlank);
  if (minus) in.minus = Equal32(w, table, kMinus);
  return in;
}

// The 32 bytes at `p` classified (the minus signs only if `minus`: the
// common way takes them for any other byte); also copied to `to` unless
// that is nullptr.  The functions that handle vectors are small and carry
// their instruction set; the larger ones that call them carry none and are
// inlined into the function that has it (a function without the set could
// not take one of them inlined whole).
__attribute__((target("avx2"))) inline WindowBytes Classify32At(bool minus, const char* p,
                                                                char* to = nullptr) {
  const __m256i bytes = Load32(p);
  if (to != nullptr) Store32(to, bytes);
  return Classify32(bytes, minus);
}
__attribute__((target("sse2"))) inline WindowBytes Classify16At(bool minus, const char* p,
                                                                char* to = nullptr) {
  const __m128i bytes = Load16(p);
  if (to != nullptr) Store16(to, bytes);
  return Classify16(bytes, minus);
}

// Room for the bytes of a window near the list's end.
constexpr std::size_t kImage = 96;

// The window of up to 64 bytes at `p` classified, of a list that ends at
// `end` and holds at least 32 bytes; nothing before the list or past its
// end is read: its last bytes are loaded as the list's last 32 (or 16),
// their sets moved into place.  `bytes` is set to where byte i of the
// window can be read at bytes[i], with the seven after it: the list itself,
// or for a window less than eight bytes from the end, `image` (kImage
// bytes), where the window's bytes are copied.  (A token is packed from the
// eight bytes at its first; those after its separator, the window's last
// byte at most, are not taken.)
[[gnu::always_inline]] inline WindowBytes ClassifyWide(const char* p, const char* end, char* image,
                                                       const char*& bytes, bool minus) {
  static_assert(kWindow == 64);
  const std::size_t left = static_cast<std::size_t>(end - p);
  WindowBytes in;
  bytes = image;
  if (left >= kWindow + 8) {
    in = Classify32At(minus, p);
    in.AddAt(Classify32At(minus, p + 32), 32);
    bytes = p;
  } else if (left >= kWindow) {
    in = Classify32At(minus, p, image);
    in.AddAt(Classify32At(minus, p + 32, image + 32), 32);
  } else if (left >= 32) {
    in = Classify32At(minus, p, image);
    in.AddAt(Classify32At(minus, end - 32, image + left - 32), static_cast<unsigned>(left - 32));
  } else {
    in = WindowBytes::Skipped(Classify32At(minus, end - 32, image),
                              static_cast<unsigned>(32 - left));
    bytes = image + 32 - left;
  }
  return in;
}

// The same sixteen bytes at a time.
[[gnu::always_inline]] inline WindowBytes ClassifyNarrow(const char* p, const char* end,
                                                         char* image, const char*& bytes,
                                                         bool minus) {
  const std::size_t left = static_cast<std::size_t>(end - p);
  WindowBytes in;
  if (left >= kWindow + 8) {
    for (std::size_t i = 0; i < kWindow; i += 16)
      in.AddAt(Classify16At(minus, p + i), static_cast<unsigned>(i));
    bytes = p;
    return in;
  }
  bytes = image;
  const std::size_t whole = std::min<std::size_t>(left, kWindow) & ~std::size_t{15};
  for (std::size_t i = 0; i < whole; i += 16)
    in.AddAt(Classify16At(minus, p + i, image + i), static_cast<unsigned>(i));
  if (whole < left && left < kWindow) {
    if (left >= 16) {
      in.AddAt(Classify16At(minus, end - 16, image + left - 16), static_cast<unsigned>(left - 16));
    } else {
      in = WindowBytes::Skipped(Classify16At(minus, end - 16, image),
                                static_cast<unsigned>(16 - left));
      bytes = image + 16 - left;
    }
  }
  return in;
}

// The window of a list of fewer than 32 bytes, copied into 64 bytes where
// blanks follow it, at `p` classified.
[[gnu::always_inline]] inline WindowBytes ClassifyPaddedWide(const char* p, bool minus) {
  return Classify32At(minus, p);
}
[[gnu::always_inline]] inline WindowBytes ClassifyPaddedNarrow(const char* p, bool minus) {
  WindowBytes in = Classify16At(minus, p);
  in.AddAt(Classify16At(minus, p + 16), 16);
  return in;
}

// The window at `p` classified with the instruction set in use.
template <bool kWide>
[[gnu::always_inline]] inline WindowBytes ClassifyAt(const char* p, const char* end, char* image,
                                                     const char*& bytes, bool minus = true) {
  if constexpr (kWide) {
    return ClassifyWide(p, end, image, bytes, minus);
  } else {
    return ClassifyNarrow(p, end, image, bytes, minus);
  }
}
template <bool kWide>
[[gnu::always_inline]] inline WindowBytes ClassifyPaddedAt(const char* p, bool minus = true) {
  if constexpr (kWide) {
    return ClassifyPaddedWide(p, minus);
  } else {
    return ClassifyPaddedNarrow(p, minus);
  }
}

// The `size` bytes (fewer than 32) at `list` copied to `image`, which has
// 64 bytes, and blanks after them.
__attribute__((target("ssse3"))) inline void CopyPadded(const char* list, std::size_t size,
                                                        char* image) {
  std::memset(image, ' ', 64);
  if (size >= 16) {
    std::memcpy(image, list, 16);
    std::memcpy(image + size - 16, list + size - 16, 16);
  } else if (size >= 8) {
    std::memcpy(image, list, 8);
    std::memcpy(image + size - 8, list + size - 8, 8);
  } else {
    for (std::size_t i = 0; i < size; ++i)
      image[i] = list[i];
  }
}

// The same for a list of 16 to 31 bytes with AVX2: its first sixteen bytes
// and its last sixteen moved up into place, the blanks put in by pshufb;
// returns them classified.
__attribute__((target("avx2"))) inline WindowBytes CopyPadded32(const char* list, std::size_t size,
                                                                char* image, bool minus) {
  alignas(16) static constexpr signed char kFrom[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10,
                                                        11, 12, 13, 14, 15, -1, -1, -1, -1, -1, -1,
                                                        -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  alignas(16) static constexpr char kFill[32] = {
      0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,
      ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  const std::size_t skip = 32 - size;  // 1 to 16
  const __m128i low = Load16(list);
  const __m128i high =
      _mm_or_si128(_mm_shuffle_epi8(Load16(list + size - 16),
                                    Load16(reinterpret_cast<const char*>(kFrom) + skip)),
                   Load16(kFill + skip));
  const __m256i bytes = _mm256_set_m128i(high, low);
  Store32(image, bytes);
  Store32(image + 32, Broadcast32(Broadcasts(), kBlank));
  return Classify32(bytes, minus);
}

// The bits of `set` below bit `n` (0 to 64).
__attribute__((target("bmi2"))) inline std::uint64_t LowBitsBmi(std::uint64_t set, unsigned n) {
  return _bzhi_u64(set, n);
}
template <bool kWide>
[[gnu::always_inline]] inline std::uint64_t LowBits(std::uint64_t set, unsigned n) {
  if constexpr (kWide) {
    return LowBitsBmi(set, n);
  } else {
    return n >= 64 ? set : set & ((std::uint64_t{1} << n) - 1);
  }
}

// The missing decimals of a token with 0 to 3 decimals and the separator
// after them (a blank, or a comma), as a word to store after its digits.
constexpr auto kPadding = [] {
  std::array<std::array<std::uint64_t, 4>, 2> padding{};
  for (unsigned comma = 0; comma < 2; ++comma) {
    const std::uint64_t gap = static_cast<std::uint64_t>('0' - (comma != 0 ? ',' : ' '));
    for (unsigned decimals = 0; decimals < 4; ++decimals)
      padding[comma][decimals] = kZeros - (gap << (8 * (3 - decimals)));
  }
  return padding;
}();

// The tables of the packing of a token, together so that one register
// reaches them all.  A token is described by its bytes kept and its
// decimals kept, one bit each, its first byte in the lowest bit.
struct PackTables {
  // For each set of bytes kept, the pshufb indexes that pack them to the
  // front; one more row, so that sixteen bytes can be read from each.
  std::array<std::array<signed char, 8>, 257> pack;
  // For each set of bytes kept, how many.
  std::array<std::uint8_t, 256> count;
  // For the decimals kept, the padding (kPadding) under each separator, and
  // the bytes it takes.
  std::array<std::array<std::uint64_t, 256>, 2> padding;
  std::array<std::uint8_t, 256> padding_size;
};
alignas(64) constexpr PackTables kPackTables = [] {
  PackTables tables{};
  for (unsigned keep = 0; keep < 256; ++keep) {
    unsigned n = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((keep >> i & 1) != 0) tables.pack[keep][n++] = static_cast<signed char>(i);
    }
    tables.count[keep] = static_cast<std::uint8_t>(n);
    for (; n < 8; ++n)
      tables.pack[keep][n] = -1;
    const unsigned decimals = std::min(static_cast<unsigned>(std::popcount(keep)), 3u);
    for (unsigned comma = 0; comma < 2; ++comma)
      tables.padding[comma][keep] = kPadding[comma][decimals];
    tables.padding_size[keep] = static_cast<std::uint8_t>(4 - decimals);
  }
  tables.pack[256].fill(-1);
  return tables;
}();

// kPackTables at an address the compiler does not look through: it then
// keeps it in one register rather than one for each table.
inline const PackTables& Tables() {
  const PackTables* tables = &kPackTables;
  asm("" : "+r"(tables));
  return *tables;
}

// The bytes of `word` that `kept` says, packed at `out` (eight bytes
// written).
__attribute__((target("ssse3"))) inline void Pack(const PackTables& tables, std::uint64_t word,
                                                  std::size_t kept, char* out) {
  const __m128i packed =
      _mm_shuffle_epi8(_mm_cvtsi64_si128(static_cast<long long>(word)),
                       _mm_loadu_si128(reinterpret_cast<const __m128i*>(tables.pack[kept].data())));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
}

// BMI's blsmsk (the bits of `seps` up to its lowest) and andn (~a & b), and
// popcnt, which the compiler would rather make of more instructions.
__attribute__((target("bmi"))) inline std::uint64_t Through(std::uint64_t seps) {
  std::uint64_t through;
  asm("blsmsk %1, %0" : "=r"(through) : "r"(seps));
  return through;
}
__attribute__((target("bmi"))) inline std::uint64_t AndNot(std::uint64_t a, std::uint64_t b) {
  std::uint64_t both;
  asm("andn %2, %1, %0" : "=r"(both) : "r"(a), "r"(b));
  return both;
}
__attribute__((target("popcnt"))) inline std::size_t BitCount(std::uint64_t set) {
  std::uint64_t count;
  asm("popcnt %1, %0" : "=r"(count) : "r"(set));
  return count;
}

// The common tokens of a window whose separators are `seps` (none past the
// list's end, the first after byte `s`, where a token begins; each token
// at most eight bytes before its separator): each packed from the eight
// bytes at bytes[its first byte], the missing decimals and the separator
// written as one word.  `dropped` and `no_decimals` are the bytes not
// kept, the bytes not decimals kept.
template <bool kComma, bool kBmi>
[[gnu::always_inline]] inline char* PackTokensIn(const char* bytes, std::uint64_t dropped,
                                                 std::uint64_t no_decimals, std::uint64_t seps,
                                                 std::size_t s, char* out) {
  const PackTables& tables = Tables();
  do {
    std::uint64_t through;  // the bits up to the token's separator
    std::size_t kept;       // the bytes kept, the token's first in the lowest bit
    std::size_t decimals;   // the decimals kept
    if constexpr (kBmi) {
      through = Through(seps);
      kept = AndNot(dropped, through) >> s;
      decimals = AndNot(no_decimals, through) >> s;
    } else {
      through = seps ^ (seps - 1);
      kept = (~dropped & through) >> s;
      decimals = (~no_decimals & through) >> s;
    }
    Pack(tables, LoadWord(bytes + s), kept, out);
    out += tables.count[kept];
    StoreWord(tables.padding[kComma ? 1 : 0][decimals], out);
    out += tables.padding_size[decimals];
    s = BitCount(through);  // the next token's first byte
    seps &= seps - 1;
  } while (seps != 0);
  return out;
}

template <bool kWide>
[[gnu::always_inline]] inline char* PackTokens(bool comma, const char* bytes, std::uint64_t dropped,
                                               std::uint64_t no_decimals, std::uint64_t seps,
                                               std::size_t s, char* out) {
  return comma ? PackTokensIn<true, kWide>(bytes, dropped, no_decimals, seps, s, out)
               : PackTokensIn<false, kWide>(bytes, dropped, no_decimals, seps, s, out);
}

// Where a list stands while it is scaled window by window.
struct ListAt {
  const char* p;  // a token's first byte, before the list's end
  int count;      // the separators written before it
  bool comma;     // the list's separator: a comma, or a blank
};

// A list scaled in windows of 64 bytes, each classified at once: masks of
// the bytes of the window tell, for all its tokens together, which bytes
// are dropped (the point, decimals past the third, leading zeros), how many
// decimals each token has, and which tokens are of an unusual form.  Then
// each token of at most eight bytes that the window holds whole, with the
// separator after it, is packed with one pshufb (PackTokens), its missing
// decimals and its separator written as one word.  Any other token goes to
// ScaleToken, as does one that needs rounding down (a negative with more
// than three decimals under a decimal point).  From `at` on (`at.comma` is
// found in the first window when `at.p` is the list's first byte).
// `kPadded`: the list is in 64 bytes, blanks after it.  nullptr when the
// separators are mixed.
template <bool kWide, bool kPadded>
[[gnu::always_inline]] inline char* ScaleWindows(const char* list, const char* end, ListAt at,
                                                 bool decimal_point, bool blocks, char* out) {
  constexpr int kMaxTokens = 50;
  char image[kImage];  // a window near the end, see ClassifyWide
  const char* p = at.p;
  int count = at.count;
  bool comma = at.comma;
  for (;;) {
    const std::size_t left = static_cast<std::size_t>(end - p);
    WindowBytes in;
    const char* bytes = p;  // byte i of the window at bytes[i], with the seven after it
    if constexpr (kPadded) {
      in = ClassifyPaddedAt<kWide>(p);
      in.blanks = LowBits<kWide>(in.blanks, static_cast<unsigned>(left));
    } else {
      in = ClassifyAt<kWide>(p, end, image, bytes);
    }
    // The separator of the first window is the list's; one of the other
    // kind anywhere leaves the list to the plain way.
    if (p == list) comma = in.commas != 0;
    if ((comma ? in.blanks : in.commas) != 0) return nullptr;
    // A blank after the list's end ends its last token as a separator would.
    if (left < kWindow) in.blanks |= std::uint64_t{1} << left;
    const std::uint64_t seps = in.commas | in.blanks;
    const std::uint64_t not_seps = ~seps;
    const std::uint64_t starts = (seps << 1) | 1;  // a token's first byte
    // From each point to the separator after it, then the decimals, and
    // those past the third: with three more decimals before them (the
    // decimals of a token with one point are all after it).
    const std::uint64_t from_point = ((not_seps + in.points) ^ not_seps) & not_seps;
    const std::uint64_t decimals = from_point & ~in.points;
    const std::uint64_t two_decimals = decimals & (decimals << 1);
    const std::uint64_t past_third = two_decimals & (two_decimals << 2);
    const std::uint64_t nonzero = in.digits & ~in.zeros;
    // The digits begin after a minus; zeros and points from there on lead.
    std::uint64_t digits_start = starts;
    std::uint64_t unusual =
        ~(in.digits | in.points | seps) | (in.points & ~from_point) | (starts & seps);
    if (in.minus != 0) {
      digits_start = (starts & ~in.minus) | ((starts & in.minus) << 1);
      unusual = (unusual & ~in.minus) | (in.minus & ~starts);
      if (decimal_point) {
        // A negative with a digit other than 0 past the third decimal is
        // rounded down.
        const std::uint64_t negative = ((not_seps + in.minus) ^ not_seps) & not_seps;
        unusual |= negative & nonzero & past_third;
      }
    }
    const std::uint64_t lead = in.zeros | in.points;
    const std::uint64_t carried = lead + (digits_start & lead);
    const std::uint64_t leading = (carried ^ lead) & lead;
    // The first byte after the leading zeros: a digit kept, other than 0,
    // in a token of the common form; the separator in a value of 0.
    const std::uint64_t first = (carried & ~lead) | (digits_start & ~lead);
    unusual |= first & ~(nonzero | seps);
    // A token of more than eight bytes is taken one by one: a byte with
    // eight more before it and no separator among them.
    std::uint64_t long_tokens = not_seps & (not_seps << 1);
    long_tokens &= long_tokens << 2;
    long_tokens &= long_tokens << 4;
    unusual |= long_tokens & (not_seps << 8);
    // A value of 0 keeps its text, less than a thousandth is cut to 0; a
    // separator that ends the list, and each near the 50th, are written
    // one by one.
    const std::uint64_t zero_value = first & seps;
    const std::uint64_t cut_to_zero = first & past_third;
    std::uint64_t special = unusual | zero_value | cut_to_zero;
    if (left <= kWindow) special |= seps & (std::uint64_t{1} << (left - 1));
    if (count + std::popcount(seps) >= kMaxTokens - 1) special |= seps;
    const std::uint64_t keep = (in.digits | in.minus) & ~past_third & ~leading;
    const std::uint64_t kept_decimals = decimals & ~past_third;
    std::uint64_t rest = seps;  // the separators from the token on
    unsigned s = 0;             // the token's first byte in the window
    // The separator of the first special token is at or after this byte.
    unsigned stop = static_cast<unsigned>(std::countr_zero(special));
    for (;;) {
      // The common tokens up to the next special one.
      if (const std::uint64_t common = LowBits<kWide>(rest, stop); common != 0) {
        out = PackTokens<kWide>(comma, bytes, ~keep, ~kept_decimals, common, s, out);
        s = 64 - static_cast<unsigned>(std::countl_zero(common));
        rest ^= common;
      }
      if (rest == 0) break;
      const unsigned e = static_cast<unsigned>(std::countr_zero(rest));
      const std::uint64_t through = rest ^ (rest - 1);
      const std::uint64_t token = through >> s << s;
      if ((unusual & token) != 0) break;
      if ((zero_value & token) != 0) {
        out = Put(out, {p + s, e - s});
      } else if ((cut_to_zero & token) != 0) {
        *out++ = '0';
      } else {
        const unsigned kept = static_cast<unsigned>((keep & through) >> s);
        Pack(Tables(), LoadWord(bytes + s), kept, out);
        out += std::popcount(kept);
        StoreWord(kZeros, out);
        out += 3 - std::popcount(kept_decimals & token);
      }
      if (p + e == end) return out;
      if (count + std::popcount(seps & ~token & through) == kMaxTokens - 1) {
        Raise(err::kSubscript);  // an empty 51st token
      }
      *out++ = comma ? ',' : ' ';
      if (p + e + 1 == end) return out;  // an empty last token
      s = e + 1;
      rest &= rest - 1;
      special &= ~through;
      stop = static_cast<unsigned>(std::countr_zero(special));
    }
    // The last token ended by the blank after the list: its separator taken
    // back.
    if (s > left) return out - 1;
    count += std::popcount(LowBits<kWide>(seps, s));
    p += s;
    if (rest == 0 && s != 0) continue;
    // A token of another form, or longer than the window.
    char* o = out;  // not `out`, which then stays in a register
    const char* const stop_at = ScaleToken(p, list, end, decimal_point, blocks, o);
    out = o;
    if (stop_at == end) return out;
    if (*stop_at != (comma ? ',' : ' ')) return nullptr;
    if (count == kMaxTokens - 1) Raise(err::kSubscript);  // an empty 51st token
    ++count;
    *out++ = *stop_at;
    p = stop_at + 1;
    if (p == end) return out;  // an empty last token
  }
}

// ScaleWindows apart, for each instruction set, so that the common way
// (ScaleCommon) stays small.
[[gnu::noinline]] __attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleWideWindows(
    const char* list, const char* end, ListAt at, bool decimal_point, bool blocks, char* out) {
  return ScaleWindows<true, false>(list, end, at, decimal_point, blocks, out);
}
[[gnu::noinline]] __attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScalePaddedWideWindows(
    const char* list, const char* end, ListAt at, bool decimal_point, bool blocks, char* out) {
  return ScaleWindows<true, true>(list, end, at, decimal_point, blocks, out);
}
[[gnu::noinline]] __attribute__((target("ssse3,popcnt"))) char* ScaleNarrowWindows(
    const char* list, const char* end, ListAt at, bool decimal_point, bool blocks, char* out) {
  return ScaleWindows<false, false>(list, end, at, decimal_point, blocks, out);
}
[[gnu::noinline]] __attribute__((target("ssse3,popcnt"))) char* ScalePaddedNarrowWindows(
    const char* list, const char* end, ListAt at, bool decimal_point, bool blocks, char* out) {
  return ScaleWindows<false, true>(list, end, at, decimal_point, blocks, out);
}

// The masks of a window of tokens of the common form (digits, maybe a
// point and decimals, no sign), separated by `seps` (a blank after the
// list's end taken for one): `other`, the bytes that make a token of
// another form (any other byte, a second point, a token of more than eight
// bytes, a first byte after the leading zeros that is a separator, for a
// value of 0 or an empty token, or past the third decimal, for a value of
// less than a thousandth); `dropped`, the bytes not kept (not digits, past
// the third decimal, leading zeros); `no_decimals`, the bytes not decimals
// kept.
struct CommonMasks {
  std::uint64_t other;
  std::uint64_t dropped;
  std::uint64_t no_decimals;
};
[[gnu::always_inline]] inline CommonMasks CommonMasksOf(const WindowBytes& in, std::uint64_t seps) {
  const std::uint64_t not_seps = ~seps;
  const std::uint64_t starts = (seps << 1) | 1;  // a token's first byte
  // From each point to the separator after it, then the decimals, and
  // those past the third: with three more decimals before them.
  const std::uint64_t from_point = ((not_seps + in.points) ^ not_seps) & not_seps;
  const std::uint64_t decimals = from_point & ~in.points;
  const std::uint64_t two_decimals = decimals & (decimals << 1);
  const std::uint64_t past_third = two_decimals & (two_decimals << 2);
  // Zeros and points from a token's start on lead; the first byte after
  // them.
  const std::uint64_t lead = in.zeros | in.points;
  const std::uint64_t carried = lead + (starts & lead);
  const std::uint64_t first = (carried | starts) & ~lead;
  // A byte with eight more before it and no separator among them.
  std::uint64_t long_tokens = not_seps & (not_seps << 1);
  long_tokens &= long_tokens << 2;
  long_tokens &= long_tokens << 4;
  const std::uint64_t leading = (carried ^ lead) & lead;
  return {~(in.digits | in.points | seps) | (in.points & ~from_point) |
              (first & (seps | past_third)) | (long_tokens & (not_seps << 8)),
          ~in.digits | past_third | leading, ~decimals | past_third};
}

// The most lists: of at most 96 bytes (so fewer than 49 separators, unless
// a token is empty), every token of the common form: digits, maybe a point
// and more digits, no more than eight bytes, a value of at least a
// thousandth.  Each window is checked for that with fewer masks than
// ScaleWindows makes; at the first window that holds any other token the
// list is left to ScaleWindows from that window on.  `in`: the first window
// classified (for a list in 64 bytes, blanks after it, `kPadded`, blanks
// past the end not taken for any).
template <bool kWide, bool kPadded>
[[gnu::always_inline]] inline char* ScaleCommon(const char* list, const char* end, WindowBytes in,
                                                const char* bytes, char* image, bool decimal_point,
                                                bool blocks, char* out) {
  ListAt at{list, 0, in.commas != 0};
  for (;;) {
    const std::size_t left = static_cast<std::size_t>(end - at.p);
    if ((at.comma ? in.blanks : in.commas) != 0) return nullptr;  // mixed
    if (left < kWindow) in.blanks |= std::uint64_t{1} << left;
    const std::uint64_t seps = in.commas | in.blanks;
    if (seps == 0) break;
    const auto [other, dropped, no_decimals] = CommonMasksOf(in, seps);
    if (kPadded || left < kWindow) {
      // The last window: its tokens end at the blank after the list, whose
      // separator is taken back.
      if (LowBits<kWide>(other, static_cast<unsigned>(left) + 1) != 0) break;
      return PackTokens<kWide>(at.comma, bytes, dropped, no_decimals, seps, 0, out) - 1;
    }
    // The tokens whose separator the window holds.
    const std::size_t s = 64 - static_cast<std::size_t>(std::countl_zero(seps));
    if (LowBits<kWide>(other, static_cast<unsigned>(s)) != 0) break;
    out = PackTokens<kWide>(at.comma, bytes, dropped, no_decimals, seps, 0, out);
    at.count += std::popcount(seps);
    at.p += s;
    in = ClassifyAt<kWide>(at.p, end, image, bytes, false);
  }
  if constexpr (kWide) {
    return (kPadded ? ScalePaddedWideWindows : ScaleWideWindows)(list, end, at, decimal_point,
                                                                 blocks, out);
  } else {
    return (kPadded ? ScalePaddedNarrowWindows : ScaleNarrowWindows)(list, end, at, decimal_point,
                                                                     blocks, out);
  }
}

// A list scaled, as ScaleListInWindows: one of fewer than 32 bytes copied
// first into 64 bytes, blanks after it; of a longer one nothing past the
// end is read.  Apart for each length, so that each has its registers.
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleShort(const char* list, const char* end,
                                               bool decimal_point, bool blocks, char* out) {
  const std::size_t size = static_cast<std::size_t>(end - list);
  char image[64];
  WindowBytes in;
  if constexpr (kWide) {
    if (size >= 16) {
      in = CopyPadded32(list, size, image, false);
    } else {
      CopyPadded(list, size, image);
      in = ClassifyPaddedWide(image, false);
    }
  } else {
    CopyPadded(list, size, image);
    in = ClassifyPaddedNarrow(image, false);
  }
  in.blanks = LowBits<kWide>(in.blanks, static_cast<unsigned>(size));
  char* const scaled =
      ScaleCommon<kWide, true>(image, image + size, in, image, image, decimal_point, blocks, out);
  // Mixed separators are rare: such a list is scaled again the plain way,
  // which puts them right.
  return scaled != nullptr ? scaled : WriteScaledByTokens(list, end, decimal_point, blocks, out);
}
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleMediumFrom(const char* list, const char* end,
                                                    bool decimal_point, bool blocks, char* out) {
  char image[kImage];
  const char* bytes;
  const WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
  char* const scaled =
      ScaleCommon<kWide, false>(list, end, in, bytes, image, decimal_point, blocks, out);
  return scaled != nullptr ? scaled : WriteScaledByTokens(list, end, decimal_point, blocks, out);
}
[[gnu::noinline]] __attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleMediumWideFrom(
    const char* list, const char* end, bool decimal_point, bool blocks, char* out) {
  return ScaleMediumFrom<true>(list, end, decimal_point, blocks, out);
}
[[gnu::noinline]] __attribute__((target("ssse3,popcnt"))) char* ScaleMediumNarrowFrom(
    const char* list, const char* end, bool decimal_point, bool blocks, char* out) {
  return ScaleMediumFrom<false>(list, end, decimal_point, blocks, out);
}

// A list of 32 to 63 bytes, one window, every token of the common form:
// ScaleCommon's last window alone, with few values kept at once.  Any
// other such list goes to ScaleCommon from its start.
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleOneWindow(const char* list, const char* end,
                                                   bool decimal_point, bool blocks, char* out) {
  const std::size_t left = static_cast<std::size_t>(end - list);
  // ScaleMediumList's choice: 32 to 63 bytes.
  if (left < 32 || left >= kWindow) __builtin_unreachable();
  {
    char image[kImage];
    const char* bytes;
    WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
    const bool comma = in.commas != 0;
    if ((comma ? in.blanks : in.commas) == 0) {
      in.blanks |= std::uint64_t{1} << left;
      const std::uint64_t seps = in.commas | in.blanks;
      const auto [other, dropped, no_decimals] = CommonMasksOf(in, seps);
      if (LowBits<kWide>(other, static_cast<unsigned>(left) + 1) == 0)
        return PackTokens<kWide>(comma, bytes, dropped, no_decimals, seps, 0, out) - 1;
    }
  }
  if constexpr (kWide) {
    return ScaleMediumWideFrom(list, end, decimal_point, blocks, out);
  } else {
    return ScaleMediumNarrowFrom(list, end, decimal_point, blocks, out);
  }
}
// A list of 64 to 96 bytes, every token of the common form: its first
// window up to its last separator, then the rest as ScaleOneWindow's
// window, with few values kept at once.  Any other such list goes to
// ScaleCommon from its start.
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleTwoWindows(const char* list, const char* end,
                                                    bool decimal_point, bool blocks, char* out) {
  // ScaleMediumList's choice: the first window is whole.
  if (static_cast<std::size_t>(end - list) < kWindow) __builtin_unreachable();
  {
    char image[kImage];
    const char* bytes;
    WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
    const bool comma = in.commas != 0;
    const std::uint64_t seps = in.commas | in.blanks;
    if ((comma ? in.blanks : in.commas) == 0 && seps != 0) {
      const auto [other, dropped, no_decimals] = CommonMasksOf(in, seps);
      // The tokens whose separator the first window holds.
      const std::size_t s = 64 - static_cast<std::size_t>(std::countl_zero(seps));
      if (LowBits<kWide>(other, static_cast<unsigned>(s)) == 0) {
        char* const o = PackTokens<kWide>(comma, bytes, dropped, no_decimals, seps, 0, out);
        const char* const p = list + s;
        const std::size_t left = static_cast<std::size_t>(end - p);
        if (left < kWindow) in = ClassifyAt<kWide>(p, end, image, bytes, false);
        if (left < kWindow && (comma ? in.blanks : in.commas) == 0) {
          in.blanks |= std::uint64_t{1} << left;
          const std::uint64_t last_seps = in.commas | in.blanks;
          const CommonMasks last = CommonMasksOf(in, last_seps);
          if (LowBits<kWide>(last.other, static_cast<unsigned>(left) + 1) == 0) {
            return PackTokens<kWide>(comma, bytes, last.dropped, last.no_decimals, last_seps, 0,
                                     o) -
                   1;
          }
        }
      }
    }
  }
  if constexpr (kWide) {
    return ScaleMediumWideFrom(list, end, decimal_point, blocks, out);
  } else {
    return ScaleMediumNarrowFrom(list, end, decimal_point, blocks, out);
  }
}
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleLong(const char* list, const char* end, bool decimal_point,
                                              bool blocks, char* out) {
  char* const scaled =
      ScaleWindows<kWide, false>(list, end, {list, 0, false}, decimal_point, blocks, out);
  return scaled != nullptr ? scaled : WriteScaledByTokens(list, end, decimal_point, blocks, out);
}

}  // namespace

__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleShortListWide(const char* list,
                                                                         const char* end,
                                                                         bool decimal_point,
                                                                         bool blocks, char* out) {
  return ScaleShort<true>(list, end, decimal_point, blocks, out);
}
__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleOneWindowListWide(
    const char* list, const char* end, bool decimal_point, bool blocks, char* out) {
  return ScaleOneWindow<true>(list, end, decimal_point, blocks, out);
}
__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleTwoWindowsListWide(
    const char* list, const char* end, bool decimal_point, bool blocks, char* out) {
  return ScaleTwoWindows<true>(list, end, decimal_point, blocks, out);
}
__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleLongListWide(const char* list,
                                                                        const char* end,
                                                                        bool decimal_point,
                                                                        bool blocks, char* out) {
  return ScaleLong<true>(list, end, decimal_point, blocks, out);
}
__attribute__((target("ssse3,popcnt"))) char* ScaleShortList(const char* list, const char* end,
                                                             bool decimal_point, bool blocks,
                                                             char* out) {
  return ScaleShort<false>(list, end, decimal_point, blocks, out);
}
__attribute__((target("ssse3,popcnt"))) char* ScaleOneWindowList(const char* list, const char* end,
                                                                 bool decimal_point, bool blocks,
                                                                 char* out) {
  return ScaleOneWindow<false>(list, end, decimal_point, blocks, out);
}
__attribute__((target("ssse3,popcnt"))) char* ScaleTwoWindowsList(const char* list, const char* end,
                                                                  bool decimal_point, bool blocks,
                                                                  char* out) {
  return ScaleTwoWindows<false>(list, end, decimal_point, blocks, out);
}
__attribute__((target("ssse3,popcnt"))) char* ScaleLongList(const char* list, const char* end,
                                                            bool decimal_point, bool blocks,
                                                            char* out) {
  return ScaleLong<false>(list, end, decimal_point, blocks, out);
}

}  // namespace tavrel::detail

#endif  // TAVREL_SIMD_VALUES
