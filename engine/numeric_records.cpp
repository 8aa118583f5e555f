// Numeric records "0" to "6": coordinates scaled to thousandths, angles in
// units, pad rotation folded into the 3.5 fields; the text record "4" is in
// text_records.cpp.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "internal.h"
#include "numeric_records.h"
#include "record_fields.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel::detail {

namespace {

// Error 9 when `line` has more than 100 fields; apart, so that its field
// table takes no room on the stack of the common case.
[[gnu::noinline]] void CheckFieldCount(std::string_view line) {
  const FieldTable check(line);
}

// Records "0" and "1": a prefix of `kWidth` characters, then one value list;
// the field count checked by the caller.  With `kLong` the caller knows that
// the line has at least eight characters.
template <std::size_t kWidth, bool kLong = false>
[[gnu::always_inline]] inline char* PrefixAndListCounted(std::string_view line, bool decimal_point,
                                                         char* out) {
  if (!kLong && line.size() < kWidth) Raise(err::kInvalidArgument);
  // The prefix copied whole, then its blanks at the end taken back; it
  // begins with the record type, which stops the search.
  const char* const p = line.data();
  std::size_t kept = kWidth;
  if (kLong || line.size() >= 8) {
    // Eight bytes copied; the last of the prefix's that is not a blank
    // found in one word.
    const std::uint64_t word = LoadWord(p);
    StoreWord(word, out);
    kept = 8 - static_cast<std::size_t>(std::countl_zero((word ^ kBlanks) & kLowBytes[kWidth])) / 8;
  } else {
    std::memcpy(out, p, kWidth);
    while (p[kept - 1] == ' ')
      --kept;
  }
  out += kept;
  *out++ = ' ';
  const char* first = p + kWidth;
  const char* last = p + line.size();
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  const std::size_t size = static_cast<std::size_t>(last - first);
#if TAVREL_SIMD_VALUES
  // The most lists, as WriteScaled scales them, without its call.
  if (size - 32 <= 96 - 32) {
    const unsigned scalers = value_scalers.load(std::memory_order_relaxed);
    if ((scalers & kScaleWide) != 0) {
      return ScaleMediumListWide(first, last, decimal_point, (scalers & kScaleBlocks) != 0, out);
    }
  }
#endif
  return WriteScaled({first, size}, decimal_point, out);
}

// A line of fewer than eight characters, or of more than 200, which may
// have more than 100 fields (error 9); apart, so that the common case saves
// no registers for the call.
template <std::size_t kWidth>
[[gnu::noinline]] char* UnusualPrefixAndList(std::string_view line, bool decimal_point, char* out) {
  if (line.size() > 2 * FieldTable::kMaxFields) CheckFieldCount(line);
  return PrefixAndListCounted<kWidth>(line, decimal_point, out);
}

template <std::size_t kWidth>
[[gnu::always_inline]] inline char* PrefixAndList(std::string_view line, bool decimal_point,
                                                  char* out) {
  // The fields are not used, but more than 100 of them is an error; that
  // takes more than 200 characters.  The common line, of 8 to 200, in one
  // test.
  if (line.size() - 8 > 2 * FieldTable::kMaxFields - 8) {
    return UnusualPrefixAndList<kWidth>(line, decimal_point, out);
  }
  return PrefixAndListCounted<kWidth, true>(line, decimal_point, out);
}

// WriteRadOn<256>, apart: inline, record 2's three angles would cost more
// than they save.
[[gnu::noinline]] char* WriteRad256(std::string_view gradi, char* out) {
  return WriteRadOn<256>(gradi, out);
}

char* Record2(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = PutPrefix4(line, out);
  *out++ = ' ';
  // ScaledFourFields<3>, by an order of its own: used here alone, it is
  // compiled into this record rather than called.
  const auto order = [](std::size_t i) { return 3 + static_cast<int>(i); };
  if (char* const scaled =
          ScaledShortFieldsBy<4>(f, order, line.data() + line.size(), decimal_point, out)) {
    out = scaled;
  } else {
    out = ScaledFields(f, 3, 6, decimal_point, out);
  }
  *out++ = ' ';
  out = WriteRad256(f[7], out);
  *out++ = ' ';
  out = WriteRad256(f[8], out);
  *out++ = ' ';
  out = WriteFloorTimes256(f[9], out);
  *out++ = ' ';
  return WriteRad256(f[10], out);
}

// Whether `text` is `literal`, without a call.
template <std::size_t N>
bool Is(std::string_view text, const char (&literal)[N]) {
  if (text.size() != N - 1) return false;
  for (std::size_t i = 0; i + 1 < N; ++i) {
    if (text[i] != literal[i]) return false;
  }
  return true;
}

// Whether ReadNumber(text) is the whole number `whole`.
bool NumberIs(std::string_view text, int whole) {
  if (FixedDecimal d; ReadFixed(text, d)) {
    return d.value == whole * static_cast<std::int64_t>(kPowersOfTen[d.fraction]);
  }
  return ReadNumber(text) == whole;
}

// Whether a field (in a line ending at `end`) is worth 0: 1 or 0 where its
// form tells at once (up to eight digits with maybe a point, no sign, eight
// bytes of the line from its start), else -1.
int IsZeroField(std::string_view text, const char* end) {
  const char* const p = text.data();
  const std::size_t size = text.size();
  if (size - 1 >= 8 || end - p < 8) return -1;
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const std::uint64_t values = (LoadWord(p) ^ kZeros) & kLowBytes[size];
  // A high bit in each byte other than a digit (see ScaledFieldInRoom).
  const std::uint64_t others = ((values + 0x7676767676767676ULL) | values) & kHigh;
  if (others == 0) return values == 0 ? 1 : 0;
  const auto point = static_cast<unsigned>(LowestSet(others)) / 8;
  if ((others & (others - 1)) != 0 || p[point] != '.') return -1;
  return (values & ~(std::uint64_t{0xFF} << (8 * point))) == 0 ? 1 : 0;
}

// Whether a pad is turned a quarter: field 9 is 90 or 270.  The usual
// texts are known without reading them.
bool QuarterTurned(std::string_view text) {
  if (Is(text, "0") || Is(text, "180")) return false;
  if (Is(text, "90") || Is(text, "270")) return true;
  return NumberIs(text, 90) || NumberIs(text, 270);
}

// QuarterTurned of field 9 (in a line ending at `end`), as 0 or 1.  The
// four usual texts, where the line holds eight bytes from the field's
// start, told from one word without a branch on which of them it is: the
// angles come in no order, so that the way of each would be guessed wrong
// half the time.  Their length and the last bit of their first byte tell
// them apart: "0" 0, "90" 3, "270" 4, "180" 5.
int QuarterTurnedIn(std::string_view text, const char* end) {
  constexpr std::uint64_t kNone = ~std::uint64_t{0};
  static constexpr std::uint64_t kAngles[] = {0x30, kNone, kNone, 0x3039, 0x303732, 0x303831};
  const std::size_t size = text.size();
  if (size - 1 < 3 && end - text.data() >= 8) {
    const std::uint64_t word = LoadWord(text.data()) & kLowBytes[size];
    const std::size_t angle = 2 * (size - 1) + (word & 1);
    if (word == kAngles[angle]) return static_cast<int>((0b011000U >> angle) & 1);
  }
  return QuarterTurned(text) ? 1 : 0;
}

// Put of the line's last `size` bytes (at most 16; the line holds at
// least 16) without a branch on their count: eight bytes that end with
// the line stored to end with the copy, then eight that begin with it, or
// for fewer than eight the line's last eight moved down to begin there
// (for none, not moved: nothing of them is counted).
[[gnu::always_inline]] inline char* PutLineEnd(const char* end, std::size_t size, char* out) {
  const std::size_t back = size < 8 ? 8 : size;
  StoreWord(LoadWord(end - 8 - (back - size)), out + back - 8);
  StoreWord(LoadWord(end - back) >> ((8 * (back - size)) & 63), out);
  return out + size;
}

// The eight decimal digits of `value` (below 10^8), leading zeros included,
// as bytes of 0 to 9, the first in the lowest byte: split in halves of four
// digits, these in pairs, the pairs in digits, each step on all parts at
// once (multiplied by the reciprocal, exact at these sizes).
std::uint64_t EightDigits(std::uint64_t value) {
  const std::uint64_t high = value / 10000;
  std::uint64_t parts = high | (value - high * 10000) << 32;
  std::uint64_t tens = ((parts * 10486) >> 20) & 0x0000007F0000007FULL;  // / 100
  parts = tens | (parts - tens * 100) << 16;
  tens = ((parts * 103) >> 10) & 0x000F000F000F000FULL;  // / 10
  return tens | (parts - tens * 10) << 8;
}

// WriteNumberText of the double nearest to `exact` where that is the exact
// decimal's own text (IsNumberTextOf): its digits without trailing zeros and
// without a 0 before the point.  False, with nothing written, for 0, for 15
// digits and more, and below 10^-4, whose texts WriteNumberText decides.
bool WriteExactText(const ExactDecimal& exact, char*& out) {
  const int fraction = exact.fraction;
  if (exact.digits == 0 || exact.digits >= kPowersOfTen[15] || fraction > 19 ||
      (fraction > 4 && exact.digits < kPowersOfTen[fraction - 4])) {
    return false;
  }
  // WriteDecimal, without a call, for up to six places and a whole part
  // below 10^4, the usual pad sizes: the places written as eight digits
  // (the missing ones zeros), up to the last that is not 0.
  if (fraction <= 6) {
    const std::uint64_t scale = kPowersOfTen[fraction];
    const std::uint64_t whole = exact.digits / scale;
    if (whole < 10000) {
      if (exact.negative) *out++ = '-';
      if (whole != 0) out = WriteDigits(whole, out);
      if (const std::uint64_t part = exact.digits - whole * scale; part != 0) {
        const std::uint64_t digits = EightDigits(part * kPowersOfTen[8 - fraction]);
        *out = '.';
        StoreWord(digits | kZeros, out + 1);
        out += 2 + (63 - static_cast<std::size_t>(std::countl_zero(digits))) / 8;
      }
      return true;
    }
  }
  out = WriteDecimal(exact.negative, exact.digits, fraction, out);
  return true;
}

// The pad record.  A pad without size in field 3 takes 16 times field 2 there;
// at 90 and 270 degrees (field 9) its two sizes in fields 6 and 7 change place.
char* Record3(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  const char* const end = line.data() + line.size();
  const std::string_view field2 = f[2];
  const std::string_view field3 = f[3];
  if (const int zero = Is(field3, "0") ? 1 : IsZeroField(field3, end);
      zero > 0 || (zero < 0 && NumberIs(field3, 0))) {
    // Fields 2 and 3 become 0 and sixteen times field 2.  Sixteen times
    // the double nearest to a short decimal is the double nearest to
    // sixteen times it, whose number text is mostly the exact decimal's.
    std::memcpy(out, "3 0 ", 4);
    char* const sized = out + 4;
    if (FixedDecimal d; ReadFieldIn(field2, end, d)) {
      d.value *= 16;
      out = sized;
      if (d.value > 0 && d.fraction <= 4 &&
          d.value < static_cast<std::int64_t>(kPowersOfTen[d.fraction + 4])) {
        // The usual size, below 10^4 with up to four places: its eight
        // digits (leading zeros included), those of the whole part without
        // the leading zeros, then the places up to the last that is not 0.
        const std::uint64_t digits = EightDigits(static_cast<std::uint64_t>(d.value));
        const auto whole = static_cast<std::size_t>(8 - d.fraction);
        if (const std::size_t zeros = LowestSet(digits) / 8; zeros < whole) {
          StoreWord((digits | kZeros) >> (8 * zeros), out);
          out += whole - zeros;
        }
        if (const std::uint64_t places = d.fraction == 0 ? 0 : digits >> (8 * whole); places != 0) {
          *out = '.';
          StoreWord(places | kZeros, out + 1);
          out += 2 + (63 - static_cast<std::size_t>(std::countl_zero(places))) / 8;
        }
      } else if (const ExactDecimal exact = Exact(d); !WriteExactText(exact, out)) {
        out = WriteNumberText(ExactValue(exact), exact, sized);
      }
    } else {
      out = WriteNumberText(Checked(ReadNumber(field2) * 16.0), {}, sized);
    }
    *out++ = ' ';
  } else if (f.count() >= 4 && field2.data() == line.data() + 2) {
    // Field 1 is "3": it, fields 2 and 3 and a blank after each, as they
    // stand in the line.
    const auto head = static_cast<std::size_t>(f.From(4).data() - line.data());
    if (head <= 16 && line.size() >= 16) {
      // The usual short head: sixteen bytes copied, of which its are kept.
      std::memcpy(out, line.data(), 16);
      out += head;
    } else {
      out = Put(out, {line.data(), head});
    }
  } else {
    out = Put(out, "3 ");
    out = Put(out, field2);
    *out++ = ' ';
    out = Put(out, field3);
    *out++ = ' ';
  }
  const int turned = QuarterTurnedIn(f[9], end);
  // The common short decimals each scaled by itself, in their new order:
  // fields 6 and 7 change place when the pad is turned.
  const int sixth = 6 + turned;
  const auto order = [sixth](std::size_t i) {
    return i == 2 ? sixth : i == 3 ? 13 - sixth : 4 + static_cast<int>(i);
  };
  if (char* const scaled = ScaledShortFieldsBy<5>(f, order, end, decimal_point, out)) {
    out = scaled;
  } else if (!turned) {
    out = ScaledFields(f, 4, 8, decimal_point, out);
  } else if (OneTokenEach(f, 4, 8)) {
    // The five values scaled as they stand, then the third and the fourth
    // (none holds a blank) change place.
    char* const list = out;
    out = WriteScaled(f.Span(4, 8), decimal_point, out);
    char* blanks[4];
    char* p = list;
    for (char*& blank : blanks) {
      blank = std::find(p, out, ' ');
      p = blank + 1;
    }
    // [third blank fourth] becomes [fourth blank third].
    char* const third = blanks[1] + 1;
    const std::string_view fourth(blanks[2] + 1,
                                  static_cast<std::size_t>(blanks[3] - blanks[2] - 1));
    if (const auto third_size = static_cast<std::size_t>(blanks[2] - third);
        third_size <= 32 && fourth.size() <= 32) {
      char copy[32];
      std::memcpy(copy, third, third_size);
      std::memmove(third, fourth.data(), fourth.size());  // they may overlap
      char* const blank = third + fourth.size();
      *blank = ' ';
      std::memcpy(blank + 1, copy, third_size);
    } else {
      std::rotate(third, blanks[2] + 1, blanks[3]);
      std::rotate(third + fourth.size(), blanks[3] - 1, blanks[3]);
    }
  } else {
    out = WriteScaledFields({f[4], f[5], f[7], f[6], f[8]}, decimal_point, out);
  }
  *out++ = ' ';
  // Fields 10 and 11, the last ones, stand so joined in the line.
  if (f.count() == 10 || f.count() == 11) {
    const std::string_view last = f.From(10);
    if (last.size() <= 16 && line.size() >= 16) return PutLineEnd(end, last.size(), out);
    return Put(out, last);
  }
  out = Put(out, f[10]);
  if (f.count() == 11) {
    *out++ = ' ';
    out = Put(out, f[11]);
  }
  return out;
}

char* Record6(std::string_view line, const FieldTable& f, bool decimal_point, char* out) {
  out = PutPrefix4(line, out);
  *out++ = ' ';
  out = WriteRadOn<128>(f[3], out);
  *out++ = ' ';
  out = ScaledFourFields<4>(f, line.data() + line.size(), decimal_point, out);
  *out++ = ' ';
  return FieldsFromAndTrim(8, f, out);
}

// A record that reads its fields, given them: the field table built first
// (error 9 past 100 fields), then the record.
template <char* (*kRecord)(std::string_view, const FieldTable&, bool, char*)>
[[gnu::always_inline]] inline char* WithFields(std::string_view line, bool decimal_point,
                                               char* out) {
  const FieldTable fields(line);
  return kRecord(line, fields, decimal_point, out);
}

}  // namespace

