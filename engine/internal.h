// Pieces shared by the engine's sources; not part of the public interface.
//
// The line transformer writes a line's 3.5 text straight into memory that
// its caller reserved beforehand (LineBound bytes), through a plain pointer:
// no text is built in pieces and joined afterwards.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "byte_buffer.h"
#include "tavrel.h"

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#endif

namespace tavrel::platform {
class InputFile;
class OutputFile;
}  // namespace tavrel::platform

namespace tavrel::detail {

inline constexpr std::string_view kLineEnd = "\r\n";

// Leading and trailing blanks (only " ") removed; tabs stay.
std::string_view TrimBlanks(std::string_view text);

// Room for what a line's 3.5 text computes rather than copies: at most 50
// scaled values, three angles and a few more numbers, each at most 330
// characters (the largest double written whole), and the fixed texts.
inline constexpr std::size_t kComputedRoom = 32 * 1024;

// The most bytes the 3.5 text of a line of `size` bytes can take: each byte
// of the line is copied at most twice (a layer line's name may hold its
// prefix), and the computed texts.
constexpr std::size_t LineBound(std::size_t size) {
  return 2 * size + kComputedRoom;
}

// Copies the `size` bytes (at most 16) at `from` to `out` without a call:
// two overlapping copies of 8 or 4 bytes, else the first, middle and last
// byte (of one to three, some the same).
[[gnu::always_inline]] inline void CopyShort(char* out, const char* from, std::size_t size) {
  if (size >= 8) {
    std::memcpy(out, from, 8);
    std::memcpy(out + size - 8, from + size - 8, 8);
  } else if (size >= 4) {
    std::memcpy(out, from, 4);
    std::memcpy(out + size - 4, from + size - 4, 4);
  } else if (size != 0) {
    out[0] = from[0];
    out[size / 2] = from[size / 2];
    out[size - 1] = from[size - 1];
  }
}

// Copies `text` to `out` and returns the end of the copy.
inline char* Put(char* out, std::string_view text) {
  const std::size_t size = text.size();
  const char* from = text.data();
  if (size <= 16) {
    // Short pieces, the most common, without a call.
    CopyShort(out, from, size);
    return out + size;
  }
  if (size <= 32) {
    // Two copies of sixteen that overlap.
    std::memcpy(out, from, 16);
    std::memcpy(out + size - 16, from + size - 16, 16);
    return out + size;
  }
  std::memcpy(out, from, size);
  return out + size;
}

// The place of the lowest set bit of `bits`, which is not 0: one
// instruction and already as wide as an address (std::countr_zero gives an
// int, which GCC extends, and clears its target before each tzcnt).
[[gnu::always_inline]] inline std::size_t LowestSet(std::uint64_t bits) {
#if defined(__x86_64__) && defined(__GNUC__)
  std::uint64_t place;
  asm("bsfq %1, %0" : "=r"(place) : "rm"(bits) : "cc");
  return place;
#else
  return static_cast<std::size_t>(std::countr_zero(bits));
#endif
}

#if defined(__SSE2__) && defined(__GNUC__)
// The bytes equal to the byte in each lane of `wanted` among the sixteen
// at `from`, one bit a byte.
[[gnu::always_inline]] inline std::uint32_t Equal16(const char* from, __m128i wanted) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
  return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
}
#endif

// The bytes equal to `c` among the 64 at `p`, one bit a byte, the first in
// the lowest bit.
[[gnu::always_inline]] inline std::uint64_t BytesEqual64(const char* p, char c) {
#if defined(__SSE2__) && defined(__GNUC__)
  const __m128i wanted = _mm_set1_epi8(c);
  const std::uint32_t low = Equal16(p, wanted) | Equal16(p + 16, wanted) << 16;
  const std::uint32_t high = Equal16(p + 32, wanted) | Equal16(p + 48, wanted) << 16;
  return low | std::uint64_t{high} << 32;
#else
  std::uint64_t bits = 0;
  for (unsigned i = 0; i < 64; ++i)
    bits |= std::uint64_t{p[i] == c} << i;
  return bits;
#endif
}

