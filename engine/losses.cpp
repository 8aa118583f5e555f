// What the line transformer drops or approximates of a 4.0 line, told to a
// LineObserver.  The conversion calls it only when an observer is given.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {

namespace {

// A line as shown in an account: at most 60 bytes, CR LF shown as " / ".
std::string Shown(std::string_view text) {
  constexpr std::size_t kMost = 60;
  std::string shown;
  for (std::size_t i = 0; i < text.size() && i < kMost; ++i) {
    if (text.compare(i, 2, "\r\n") == 0) {
      shown += " / ";
      ++i;
    } else {
      shown += text[i];
    }
  }
  if (text.size() > kMost) shown += "...";
  return shown;
}

std::string Transformed(std::string_view riga) {
  detail::ByteBuffer out;
  detail::TransformAppend(riga, true, out);
  return std::string(out.view());
}

void Layer(std::string_view riga, std::uint64_t line, LineObserver& observer) {
  const std::size_t colon = riga.find(':');
  const std::string result = Transformed(riga);
  // The colour number stands right after the prefix, up to its comma.
  const std::string_view number =
      std::string_view(result).substr(colon + 1, result.find(',', colon + 1) - colon - 1);
  auto at = [riga](std::size_t from, std::size_t count) {
    return riga.substr(std::min(riga.size(), from), count);
  };
  // After the colour text and its comma.
  const std::size_t settings = colon + 10;
  const std::size_t last_comma = riga.rfind(',');
  const std::string_view text = last_comma != std::string_view::npos && last_comma > settings
                                    ? riga.substr(settings, last_comma - settings)
                                    : std::string_view();
  detail::DescribeLayerLosses(at(colon + 2, 1), at(colon + 3, 6), number,
                              text.empty() ? nullptr : &text, line, observer);
}

}  // namespace

namespace detail {

void DescribeLayerLosses(std::string_view flag, std::string_view colour, std::string_view number,
                         const std::string_view* settings, std::uint64_t line,
                         LineObserver& observer) {
  const std::string colour_text(colour);
  if (flag == "1") {
    observer.Lost(line, LossKind::kColour,
                  "colore " + colour_text + " sostituito dal colore 0 (indicatore 1)");
  } else {
    observer.Lost(line, LossKind::kColour,
                  "colore " + colour_text + " ridotto al colore " + std::string(number));
  }
  if (settings != nullptr) {
    observer.Lost(line, LossKind::kLayerSettings,
                  "impostazioni del layer non riportate: " + Shown(*settings));
  }
}

}  // namespace detail

void DescribeLosses(std::string_view riga, std::uint64_t line, LineObserver& observer) {
  if (riga.empty()) {
    observer.Lost(line, LossKind::kBanner, "riga vuota sostituita dalla riga del convertitore");
    return;
  }
  const char first = riga.front();
  if (std::string_view("SILGCPTA").find(first) != std::string_view::npos) {
    observer.Lost(line, LossKind::kBanner,
                  std::string("record ") + first + " sostituito dalla riga del convertitore");
    return;
  }
  if (first == '3' || first == '4') {
    const detail::FieldTable f(riga);
    if (first == '3') {
      const double rotation = ReadNumber(f[9]);
      if (std::fmod(rotation, 90.0) != 0.0) {
        observer.Lost(line, LossKind::kPadRotation,
                      "rotazione della piazzola di " + std::string(f[9]) +
                          " gradi, non multipla di 90: persa");
      }
      return;
    }
    const double anchor = ReadNumber(f[8]);
    if (anchor == 0.0) return;
    if (anchor == std::floor(anchor) && anchor > 0.0 && anchor <= 15.0) {
      observer.Lost(line, LossKind::kAnchor,
                    "ancoraggio " + std::string(f[8]) + " del testo riportato nella posizione");
    } else {
      observer.Lost(line, LossKind::kAnchor,
                    "ancoraggio " + std::string(f[8]) + " del testo non riconosciuto: perso");
    }
    return;
  }
  if (first != '-') return;
  switch (detail::OptionLoss(riga)) {
    case detail::OptionLost::kNothing:
      break;
    case detail::OptionLost::kValues:
      observer.Lost(line, LossKind::kFixedOption,
                    "opzione " + Shown(riga) + " sostituita da " + Shown(Transformed(riga)));
      return;
    case detail::OptionLost::kLine:
      observer.Lost(
          line, LossKind::kBanner,
          "opzione " + Shown(riga.substr(0, 3)) + " sostituita dalla riga del convertitore");
      return;
  }
  if (riga.starts_with("-y") && riga.find(':') != std::string_view::npos)
    Layer(riga, line, observer);
}

}  // namespace tavrel
