// Moltiplica: the values of a list scaled by 1000 and made whole, token by
// token; value_lists_simd.cpp scales the common tokens many at a time.
#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

namespace tavrel::detail {

namespace {

// Rounds a product to 15 significant digits, as its 15-digit text reads back.
double RoundTo15Digits(double product) {
  std::array<char, 64> buffer;
  auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), product,
                                 std::chars_format::general, 15);
  if (ec != std::errc()) Raise(err::kOverflow);
  double rounded = 0.0;
  auto [stop, rec] = std::from_chars(buffer.data(), end, rounded, std::chars_format::general);
  (void)stop;
  if (rec == std::errc::result_out_of_range) Raise(err::kOverflow);
  return rounded;
}

// One value of a list scaled by 1000 and made whole.  The product's 15-digit
// text is written with the user's decimal separator and read back by the
// number reader, so with a decimal comma the fraction is cut off (toward
// zero); with a point it is read whole and then rounded down.
char* WriteScaledInFull(std::string_view token, bool decimal_point, char* out) {
  const double value = ReadNumber(token);
  if (value == 0.0) return Put(out, token);
  const double product = value * 1000.0;
  if (!std::isfinite(product)) Raise(err::kOverflow);
  const double rounded = RoundTo15Digits(product);
  return WriteIntegerText(decimal_point ? std::floor(rounded) : std::trunc(rounded), out);
}

// One token of a value list, whatever it holds; a plain decimal of up to 19
// digits in whole numbers.
char* WriteScaledToken(std::string_view token, bool decimal_point, char* out) {
  // A plain decimal of at most 15 significant digits (its digits below
  // 10^15) times 1000 has at most 15 too, so its product rounded to 15
  // digits is that decimal product exactly, and whole numbers give the
  // result without a double.
  PlainDecimal number;
  if (!ParsePlainDecimal(token, number) || number.digits >= kPlainLimit || number.fraction > 21) {
    return WriteScaledInFull(token, decimal_point, out);
  }
  if (number.digits == 0) return Put(out, token);  // a value of 0 keeps its text
  if (WriteScaledDecimal({true, number.negative, number.digits, number.fraction}, decimal_point,
                         out)) {
    return out;
  }
  return WriteScaledInFull(token, decimal_point, out);
}

// A word with a byte other than 0 where `word` holds no digit.  Exact up to
// the first byte of 0xFA or more; the byte after one may be taken for no
// digit by mistake.
std::uint64_t NonDigits(std::uint64_t word) {
  // A digit has the high half 3, and its low half plus 6 stays below 16.
  constexpr std::uint64_t kHigh = 0xF0F0F0F0F0F0F0F0ULL;
  constexpr std::uint64_t kSixes = 0x0606060606060606ULL;
  return ((word & kHigh) ^ kZeros) | (((word + kSixes) & kHigh) ^ kZeros);
}

// The index of the lowest byte other than 0 in `word`, which is not 0.
unsigned FirstByte(std::uint64_t word) {
  return static_cast<unsigned>(std::countr_zero(word)) / 8;
}

// How many of the eight bytes at `p` are digits before the first that is
// not.  A byte after one of 0xFA or more may be taken for no digit, which
// only ends a number early (and leaves the token to the slower way).
unsigned DigitsAhead(const char* p) {
  const std::uint64_t other = NonDigits(LoadWord(p));
  return other == 0 ? 8 : FirstByte(other);
}

