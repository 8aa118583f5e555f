// Trasforma: the entry of the line transformer, its tokenizer and the order
// in which the record families are tried.
#include <atomic>
#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"
#include "value_lists.h"

#if TAVREL_SIMD_VALUES
#include <immintrin.h>
#endif

namespace tavrel {
namespace detail {

std::string_view TrimBlanks(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  while (first < last && *first == ' ')
    ++first;
  while (last > first && last[-1] == ' ')
    --last;
  return {first, static_cast<std::size_t>(last - first)};
}

namespace {

// FieldTable's split from masks of the blanks (BytesEqual), 64 bytes at a
// time, of the `size` bytes at `p`: the fields' starts from `start[2]` on,
// and their count.
[[gnu::noinline]] void SplitLineByBlanks(const char* p, std::size_t size, const char** start,
                                         int& count_of) {
  // Of the blanks, 64 bytes at a time, each is a separator but the first
  // byte of a field, its own: the first of the line and each one after a
  // separator.
  int count = 1;
  std::uint64_t own = 1;  // the bit of a field's first byte in this word
  for (std::size_t at = 0; at < size; at += 64) {
    std::uint64_t blanks = BytesEqual(p, at, size, ' ') & ~own;
    own = blanks >> 63;
    // Without two blanks in a row, each is a separator; a word holds at most
    // 32 of them, which reach no field past the 100th from the 68th.
    if ((blanks & blanks << 1) == 0 && count <= FieldTable::kMaxFields - 32) {
      const char* const after = p + at + 1;  // after the word's first byte
      const char** field = start + count;
      for (; blanks != 0; blanks &= blanks - 1)
        *++field = after + LowestSet(blanks);
      count = static_cast<int>(field - start);
      continue;
    }
    own = 0;
    while (blanks != 0) {
      const std::size_t next = at + LowestSet(blanks) + 1;
      if (count == FieldTable::kMaxFields) {
        // A blank after the 100th field opens field 101, which may stay empty.
        if (next < size) Raise(err::kSubscript);
        start[++count] = p + next;
        start[count + 1] = p + size + 1;
        count_of = count;
        return;
      }
      start[++count] = p + next;
      // The blank and the byte after it, the next field's own.
      const std::uint64_t lowest = blanks & (0 - blanks);
      blanks &= ~(lowest | lowest << 1);
      own = lowest >> 63;
    }
  }
  start[count + 1] = p + size + 1;
  count_of = count;
}

}  // namespace

#if TAVREL_SIMD_VALUES
namespace {

// The blanks among the `size` bytes at `p` (16 to 63), one bit a byte: two
// loads that may overlap, nothing read past them.
__attribute__((target("avx2"))) inline std::uint64_t BlanksOfShortLine(const char* p,
                                                                       std::size_t size) {
  if (size >= 32) {
    const __m256i blank = _mm256_set1_epi8(' ');
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i last = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + size - 32));
    const auto first_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, blank)));
    const auto last_bits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(last, blank)));
    return first_bits | std::uint64_t{last_bits} << (size - 32);
  }
  const __m128i blank = _mm_set1_epi8(' ');
  const __m128i first = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + size - 16));
  const auto first_bits =
      static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(first, blank)));
  const auto last_bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(last, blank)));
  return first_bits | std::uint64_t{last_bits} << (size - 16);
}

// FieldTable's split of a line of 16 to 63 bytes at `p` with AVX2, BMI and
// POPCNT: the fields' starts from `start[2]` on, and their count in
// `count_of`; a line with two blanks in a row goes to SplitLineByBlanks.
// Without them each blank separates, at most 31.  The common lines hold 7
// to 11 fields: the first ten starts after the first field's are taken
// without a test, the same steps whatever the count, so that no jump
// depends on it.  Past the last blank the steps take the mask's empty
// place; the end's mark comes after them, and the starts beyond it are
// never read.  The arguments come in the registers that hold them in the
// constructor, which only jumps here.
[[gnu::noinline]] __attribute__((target("avx2,bmi,popcnt"))) void SplitShortLineWide(
    const char** start, std::size_t size, const char* p, int& count_of) {
  std::uint64_t blanks = BlanksOfShortLine(p, size) & ~std::uint64_t{1};
  if ((blanks & blanks << 1) != 0) return SplitLineByBlanks(p, size, start, count_of);
  const int count = std::popcount(blanks) + 1;
  const char* const after = p + 1;
  auto take = [&](int n) {
    // TZCNT gives 64 for an empty mask; written out, so that the compiler
    // adds no test of the mask to the steps.
    std::uint64_t place;
    asm("tzcntq %1, %0" : "=r"(place) : "r"(blanks) : "cc");
    start[n] = after + place;
    blanks &= blanks - 1;
  };
  take(2);
  take(3);
  take(4);
  take(5);
  take(6);
  take(7);
  take(8);
  take(9);
  take(10);
  take(11);
  if (count > 11) {
    for (int n = 12; n <= count; ++n)
      take(n);
  }
  start[count + 1] = p + size + 1;
  count_of = count;
}

}  // namespace
#endif

