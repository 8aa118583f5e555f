// The most value lists, all their tokens plain decimals of up to eight
// bytes, scaled with the vector instructions of x86 processors by short
// ways, one for each length of list; at the first window with a token of
// another form the list goes on in ScaleWindows (value_lists_simd.cpp).
// Each function carries the instruction set it needs, and value_lists.h
// calls it only where the processor has that set.
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

// The masks of a window of tokens of the common form (digits, maybe a
// point and decimals, no sign), separated by `seps` (a blank after the
// list's end taken for one): `other`, the bytes that make a token of
// another form (any other byte, a second point, a token of more than eight
// bytes, a first byte after the leading zeros that is a separator, for a
// value of 0 or an empty token, or past the third decimal, for a value of
// less than a thousandth); `dropped`, the bytes not kept (not digits, past
// the third decimal, leading zeros); `no_decimals`, the bytes not decimals
// kept.
// Made of the sets of one window (std::uint64_t) or of two side by side
// (Masks2: each step one vector instruction for both).
template <class Mask>
struct CommonMasksOf2 {
  Mask other;
  Mask dropped;
  Mask no_decimals;
};
template <class Mask>
[[gnu::always_inline]] inline CommonMasksOf2<Mask> CommonMasksOfSets(Mask digits, Mask zeros,
                                                                     Mask points, Mask seps) {
  const Mask not_seps = ~seps;
  const Mask starts = ~(not_seps << 1);  // a token's first byte: (seps << 1) | 1
  // From each point to the separator after it, then the decimals, and
  // those past the third: with three more decimals before them.
  const Mask from_point = ((not_seps + points) ^ not_seps) & not_seps;
  const Mask decimals = from_point & ~points;
  const Mask two_decimals = decimals & (decimals << 1);
  const Mask past_third = two_decimals & (two_decimals << 2);
  // Zeros and points from a token's start on lead; the first byte after
  // them.
  const Mask lead = zeros | points;
  const Mask carried = lead + (starts & lead);
  const Mask first = (carried | starts) & ~lead;
  // A byte with seven more before it and no separator among them; two
  // such in a row are in a token of more than eight bytes.
  Mask long_tokens = not_seps & (not_seps << 1);
  long_tokens &= long_tokens << 2;
  long_tokens &= long_tokens << 4;
  const Mask leading = (carried ^ lead) & lead;
  // Any byte but a digit, a separator or a token's first point is another.
  return {~(digits | seps | (points & from_point)) | (first & (seps | past_third)) |
              (long_tokens & (long_tokens << 1)),
          ~digits | past_third | leading, ~decimals | past_third};
}
using CommonMasks = CommonMasksOf2<std::uint64_t>;
[[gnu::always_inline]] inline CommonMasks CommonMasksOf(const WindowBytes& in, std::uint64_t seps) {
  return CommonMasksOfSets(in.digits, in.zeros, in.points, seps);
}
// Two windows' sets, the first's in element 0.
using Masks2 = std::uint64_t __attribute__((vector_size(16)));