// The bytes equal to `c` among the up to 64 from `at` on of the `size` bytes
// at `p`, one bit a byte (byte `at` in the lowest bit); none past the end,
// where nothing is read.  Sixteen bytes at a time where the build has SSE2.
[[gnu::always_inline]] inline std::uint64_t BytesEqual(const char* p, std::size_t at,
                                                       std::size_t size, char c) {
  if (size - at >= 64) return BytesEqual64(p + at, c);
  std::uint64_t bits = 0;
#if defined(__SSE2__) && defined(__GNUC__)
  if (size >= 16) {
    // Fewer than 64 bytes left: the last sixteen, and before them as many
    // sixteen as still begin before those (the bytes two loads share give
    // the same bits).
    const __m128i wanted = _mm_set1_epi8(c);
    auto equal16 = [&](const char* from) { return std::uint64_t{Equal16(from, wanted)}; };
    const std::size_t last = size - 16;
    if (at > last) return equal16(p + last) >> (at - last);
    bits = equal16(p + at) | equal16(p + last) << (last - at);
    if (at + 16 < last) {
      bits |= equal16(p + at + 16) << 16;
      if (at + 32 < last) bits |= equal16(p + at + 32) << 32;
    }
    return bits;
  }
#endif
  for (std::size_t i = at; i < size; ++i)
    bits |= std::uint64_t{p[i] == c} << (i - at);
  return bits;
}

// The up to 100 blank-separated fields of a numeric record, numbered from 1.
// Each character of the line goes to the current field; a blank directly
// after it ends the field and is dropped, so of two blanks in a row the
// second begins the next field, and a blank at the end opens one more, empty
// field.  Between two neighbouring fields the line holds exactly one blank.
class FieldTable {
 public:
  static constexpr int kMaxFields = 100;

  // Splits `line`.  Error 9 when a character would go into field 101.
  explicit FieldTable(std::string_view line);

  // Field n (1-based); empty past the last field.  Error 9 beyond 100.
  std::string_view operator[](int n) const {
    if (n < 1 || n > kMaxFields) Raise(err::kSubscript);
    return n <= count_ ? Field(n) : std::string_view();
  }
  // The field count: the number of the last field, 101 when a blank follows
  // the 100th field at the end of the line.
  int count() const { return count_; }
  // Fields `first` to `last` joined by single blanks as they stand in the
  // line, when the line reaches field `last`: a piece of the line itself.
  std::string_view Span(int first, int last) const {
    return {start_[first], static_cast<std::size_t>(FieldEnd(last) - start_[first])};
  }
  // From the start of field `first` (not past the count) to the line's end.
  std::string_view From(int first) const {
    return {start_[first], static_cast<std::size_t>(end_ - start_[first])};
  }

 private:
  // The split byte by byte (the plain way, TAVREL_SCALAR=1), and from masks
  // of the blanks (BytesEqual), 64 bytes at a time; apart from the common
  // short line, which needs fewer registers (and with AVX2 has a way of its
  // own in transform.cpp).
  [[gnu::noinline]] void SplitByBytes(std::string_view line);
  [[gnu::noinline]] void SplitByBlanks(std::string_view line);
  // Of a field up to the count: the next one's start, or the end's mark,
  // less its blank.
  const char* FieldEnd(int n) const { return start_[n + 1] - 1; }
  std::string_view Field(int n) const {
    return {start_[n], static_cast<std::size_t>(FieldEnd(n) - start_[n])};
  }

  // Only the first count_ are set, and after them the line's end plus one,
  // as if a blank stood there.
  const char* start_[kMaxFields + 3];
  const char* end_;
  int count_ = 1;
};

// Whether the user's decimal separator is the point: it decides how a
// negative scaled value with a fraction comes out.
inline bool DecimalPoint(const NumberSettings& numbers) {
  return numbers.decimal == ".";
}

// The value helpers, writing their text at `out` and returning its end.
// Moltiplica of `valori`:
char* WriteScaled(std::string_view valori, bool decimal_point, char* out);
// Moltiplica of `fields` joined by single blanks:
char* WriteScaledFields(std::initializer_list<std::string_view> fields, bool decimal_point,
                        char* out);