// The most common token, scaled within one word: `word` holds the bytes
// from the token's start.  When they hold the whole token, up to five
// digits, maybe a point and more digits, and then a separator, writes the
// token's value times 1000 at `out` (up to eight bytes, of which the value
// keeps the first) and returns the token's length; else returns 0.  The
// whole part and the first three decimals, the missing ones as zeros, are
// the product; its leading zeros are dropped.
unsigned ScaleWord(std::uint64_t word, char*& out) {
  const std::uint64_t other = NonDigits(word);
  if (other == 0) return 0;
  const unsigned whole = FirstByte(other);
  if (whole > 5) return 0;
  std::uint64_t digits = word;  // the whole part, then the decimals
  unsigned size = whole;        // the token's length
  unsigned kept = whole;        // the whole part and up to three decimals
  if (((word >> (8 * whole)) & 0xFF) == '.') {
    const std::uint64_t after = other & ~kLowBytes[whole + 1];
    if (after == 0) return 0;
    size = FirstByte(after);
    kept = std::min(size - 1, whole + 3);
    // The point taken out: the decimals move down one byte.
    digits = (word & kLowBytes[whole]) | ((word >> 8) & ~kLowBytes[whole]);
  } else if (whole == 0) {
    return 0;
  }
  const std::uint64_t separator = (word >> (8 * size)) & 0xFF;
  if (separator != ',' && separator != ' ') return 0;
  // Zeros from the last kept decimal on: the missing decimals, and then
  // nothing that counts.
  digits = (digits & kLowBytes[kept]) | (kZeros & ~kLowBytes[kept]);
  const std::uint64_t significant = digits ^ kZeros;
  if (significant == 0) {
    // A value of 0 keeps its text; less than a thousandth is cut to 0.
    if (((word ^ kZeros) & kLowBytes[size] & ~kLowBytes[whole + 4]) != 0) {
      *out++ = '0';
    } else {
      StoreWord(word, out);
      out += size;
    }
    return size;
  }
  const unsigned zeros = FirstByte(significant);
  StoreWord(digits >> (8 * zeros), out);
  out += whole + 3 - zeros;
  return size;
}

// The eight bytes from `p` on, of a list that ends at `end`; those past the
// end are blanks, which end the last token as a separator would.
std::uint64_t WordAt(const char* p, const char* list, const char* end) {
  const std::size_t left = static_cast<std::size_t>(end - p);
  if (left >= 8) return LoadWord(p);
  if (end - list >= 8) {
    // The list's last eight bytes, moved down to begin at `p`.
    return LoadWord(end - 8) >> (8 * (8 - left)) | kBlanks << (8 * left);
  }
  char bytes[8];
  std::memset(bytes, ' ', sizeof bytes);
  std::memcpy(bytes, p, left);
  return LoadWord(bytes);
}

// The common token, digits with at most one point and nothing else up to
// the next separator, scaled in one pass: its digits are written as they
// are read, the point three places further on.  False, with `p` and `out`
// unchanged, for any other token (a sign, an exponent, a long number ...).
bool WriteScaledShort(const char*& p, const char* end, char*& out) {
  const char* const start = p;
  const char* q = p;
  char* o = out;
  while (q < end && *q == '0')
    ++q;
  if (end - q >= 8) {
    const unsigned n = DigitsAhead(q);
    if (n == 8) return false;  // a long whole part
    std::memcpy(o, q, 8);
    o += n;
    q += n;
  } else {
    while (q < end && IsDigit(*q))
      *o++ = *q++;
  }
  const std::size_t whole_count = static_cast<std::size_t>(q - start);
  std::size_t fraction_count = 0;
  bool cut = false;  // a digit other than 0 past the third decimal
  if (q < end && *q == '.') {
    const char* const fraction = ++q;
    if (end - q >= 8) {
      const unsigned n = DigitsAhead(q);
      std::memcpy(o, q, 4);
      for (unsigned i = n; i < 3; ++i)
        o[i] = '0';
      o += 3;
      for (unsigned i = 3; i < n; ++i)
        cut |= q[i] != '0';
      q += n;
    } else {
      const char* const third = end - q > 3 ? q + 3 : end;
      while (q < third && IsDigit(*q))
        *o++ = *q++;
      for (std::size_t n = static_cast<std::size_t>(q - fraction); n < 3; ++n)
        *o++ = '0';
    }
    while (q < end && IsDigit(*q))
      cut |= *q++ != '0';
    fraction_count = static_cast<std::size_t>(q - fraction);
  } else {
    o[0] = o[1] = o[2] = '0';
    o += 3;
  }
  if (q == start || (q < end && *q != ',' && *q != ' ')) return false;
  if (whole_count > 12 || whole_count + fraction_count > 15) return false;
  if (o - out == 3) {
    // No whole part: the three decimals without their leading zeros.
    const char* lead = out;
    while (lead < o && *lead == '0')
      ++lead;
    if (lead == o) {
      // A value of 0 keeps its text; less than a thousandth is cut to 0.
      o = cut ? out + 1 : Put(out, {start, static_cast<std::size_t>(q - start)});
      if (cut) *out = '0';
    } else {
      char* to = out;
      while (lead < o)
        *to++ = *lead++;
      o = to;
    }
  }
  p = q;
  out = o;
  return true;
}

