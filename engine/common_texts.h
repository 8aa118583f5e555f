// The text record "4" in its common form (short plain sizes and positions,
// the usual anchor codes and rotations), read, moved and written at once,
// with no jump that depends on the anchor code or the counts of digits.
// Only text_records.cpp includes it: its pieces are that file's own.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "internal.h"
#include "record_fields.h"
#include "value_lists.h"

namespace tavrel::detail {

namespace {

// The places of the point in a field of the common text (see ReadPlain),
// by the field's size (1 to 8 bytes) and the point's place (0 to 7):
// 10^place where at most five digits stand before it and one to six after
// it, else 0.
inline constexpr auto kPointScales = [] {
  std::array<std::uint32_t, 9 * 9> scales{};
  for (std::size_t size = 2; size <= 8; ++size) {
    for (std::size_t point = 0; point <= 5 && point + 1 < size; ++point) {
      if (size - 1 - point <= 6) {
        scales[size * 9 + point] = static_cast<std::uint32_t>(kPowersOfTen[point]);
      }
    }
  }
  return scales;
}();

// A field of the common text read at once: its value in units of 10^-8,
// its digits without the point (0 to 9 each, the first in the lowest byte,
// none past the last) and the point's place.
struct PlainField {
  std::uint64_t value = 0;
  std::uint64_t digits = 0;
  std::size_t point = 0;
};

// Reads the `size` bytes at `p` (the line holds eight from there) as up to
// five digits, a point and one to six more (at most eight bytes); false for
// any other text.  All bytes are looked at at once and the digits made a
// number in three steps: no jump depends on where the point stands or how
// many digits there are.
[[gnu::always_inline]] inline bool ReadPlain(const char* p, std::size_t size, PlainField& field) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  if (size - 1 >= 8) return false;
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & kLowBytes[size];
  // A high bit in each byte other than a digit; those past the field are 0.
  // A byte from 0x8A up carries into the next, which may then count as
  // another: either way the field is not plain.
  const std::uint64_t others = ((values + 0x7676767676767676ULL) | values) & kHigh;
  // The first of them, or the last byte (never a place the table takes).
  const std::size_t point = LowestSet(others | std::uint64_t{1} << 63) / 8;
  // One byte other than a digit, a point, in a place that the table takes:
  // tested together, in one jump.
  const bool plain = ((others & (others - 1)) == 0) & (p[point] == '.');
  const std::uint64_t scale = kPointScales[size * 9 + point] & (0 - std::uint64_t{plain});
  if (scale == 0) return false;
  field.digits = (values & kLowBytes[point]) | ((values >> 8) & ~kLowBytes[point]);
  field.point = point;
  // The digits as eight places (those past the last 0), joined in pairs,
  // fours and eights: the value times 10^(8 - point).
  std::uint64_t v = field.digits;
  v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FFULL;
  v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFULL;
  v = (v * 10000 + (v >> 32)) & 0xFFFFFFFFULL;
  field.value = v * scale;
  return true;
}

// Moltiplica of a field read by ReadPlain that stays as it is, from its
// digits (ScaledFieldInRoom): those before the point and three after it,
// without leading zeros; nullptr for a value below a thousandth (0 keeps its
// text), which is not of the common form.
[[gnu::always_inline]] inline char* ScaledPlain(const PlainField& field, char* out) {
  const std::uint64_t kept = field.digits & kFieldMasks[kKeptAt + field.point];
  if (kept == 0) return nullptr;
  const std::size_t zeros = LowestSet(kept) & ~std::size_t{7};
  StoreWord((kept | kFieldMasks[kKeptZerosAt + field.point]) >> zeros, out);
  return out + field.point + 3 - zeros / 8;
}

// What a step of the anchor (see Record4) adds to a position, in units of
// 10^-8, from the size `s`: 0, -s / 2, -s, the fixed shift; as `times` / 2
// of the size kept by `size_mask`, or of `fixed`.
struct AnchorStep {
  std::uint64_t size_mask;
  std::uint64_t fixed;
  std::int64_t times;
};
inline constexpr AnchorStep kAnchorSteps[] = {
    {0, 0, 0}, {~std::uint64_t{0}, 0, -1}, {~std::uint64_t{0}, 0, -2}, {0, 3332000, 2}};

// The position `position` moved by `step` (see Record4; the size `size`,
// both in units of 10^-8) as Shifted moves it, exactly, at `sum`: whether
// that sum is the number text of the shift computed as from the texts (or
// both are 0).  The same steps for every `step`, so that no jump depends on
// it.
[[gnu::always_inline]] inline bool MovedExactly(std::uint64_t position, unsigned step,
                                                std::uint64_t size, std::int64_t& sum) {
  const AnchorStep& how = kAnchorSteps[step];
  const auto amount = static_cast<std::int64_t>((size & how.size_mask) | how.fixed);
  // Of a size with at most six places, even: its half is exact (a shift,
  // as for a negative number).
  const std::int64_t moved = (how.times * amount) >> 1;
  const auto from = static_cast<std::int64_t>(position);
  sum = from + moved;
  // value - amount / 2, value - amount and value + the fixed shift: the
  // amount's share of it is exact.
  const double shifted = static_cast<double>(from) / 1e8 + static_cast<double>(moved) / 1e8;
  // The sign (all ones when negative) and the size, without a jump.
  const std::uint64_t sign = static_cast<std::uint64_t>(sum >> 63);
  const std::uint64_t magnitude = (static_cast<std::uint64_t>(sum) ^ sign) - sign;
  // IsTextOfSum: the least sum (1e-4) and the double's distance from it.
  const double exact = static_cast<double>(static_cast<std::int64_t>(magnitude)) / 1e8;
  const std::uint64_t apart =
      std::bit_cast<std::uint64_t>(shifted) - (std::bit_cast<std::uint64_t>(exact) | (sign << 63));
  return ((sum == 0) & (shifted == 0.0)) | ((magnitude >= 10000) & (apart + 1 <= 2));
}

// Moltiplica of an exact sum in units of 10^-8 (see ScaledSum), below 10^14
// in size: its thousandths, a fraction dropped (rounded down under a decimal
// point), with a minus when negative and not 0; nullptr, with what was
// written of no use, from 10^8 thousandths on.  The digits are written
// without a jump by their count: split in fours, pairs and single digits
// side by side in one word, the leading zeros dropped; eight bytes are
// written, the digits' kept.
[[gnu::always_inline]] inline char* ScaledSumOf(std::int64_t sum, bool decimal_point, char* out) {
  const bool negative = sum < 0;
  const std::uint64_t sign = static_cast<std::uint64_t>(sum >> 63);
  const std::uint64_t magnitude = (static_cast<std::uint64_t>(sum) ^ sign) - sign;
  std::uint64_t thousandths = magnitude / 100000;
  const bool cut = magnitude != thousandths * 100000;
  thousandths += negative & decimal_point & cut;
  *out = '-';
  out += negative & (thousandths != 0);
  if (thousandths >= 100'000'000) return nullptr;
  const std::uint64_t high = thousandths / 10000;
  std::uint64_t v = high | (thousandths - high * 10000) << 32;
  std::uint64_t q = ((v * 10486) >> 20) & 0x0000007F0000007FULL;  // each four by 100
  v = q | (v - q * 100) << 16;
  q = ((v * 103) >> 10) & 0x000F000F000F000FULL;  // each pair by 10
  v = q | (v - q * 10) << 8;
  // The leading zeros' bits, whole bytes; the last digit stays.
  const std::size_t zeros = LowestSet(v | std::uint64_t{1} << 56) & ~std::size_t{7};
  StoreWord((v | kZeros) >> zeros, out);
  return out + 8 - zeros / 8;
}

// Record4 of the common text up to its tail (fields 10 on, 10 to 100
// fields in all): fields 3 to 7 short and plain (the sizes, positions and
// rotation of the usual forms, anchor code "0" to "15"), the shifted
// positions' number texts their exact sums.  Everything is read and computed
// the same way whatever the anchor code and the counts of digits; the tests
// that exit are of the form alone.  nullptr, with what was written of no
// use, for any other text, which the general way takes.
[[gnu::always_inline]] inline char* CommonText(std::string_view line, const FieldTable& f,
                                               bool decimal_point, char* out) {
  if (f.count() < 10 || f.count() > FieldTable::kMaxFields) return nullptr;
  const char* const end = line.data() + line.size();
  const auto start = [&](int n) { return f.From(n).data(); };
  const auto size = [&](int n) { return static_cast<std::size_t>(start(n + 1) - 1 - start(n)); };
  if (end - start(7) < 8) return nullptr;
  // The anchor code, "0" to "9" or "1" and "0" to "5"; the byte after a
  // field of one is a blank.
  const char* const code_text = start(8);
  const std::size_t two = size(8) - 1;  // 0 or 1
  if (two > 1) return nullptr;
  const unsigned first = static_cast<unsigned char>(code_text[0]) - unsigned{'0'};
  const unsigned second = static_cast<unsigned char>(code_text[1]) - unsigned{'0'};
  if ((static_cast<unsigned>(first > 9) |
       (static_cast<unsigned>(two) & (static_cast<unsigned>(first != 1) | (second > 5)))) != 0) {
    return nullptr;
  }
  const unsigned code = first + static_cast<unsigned>(two) * (10 + second - first);
  // The prefix: the line's first four bytes less the blanks at their end
  // (the first is the record type).
  std::uint32_t head;
  std::memcpy(&head, line.data(), 4);
  std::memcpy(out, line.data(), 4);
  const std::uint32_t head_values = head ^ 0x20202020U;
  const std::uint32_t kept = (((head_values & 0x7F7F7F7FU) + 0x7F7F7F7FU) | head_values) &
                             0x80808080U;  // a high bit in each byte other than a blank
  out += std::bit_width(kept | 0x80U) / 8;
  *out++ = ' ';
  // Each field read, moved and written in turn; the sizes' values kept for
  // the positions.
  PlainField height;
  if (!ReadPlain(start(3), size(3), height)) return nullptr;
  out = ScaledPlain(height, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  PlainField width;
  PlainField x;
  std::int64_t sum;
  // A position of 0 that stays keeps its text.
  if (!ReadPlain(start(6), size(6), width) || !ReadPlain(start(4), size(4), x) || x.value == 0 ||
      !MovedExactly(x.value, code & 3, width.value, sum)) {
    return nullptr;
  }
  out = ScaledSumOf(sum, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  PlainField y;
  if (!ReadPlain(start(5), size(5), y) || y.value == 0 ||
      !MovedExactly(y.value, code >> 2, height.value, sum)) {
    return nullptr;
  }
  out = ScaledSumOf(sum, decimal_point, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  out = ScaledPlain(width, out);
  if (out == nullptr) return nullptr;
  *out++ = ' ';
  // The rotation, whole degrees in one to three digits up to 360
  // (WriteRadOn).
  const std::size_t turn_size = size(7);
  if (turn_size - 1 >= 3) return nullptr;
  const std::uint64_t turn = (LoadWord(start(7)) ^ kZeros) & kLowBytes[turn_size];
  if ((((turn + 0x7676767676767676ULL) | turn) & 0x8080808080808080ULL) != 0) return nullptr;
  // The last digit moved to the third byte, those missing before it 0.
  const std::uint64_t turn_digits = turn << (8 * (3 - turn_size));
  const std::size_t degrees =
      (turn_digits & 0xFF) * 100 + (turn_digits >> 8 & 0xFF) * 10 + (turn_digits >> 16 & 0xFF);
  if (degrees > 360) return nullptr;
  const std::uint64_t word = kRad32768.word[degrees];
  StoreWord(word, out);
  out += word >> 56;
  *out++ = ' ';
  return out;
}

}  // namespace

}  // namespace tavrel::detail