// The most lists: of at most 96 bytes (so fewer than 49 separators, unless
// a token is empty), every token of the common form: digits, maybe a point
// and more digits, no more than eight bytes, a value of at least a
// thousandth.  Each window is checked for that with fewer masks than
// ScaleWindows makes; at the first window that holds any other token the
// list is left to ScaleWindows from that window on.  `in`: the first window
// classified.
template <bool kWide>
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
    if (left < kWindow) {
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
    return ScaleWideWindows(list, end, at, decimal_point, blocks, out);
  } else {
    return ScaleNarrowWindows(list, end, at, decimal_point, blocks, out);
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
  // ScaleCommon's last window, the blanks after the list taken for none;
  // any other token left to ScaleWindows.
  const bool comma = in.commas != 0;
  const std::uint64_t blanks = LowBits<kWide>(in.blanks, static_cast<unsigned>(size));
  if ((comma ? blanks : in.commas) == 0) {
    const std::uint64_t seps = in.commas | blanks | std::uint64_t{1} << size;
    const auto [other, dropped, no_decimals] = CommonMasksOf(in, seps);
    if (LowBits<kWide>(other, static_cast<unsigned>(size) + 1) == 0)
      return PackTokens<kWide>(comma, image, dropped, no_decimals, seps, 0, out) - 1;
    char* scaled;
    if constexpr (kWide) {
      scaled = ScalePaddedWideWindows(image, image + size, ListAt{image, 0, comma}, decimal_point,
                                      blocks, out);
    } else {
      scaled = ScalePaddedNarrowWindows(image, image + size, ListAt{image, 0, comma}, decimal_point,
                                        blocks, out);
    }
    if (scaled != nullptr) return scaled;
  }
  // Mixed separators are rare: such a list is scaled again the plain way,
  // which puts them right.
  return WriteScaledByTokens(list, end, decimal_point, blocks, out);
}
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleMediumFrom(const char* list, const char* end,
                                                    bool decimal_point, bool blocks, char* out) {
  char image[kImage];
  const char* bytes;
  const WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
  char* const scaled = ScaleCommon<kWide>(list, end, in, bytes, image, decimal_point, blocks, out);
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
    const WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
    // Apart for each separator, so that each keeps only its own set.
    const auto scale = [&]<bool kComma>(std::uint64_t seps) __attribute__((always_inline)) {
      seps |= std::uint64_t{1} << left;
      const auto [other, dropped, no_decimals] = CommonMasksOf(in, seps);
      if (LowBits<kWide>(other, static_cast<unsigned>(left) + 1) != 0)
        return static_cast<char*>(nullptr);
      return PackTokensIn<kComma, kWide>(bytes, dropped, no_decimals, seps, 0, out) - 1;
    };
    char* scaled = nullptr;
    if (in.commas != 0) {
      if (in.blanks == 0) scaled = scale.template operator()<true>(in.commas);
    } else {
      scaled = scale.template operator()<false>(in.blanks);
    }
    if (scaled != nullptr) return scaled;
  }
  if constexpr (kWide) {
    return ScaleMediumWideFrom(list, end, decimal_point, blocks, out);
  } else {
    return ScaleMediumNarrowFrom(list, end, decimal_point, blocks, out);
  }
}
// A list of 64 to 96 bytes, every token of the common form: its first
// window up to its last separator, then the rest as ScaleOneWindow's
// window, the masks of both made at once, with few values kept at once.
// Any other such list goes to ScaleCommon from its start.
template <bool kWide>
[[gnu::always_inline]] inline char* ScaleTwoWindows(const char* list, const char* end,
                                                    bool decimal_point, bool blocks, char* out) {
  // ScaleMediumList's choice: the first window is whole.
  if (static_cast<std::size_t>(end - list) < kWindow) __builtin_unreachable();
  {
    char image[kImage];
    char last_image[kImage];
    const char* bytes;
    const char* last_bytes;
    const WindowBytes in = ClassifyAt<kWide>(list, end, image, bytes, false);
    // Apart for each separator, so that each keeps only its own sets.
    const auto scale = [&]<bool kComma>(std::uint64_t seps, std::uint64_t others)
                           __attribute__((always_inline))
                               ->char* {
      if (others != 0 || seps == 0) return nullptr;
      // The tokens whose separator the first window holds, then the rest.
      const std::size_t s = 64 - static_cast<std::size_t>(std::countl_zero(seps));
      const char* const p = list + s;
      const std::size_t left = static_cast<std::size_t>(end - p);
      if (left >= kWindow) return nullptr;
      const WindowBytes last = ClassifyAt<kWide>(p, end, last_image, last_bytes, false);
      if ((kComma ? last.blanks : last.commas) != 0) return nullptr;
      const std::uint64_t end_bit = std::uint64_t{1} << left;
      const std::uint64_t last_seps = (kComma ? last.commas : last.blanks) | end_bit;
      const CommonMasksOf2<Masks2> masks =
          CommonMasksOfSets<Masks2>(Masks2{in.digits, last.digits}, Masks2{in.zeros, last.zeros},
                                    Masks2{in.points, last.points}, Masks2{seps, last_seps});
      if ((LowBits<kWide>(masks.other[0], static_cast<unsigned>(s)) |
           LowBits<kWide>(masks.other[1], static_cast<unsigned>(left) + 1)) != 0)
        return nullptr;
      char* const o =
          PackTokensIn<kComma, kWide>(bytes, masks.dropped[0], masks.no_decimals[0], seps, 0, out);
      return PackTokensIn<kComma, kWide>(last_bytes, masks.dropped[1], masks.no_decimals[1],
                                         last_seps, 0, o) -
             1;
    };
    char* const scaled = in.commas != 0 ? scale.template operator()<true>(in.commas, in.blanks)
                                        : scale.template operator()<false>(in.blanks, 0);
    if (scaled != nullptr) return scaled;
  }
  if constexpr (kWide) {
    return ScaleMediumWideFrom(list, end, decimal_point, blocks, out);
  } else {
    return ScaleMediumNarrowFrom(list, end, decimal_point, blocks, out);
  }
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
}  // namespace tavrel::detail

#endif  // TAVREL_SIMD_VALUES
