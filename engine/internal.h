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

// Splits `text` into runs the way the line transformer does it: each
// character goes to the current item; when the next character is one of
// `separators`, the item ends and that separator is dropped (so of two
// separators in a row the second begins the next item, and a separator at
// the end opens one more, empty item).  `items` is numbered from 1 and holds
// `max` + 1 entries; an item past `max` is never stored.  Returns the number
// of the last item (max + 1 when a separator ends the text after item max).
// Error 9 when a character would go into item max + 1.  `last_separator`
// receives the separator that ended an item last (unchanged when none did).
int SplitRuns(std::string_view text, std::string_view separators, std::string_view* items,
              int max, char* last_separator);

// The up to 100 blank-separated fields of a numeric record, numbered from 1.
// Fields are views into the line: a field is always a run of its characters.
class FieldTable {
 public:
  static constexpr int kMaxFields = 100;

  // Splits `line`.  Error 9 when a character would go into field 101.
  explicit FieldTable(std::string_view line);

  // Field n (1-based); empty past the last field.  Error 9 beyond 100.
  std::string_view operator[](int n) const;
  // The field count: the number of the last field, 101 when a blank follows
  // the 100th field at the end of the line.
  int count() const { return count_; }

 private:
  std::array<std::string_view, kMaxFields + 1> fields_{};
  int count_ = 1;
};

// Whether the user's decimal separator is the point: it decides how a
// negative scaled value with a fraction comes out.
inline bool DecimalPoint(const NumberSettings& numbers) { return numbers.decimal == "."; }

// The value helpers, appending their text to `out`.
void AppendScaled(std::string_view valori, bool decimal_point, std::string& out);
void AppendRad(std::string_view gradi, float base, std::string& out);
void AppendIntegerText(double value, std::string& out);

// Trasforma's work: appends the 3.5 text of `riga` to `out`.
void TransformInto(std::string& riga, const NumberSettings& numbers, std::string& out);

// The handlers of the record families, appending the result text to `out`.
void NumericRecord(std::string_view line, const FieldTable& fields, bool decimal_point,
                   std::string& out);
// False, with nothing appended, when no option key decides the line.
bool OptionLine(std::string_view line, bool decimal_point, std::string& out);
void LayerLine(std::string_view line, std::string& out);

}  // namespace tavrel::detail
