// The value helpers on arbitrary bytes: the number reader, Moltiplica (the
// same with every set of vector scalers as the plain way), Rad with the three
// angle bases the records use, Ega, and the integer text of what the reader
// gives.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_common.h"
#include "internal.h"
#include "tavrel.h"

namespace {

using tavrel::fuzz::ExpectError;
using tavrel::fuzz::Require;
namespace err = tavrel::err;

// "0", or an optional "-" and digits without a leading zero.
bool IsIntegerText(std::string_view text) {
  if (text == "0") return true;
  if (text.starts_with('-')) text.remove_prefix(1);
  if (text.empty() || text.front() == '0') return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void CheckReader(const std::string& text, bool& readable, double& value) {
  readable = false;
  try {
    value = tavrel::ReadNumber(text);
    readable = true;
  } catch (const tavrel::RuntimeError& e) {
    ExpectError(e, {err::kOverflow}, "ReadNumber");
    return;
  }
  Require(std::isfinite(value), "ReadNumber gave a value that is not finite");
  // A whole number survives its integer text exactly.
  const double whole = std::floor(value);
  const std::string text_of_whole = tavrel::IntegerText(whole);
  Require(IsIntegerText(text_of_whole), "IntegerText wrote no integer text");
  Require(tavrel::ReadNumber(text_of_whole) == whole, "IntegerText does not read back");
}

void CheckRad(const std::string& text, bool readable, double value) {
  for (float base : {256.0f, 128.0f, 32768.0f}) {
    try {
      const std::string units = tavrel::Rad(text, base);
      Require(readable, "Rad converted a text the number reader rejects");
      const bool outside = value < 0.0 || value > 360.0;
      if (base == 32768.0f) {
        Require(units.empty() == outside, "half-turn angle empty exactly outside 0..360");
      }
      if (!units.empty()) Require(IsIntegerText(units), "Rad wrote no integer text");
    } catch (const tavrel::RuntimeError& e) {
      ExpectError(e, {err::kOverflow}, "Rad");
    }
  }
}

// Moltiplica's text, or its error number as "error N".
std::string ScaledOutcome(const std::string& text, const tavrel::NumberSettings& numbers) {
  try {
    return tavrel::Moltiplica(text, numbers);
  } catch (const tavrel::RuntimeError& e) {
    ExpectError(e, {err::kOverflow, err::kSubscript}, "Moltiplica");
    return "error " + std::to_string(e.number());
  }
}

// Each set of value scalers (whole lists in windows with and without AVX2,
// single tokens in sixteen bytes) gives what the plain way gives.
void CheckMoltiplica(const std::string& text) {
  static const tavrel::NumberSettings kSettings[] = {{".", ","}, {",", "."}};
  namespace detail = tavrel::detail;
  for (const tavrel::NumberSettings& numbers : kSettings) {
    const unsigned before = detail::UseValueScalers(0);
    const std::string plain = ScaledOutcome(text, numbers);
    // Scaling keeps the separators; an empty list stays empty.
    Require(text.empty() == plain.empty(), "Moltiplica of an empty list is empty");
    for (const unsigned scalers :
         {detail::kScaleWindows | detail::kScaleWide | detail::kScaleBlocks,
          detail::kScaleWindows | detail::kScaleBlocks, detail::kScaleBlocks}) {
      detail::UseValueScalers(scalers);
      Require(ScaledOutcome(text, numbers) == plain, "a vector scaler differs from the plain way");
    }
    detail::UseValueScalers(before);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  bool readable = false;
  double value = 0.0;
  CheckReader(text, readable, value);
  CheckRad(text, readable, value);
  CheckMoltiplica(text);
  const int colour = tavrel::Ega(text);
  Require(colour >= 0 && colour <= 15, "Ega outside 0..15");
  return 0;
}
