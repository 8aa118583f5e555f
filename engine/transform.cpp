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

FieldTable::FieldTable(std::string_view line) {
  const char* const p = line.data();
  const std::size_t size = line.size();
  end_ = p + size;
  start_[1] = p;
  if ((value_scalers.load(std::memory_order_relaxed) & kSplitFields) == 0) {
    SplitByBytes(line);
    return;
  }
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
  count_ = count;
}

void FieldTable::SplitByBlanks(std::string_view line) {
  // Of the blanks, 64 bytes at a time, each is a separator but the first
  // byte of a field, its own: the first of the line and each one after a
  // separator.
  const char* const p = line.data();
  const std::size_t size = line.size();
  int count = 1;
  std::uint64_t own = 1;  // the bit of a field's first byte in this word
  for (std::size_t at = 0; at < size; at += 64) {
    std::uint64_t blanks = BytesEqual(p, at, size, ' ') & ~own;
    own = blanks >> 63;
    // Without two blanks in a row, each is a separator; a word holds at most
    // 32 of them, which reach no field past the 100th from the 68th.
    if ((blanks & blanks << 1) == 0 && count <= kMaxFields - 32) {
      const char* const after = p + at + 1;  // after the word's first byte
      const char** field = start_ + count;
      for (; blanks != 0; blanks &= blanks - 1)
        *++field = after + LowestSet(blanks);
      count = static_cast<int>(field - start_);
      continue;
    }
    own = 0;
    while (blanks != 0) {
      const std::size_t next = at + LowestSet(blanks) + 1;
      if (count == kMaxFields) {
        // A blank after the 100th field opens field 101, which may stay empty.
        if (next < size) Raise(err::kSubscript);
        start_[++count] = p + next;
        count_ = count;
        return;
      }
      start_[++count] = p + next;
      // The blank and the byte after it, the next field's own.
      const std::uint64_t lowest = blanks & (0 - blanks);
      blanks &= ~(lowest | lowest << 1);
      own = lowest >> 63;
    }
  }
  count_ = count;
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