char* Record0Line(std::string_view line, bool decimal_point, char* out) {
  return PrefixAndList<6>(line, decimal_point, out);
}

char* Record1Line(std::string_view line, bool decimal_point, char* out) {
  return PrefixAndList<4>(line, decimal_point, out);
}

char* Record2Line(std::string_view line, bool decimal_point, char* out) {
  return WithFields<Record2>(line, decimal_point, out);
}

char* Record3Line(std::string_view line, bool decimal_point, char* out) {
  return WithFields<Record3>(line, decimal_point, out);
}

char* Record4Line(std::string_view line, bool decimal_point, char* out) {
  return WithFields<Record4>(line, decimal_point, out);
}

char* Record6Line(std::string_view line, bool decimal_point, char* out) {
  return WithFields<Record6>(line, decimal_point, out);
}

char* NumericRecord(std::string_view line, bool decimal_point, char* out) {
  switch (line.front()) {
    case '0':
      return Record0Line(line, decimal_point, out);
    case '1':
      return Record1Line(line, decimal_point, out);
    case '2':
      return Record2Line(line, decimal_point, out);
    case '3':
      return Record3Line(line, decimal_point, out);
    case '4':
      return Record4Line(line, decimal_point, out);
    default:  // '6'
      return Record6Line(line, decimal_point, out);
  }
}

}  // namespace tavrel::detail