// The scalers among `wanted` (kScaleWindows ...) this processor can run.
unsigned ChosenScalers(unsigned wanted) {
  unsigned scalers = 0;
#if TAVREL_SIMD_VALUES
  if (__builtin_cpu_supports("ssse3")) scalers |= kScaleBlocks;
  if (__builtin_cpu_supports("ssse3") && __builtin_cpu_supports("popcnt")) {
    scalers |= kScaleWindows;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
        __builtin_cpu_supports("bmi2")) {
      scalers |= kScaleWide;
    }
  }
#endif
  scalers |= kSplitFields;  // sixteen bytes at a time with SSE2, else a byte at a time
  scalers &= wanted;
  if ((scalers & kScaleWindows) == 0) scalers &= ~kScaleWide;
  return scalers;
}

constexpr unsigned kAllScalers = kScaleWindows | kScaleWide | kScaleBlocks | kSplitFields;

bool ScalersWanted() {
  const char* scalar = std::getenv("TAVREL_SCALAR");
  return scalar == nullptr || scalar[0] == '\0' || std::string_view(scalar) == "0";
}

}  // namespace

bool WriteScaledDecimal(const ExactDecimal& number, bool decimal_point, char*& out) {
  // The digits that, with 0 to 3 decimals, scale to kPlainLimit.
  static constexpr std::uint64_t kLimits[4] = {kPlainLimit / 1000, kPlainLimit / 100,
                                               kPlainLimit / 10, kPlainLimit};
  std::uint64_t whole;
  bool cut = false;  // a fraction was dropped
  if (number.fraction <= 3) {
    if (number.digits >= kLimits[number.fraction]) return false;
    whole = number.digits * kPowersOfTen[3 - number.fraction];
  } else {
    const std::uint64_t divisor = kPowersOfTen[number.fraction - 3];
    whole = number.digits / divisor;
    cut = number.digits % divisor != 0;
  }
  if (number.negative && cut && decimal_point) ++whole;
  if (whole >= kPlainLimit) return false;
  if (number.negative && whole != 0) *out++ = '-';
  out = WriteDigits(whole, out);
  return true;
}

std::atomic<unsigned> value_scalers{ChosenScalers(ScalersWanted() ? kAllScalers : 0)};

namespace {

// The number of tokens of a value list, and whether the last one is empty.
int TokenCount(std::string_view valori, bool& last_empty) {
  const char* p = valori.data();
  const char* const end = p + valori.size();
  int count = 1;
  last_empty = p == end;
  while (p < end) {
    ++p;  // a token's first character is its own, even a separator
    while (p < end && *p != ',' && *p != ' ')
      ++p;
    if (p == end) break;
    ++count;
    last_empty = ++p == end;
  }
  return count;
}

}  // namespace

// The plain way, token by token: the separators are written as found, and
// put right at the end if they were mixed.
char* WriteScaledByTokens(const char* list, const char* end, bool decimal_point, bool blocks,
                          char* out) {
  constexpr int kMaxTokens = 50;
  const char* p = list;
  char* separators[kMaxTokens];
  int count = 0;
  char previous = 0;
  bool mixed = false;
  for (;;) {
    // A token here begins before `end`.
    p = ScaleToken(p, list, end, decimal_point, blocks, out);
    if (p == end) break;
    const char separator = *p++;
    if (count > 0 && separator != previous) mixed = true;
    if (count == kMaxTokens - 1) Raise(err::kSubscript);  // an empty 51st token
    separators[count++] = out;
    previous = separator;
    *out++ = separator;
    if (p == end) break;  // an empty last token
  }
  if (mixed) {
    for (int i = 0; i < count - 1; ++i)
      *separators[i] = previous;
  }
  return out;
}

