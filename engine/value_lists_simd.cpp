// The value lists scaled with the vector instructions of x86 processors:
// single tokens in sixteen bytes (ScaleBlock), and whole lists of any form
// in windows of 64 bytes (ScaleWindows), any token of an unusual form by
// ScaleToken.  The lists of common tokens take the short ways of
// value_lists_common_simd.cpp first.  Each function carries the
// instruction set it needs (no build option asks for more than the
// processor's base), and value_lists.cpp calls it only where the processor
// has that set.
#include "value_lists.h"

#if TAVREL_SIMD_VALUES

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "internal.h"
#include "tavrel.h"
#include "value_windows.h"

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

template <bool kWide>
[[gnu::always_inline]] inline char* ScaleLong(const char* list, const char* end, bool decimal_point,
                                              bool blocks, char* out) {
  char* const scaled =
      ScaleWindows<kWide, false>(list, end, {list, 0, false}, decimal_point, blocks, out);
  return scaled != nullptr ? scaled : WriteScaledByTokens(list, end, decimal_point, blocks, out);
}

}  // namespace

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

__attribute__((target("avx2,bmi,bmi2,popcnt"))) char* ScaleLongListWide(const char* list,
                                                                        const char* end,
                                                                        bool decimal_point,
                                                                        bool blocks, char* out) {
  return ScaleLong<true>(list, end, decimal_point, blocks, out);
}
__attribute__((target("ssse3,popcnt"))) char* ScaleLongList(const char* list, const char* end,
                                                            bool decimal_point, bool blocks,
                                                            char* out) {
  return ScaleLong<false>(list, end, decimal_point, blocks, out);
}

}  // namespace tavrel::detail

#endif  // TAVREL_SIMD_VALUES