FieldTable::FieldTable(std::string_view line) {
  const char* const p = line.data();
  const std::size_t size = line.size();
  end_ = p + size;
  start_[1] = p;
  const unsigned scalers = value_scalers.load(std::memory_order_relaxed);
  if ((scalers & kSplitFields) == 0) {
    SplitByBytes(line);
    return;
  }
#if TAVREL_SIMD_VALUES
  if ((scalers & kScaleWide) != 0 && size - 16 < 64 - 16) {
    SplitShortLineWide(start_, size, p, count_);
    return;
  }
#endif
  if (size < 64) {
    // The common short line: one word, and without two blanks in a row
    // each blank separates (at most 32 of them, far from field 101).  The
    // bits moved up by one mark the fields' first bytes.
    std::uint64_t blanks = BytesEqual(p, 0, size, ' ') & ~std::uint64_t{1};
    if ((blanks & blanks << 1) == 0) {
      const char** field = start_ + 1;
      // Two fields a round.
      for (std::uint64_t firsts = blanks << 1; firsts != 0; field += 2) {
        field[1] = p + LowestSet(firsts);
        firsts &= firsts - 1;
        if (firsts == 0) {
          ++field;
          break;
        }
        field[2] = p + LowestSet(firsts);
        firsts &= firsts - 1;
      }
      field[1] = end_ + 1;
      count_ = static_cast<int>(field - start_);
      return;
    }
  }
  SplitByBlanks(line);
}

void FieldTable::SplitByBytes(std::string_view line) {
  const char* p = line.data();
  int count = 1;
  // `p` is a character of the current field; a blank right after it
  // separates, and the character after that blank begins the next field
  // whatever it is.
  while (p < end_) {
    ++p;
    while (p < end_ && *p != ' ')
      ++p;
    if (p == end_) break;
    if (count == kMaxFields) {
      // A blank after the 100th field opens field 101, which may stay empty.
      if (p + 1 < end_) Raise(err::kSubscript);
      start_[++count] = p + 1;
      break;
    }
    start_[++count] = ++p;
  }
  start_[count + 1] = end_ + 1;
  count_ = count;
}

void FieldTable::SplitByBlanks(std::string_view line) {
  SplitLineByBlanks(line.data(), line.size(), start_, count_);
}

bool RewriteLayer255(std::string& riga) {
  // Layer 255 becomes layer 15; the test looks at five characters only.
  if (!riga.starts_with("-y255")) return false;
  riga.replace(0, 5, "-y15");
  return true;
}

char* TransformInto(std::string_view riga, bool decimal_point, char* out) {
  // The families' keys are disjoint: a digit, an upper-case letter (or the
  // empty line), a three-character option key, "-y".  A line no family
  // claims comes back as it is; only "-y" lines can have been rewritten
  // before, and one without a colon comes back so.
  if (riga.empty()) return Put(out, kBannerLine);
  if (IsNumericKey(riga.front())) return NumericRecord(riga, decimal_point, out);
  switch (riga.front()) {
    case 'S':
    case 'I':
    case 'L':
    case 'G':
    case 'C':
    case 'P':
    case 'T':
    case 'A':
      return Put(out, kBannerLine);
    case '-':
      if (char* end = OptionLine(riga, decimal_point, out)) return end;
      if (riga.starts_with("-y") && riga.find(':') != std::string_view::npos) {
        return LayerLine(riga, out);
      }
      break;
  }
  return Put(out, riga);
}

Streamed StreamedForm(std::string_view start, bool decimal_point, std::string_view& fixed) {
  // Numeric records, layer lines and the options that scale their values
  // read the whole line; what else TransformInto gives is fixed or the line.
  const char first = start.front();
  if (IsNumericKey(first)) return Streamed::kNo;
  if (first == '-' && (start.starts_with("-y") || OptionReadsValues(start))) return Streamed::kNo;
  thread_local char text[LineBound(4)];
  const std::string_view head = start.substr(0, 4);
  const std::string_view result(
      text, static_cast<std::size_t>(TransformInto(head, decimal_point, text) - text));
  if (result == head) return Streamed::kUnchanged;
  fixed = result;
  return Streamed::kFixed;
}

}  // namespace detail

std::string Trasforma(std::string& riga, const NumberSettings& numbers) {
  detail::RewriteLayer255(riga);
  thread_local detail::ByteBuffer result;
  result.clear();
  detail::TransformAppend(riga, detail::DecimalPoint(numbers), result);
  return std::string(result.view());
}

}  // namespace tavrel
