// What the line transformer drops or approximates of a 4.0 line, told to a
// LineObserver.  The conversion calls it only when an observer is given.
//
// Every account is read off the transformer itself: the line's 3.5 text is
// compared with the line, or with the 3.5 text of the same line with one
// field changed, so a loss is told only where the output really lacks
// something of the input.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <string_view>

#include "internal.h"
#include "tavrel.h"

namespace tavrel {

namespace {

using detail::FieldTable;
using detail::TrimBlanks;

// A text as quoted in an account: at most 60 bytes (not ending inside a
// UTF-8 character), CR LF shown as " / ", and "…" where it was cut, here or
// (`cut`) before it came.
std::string Shown(std::string_view text, bool cut = false) {
  constexpr std::size_t kMost = 60;
  std::string_view part = text.substr(0, kMost);
  if (part.size() < text.size()) {
    std::size_t end = part.size();
    // Back to the start of a character that does not fit whole.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
      --end;
    if (end > 0) part = part.substr(0, end);
    cut = true;
  }
  std::string shown;
  for (std::size_t from = 0;;) {
    const std::size_t crlf = part.find("\r\n", from);
    shown += part.substr(from, crlf - from);
    if (crlf == std::string_view::npos) break;
    shown += " / ";
    from = crlf + 2;
  }
  if (cut) shown += "\xE2\x80\xA6";  // …
  return shown;
}

std::string Transformed(std::string_view riga) {
  thread_local detail::ByteBuffer out;
  out.clear();
  detail::TransformAppend(riga, true, out);
  return std::string(out.view());
}

// `riga` with the text of field `n` (which the line reaches) replaced by
// `text`.  `f` may be the field table of a longer line that begins with
// `riga`.
std::string WithField(std::string_view riga, const FieldTable& f, int n, std::string_view text) {
  const std::string_view field = f[n];
  const auto at = static_cast<std::size_t>(field.data() - riga.data());
  std::string changed(riga.substr(0, at));
  changed += text;
  changed += riga.substr(at + field.size());
  return changed;
}

bool Blank(std::string_view text) {
  return TrimBlanks(text).empty();
}

// The account of fields `first` to `last`, which the 3.5 text does not
// hold: those with something in them are named; empty when none has.
std::string DroppedFields(const FieldTable& f, int first, int last) {
  int from = first;
  int to = last;
  while (from <= to && Blank(f[from]))
    ++from;
  while (to > from && Blank(f[to]))
    --to;
  if (from > to) return {};
  const std::string text = Shown(TrimBlanks(f.Span(from, to)));
  if (from == to) return "campo " + std::to_string(from) + " non riportato: " + text;
  return "campi " + std::to_string(from) + "-" + std::to_string(to) + " non riportati: " + text;
}

// One account of the fields a record lost, its parts joined.
void FieldsLost(std::initializer_list<std::string> parts, std::uint64_t line,
                LineObserver& observer) {
  std::string detail;
  for (const std::string& part : parts) {
    if (part.empty()) continue;
    if (!detail.empty()) detail += "; ";
    detail += part;
  }
  if (!detail.empty()) observer.Lost(line, LossKind::kFields, detail);
}

// Records "2", "4" and "6" keep the line's first four characters for their
// first two fields: what of those fields lies beyond is lost.
std::string CutHead(std::string_view riga, const FieldTable& f, const std::string& result) {
  const std::string_view head = f.Span(1, std::min(f.count(), 2));
  if (result.starts_with(head)) return {};
  const std::string_view lost = TrimBlanks(head.substr(std::min(head.size(), std::size_t{4})));
  if (lost.empty() || !result.starts_with(TrimBlanks(riga.substr(0, 4)))) return {};
  return "campi 1-2 tagliati a 4 caratteri, non riportato: " + Shown(lost);
}

// Fields after the 10th, when the 3.5 text is the same without them.
std::string DroppedAfterTenth(const FieldTable& f, const std::string& result) {
  if (f.count() <= 10 || Transformed(f.Span(1, 10)) != result) return {};
  return DroppedFields(f, 11, f.count());
}

// A pad turned by 90 or 270 degrees has its two sizes exchanged; the 3.5
// pad has no other rotation.  A rotation is kept when the 3.5 text is the
// one of the same turn given as 0, 90, 180 or 270 degrees (those a pad can
// show, 180 being the pad itself).
void PadRotation(std::string_view riga, const FieldTable& f, const std::string& result,
                 std::uint64_t line, LineObserver& observer) {
  const double rotation = ReadNumber(f[9]);
  if (rotation == 0.0) return;
  double turn = std::fmod(rotation, 360.0);
  if (turn < 0.0) turn += 360.0;
  if (turn == 360.0) turn = 0.0;
  const std::string shown = Shown(TrimBlanks(f[9]));
  if (turn == 0.0 || turn == 90.0 || turn == 180.0 || turn == 270.0) {
    const std::string_view same = turn == 90.0 ? "90" : turn == 270.0 ? "270" : "0";
    if (Transformed(WithField(riga, f, 9, same)) == result) return;
    observer.Lost(line, LossKind::kPadRotation,
                  "rotazione della piazzola di " + shown + " gradi persa: misure non scambiate");
    return;
  }
  observer.Lost(line, LossKind::kPadRotation,
                "rotazione della piazzola di " + shown + " gradi persa");
}

// The text record: its anchor (field 8) folded into the position or lost,
// field 9 never written, an angle (field 7) that gives no angle text.
// Fields from the 10th on are copied and left out of the comparisons.
void TextRecord(std::string_view riga, const FieldTable& f, std::uint64_t line,
                LineObserver& observer) {
  const std::string_view head = f.Span(1, std::min(f.count(), 10));
  const std::string result = Transformed(head);
  if (f.count() >= 7 && !Blank(f[7]) && Rad(std::string(f[7]), 32768.0f).empty()) {
    observer.Lost(line, LossKind::kTextRotation,
                  "rotazione del testo di " + Shown(TrimBlanks(f[7])) + " gradi persa");
  }
  if (f.count() >= 8 && ReadNumber(f[8]) != 0.0) {
    const std::string anchor = Shown(TrimBlanks(f[8]));
    if (Transformed(WithField(head, f, 8, "0")) != result) {
      observer.Lost(line, LossKind::kAnchor,
                    "ancoraggio " + anchor + " del testo riportato nella posizione");
    } else {
      observer.Lost(line, LossKind::kAnchor, "ancoraggio " + anchor + " del testo perso");
    }
  }
  std::string field9;
  if (f.count() >= 9 && !Blank(f[9])) {
    const std::string_view other = TrimBlanks(f[9]) == "0" ? "1" : "0";
    if (Transformed(WithField(head, f, 9, other)) == result) field9 = DroppedFields(f, 9, 9);
  }
  FieldsLost({CutHead(riga, f, result), field9}, line, observer);
}

// An option line that is neither kept nor replaced by the banner line.
void OptionLine(std::string_view riga, bool cut, const std::string& result, std::uint64_t line,
                LineObserver& observer) {
  // Values carried over (scaled) under the 3.5 name.
  if (detail::OptionReadsValues(riga)) return;
  // A 3.5 option of the same values under another name loses nothing.
  if (!cut && result.find("\r\n") == std::string::npos) {
    std::size_t name = 1;
    while (name < result.size() && result[name] >= 'a' && result[name] <= 'z')
      ++name;
    if (std::string_view(result).substr(name) == riga.substr(std::min(riga.size(), std::size_t{3})))
      return;
  }
  observer.Lost(line, LossKind::kFixedOption,
                "opzione sostituita da " + Shown(result) + ": " + Shown(riga, cut));
}

// A layer line: the colour reduced to a colour number, and what lies
// between the colour and the name other than the short field.
// The account of a layer colour: `flag` the character before it, `number`
// the 16-colour number the 3.5 line holds.
void ColourLost(std::string_view flag, std::string_view colour, std::string_view number,
                std::uint64_t line, LineObserver& observer) {
  if (colour.empty()) return;
  if (flag == "1") {
    observer.Lost(line, LossKind::kColour,
                  "colore " + Shown(colour) + " sostituito dal colore 0 (indicatore 1)");
  } else {
    observer.Lost(line, LossKind::kColour,
                  "colore " + Shown(colour) + " ridotto al colore " + std::string(number));
  }
}

void LayerLine(std::string_view riga, const std::string& result, std::uint64_t line,
               LineObserver& observer, bool cut = false) {
  // The 3.5 line: the prefix up to the colon, the colour number, ",", the
  // short field, ",", the name (everything after the last comma).
  const std::size_t colon = riga.find(':');
  const std::size_t number_end = result.find(',', colon + 1);
  const std::size_t name_comma = result.rfind(',');
  if (number_end == std::string::npos || name_comma <= number_end) return;
  const std::string number = result.substr(colon + 1, number_end - colon - 1);
  const std::string_view short_field =
      std::string_view(result).substr(number_end + 1, name_comma - number_end - 1);

  ColourLost(riga.substr(std::min(riga.size(), colon + 2), 1),
             riga.substr(std::min(riga.size(), colon + 3), 6), number, line, observer);
  // The settings: after the colour text, up to the name's comma.
  const std::size_t settings = colon + 9;
  const std::size_t last_comma = riga.rfind(',');
  if (last_comma == std::string_view::npos || last_comma <= settings) return;
  std::string lost(riga.substr(settings, last_comma - settings));
  // The short field that the 3.5 line kept, from the 23rd or 24th character.
  if (!short_field.empty()) {
    const std::size_t from = riga.size() > 21 && riga[21] == ',' ? 22 : 23;
    if (from >= settings && riga.substr(from, short_field.size()) == short_field &&
        from + short_field.size() <= last_comma) {
      lost.erase(from - settings, short_field.size());
    }
  }
  const std::size_t first = lost.find_first_not_of(", ");
  if (first == std::string::npos) return;
  const std::size_t last = lost.find_last_not_of(", ");
  observer.Lost(line, LossKind::kLayerSettings,
                "impostazioni del layer non riportate: " +
                    Shown(std::string_view(lost).substr(first, last - first + 1), cut));
}

}  // namespace

namespace detail {

void DescribeLayerLosses(std::string_view stand_in, bool cut, std::uint64_t line,
                         LineObserver& observer) {
  tavrel::LayerLine(stand_in, tavrel::Transformed(stand_in), line, observer, cut);
}

}  // namespace detail

void DescribeLosses(std::string_view riga, std::uint64_t line, LineObserver& observer, bool cut) {
  // Records "0" and "1" keep every value, scaled.
  if (riga.starts_with('0') || riga.starts_with('1')) return;
  // A text record is compared without the fields it copies from the 10th on.
  if (riga.starts_with('4')) {
    TextRecord(riga, FieldTable(riga), line, observer);
    return;
  }
  const std::string result = Transformed(riga);
  if (result == riga) return;
  if (result == kBannerLine) {
    if (riga.empty()) {
      observer.Lost(line, LossKind::kBanner, "riga vuota sostituita dalla riga del convertitore");
    } else {
      observer.Lost(line, LossKind::kBanner,
                    std::string(riga.front() == '-' ? "opzione sostituita" : "record sostituito") +
                        " dalla riga del convertitore: " + Shown(riga, cut));
    }
    return;
  }
  switch (riga.front()) {
    case '2':
    case '6': {
      const FieldTable f(riga);
      FieldsLost({CutHead(riga, f, result),
                  riga.front() == '2' ? DroppedAfterTenth(f, result) : std::string()},
                 line, observer);
      return;
    }
    case '3': {
      const FieldTable f(riga);
      PadRotation(riga, f, result, line, observer);
      FieldsLost({DroppedAfterTenth(f, result)}, line, observer);
      return;
    }
    case '-':
      if (riga.starts_with("-y")) {
        if (riga.find(':') != std::string_view::npos) LayerLine(riga, result, line, observer);
      } else {
        OptionLine(riga, cut, result, line, observer);
      }
      return;
    default:
      return;
  }
}

}  // namespace tavrel
