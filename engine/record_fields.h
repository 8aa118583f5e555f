// The pieces the numeric records share: the prefix, the field list's end,
// and the fields they scale, read and scaled one by one straight from the
// line when they are short decimals (the common case), else as a value
// list.  Only numeric_records.cpp and text_records.cpp include it: its
// pieces are their own.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel::detail {
namespace {

double Checked(double value) {
  if (!std::isfinite(value)) Raise(err::kOverflow);
  return value;
}

// The line's first `count` characters (the whole line when shorter), trimmed.
std::string_view Prefix(std::string_view line, std::size_t count) {
  const char* first = line.data();
  const char* last = first + std::min(count, line.size());
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  return {first, static_cast<std::size_t>(last - first)};
}

// Put of Prefix(line, 4) for a line that begins with its record type: four
// characters copied at once, then the blanks at their end taken back.
[[gnu::always_inline]] inline char* PutPrefix4(std::string_view line, char* out) {
  if (line.size() < 4) return Put(out, Prefix(line, 4));
  std::memcpy(out, line.data(), 4);
  std::size_t kept = 4;
  while (line[kept - 1] == ' ')
    --kept;
  return out + kept;
}

// The exact decimal of a short decimal.
ExactDecimal Exact(const FixedDecimal& d) {
  const bool negative = d.value < 0;
  return {true, negative,
          negative ? 0 - static_cast<std::uint64_t>(d.value) : static_cast<std::uint64_t>(d.value),
          d.fraction};
}

// Whether the blank-joined fields `first` to `last` are all there, each one
// token of a value list: Moltiplica of them joined is that of each, joined by
// blanks.  A field may begin with a blank (the second of two), which would
// separate tokens.
bool OneTokenEach(const FieldTable& f, int first, int last) {
  return f.count() >= last && !SplitsApart(f.Span(first, last));
}

// The blanks at the end of a record's text removed; the text begins with
// its record type, so the search stops there.
char* TrimEnd(char* out) {
  while (out[-1] == ' ')
    --out;
  return out;
}

// Fields `first` to the field count, each followed by a blank, then the
// blanks at the end of the whole result removed.  A blank after the 100th
// field opens field 101, which is past the field table.
[[gnu::always_inline]] inline char* FieldsFromAndTrim(int first, const FieldTable& f, char* out) {
  if (f.count() >= first) {
    if (f.count() > FieldTable::kMaxFields) Raise(err::kSubscript);
    out = Put(out, f.From(first));
    *out++ = ' ';
  }
  return TrimEnd(out);
}

// Moltiplica of fields `first` to `last` joined by single blanks.  When the
// line reaches field `last` they stand so joined in the line itself.
char* ScaledFields(const FieldTable& f, int first, int last, bool decimal_point, char* out) {
  if (f.count() >= last) return WriteScaled(f.Span(first, last), decimal_point, out);
  if (last - first == 3) {
    return WriteScaledFields({f[first], f[first + 1], f[first + 2], f[last]}, decimal_point, out);
  }
  return WriteScaledFields({f[first], f[first + 1], f[first + 2], f[first + 3], f[last]},
                           decimal_point, out);
}

// The `size` (1 to 8) bytes at `p` as a word, the first in the lowest bits,
// the rest 0; eight are read at once when the line holds them.
std::uint64_t LoadField(const char* p, std::size_t size, const char* end) {
  if (end - p >= 8) return LoadWord(p) & kLowBytes[size];
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < size; ++i)
    word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return word;
}

// A field of the plain short form: a sign, then 1 to 8 digits with at most
// one point among them.  Its digits (0 to 9 each, the first in the lowest
// byte, none past `count`), how many stand before the point, its sign.
struct ShortDecimal {
  std::uint64_t digits = 0;
  unsigned count = 0;
  unsigned whole = 0;
  bool negative = false;
};

