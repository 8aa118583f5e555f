// The reading of a 4.0 file's lines in blocks of whole lines, and the
// conversion of a line too long for a block.  Shared by the conversion's
// sources; not part of the public interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "byte_buffer.h"
#include "internal.h"

namespace tavrel::platform {
class InputFile;
class OutputFile;
}  // namespace tavrel::platform

namespace tavrel::detail {

inline constexpr std::size_t kBlockSize = 256 * 1024;
// The values of an option's list (after its three-character key).
inline constexpr int kMaxValues = 50;

// Lines end as the input file reads them (LineEnds in platform.h): in a file
// of CR LF lines only at a CR LF, a lone line feed being data; in the others
// at any line feed, a carriage return right before it belonging to the line
// end.  The line feed that ends the first line in `bytes`, or npos;
// `cr_before` tells whether the byte before `bytes`, in the same line, is a
// carriage return.
std::size_t LineEndIn(std::string_view bytes, bool crlf, bool cr_before = false);
// The line feed that ends the last whole line in `bytes`, which begin a line,
// or npos.
std::size_t LastLineEndIn(std::string_view bytes, bool crlf);

enum class Read { kEnd, kLines, kLongLine };

// Reads into `block` whole lines, about a block of them; kLongLine when a
// whole block holds no line end, the beginning of one long line.
Read ReadBlock(platform::InputFile& source, ByteBuffer& block, bool crlf);

// Reads on into `block` up to the end of its one line, which stays whole.
void ReadRestOfLine(platform::InputFile& source, ByteBuffer& block, bool crlf);

// Hands the bytes of a long line whose beginning is in `block` (after its
// first `skip` bytes), and then of the rest read from `source`, to `put`, a
// piece at a time, up to its line end (not included; the rest of the chunk
// is given back).  A carriage return right before the line feed is not part
// of the line; at the end of the file it is.
void ForEachPiece(platform::InputFile& source, ByteBuffer& block, bool crlf, std::size_t skip,
                  const std::function<void(std::string_view)>& put);

// Streams the rest of a long line whose beginning is in `block`: its bytes
// are written when `copy`, else skipped.
void StreamLine(platform::InputFile& source, ByteBuffer& block, bool copy, bool crlf,
                platform::OutputFile& output);

// Counts the fields of a line as FieldTable splits a numeric record (at most
// 100, split at blanks) or as the value list of an option that scales its
// values is split (at most 50, split at commas and blanks), a piece of the
// line at a time (its line end left out): each call false once a character
// would go into the field past the last allowed, the error these lines raise
// before any other.
class FieldCounter {
 public:
  FieldCounter(int most, std::string_view separators) : most_(most), separators_(separators) {}

  // The next bytes of the line; false once a character goes into the field
  // past the last allowed.
  bool Add(std::string_view bytes) { return Take(bytes); }
  // The fields so far (101 when a blank follows field 100).
  int count() const { return past_ ? most_ + 1 : count_; }

 private:
  bool Take(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
      if (past_) return false;  // a character after the blank after field 100
      if (starting_) {
        starting_ = false;  // a field's first character, whatever it is
        ++i;
        continue;
      }
      const std::size_t separator = bytes.find_first_of(separators_, i);
      if (separator == std::string_view::npos) break;
      i = separator + 1;
      if (count_ == most_) {
        past_ = true;
      } else {
        ++count_;
        starting_ = true;
      }
    }
    return true;
  }

  const int most_;
  const std::string_view separators_;
  int count_ = 1;
  bool starting_ = true;
  bool past_ = false;
};

// Where the text of a record "4" (from field 10) or "6" (from field 8)
// begins in `start`, the beginning of its line as FieldTable splits it; npos
// when it does not begin there.
std::size_t TextFieldStart(std::string_view start);
// A record "4" or "6" too long to be held whose fields before its text lie
// in `head` (up to the text's first character): converted while it is read.
// The fields before the text give their 3.5 text as the record with a short
// text would, written by `write_head` when given; the text is copied as it is
// read, its blanks at the end left out, as FieldsFromAndTrim does.  Its
// fields are counted on the way; the errors come in the order the whole line
// would give them.  The observer is shown `shown_head` when given.
class TextRecordStream {
 public:
  using HeadWriter = std::function<void(std::string_view)>;
  TextRecordStream(std::string_view head, bool decimal_point, platform::OutputFile& output,
                   HeadWriter write_head = {}, std::string_view shown_head = {});

  // The text's bytes, a piece at a time.
  void Take(std::string_view bytes);
  // The end of the line: its errors, else the rest of its 3.5 text.
  void Finish(LineObserver* observer, std::uint64_t line);

 private:
  static constexpr std::string_view kBlanks = "                                ";

  void WriteHead(std::string_view text);

  platform::OutputFile& output_;
  HeadWriter write_head_;
  FieldCounter fields_;
  std::string synthetic_;  // the fields before the text and a short text
  std::string shown_;
  std::string head_out_;  // their 3.5 text, up to where the text goes
  std::exception_ptr head_error_;
  bool head_written_ = false;
  std::size_t blanks_ = 0;  // blanks read and not yet written
};

// Converts a record "4" or "6" too long to be held while it is read: its
// beginning is in `block`, its text begins at `text` there.  Line `line`.
void StreamTextRecord(platform::InputFile& source, ByteBuffer& block, bool crlf, std::size_t text,
                      bool decimal_point, platform::OutputFile& output, LineObserver* observer,
                      std::uint64_t line);
// Converts a layer line too long to be held while it is read.
void StreamLayerLine(platform::InputFile& source, ByteBuffer& block, bool crlf,
                     platform::OutputFile& output, LineObserver* observer, std::uint64_t line);

// Converts a numeric record or an option line that scales its values, too
// long to be held, in bounded memory: its error as soon as it is known (too
// many fields or values), else the same 3.5 text as the whole line gives.
void ConvertValueLine(platform::InputFile& source, ByteBuffer& block, bool crlf, bool decimal_point,
                      platform::OutputFile& output, LineObserver* observer, std::uint64_t line);

// A line too long for a block, whose beginning is in `block`: converted
// while it is read (`flush` first writes the lines before it), and then
// true; or false when it was read whole into `block` (and a line end), to be
// transformed as any block is.  `line_number` counts the lines converted.
bool ConvertLongLine(platform::InputFile& source, ByteBuffer& block, bool crlf,
                     const ConvertOptions& options, platform::OutputFile& output,
                     std::uint64_t& line_number, const std::function<void()>& flush);

}  // namespace tavrel::detail
