// The pieces of the window scalers of value lists (value_lists_simd.cpp,
// value_lists_common_simd.cpp): a window of 64 bytes classified into masks,
// 16 bytes at a time with SSE2 or 32 with AVX2, and the tokens packed from
// it with pshufb.  Each function carries the instruction set it needs.
#pragma once

#include "value_lists.h"

#if TAVREL_SIMD_VALUES

#include <immintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "internal.h"

namespace tavrel::detail {

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
  } else {
    CopyShort(image, list, size);
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
// decimals kept, one bit each, its first byte in the lowest bit; most
// tables are read with these sets doubled (see PackTokensIn).
struct PackTables {
  // For each set of bytes kept, the pshufb indexes that pack them to the
  // front, from the eight bytes of a token, and the four after them from
  // bytes 8 to 11, where the padding is put.
  alignas(16) std::array<std::array<signed char, 16>, 256> pack;
  // For the decimals kept, the padding (kPadding) under a blank and under
  // a comma.
  std::array<std::array<std::uint64_t, 2>, 256> padding;
  // For the decimals kept, doubled, the bytes of the padding.
  std::array<std::uint8_t, 512> padding_size;
  // For each set of bytes kept, doubled, how many.
  std::array<std::uint8_t, 512> count;
};
alignas(64) constexpr PackTables kPackTables = [] {
  PackTables tables{};
  for (unsigned keep = 0; keep < 256; ++keep) {
    unsigned n = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((keep >> i & 1) != 0) tables.pack[keep][n++] = static_cast<signed char>(i);
    }
    tables.count[2 * keep] = static_cast<std::uint8_t>(n);
    for (unsigned i = 0; i < 4; ++i)
      tables.pack[keep][n++] = static_cast<signed char>(8 + i);
    for (; n < 16; ++n)
      tables.pack[keep][n] = -1;
    const unsigned decimals = std::min(static_cast<unsigned>(std::popcount(keep)), 3u);
    for (unsigned comma = 0; comma < 2; ++comma)
      tables.padding[keep][comma] = kPadding[comma][decimals];
    tables.padding_size[2 * keep] = static_cast<std::uint8_t>(4 - decimals);
  }
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
                       _mm_load_si128(reinterpret_cast<const __m128i*>(tables.pack[kept].data())));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
}
// The bytes of `word` that `twice_kept` / 2 says, and the padding after
// them (PackTables::padding of the decimals kept `twice_decimals` / 2), packed
// at `out` in one pshufb (sixteen bytes written).
template <bool kComma>
__attribute__((target("ssse3"))) inline void PackPadded(const PackTables& tables,
                                                        std::uint64_t word, std::size_t twice_kept,
                                                        std::size_t twice_decimals, char* out) {
  const std::uint64_t* const padding = tables.padding[0].data() + twice_decimals + (kComma ? 1 : 0);
  const __m128i both = _mm_castpd_si128(
      _mm_loadh_pd(_mm_castsi128_pd(_mm_cvtsi64_si128(static_cast<long long>(word))),
                   reinterpret_cast<const double*>(padding)));
  const __m128i row =
      _mm_load_si128(reinterpret_cast<const __m128i*>(tables.pack[0].data() + 8 * twice_kept));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_shuffle_epi8(both, row));
}

// BMI's blsmsk (the bits of `seps` up to its lowest), andn (~a & b) and
// tzcnt, which the compiler would rather make of more instructions.
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
__attribute__((target("bmi"))) inline std::size_t LowestBit(std::uint64_t set) {
  std::uint64_t bit;
  asm("tzcnt %1, %0" : "=r"(bit) : "r"(set));
  return bit;
}