char* WriteRad(std::string_view gradi, float base, char* out);
// Whether value lists are scaled sixteen bytes at a time (where the
// processor can) or only the plain way, for every call from now on; returns
// whether the blocks were used until now.  The environment decides at the
// start: TAVREL_SCALAR=1 asks for the plain way.
bool UseValueBlocks(bool blocks);
// The vector scalers of value lists one by one, as bits (each used only
// where the processor has what it needs): whole lists in windows with SSSE3,
// the same with AVX2 (also the line feeds of a block of lines and, with
// kSplitFields, the fields of a short numeric record), single tokens in
// sixteen bytes with SSSE3; and, though no scaler, the fields of numeric
// records split from masks of their blanks (BytesEqual) rather than by a loop
// over their bytes.  Returns the bits in use until now.
inline constexpr unsigned kScaleWindows = 1, kScaleWide = 2, kScaleBlocks = 4, kSplitFields = 8;
unsigned UseValueScalers(unsigned scalers);
// `value` is whole (or -0); at most 330 characters.
char* WriteIntegerText(double value, char* out);
// NumberText of `value`, which the caller computed from decimal texts; at
// most 32 characters.  `exact` is the exact decimal value when the caller
// knows it (see ExactDecimal), so that the common case needs no double
// formatting.
struct ExactDecimal {
  bool known = false;
  bool negative = false;
  std::uint64_t digits = 0;  // the value times 10^fraction
  int fraction = 0;
};
char* WriteNumberText(double value, const ExactDecimal& exact, char* out);
// The exact decimal digits / 10^fraction (fraction up to 19) written
// without trailing zeros and without a 0 before the point; the three bytes
// after the text may be written too (at most 26 bytes from `out` in all).
char* WriteDecimal(bool negative, std::uint64_t digits, int fraction, char* out);
// Whether WriteNumberText(value, exact) writes the exact decimal (value is
// finite and not 0).
bool IsNumberTextOf(double value, const ExactDecimal& exact);
// The double nearest to a decimal of at most 15 digits: the digits and the
// power of ten are exact doubles, so one division rounds correctly.
inline double ExactValue(const ExactDecimal& number) {
  static constexpr double kScales[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,
                                       1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19};
  // Below 2^63 the digits convert as a signed number, without the steps an
  // unsigned one takes.
  const auto digits = static_cast<std::int64_t>(number.digits);
  const double value =
      (digits >= 0 ? static_cast<double>(digits) : static_cast<double>(number.digits)) /
      kScales[number.fraction];
  return number.negative ? -value : value;
}

// A short decimal in fixed point: value / 10^fraction.  The usual numbers of
// the records, read and computed with whole numbers.
inline constexpr int kFixedDigits = 11;  // at most, all told
inline constexpr int kFixedPlaces = 6;   // at most, after the point
struct FixedDecimal {
  std::int64_t value = 0;
  int fraction = 0;
};
// A text of the plain form only ("-12.345", "+5", ".5", "5."; a sign or a
// point without digits, and the empty text, are 0) with at most kFixedDigits
// digits and kFixedPlaces after the point.  ReadNumber of such a text is the
// double nearest to its value, which lies at least 10^-fraction from any
// other multiple of 10^-fraction: far more than that double's error.
bool ReadFixed(std::string_view text, FixedDecimal& number);
// The digits of a number from 10^4 on, at `out`; returns their end.
char* WriteLongDigits(std::uint64_t value, char* out);
// The digits of `value`, at `out`; returns their end.  Numbers below 10^4,
// the most common, by pairs of digits, without a call.
inline constexpr char kDigitPairs[] =
    "0001020304050607080910111213141516171819202122232425262728293031323334353637383940414243"
    "4445464748495051525354555657585960616263646566676869707172737475767778798081828384858687"
    "888990919293949596979899";
