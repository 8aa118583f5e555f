// Analizza: recognises a source file by its header and converts it into the
// 3.5 format.
#include <array>
#include <cctype>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "internal.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel {

namespace {

struct HeaderRow {
  std::string_view header;
  FormatInfo info;
};

constexpr std::string_view kQuick = "Conversione: Rapida (modifica intestazione)";

// Compared exactly and case-sensitively, in this order.
constexpr std::array<HeaderRow, 8> kHeaders = {{
    {"TAVREL Version 3.3 -- DATA FILE", {33, "Formato: TAVREL 3.3 per Dos", kQuick}},
    {"TAVREL Version 3.4 -- DATA FILE", {34, "Formato: TAVREL 3.4 per Dos", kQuick}},
    {"TAVREL Version 3.5 -- DATA FILE",
     {35, "Formato: TAVREL 3.5", "Conversione: File già nel formato 3.5"}},
    {"TAVREL Version 3.6 -- DATA FILE", {36, "Formato: TAVREL 3.6 per Dos", kQuick}},
    {"TAVREL Version 3.7 -- DATA FILE", {37, "Formato: TAVREL 3.7 per Dos", kQuick}},
    {"TAVREL Version 3.8 -- DATA FILE", {38, "Formato: TAVREL 3.8 per Dos", kQuick}},
    {"TAVREL Version 4.0 -- Data File.",
     {40, "Formato: TAVREL 4.0 per Windows", "Conversione: Possibile!"}},
    {"TAVREL VERSION 3.5 -- SOURCE LIBRARY FILE",
     {-35, "Formato: Libreria TAVREL 3.5 per Dos", "Conversione: Non convertibile"}},
}};

// The longest header: a first field longer than it is unknown at once.
constexpr std::size_t kLongestHeader = [] {
  std::size_t longest = 0;
  for (const HeaderRow& row : kHeaders)
    longest = row.header.size() > longest ? row.header.size() : longest;
  return longest;
}();

constexpr FormatInfo kUnknown = {99, "Formato: Sconosciuto / Non convertibile",
                                 "Conversione: Non possibile"};

// The byte count with its digits grouped in threes.
std::string GroupedDigits(std::uint64_t value, const std::string& separator) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += digits[i];
  }
  return text;
}