const char* ScaleToken(const char* p, const char* list, const char* end, bool decimal_point,
                       bool blocks, char*& out) {
  // The common token, a plain decimal, is read once, as it is split off.
  // The shortest and most common fit one word; those with a minus or longer
  // ones, sixteen bytes.
  const char* const start = p;
  if (const unsigned size = ScaleWord(WordAt(p, list, end), out); size != 0) return p + size;
#if TAVREL_SIMD_VALUES
  if (blocks) {
    if (const unsigned size = ScaleBlock(p, list, end, decimal_point, out); size != 0) {
      return p + size;
    }
  }
#else
  (void)blocks;
#endif
  if (WriteScaledShort(p, end, out)) return p;
  p = start + 1;  // a token's first character is its own, even a separator
  while (p < end && *p != ',' && *p != ' ')
    ++p;
  out = WriteScaledToken({start, static_cast<std::size_t>(p - start)}, decimal_point, out);
  return p;
}

bool UseValueBlocks(bool blocks) {
  return UseValueScalers(blocks ? kAllScalers : 0) != 0;
}

unsigned UseValueScalers(unsigned scalers) {
  return value_scalers.exchange(ChosenScalers(scalers), std::memory_order_relaxed);
}

char* WriteScaled(std::string_view valori, bool decimal_point, char* out) {
  constexpr int kMaxTokens = 50;
  // A character in a 51st token is an error before any value is converted;
  // an empty 51st token (a separator after the 50th) only once the 50 are.
  // Fifty-one tokens take at least 100 characters.
  if (valori.size() >= 100) {
    bool last_empty;
    const int count = TokenCount(valori, last_empty);
    if (count > kMaxTokens + 1 || (count == kMaxTokens + 1 && !last_empty)) {
      Raise(err::kSubscript);
    }
  }
  const char* const list = valori.data();
  const char* const end = list + valori.size();
  if (list == end) return out;
  const unsigned scalers = value_scalers.load(std::memory_order_relaxed);
  const bool blocks = (scalers & kScaleBlocks) != 0;
#if TAVREL_SIMD_VALUES
  // kScaleWide comes only with kScaleWindows.
  if ((scalers & kScaleWide) != 0)
    return ScaleListInWideWindows(list, end, decimal_point, blocks, out);
  if ((scalers & kScaleWindows) != 0)
    return ScaleListInWindows(list, end, decimal_point, blocks, out);
#endif
  return WriteScaledByTokens(list, end, decimal_point, blocks, out);
}

char* WriteScaledFields(std::initializer_list<std::string_view> fields, bool decimal_point,
                        char* out) {
  std::size_t size = fields.size();
  for (std::string_view field : fields)
    size += field.size();
  char local[512];
  std::unique_ptr<char[]> large;
  char* list = local;
  if (size > sizeof local) {
    large = std::make_unique_for_overwrite<char[]>(size);
    list = large.get();
  }
  char* end = list;
  for (std::string_view field : fields) {
    end = Put(end, field);
    *end++ = ' ';
  }
  --end;  // no blank after the last
  return WriteScaled({list, static_cast<std::size_t>(end - list)}, decimal_point, out);
}

}  // namespace tavrel::detail

namespace tavrel {

std::string Moltiplica(const std::string& valori, const NumberSettings& numbers) {
  detail::ByteBuffer result;
  result.Commit(detail::WriteScaled(valori, detail::DecimalPoint(numbers),
                                    result.Reserve(detail::LineBound(valori.size()))));
  return std::string(result.view());
}

}  // namespace tavrel