// The common tokens of a window whose separators are `seps` (none past the
// list's end, the first after byte `s`, where a token begins; each token
// at most eight bytes before its separator): each packed from the eight
// bytes at bytes[its first byte], the missing decimals and the separator
// after them in the same pshufb.  `dropped` and `no_decimals` are the
// bytes not kept, the bytes not decimals kept (the separators among them).
// The sets of a token are shifted down to the separator before it, which
// leaves them doubled: the tables are read at twice a set, the sixteen
// bytes of a row of pack at eight times that, so with one shift.
template <bool kComma, bool kBmi>
[[gnu::always_inline]] inline char* PackTokensIn(const char* bytes, std::uint64_t dropped,
                                                 std::uint64_t no_decimals, std::uint64_t seps,
                                                 std::size_t s, char* out) {
  const PackTables& tables = Tables();
  std::uint64_t through;  // the bits up to the token's separator
  if constexpr (kBmi) {
    through = Through(seps);
  } else {
    through = seps ^ (seps - 1);
  }
  // The first token, whose separator before it may be before the window.
  std::size_t first = s;
  std::size_t twice_kept;
  std::size_t twice_decimals;
  if constexpr (kBmi) {
    twice_kept = AndNot(dropped, through);
    twice_decimals = AndNot(no_decimals, through);
  } else {
    twice_kept = ~dropped & through;
    twice_decimals = ~no_decimals & through;
  }
  if (s == 0) {
    twice_kept <<= 1;
    twice_decimals <<= 1;
  } else {
    twice_kept >>= s - 1;
    twice_decimals >>= s - 1;
  }
  for (;;) {
    PackPadded<kComma>(tables, LoadWord(bytes + first), twice_kept, twice_decimals, out);
    out += tables.count[twice_kept];
    out += tables.padding_size[twice_decimals];
    std::size_t sep;  // the token's separator
    if constexpr (kBmi) {
      sep = LowestBit(seps);
    } else {
      sep = static_cast<std::size_t>(std::countr_zero(seps));
    }
    seps &= seps - 1;
    if (seps == 0) break;
    first = sep + 1;
    if constexpr (kBmi) {
      through = Through(seps);
      twice_kept = AndNot(dropped, through) >> sep;
      twice_decimals = AndNot(no_decimals, through) >> sep;
    } else {
      through = seps ^ (seps - 1);
      twice_kept = (~dropped & through) >> sep;
      twice_decimals = (~no_decimals & through) >> sep;
    }
  }
  return out;
}

template <bool kWide>
[[gnu::always_inline]] inline char* PackTokens(bool comma, const char* bytes, std::uint64_t dropped,
                                               std::uint64_t no_decimals, std::uint64_t seps,
                                               std::size_t s, char* out) {
  return comma ? PackTokensIn<true, kWide>(bytes, dropped, no_decimals, seps, s, out)
               : PackTokensIn<false, kWide>(bytes, dropped, no_decimals, seps, s, out);
}

}  // namespace

// Where a list stands while it is scaled window by window.
struct ListAt {
  const char* p;  // a token's first byte, before the list's end
  int count;      // the separators written before it
  bool comma;     // the list's separator: a comma, or a blank
};

// ScaleWindows (value_lists_simd.cpp) for each instruction set, from `at`
// on; `Padded`: the list is in 64 bytes, blanks after it.  nullptr when the
// separators are mixed.
__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleWideWindows(const char* list,
                                                                       const char* end, ListAt at,
                                                                       bool decimal_point,
                                                                       bool blocks, char* out);
__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScalePaddedWideWindows(
    const char* list, const char* end, ListAt at, bool decimal_point, bool blocks, char* out);
__attribute__((target("ssse3,popcnt"))) char* ScaleNarrowWindows(const char* list, const char* end,
                                                                 ListAt at, bool decimal_point,
                                                                 bool blocks, char* out);
__attribute__((target("ssse3,popcnt"))) char* ScalePaddedNarrowWindows(const char* list,
                                                                       const char* end, ListAt at,
                                                                       bool decimal_point,
                                                                       bool blocks, char* out);

}  // namespace tavrel::detail

#endif  // TAVREL_SIMD_VALUES
