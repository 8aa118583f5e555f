// Pieces shared by the engine's sources; not part of the public interface.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "tavrel.h"

namespace tavrel::detail {

inline constexpr std::string_view kLineEnd = "\r\n";

// Leading and trailing blanks (only " ") removed; tabs stay.
std::string_view TrimBlanks(std::string_view text);

// A piece of a line, like a string_view but left uninitialised in arrays:
// a line splits into at most 100 of them, most of them never used.
struct TextRun {
  TextRun() = default;
  TextRun(std::string_view text) : data(text.data()), size(text.size()) {}
  operator std::string_view() const { return {data, size}; }
  const char* data;
  std::size_t size;
};

// Splits `text` into runs the way the line transformer does it: each
// character goes to the current item; when the next character is a separator,
// the item ends and that separator is dropped (so of two separators in a row
// the second begins the next item, and a separator at the end opens one more,
// empty item).  `items` is numbered from 1 and holds `max` + 1 entries; an
// item past `max` is never stored.  Returns the number of the last item
// (max + 1 when a separator ends the text after item max).  Error 9 when a
// character would go into item max + 1.  `last_separator` receives the
// separator that ended an item last (unchanged when none did).
// Splits `text` into runs separated by `a` or `b` (the same character twice
// for one separator).
template <typename Item>
int SplitRuns(std::string_view text, char a, char b, Item* items, int max, char* last_separator) {
  int current = 1;
  std::size_t start = 0;
  const std::size_t size = text.size();
  while (start < size) {
    if (current > max) Raise(err::kSubscript);
    // The item's first character is always its own, even a separator.
    std::size_t end = start + 1;
    while (end < size && text[end] != a && text[end] != b)
      ++end;
    items[current] = text.substr(start, end - start);
    if (end == size) return current;
    *last_separator = text[end];
    ++current;
    start = end + 1;  // the separator is dropped
  }
  // An empty text, or an empty item opened by a separator at the end.
  if (current <= max) items[current] = {};
  return current;
}

// The up to 100 blank-separated fields of a numeric record, numbered from 1.
// Fields are views into the line: a field is always a run of its characters.
class FieldTable {
 public:
  static constexpr int kMaxFields = 100;

  // Splits `line`.  Error 9 when a character would go into field 101.
  explicit FieldTable(std::string_view line);

  // Field n (1-based); empty past the last field.  Error 9 beyond 100.
  std::string_view operator[](int n) const {
    if (n < 1 || n > kMaxFields) Raise(err::kSubscript);
    return n <= count_ ? std::string_view(fields_[n]) : std::string_view();
  }
  // The field count: the number of the last field, 101 when a blank follows
  // the 100th field at the end of the line.
  int count() const { return count_; }

 private:
  TextRun fields_[kMaxFields + 1];
  int count_ = 1;
};

// Whether the user's decimal separator is the point: it decides how a
// negative scaled value with a fraction comes out.
inline bool DecimalPoint(const NumberSettings& numbers) {
  return numbers.decimal == ".";
}

// The value helpers, appending their text to `out`.
void AppendScaled(std::string_view valori, bool decimal_point, std::string& out);
void AppendRad(std::string_view gradi, float base, std::string& out);
void AppendIntegerText(double value, std::string& out);

// Trasforma's first step: "-y255" becomes "-y15"; whether it did.
bool RewriteLayer255(std::string& riga);
// Trasforma's work on a line after that step: appends its 3.5 text to `out`.
void TransformInto(std::string_view riga, const NumberSettings& numbers, std::string& out);

// The handlers of the record families, appending the result text to `out`.
void NumericRecord(std::string_view line, const FieldTable& fields, bool decimal_point,
                   std::string& out);
// False, with nothing appended, when no option key decides the line.
bool OptionLine(std::string_view line, bool decimal_point, std::string& out);
void LayerLine(std::string_view line, std::string& out);

}  // namespace tavrel::detail
