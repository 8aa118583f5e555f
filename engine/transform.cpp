// Trasforma: the entry of the line transformer, its tokenizer and the order
// in which the record families are tried.
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {
namespace detail {

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

int SplitRuns(std::string_view text, std::string_view separators, std::string_view* items,
              int max, char* last_separator) {
  int current = 1;
  std::size_t start = 0;
  const std::size_t size = text.size();
  while (start < size) {
    if (current > max) Raise(err::kSubscript);
    // The item's first character is always its own, even a separator.
    const std::size_t end = separators.size() == 1 ? text.find(separators[0], start + 1)
                                                   : text.find_first_of(separators, start + 1);
    if (end == std::string_view::npos) {
      items[current] = text.substr(start);
      return current;
    }
    items[current] = text.substr(start, end - start);
    *last_separator = text[end];
    ++current;
    start = end + 1;  // the separator is dropped
  }
  // An empty text, or an empty item opened by a separator at the end.
  if (current <= max) items[current] = {};
  return current;
}

FieldTable::FieldTable(std::string_view line) {
  char separator = ' ';
  count_ = SplitRuns(line, " ", fields_.data(), kMaxFields, &separator);
}

std::string_view FieldTable::operator[](int n) const {
  if (n < 1 || n > kMaxFields) Raise(err::kSubscript);
  return fields_[n];
}

}  // namespace detail

namespace {

bool IsNumericType(char c) { return std::string_view("012346").find(c) != std::string_view::npos; }

}  // namespace

namespace detail {

void TransformInto(std::string& riga, const NumberSettings& numbers, std::string& out) {
  // Layer 255 becomes layer 15; the test looks at five characters only.
  if (riga.starts_with("-y255")) riga.replace(0, 5, "-y15");

  // The families' keys are disjoint: a digit, an upper-case letter (or the
  // empty line), a three-character option key, "-y".  A line none of them
  // claims comes back as it was received (no "-y" line is left unclaimed, so
  // the rewrite above never shows in an unchanged result).
  if (!riga.empty() && IsNumericType(riga[0])) {
    const FieldTable fields(riga);
    NumericRecord(riga, fields, DecimalPoint(numbers), out);
  } else if (riga.empty() ||
             std::string_view("SILGCPTA").find(riga[0]) != std::string_view::npos) {
    out += kBannerLine;
  } else if (OptionLine(riga, DecimalPoint(numbers), out)) {
  } else if (riga.starts_with("-y") && riga.find(':') != std::string::npos) {
    LayerLine(riga, out);
  } else {
    out += riga;
  }
}

}  // namespace detail

std::string Trasforma(std::string& riga, const NumberSettings& numbers) {
  std::string result;
  detail::TransformInto(riga, numbers, result);
  return result;
}

}  // namespace tavrel
