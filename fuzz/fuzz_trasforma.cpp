// Trasforma on arbitrary bytes taken as one line, under both number settings.
// A line may come out as a result or as run-time error 5, 6 or 9; the same
// line must give the same outcome twice (no state between calls), and the
// same outcome as the reference transformer (tests/reference), on both ways
// of scaling value lists (sixteen bytes at a time and the plain way).  The
// line's fields split from masks of its blanks are those the byte loop
// splits.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

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
  const std::string line(reinterpret_cast<const char*>(data), size);
  static const tavrel::NumberSettings kSettings[] = {{".", ","}, {",", "."}};
  for (const tavrel::NumberSettings& numbers : kSettings) {
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
  namespace detail = tavrel::detail;
  const unsigned before = detail::UseValueScalers(detail::kSplitFields);
  const std::string by_masks = Fields(line);
  detail::UseValueScalers(0);
  const std::string by_bytes = Fields(line);
  detail::UseValueScalers(before);
  tavrel::fuzz::Require(by_masks == by_bytes, "the fields split from masks differ");
  return 0;
}