// Reads `text`, which lies in a line ending at `end`, as a ShortDecimal;
// false for any other text.  All its bytes are looked at at once.
bool ReadShort(std::string_view text, const char* end, ShortDecimal& number) {
  const char* p = text.data();
  std::size_t size = text.size();
  if (size == 0) return false;
  number.negative = *p == '-';
  if (*p == '-' || *p == '+') {
    ++p;
    --size;
  }
  if (size - 1 >= 8) return false;  // no byte or more than eight
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const std::uint64_t values = LoadField(p, size, end) ^ (kZeros & kLowBytes[size]);
  // A high bit in each byte other than a digit (whose value is not 0 to 9).
  const std::uint64_t others =
      (((values & ~kHigh) + 0x7676767676767676ULL) | values) & kHigh & kLowBytes[size];
  if (others == 0) {
    number.digits = values;
    number.count = number.whole = static_cast<unsigned>(size);
    return true;
  }
  const auto point = static_cast<unsigned>(std::countr_zero(others)) / 8;
  if ((others & (others - 1)) != 0 || p[point] != '.' || size == 1) return false;
  // The point taken out: the decimals move down one byte.
  number.digits = (values & kLowBytes[point]) | ((values >> 8) & ~kLowBytes[point]);
  number.count = static_cast<unsigned>(size) - 1;
  number.whole = point;
  return true;
}

// Moltiplica of a ShortDecimal that is one token (its text `text`): its
// whole part and first three decimals, the missing ones as zeros, without
// leading zeros.  A value of 0 keeps its text; one below a thousandth is 0,
// or -1 when negative under a decimal point.  False, with nothing written,
// for more than five whole digits, and for a negative value whose dropped
// decimals take it one further down: the general way writes those.
bool WriteScaledShort(const ShortDecimal& number, std::string_view text, bool decimal_point,
                      char*& out) {
  if (number.whole > 5) return false;
  const unsigned kept = std::min(number.count, number.whole + 3);
  const std::uint64_t digits = number.digits & kLowBytes[kept];
  const bool cut = (number.digits & ~kLowBytes[kept]) != 0;
  const bool down = number.negative && cut && decimal_point;
  if (digits == 0) {
    if (!cut) {
      out = Put(out, text);
    } else if (down) {
      out = Put(out, "-1");
    } else {
      *out++ = '0';
    }
    return true;
  }
  if (down) return false;
  if (number.negative) *out++ = '-';
  const auto zeros = static_cast<unsigned>(std::countr_zero(digits)) / 8;
  StoreWord((digits | (kZeros & kLowBytes[number.whole + 3])) >> (8 * zeros), out);
  out += number.whole + 3 - zeros;
  return true;
}

// ScaledField of the short decimals that are not of its common form.
[[gnu::noinline]] char* ScaledShortField(std::string_view text, const char* end, bool decimal_point,
                                         char* out) {
  if (ShortDecimal number;
      ReadShort(text, end, number) && WriteScaledShort(number, text, decimal_point, out)) {
    return out;
  }
  return nullptr;
}

// The masks ScaledFieldInRoom takes, in one table so that one address
// reaches them all: from 0 the low `i` bytes of a word (0 to 8); from
// kKeptAt, by the place of the point (0 to 8), the bytes a scaled short
// decimal keeps of its digits (those before the point and three after it),
// and none for more than five whole digits, which the general way takes;
// from kKeptZerosAt the same bytes as the text "0".
inline constexpr std::size_t kKeptAt = 16, kKeptZerosAt = 32;
inline constexpr auto kFieldMasks = [] {
  std::array<std::uint64_t, 48> masks{};
  const auto low = [](std::size_t i) {
    return i >= 8 ? ~std::uint64_t{0} : (std::uint64_t{1} << (8 * i)) - 1;
  };
  for (std::size_t i = 0; i <= 8; ++i) {
    masks[i] = low(i);
    masks[kKeptAt + i] = i + 3 <= 8 ? low(i + 3) : 0;
    masks[kKeptZerosAt + i] = masks[kKeptAt + i] & kZeros;
  }
  return masks;
}();

