// The value lists scaled with the vector instructions of x86 processors:
// whole lists in windows of 64 bytes (classified 16 bytes at a time with
// SSE2, or 32 with AVX2), and single tokens in sixteen bytes.  Each function
// carries the instruction set it needs (no build option asks for more than
// the processor's base), and value_lists.cpp calls it only where the
// processor has that set.
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
// lowest bit.  Of a list that ends in the window only the bytes up to the
// one past its end are classified, the rest left as none of these.
struct WindowBytes {
  std::uint64_t digits = 0;
  std::uint64_t zeros = 0;
  std::uint64_t points = 0;
  std::uint64_t commas = 0;
  std::uint64_t blanks = 0;
  std::uint64_t minus = 0;
};

__attribute__((target("sse2"))) inline std::uint64_t Equal16(__m128i w, char c) {
  return static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(w, _mm_set1_epi8(c))));
}

__attribute__((target("sse2"))) inline WindowBytes Classify16(const char* bytes, std::size_t left) {
  WindowBytes in;
  for (unsigned i = 0; i < kWindow && i <= left; i += 16) {
    const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    const __m128i offsets = _mm_sub_epi8(w, _mm_set1_epi8('0'));
    const std::uint64_t digits = static_cast<std::uint16_t>(
        _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(offsets, _mm_set1_epi8(9)), offsets)));
    in.digits |= digits << i;
    in.zeros |= Equal16(w, '0') << i;
    in.points |= Equal16(w, '.') << i;
    in.commas |= Equal16(w, ',') << i;
    in.blanks |= Equal16(w, ' ') << i;
    in.minus |= Equal16(w, '-') << i;
  }
  return in;
}

__attribute__((target("avx2"))) inline std::uint64_t Equal32(__m256i w, char c) {
  return static_cast<std::uint32_t>(
      _mm256_movemask_epi8(_mm256_cmpeq_epi8(w, _mm256_set1_epi8(c))));
}

// The 32 bytes at `bytes`, classified.
__attribute__((target("avx2"))) inline WindowBytes Classify32At(const char* bytes) {
  const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes));
  const __m256i offsets = _mm256_sub_epi8(w, _mm256_set1_epi8('0'));
  const __m256i digits = _mm256_cmpeq_epi8(_mm256_min_epu8(offsets, _mm256_set1_epi8(9)), offsets);
  WindowBytes in;
  in.digits = static_cast<std::uint32_t>(_mm256_movemask_epi8(digits));
  in.zeros = Equal32(w, '0');
  in.points = Equal32(w, '.');
  in.commas = Equal32(w, ',');
  in.blanks = Equal32(w, ' ');
  in.minus = Equal32(w, '-');
  return in;
}

// The window at `bytes` classified; its second half only where the list
// reaches it (`left` bytes from `bytes` on), the first always, without
// shifting and merging masks for a window of one half.
__attribute__((target("avx2"))) inline WindowBytes Classify32(const char* bytes, std::size_t left) {
  static_assert(kWindow == 64);
  WindowBytes in = Classify32At(bytes);
  if (left >= 32) {
    const WindowBytes high = Classify32At(bytes + 32);
    in.digits |= high.digits << 32;
    in.zeros |= high.zeros << 32;
    in.points |= high.points << 32;
    in.commas |= high.commas << 32;
    in.blanks |= high.blanks << 32;
    in.minus |= high.minus << 32;
  }
  return in;
}

// For each set of bytes to keep out of eight, the pshufb indexes that pack
// them to the front.
alignas(16) constexpr auto kPack = [] {
  std::array<std::array<signed char, 8>, 256> pack{};
  for (unsigned keep = 0; keep < 256; ++keep) {
    unsigned n = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if ((keep >> i & 1) != 0) pack[keep][n++] = static_cast<signed char>(i);
    }
    for (; n < 8; ++n)
      pack[keep][n] = -1;
  }
  return pack;
}();

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

// The bytes of the eight at `from` that `kept` says, packed at `out` (eight
// bytes written).
__attribute__((target("ssse3"))) inline void Pack(const char* from, unsigned kept, char* out) {
  const __m128i word = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
  const __m128i packed =
      _mm_shuffle_epi8(word, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kPack[kept].data())));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
}

