// Trasforma on arbitrary bytes taken as one line, under both number settings,
// and on a record "2", "3", "4" or "6" that holds the bytes' blank-separated
// pieces in place of its usual numbers (the angles, pad sizes, anchor code
// and text position, which are computed in fixed point when short decimals).
// A line may come out as a result or as run-time error 5, 6 or 9; the same
// line must give the same outcome twice (no state between calls), and the
// same outcome as the reference transformer (tests/reference), on both ways
// of scaling value lists (sixteen bytes at a time and the plain way).  The
// line's fields split from masks of its blanks are those the byte loop
// splits.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_common.h"
#include "internal.h"
#include "reference_transform.h"
#include "tavrel.h"

namespace {

// The result, or the error number as a negative value in `error`.
std::optional<std::string> Outcome(const std::string& line, const tavrel::NumberSettings& numbers,
                                   int& error, bool reference = false) {
  std::string riga = line;
  try {
    return reference ? tavrel::reference::Trasforma(riga, numbers)
                     : tavrel::Trasforma(riga, numbers);
  } catch (const tavrel::RuntimeError& e) {
    tavrel::fuzz::ExpectError(
        e, {tavrel::err::kInvalidArgument, tavrel::err::kOverflow, tavrel::err::kSubscript},
        "Trasforma");
    error = e.number();
    return std::nullopt;
  }
}

// A record of the usual shape (chosen by the text's length) with the pieces
// of the text after its first byte, split at blanks, in place of its fields
// from one chosen by that byte on.
std::string RecordLine(std::string_view text) {
  static const char* const kRecords[][12] = {
      {"2", "5", "1", "2", "0.5", "0.25", "90", "180", "1", "0", "X"},
      {"3", "0.062", "0", "1.25", "2.5", "0.06", "0.08", "0.032", "90", "1", "U1"},
      {"4", "1", "0.1", "1.25", "2.5", "0.5", "90", "5", "0", "NAME"},
      {"6", "1", "90", "1", "2", "0.5", "0.25", "X"},
  };
  const char* const* record = kRecords[text.size() % 4];
  std::vector<std::string> fields;
  for (const char* const* field = record; *field != nullptr; ++field)
    fields.emplace_back(*field);
  std::size_t at = 1;
  if (!text.empty()) {
    at += static_cast<unsigned char>(text[0]) % (fields.size() - 1);
    text.remove_prefix(1);
  }
  for (std::size_t start = 0; start <= text.size() && at < fields.size(); ++at) {
    const std::size_t blank = std::min(text.find(' ', start), text.size());
    fields[at] = text.substr(start, blank - start);
    start = blank + 1;
  }
  std::string line = fields[0];
  for (std::size_t i = 1; i < fields.size(); ++i)
    line += ' ' + fields[i];
  return line;
}

// The outcomes of `line` under `numbers`: twice the same, and the same as
// the reference's, on both ways of scaling value lists.
void Check(const std::string& line, const tavrel::NumberSettings& numbers) {
  int first_error = 0;
  int second_error = 0;
  const std::optional<std::string> first = Outcome(line, numbers, first_error);
  const std::optional<std::string> second = Outcome(line, numbers, second_error);
  tavrel::fuzz::Require(first == second && first_error == second_error,
                        "the same line gave two different outcomes");
  int reference_error = 0;
  const std::optional<std::string> reference = Outcome(line, numbers, reference_error, true);
  tavrel::fuzz::Require(first == reference && first_error == reference_error,
                        "the line differs from the reference transformer");
  const bool blocks = tavrel::detail::UseValueBlocks(false);
  int plain_error = 0;
  const std::optional<std::string> plain = Outcome(line, numbers, plain_error);
  tavrel::detail::UseValueBlocks(blocks);
  tavrel::fuzz::Require(plain == reference && plain_error == reference_error,
                        "the plain way of scaling differs from the reference transformer");
}

// The fields of `line` as text, or the error number as "error N".
std::string Fields(const std::string& line) {
  try {
    const tavrel::detail::FieldTable table(line);
    std::string text = std::to_string(table.count());
    for (int n = 1; n <= table.count() && n <= tavrel::detail::FieldTable::kMaxFields; ++n) {
      text += '|';
      text += table[n];
    }
    return text;
  } catch (const tavrel::RuntimeError& e) {
    tavrel::fuzz::ExpectError(e, {tavrel::err::kSubscript}, "FieldTable");
    return "error " + std::to_string(e.number());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string line(text);
  const std::string record = RecordLine(text);
  static const tavrel::NumberSettings kSettings[] = {{".", ","}, {",", "."}};
  for (const tavrel::NumberSettings& numbers : kSettings) {
    Check(line, numbers);
    Check(record, numbers);
  }
  namespace detail = tavrel::detail;
  const unsigned before = detail::UseValueScalers(detail::kSplitFields);
  const std::string by_masks = Fields(line);
  detail::UseValueScalers(0);
  const std::string by_bytes = Fields(line);
  detail::UseValueScalers(before);
  tavrel::fuzz::Require(by_masks == by_bytes, "the fields split from masks differ");
  return 0;
}
