// Trasforma: the entry of the line transformer, its tokenizer and the order
// in which the record families are tried.
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

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
  const char* p = line.data();
  end_ = p + line.size();
  start_[1] = p;
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
  switch (riga.front()) {
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '6':
      return NumericRecord(riga, decimal_point, out);
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
  if (std::string_view("012346").find(first) != std::string_view::npos) return Streamed::kNo;
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
