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

FieldTable::FieldTable(std::string_view line) {
  char separator = ' ';
  count_ = SplitRuns(line, ' ', ' ', fields_, kMaxFields, &separator);
}

}  // namespace detail

namespace {

bool IsNumericType(char c) {
  return std::string_view("012346").find(c) != std::string_view::npos;
}

}  // namespace

namespace detail {

bool RewriteLayer255(std::string& riga) {
  // Layer 255 becomes layer 15; the test looks at five characters only.
  if (!riga.starts_with("-y255")) return false;
  riga.replace(0, 5, "-y15");
  return true;
}

void TransformInto(std::string_view riga, const NumberSettings& numbers, std::string& out) {
  // The families' keys are disjoint: a digit, an upper-case letter (or the
  // empty line), a three-character option key, "-y".  A line no family
  // claims comes back as it is; only "-y" lines can have been rewritten
  // above, and one without a colon comes back so.
  if (!riga.empty() && IsNumericType(riga[0])) {
    const FieldTable fields(riga);
    NumericRecord(riga, fields, DecimalPoint(numbers), out);
  } else if (riga.empty() || std::string_view("SILGCPTA").find(riga[0]) != std::string_view::npos) {
    out += kBannerLine;
  } else if (!OptionLine(riga, DecimalPoint(numbers), out)) {
    if (riga.starts_with("-y") && riga.find(':') != std::string::npos) {
      LayerLine(riga, out);
    } else {
      out += riga;
    }
  }
}

}  // namespace detail

std::string Trasforma(std::string& riga, const NumberSettings& numbers) {
  std::string result;
  detail::RewriteLayer255(riga);
  detail::TransformInto(riga, numbers, result);
  return result;
}

}  // namespace tavrel