inline char* WriteDigits(std::uint64_t value, char* out) {
  if (value < 100) {
    if (value < 10) {
      *out = static_cast<char>('0' + value);
      return out + 1;
    }
    std::memcpy(out, kDigitPairs + 2 * value, 2);
    return out + 2;
  }
  if (value < 10000) {
    const auto small = static_cast<std::uint32_t>(value);
    const std::uint32_t high = small / 100;
    if (high < 10) {
      *out++ = static_cast<char>('0' + high);
    } else {
      std::memcpy(out, kDigitPairs + 2 * high, 2);
      out += 2;
    }
    std::memcpy(out, kDigitPairs + 2 * (small - 100 * high), 2);
    return out + 2;
  }
  return WriteLongDigits(value, out);
}
// A whole number's text, with its sign.
inline char* WriteWhole(std::int64_t value, char* out) {
  if (value < 0) {
    *out++ = '-';
    return WriteDigits(0 - static_cast<std::uint64_t>(value), out);
  }
  return WriteDigits(static_cast<std::uint64_t>(value), out);
}
// Whether `text` holds a comma, begins with a blank or holds two blanks in a
// row: whether as a value list it splits elsewhere than at its single blanks.
bool SplitsApart(std::string_view text);
// floor(ReadNumber(text) * 256), whole; error 6 when not finite.
char* WriteFloorTimes256(std::string_view text, char* out);

// Trasforma's first step: "-y255" becomes "-y15"; whether it did.
bool RewriteLayer255(std::string& riga);
// Trasforma's work on a line after that step: writes its 3.5 text at `out`,
// which has LineBound(riga.size()) bytes, and returns the text's end.
char* TransformInto(std::string_view riga, bool decimal_point, char* out);

// Whether a line beginning with `c` is a numeric record: "0" to "4", "6".
constexpr bool IsNumericKey(char c) {
  return static_cast<unsigned char>(c - '0') <= 6 && c != '5';
}
// The handlers of the record families, writing the result text at `out`.
char* NumericRecord(std::string_view line, bool decimal_point, char* out);
// nullptr, with nothing written, when no option key decides the line.
char* OptionLine(std::string_view line, bool decimal_point, char* out);
char* LayerLine(std::string_view line, char* out);
// The part of a layer line's 3.5 text between its prefix (up to the first
// colon) and its name: the colour number, the short field, their commas.
// `head` holds the line's first 25 characters (all of a shorter line),
// `flag` and `colour` the characters 2 and 3 to 8 after the colon, `name`
// the text after the last comma (a name longer than any layer's may be
// given by its first 14 characters).
char* LayerMiddle(std::string_view head, std::string_view flag, std::string_view colour,
                  std::string_view name, char* out);
// Ega's colour number of `hexrgb`, without a string of its own.
int EgaOf(std::string_view hexrgb);
// What a layer line too long to be held loses, told from `stand_in`: a line
// that stands for it, with its prefix, colour and settings (the first of
// them, `cut` when there were more) and the beginning of its name.
void DescribeLayerLosses(std::string_view stand_in, bool cut, std::uint64_t line,
                         LineObserver& observer);

// A line too long to be held: whether its 3.5 text is decided by its first
// characters (`start`, at least four of them), and how.
enum class Streamed {
  kNo,         // the line must be read whole
  kFixed,      // `fixed` is the whole 3.5 text (a letter record, a fixed option)
  kUnchanged,  // the line passes unchanged
};
Streamed StreamedForm(std::string_view start, bool decimal_point, std::string_view& fixed);
// What an option line loses: nothing (values kept or the line unchanged),
// its values (a fixed 3.5 text) or the whole line (the banner line).
enum class OptionLost { kNothing, kValues, kLine };
OptionLost OptionLoss(std::string_view line);
// Whether an option line's 3.5 text depends on the values after its key.
bool OptionReadsValues(std::string_view line);

struct ConvertOptions {
  bool decimal_point = true;
  unsigned threads = 0;      // 0: one per processor
  std::uint64_t length = 0;  // the source's length, which decides on threads
  LineObserver* observer = nullptr;
};
// Converts the lines of a 4.0 file after its header into `output`, each 3.5
// text followed by CR LF.  `line_number` counts the lines read; on an error
// it is the failing line's, the first in the order of the file.
void ConvertLines(platform::InputFile& source, platform::OutputFile& output,
                  const ConvertOptions& options, std::uint64_t& line_number);

// Transforms one line (after RewriteLayer255) and appends its 3.5 text.
inline void TransformAppend(std::string_view riga, bool decimal_point, ByteBuffer& out) {
  out.Commit(TransformInto(riga, decimal_point, out.Reserve(LineBound(riga.size()))));
}

}  // namespace tavrel::detail