// The first `count` characters of a UTF-8 text, never splitting one.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t seen = 0; i < text.size(); ++seen) {
    if (seen == count) break;
    ++i;
    while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
      ++i;
  }
  return text.substr(0, i);
}

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The name with "_" for every character a DOS name cannot hold: control
// characters, blank, the reserved marks, and every character beyond ASCII
// (one "_" for a whole UTF-8 sequence, one for each byte of any other).
std::string DosCharacters(std::string_view name) {
  constexpr std::string_view kReserved = "\"*+,/:;<=>?[\\]|";
  std::string text;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c >= 0x80) {
      text += '_';
      std::size_t following = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      while (following > 0 && i + 1 < name.size() &&
             (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80) {
        ++i;
        --following;
      }
    } else if (c <= ' ' || c == 0x7F || kReserved.find(static_cast<char>(c)) != kReserved.npos) {
      text += '_';
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

// The conversion proper: header, then every line after the source's header
// (copied for 3.x, transformed for 4.0).  `line_number` is the physical source
// line a 4.0 line is read from, else 0.  `created` tells that the output file
// was made.
void Convert(platform::InputFile& source, const AnalysisRequest& request, int code,
             std::uint64_t length, std::uint64_t& line_number, bool& created) {
  line_number = 0;  // creating and copying into the output concern no line
  std::optional<platform::OutputFile> output_file;
  if (request.output_file != nullptr) {
    output_file.emplace(*request.output_file);
  } else {
    output_file.emplace(request.output_path);
    created = true;
  }
  platform::OutputFile& output = *output_file;
  output.WriteLine(kHeader35);
  // A file of its header alone is an empty drawing.
  if (code != 40) {
    source.CopyLines(output);
  } else {
    const detail::ConvertOptions options{detail::DecimalPoint(request.numbers), request.threads,
                                         length, request.observer};
    // Counted on from the lines ended so far (1 after a header line of its
    // own, 0 when its comma leaves data on it): a failing line's physical line.
    line_number = source.LinesEnded();
    detail::ConvertLines(source, output, options, line_number);
    line_number = 0;
  }
  output.Close();
}

}  // namespace

FormatInfo Recognise(std::string_view first_field) {
  for (const HeaderRow& row : kHeaders) {
    if (row.header == first_field) return row.info;
  }
  return kUnknown;
}

bool IsConvertible(int code) {
  return code != 99 && code != 35 && code != -35;
}

namespace {

// A proposal's parts: the DOS base, whole, and the extension with its dot
// ("" when there is none).  The extension holds at most three characters
// after the first dot of the name; a dot before its own becomes "_" in the
// base, so that a proposal never holds two dots.
struct ProposalParts {
  std::string base;
  std::string extension;
};

ProposalParts PartsOf(const std::string& source_name) {
  const std::string name = UpperAscii(DosCharacters(source_name));
  const std::size_t dot = name.find('.');
  if (dot == std::string::npos) return {name, ""};
  // A name that begins with its dot has no base of its own.
  std::string base = dot == 0 ? std::string("OLDTAV") : name.substr(0, dot);
  const std::string tail(FirstCharacters(std::string_view(name).substr(dot), 4));
  const std::size_t last = tail.rfind('.');
  for (std::size_t i = 0; i < last; ++i)
    base += tail[i] == '.' ? '_' : tail[i];
  return {std::move(base), tail.substr(last)};
}

}  // namespace

std::string ProposedName(const std::string& source_name, std::size_t keep_last) {
  const ProposalParts parts = PartsOf(source_name);
  const std::string& base = parts.base;
  if (keep_last == 0 || keep_last >= 6 || base.size() <= 6) {
    return "3_" + base.substr(0, 6) + parts.extension;
  }
  return "3_" + base.substr(0, 6 - keep_last) + base.substr(base.size() - keep_last) +
         parts.extension;
}

std::string NumberedName(const std::string& source_name, unsigned number) {
  const ProposalParts parts = PartsOf(source_name);
  const std::string tilde = "~" + std::to_string(number);
  const std::size_t room = tilde.size() < 6 ? 6 - tilde.size() : 0;
  return "3_" + parts.base.substr(0, room) + tilde + parts.extension;
}

int RecogniseFile(const std::string& path) {
  // A pipe would wait for a writer, a device read on and on.
  if (!platform::IsRegularFile(path)) Raise(err::kPathFileAccess);
  platform::InputFile source(path);
  if (source.AtEnd()) return kUnknown.code;
  return Recognise(source.ReadFirstField(kLongestHeader)).code;
}

AnalysisOutcome Analizza(const AnalysisRequest& request, AnalysisSink& sink) {
  AnalysisOutcome outcome;
  std::uint64_t line_number = 0;
  bool output_created = false;
  std::optional<RuntimeError> failure;
  try {
    const std::string path = JoinPath(request.folder, request.name);
    sink.SetLabel(Label::kSourceFile, "Nome: " + request.name);
    // Length and date from one look at the file, shown before it is opened.
    const platform::FileStamp stamp = platform::FileStampOf(path);
    const std::uint64_t length = stamp.length;
    sink.SetLabel(Label::kFileSize,
                  "Dimensione: " + GroupedDigits(length, request.numbers.thousands) + " bytes");
    sink.SetLabel(Label::kFileDate, "Data Creazione: " + stamp.date_text);
    sink.SetLabel(Label::kConvPreview, "Conversione: Attendere... analisi del file in corso");
    sink.Repaint();
    sink.SetReady(false);

    platform::InputFile source(path);
    // An empty file is no data file: unrecognised, not an error.
    FormatInfo info = kUnknown;
    if (!source.AtEnd()) {
      line_number = 1;
      info = Recognise(source.ReadFirstField(kLongestHeader));
    }
    outcome.code = info.code;
    sink.SetLabel(Label::kTipoFile, std::string(info.format_text));
    sink.SetLabel(Label::kConvPreview, std::string(info.outcome_text));

    if (IsConvertible(info.code) && request.convert) {
      Convert(source, request, info.code, length, line_number, output_created);
      outcome.converted = true;
      sink.SetReady(true);
    }
    return outcome;
  } catch (const RuntimeError& error) {
    failure = error;
  } catch (const std::bad_alloc&) {
    failure = MakeError(err::kOutOfMemory);
  }
  // The handler.  The files are closed by now; no half conversion is left.
  outcome.failed = true;
  outcome.lines_read = line_number;
  // Only the file this analysis made: what stood there before is not its to
  // remove.
  if (output_created && platform::IsRegularFile(request.output_path)) {
    try {
      DeleteFileIfExists(request.output_path);
    } catch (const RuntimeError&) {
      // The caller's exit deletes it again or reports it.
    }
  }
  sink.Failed(*failure, line_number);
  return outcome;
}

}  // namespace tavrel