// A list scaled in windows of 64 bytes, each classified at once: masks of
// the bytes of the window tell, for all its tokens together, which bytes
// are dropped (the point, decimals past the third, leading zeros), how many
// decimals each token has, and which tokens are of an unusual form.  Then
// each token of at most eight bytes that the window holds whole, with the
// separator after it, is packed with one pshufb, its missing decimals
// written as zeros.  Any other token goes to ScaleToken, as does one that
// needs rounding down (a negative with more than three decimals under a
// decimal point).  nullptr when the separators are mixed.
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleInWindows(const char* list, const char* end,
                                                   bool decimal_point, bool blocks, char* out) {
  constexpr int kMaxTokens = 50;
  // Where a window (or a word loaded within one) would run past the list,
  // its bytes are copied here, the rest blanks: a blank past the end ends
  // the last token as a separator would.
  constexpr std::size_t kRoom = kWindow + 8;
  alignas(16) char tail[kRoom];
  const char* p = list;  // a token's first byte, before `end`
  int count = 0;         // the separators written
  char previous = 0;     // the separator before
  // Writes the separator at `at` (or nothing at the list's end); false when
  // the list ends there.  nullptr for `out` when the separators are mixed.
  auto separator = [&](const char* at) {
    if (at == end) return false;
    const char c = *at;
    if (c != previous && count > 0) {
      out = nullptr;
      return false;
    }
    if (count == kMaxTokens - 1) Raise(err::kSubscript);  // an empty 51st token
    ++count;
    previous = c;
    *out++ = c;
    return at + 1 != end;  // else an empty last token
  };
  for (;;) {
    const std::size_t left = static_cast<std::size_t>(end - p);
    const char* bytes = p;
    std::uint64_t ending = 0;
    if (left < kRoom) {
      // Blanks, then the bytes in two copies that overlap.
      std::memset(tail, ' ', sizeof tail);
      if (left >= 64) {
        std::memcpy(tail, p, 64);
        std::memcpy(tail + left - 8, end - 8, 8);
      } else if (left >= 32) {
        std::memcpy(tail, p, 32);
        std::memcpy(tail + left - 32, end - 32, 32);
      } else if (left >= 16) {
        std::memcpy(tail, p, 16);
        std::memcpy(tail + left - 16, end - 16, 16);
      } else if (left >= 8) {
        std::memcpy(tail, p, 8);
        std::memcpy(tail + left - 8, end - 8, 8);
      } else {
        for (std::size_t i = 0; i < left; ++i)
          tail[i] = p[i];
      }
      bytes = tail;
    }
    // The list's last byte and the one past it, where the window holds them:
    // a token there ends the list.
    if (left <= kWindow) ending = std::uint64_t{3} << (left - 1);
    const WindowBytes in = kWide ? Classify32(bytes, left) : Classify16(bytes, left);
    const std::uint64_t seps = in.commas | in.blanks;
    const std::uint64_t not_seps = ~seps;
    const std::uint64_t starts = (seps << 1) | 1;  // a token's first byte
    // From each point to the separator after it, then the decimals, and
    // those past the third.
    const std::uint64_t from_point = ((not_seps + in.points) ^ not_seps) & not_seps;
    const std::uint64_t decimals = from_point & ~in.points;
    const std::uint64_t past_third =
        decimals & ~((in.points << 1) | (in.points << 2) | (in.points << 3));
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
    if (count == 0) {
      // Until a separator is written, the first in the window is taken for
      // the list's; any other is checked as it comes.
      previous = (seps & in.commas & -seps) != 0 ? ',' : ' ';
    }
    // A value of 0 keeps its text, less than a thousandth is cut to 0; the
    // separators not like the one before and the tokens at the end of the
    // list are written one by one.
    // A token of more than eight bytes is taken one by one too: a byte with
    // eight more before it and no separator among them.
    std::uint64_t long_tokens = not_seps & (not_seps << 1);
    long_tokens &= long_tokens << 2;
    long_tokens &= long_tokens << 4;
    long_tokens &= not_seps << 8;
    const std::uint64_t zero_value = first & seps;
    std::uint64_t special = unusual | zero_value | (first & past_third) | ending | long_tokens |
                            (previous == ',' ? in.blanks : in.commas);
    // Near the 50th separator, each is counted where it is written.
    if (count + std::popcount(seps) >= kMaxTokens - 1) special |= seps;
    const std::uint64_t keep = (in.digits | in.minus) & ~past_third & ~leading;
    const std::uint64_t kept_decimals = decimals & ~past_third;
    // The missing decimals and the separator after them, in a word, for a
    // token with 0 to 3 decimals.
    const std::uint64_t* const padding = kPadding[previous == ',' ? 1 : 0].data();
    std::uint64_t rest = seps;  // the separators from the token on
    std::uint64_t done = 0;     // the bytes before the token
    unsigned s = 0;             // the token's first byte in the window
    while (rest != 0) {
      const unsigned e = static_cast<unsigned>(std::countr_zero(rest)) - s;
      const std::uint64_t through = rest ^ (rest - 1);  // to the token's separator
      const std::uint64_t token = through ^ done;       // its bytes and the separator
      const unsigned kept = static_cast<unsigned>((keep & token) >> s);
      const unsigned decimals_kept = static_cast<unsigned>(std::popcount(kept_decimals & token));
      if ((special & token) != 0) {
        if (((unusual | long_tokens) & token) != 0) break;
        if ((zero_value & token) != 0) {
          out = Put(out, {bytes + s, e});
        } else if ((first & past_third & token) != 0) {
          *out++ = '0';
        } else {
          Pack(bytes + s, kept, out);
          out += std::popcount(kept);
          StoreWord(kZeros, out);
          out += 3 - decimals_kept;
        }
        if (!separator(p + s + e)) return out;
      } else {
        ++count;
        Pack(bytes + s, kept, out);
        out += std::popcount(kept);
        StoreWord(padding[decimals_kept], out);
        out += 4 - decimals_kept;
      }
      s += e + 1;
      done = through;
      rest &= rest - 1;
    }
    if (s == 0) {
      // A token of another form, or longer than the window.
      char* o = out;  // not `out`, which then stays in a register
      const char* const stop = ScaleToken(p, list, end, decimal_point, blocks, o);
      out = o;
      if (!separator(stop)) return out;
      p = stop + 1;
    } else {
      p += s;
    }
  }
}

}  // namespace

__attribute__((target("ssse3,popcnt"))) char* ScaleListInWindows(const char* list, const char* end,
                                                                 bool decimal_point, bool blocks,
                                                                 char* out) {
  return ScaleInWindows<false>(list, end, decimal_point, blocks, out);
}

__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleListInWideWindows(
    const char* list, const char* end, bool decimal_point, bool blocks, char* out) {
  return ScaleInWindows<true>(list, end, decimal_point, blocks, out);
}

}  // namespace tavrel::detail

#endif  // TAVREL_SIMD_VALUES