// Moltiplica of a field (in a line ending at `end`, which holds at least
// eight bytes from the field's start on) that is a short decimal:
// WriteScaledShort; nullptr, with nothing of use written, for any other
// field.  The common form, up to five digits, maybe a point and more
// digits, no sign, a value of at least a thousandth, without a call.
[[gnu::always_inline]] inline char* ScaledFieldInRoom(std::string_view text, const char* end,
                                                      bool decimal_point, char* out) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  if (size - 1 >= 8) return ScaledShortField(text, end, decimal_point, out);
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const std::uint64_t* const masks = kFieldMasks.data();
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & masks[size];
  // A high bit in each byte other than a digit (whose value is not 0 to 9);
  // those past the field are 0.  A byte from 0x8A up carries into the next,
  // which may then count as another: either way the field is not common.
  const std::uint64_t others = ((values + 0x7676767676767676ULL) | values) & kHigh;
  // The point, or the end.
  std::size_t point = size;
  if (others != 0) {
    point = LowestSet(others) / 8;
    if ((others & (others - 1)) != 0 || p[point] != '.') {
      return ScaledShortField(text, end, decimal_point, out);
    }
  }
  // The digits without the point; those past the last are 0, so that the
  // first three decimals are kept, the missing ones 0.
  const std::uint64_t digits = (values & masks[point]) | ((values >> 8) & ~masks[point]);
  const std::uint64_t kept = digits & masks[kKeptAt + point];
  // Below a thousandth, or more than five whole digits: the general way.
  if (kept == 0) return ScaledShortField(text, end, decimal_point, out);
  // The bits of the leading zeros, whole bytes.
  const std::size_t zeros = LowestSet(kept) & ~std::size_t{7};
  StoreWord((kept | masks[kKeptZerosAt + point]) >> zeros, out);
  return out + point + 3 - zeros / 8;
}

// ScaledFieldInRoom of a field anywhere in the line.
[[gnu::always_inline]] inline char* ScaledField(std::string_view text, const char* end,
                                                bool decimal_point, char* out) {
  if (end - text.data() < 8) return ScaledShortField(text, end, decimal_point, out);
  return ScaledFieldInRoom(text, end, decimal_point, out);
}

// Moltiplica of N fields, the i-th numbered `order(i)` (the last of them
// also the last in the line), joined by single blanks: each scaled by itself
// when all are short decimals (one token each); else nullptr, with what was
// written of no use.  With the numbers known when compiling, each field is
// found at a fixed place in the table.
template <std::size_t N, typename Order>
char* ScaledShortFieldsBy(const FieldTable& f, Order order, const char* end, bool decimal_point,
                          char* out) {
  const int last = order(N - 1);
  if (f.count() < last) return nullptr;
  const std::string_view last_field = f[last];
  // A field before the last ends one before the start of the next.
  const auto field = [&](std::size_t i) {
    if (i == N - 1) return last_field;
    const char* const start = f.From(order(i)).data();
    return std::string_view(start,
                            static_cast<std::size_t>(f.From(order(i) + 1).data() - 1 - start));
  };
  if (end - last_field.data() < 8) {
    for (std::size_t i = 0; i < N; ++i) {
      out = ScaledField(field(i), end, decimal_point, out);
      if (out == nullptr) return nullptr;
      *out++ = ' ';
    }
    return out - 1;
  }
#pragma GCC unroll 8
  for (std::size_t i = 0; i < N; ++i) {
    out = ScaledFieldInRoom(field(i), end, decimal_point, out);
    if (out == nullptr) return nullptr;
    *out++ = ' ';
  }
  return out - 1;
}

// ScaledFields of fields 3 to 6 or 4 to 7 (`kFirst`), the common short
// decimals each by itself; the fields' numbers known when compiling, so
// that each is found at a fixed place in the table.
template <int kFirst>
char* ScaledFourFields(const FieldTable& f, const char* end, bool decimal_point, char* out) {
  const auto order = [](std::size_t i) { return kFirst + static_cast<int>(i); };
  if (char* const scaled = ScaledShortFieldsBy<4>(f, order, end, decimal_point, out)) {
    return scaled;
  }
  return ScaledFields(f, kFirst, kFirst + 3, decimal_point, out);
}

}  // namespace

// The text record "4" (text_records.cpp), from its fields `f`.
char* Record4(std::string_view line, const FieldTable& f, bool decimal_point, char* out);

}  // namespace tavrel::detail
