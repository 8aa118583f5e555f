// Long numeric records and option lines: read whole unless their error is
// known before their end; and the choice of how a long line is converted.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "internal.h"
#include "long_lines.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

// Watches the values of a value list, split as Moltiplica splits them (a
// value's first character is its own, even a separator; a comma or a blank
// ends it), for a value that cannot fit a double whatever follows it in the
// line: read as the number reader reads it, its digits and exponent put it at
// 10^310 or beyond.  Only its size is kept, not its digits.
class OverflowWatch {
 public:
  void Take(std::string_view bytes) {
    for (const char c : bytes)
      Step(c);
  }
  void End() { EndValue(); }
  bool doomed() const { return doomed_; }

 private:
  enum class State { kFirst, kLead, kMantissa, kExponentLead, kExponent, kRest };

  static bool Skipped(char c) { return c == ' ' || c == '\t' || c == '\n'; }
  static bool Digit(char c) { return c >= '0' && c <= '9'; }

  void Step(char c) {
    if (state_ == State::kFirst) {
      state_ = State::kLead;
    } else if (c == ',' || c == ' ') {
      EndValue();
      return;
    }
    switch (state_) {
      case State::kFirst:
      case State::kLead:
        if (Skipped(c)) return;
        state_ = State::kMantissa;
        if (c == '+' || c == '-') return;
        [[fallthrough]];
      case State::kMantissa:
        if (Skipped(c)) return;
        if (Digit(c)) {
          digits_ = true;
          if (point_) {
            if (whole_ == 0 && !nonzero_) {
              if (c == '0') {
                ++fraction_zeros_;
              } else {
                nonzero_ = true;
              }
            }
          } else if (c != '0' || nonzero_) {
            nonzero_ = true;
            ++whole_;
          }
        } else if (c == '.' && !point_) {
          point_ = true;
        } else {
          state_ = digits_ && (c == 'e' || c == 'E') ? State::kExponentLead : State::kRest;
        }
        return;
      case State::kExponentLead:
        if (Skipped(c)) return;
        state_ = State::kExponent;
        if (c == '+' || c == '-') {
          negative_exponent_ = c == '-';
          return;
        }
        [[fallthrough]];
      case State::kExponent:
        if (Skipped(c)) return;
        if (!Digit(c)) {
          state_ = State::kRest;
          return;
        }
        exponent_digits_ = true;
        if (exponent_ < 1'000'000'000) exponent_ = exponent_ * 10 + (c - '0');
        return;
      case State::kRest:
        return;
    }
  }

  void EndValue() {
    if (digits_ && nonzero_) {
      const std::int64_t magnitude = whole_ > 0 ? whole_ : -fraction_zeros_;
      const std::int64_t exponent = !exponent_digits_    ? 0
                                    : negative_exponent_ ? -exponent_
                                                         : exponent_;
      // A negative exponent the reader cut short says nothing certain.
      const bool certain = !(negative_exponent_ && exponent_ >= 1'000'000'000);
      if (certain && magnitude + exponent >= 310) doomed_ = true;
    }
    const bool doomed = doomed_;
    *this = OverflowWatch();
    doomed_ = doomed;
  }

  State state_ = State::kFirst;
  bool digits_ = false, nonzero_ = false, point_ = false;
  bool negative_exponent_ = false, exponent_digits_ = false;
  std::int64_t whole_ = 0;           // digits of the whole part from the first not 0
  std::int64_t fraction_zeros_ = 0;  // zeros after the point before any other digit
  std::int64_t exponent_ = 0;        // as the reader keeps it
  bool doomed_ = false;
};

// Gives the bytes of a line to `put`, blanks at its start and at its end left
// out (as TrimBlanks leaves them out).
class Trimmed {
 public:
  template <typename Put>
  void Take(std::string_view bytes, Put&& put) {
    static constexpr std::string_view kBlanks = "                                ";
    while (!bytes.empty()) {
      const std::size_t text = bytes.find_first_not_of(' ');
      if (text == std::string_view::npos) {
        if (started_) blanks_ += bytes.size();
        return;
      }
      if (started_) blanks_ += text;
      while (blanks_ > 0) {
        const std::size_t n = std::min(blanks_, kBlanks.size());
        put(kBlanks.substr(0, n));
        blanks_ -= n;
      }
      started_ = true;
      std::size_t blank = bytes.find(' ', text);
      if (blank == std::string_view::npos) blank = bytes.size();
      put(bytes.substr(text, blank - text));
      bytes.remove_prefix(blank);
    }
  }

 private:
  bool started_ = false;
  std::size_t blanks_ = 0;  // read and not given yet
};

// Reads the rest of a long numeric record or option line that scales its
// values, whose beginning is in `block`, into `block` whole (the line and a
// line end), as TransformBlock takes it.  Its fields and values are counted
// on the way, and the values of a record "0" or "1" or of such an option are
// watched: error 9 as soon as there are too many of either, error 6 at the
// line's end when a value cannot fit (and no field or value is too many).
// Beyond a limit the line is kept in a spool file, and read back only when it
// must be converted whole; once it ends in error 6 it is not kept at all.
void ReadLongValueLine(platform::InputFile& source, ByteBuffer& block, bool crlf) {
  constexpr std::size_t kHeldInMemory = 4 << 20;
  const std::string_view start = block.view();
  const char key = start.front();
  const bool numeric = std::string_view("012346").find(key) != std::string_view::npos;
  // Where the value list begins: after a record's prefix, after an option's key.
  const std::size_t list = key == '0' ? 6 : key == '1' ? 4 : numeric ? std::string_view::npos : 3;
  FieldCounter fields(FieldTable::kMaxFields, " ");
  FieldCounter values(kMaxValues, ", ");
  OverflowWatch watch;
  Trimmed trimmed;
  std::string held;
  std::optional<PrivateFile> spool;
  std::optional<platform::OutputFile> spooled;
  std::size_t position = 0;
  auto take_list = [&](std::string_view bytes) {
    if (!values.Add(bytes)) Raise(err::kSubscript);
    if (!watch.doomed()) watch.Take(bytes);
  };
  ForEachPiece(source, block, crlf, 0, [&](std::string_view bytes) {
    if (numeric && !fields.Add(bytes)) Raise(err::kSubscript);
    if (list != std::string_view::npos && position + bytes.size() > list) {
      const std::string_view listed = bytes.substr(position < list ? list - position : 0);
      if (numeric) {
        trimmed.Take(listed, take_list);
      } else {
        take_list(listed);
      }
    }
    position += bytes.size();
    if (watch.doomed()) {
      held.clear();
      spooled.reset();
      return;
    }
    if (!spooled && held.size() + bytes.size() > kHeldInMemory) {
      spool.emplace();
      spooled.emplace(spool->path());
      spooled->Write(held);
      held.clear();
      held.shrink_to_fit();
    }
    if (spooled) {
      spooled->Write(bytes);
    } else {
      held.append(bytes);
    }
  });
  watch.End();
  if (watch.doomed()) Raise(err::kOverflow);
  block.clear();
  if (spooled) {
    spooled->Close();
    platform::InputFile in(spool->path());
    for (;;) {
      char* at = block.Reserve(kBlockSize);
      const std::size_t got = in.ReadBytes(at, kBlockSize);
      if (got == 0) break;
      block.Commit(at + got);
    }
  } else {
    char* at = block.Reserve(held.size());
    block.Commit(Put(at, held));
  }
  // A line end TransformBlock takes in either kind of file; a carriage
  // return the line ends with stays its own.
  char* at = block.Reserve(kLineEnd.size());
  block.Commit(Put(at, kLineEnd));
}

}  // namespace

bool ConvertLongLine(platform::InputFile& source, ByteBuffer& block, bool crlf,
                     const ConvertOptions& options, platform::OutputFile& output,
                     std::uint64_t& line_number, const std::function<void()>& flush) {
  std::string_view fixed;
  const Streamed form = StreamedForm(block.view(), options.decimal_point, fixed);
  const std::string_view start = block.view();
  const std::size_t text =
      start.front() == '4' || start.front() == '6' ? TextFieldStart(start) : std::string_view::npos;
  if (form == Streamed::kNo && text != std::string_view::npos) {
    // A text record: converted while it is read.
    flush();
    ++line_number;
    StreamTextRecord(source, block, crlf, text, options.decimal_point, output, options.observer,
                     line_number);
    return true;
  }
  if (form == Streamed::kNo && start.starts_with("-y")) {
    // A layer line: converted while it is read.
    flush();
    ++line_number;
    StreamLayerLine(source, block, crlf, output, options.observer, line_number);
    return true;
  }
  if (form == Streamed::kNo) {
    const bool numeric = std::string_view("012346").find(start.front()) != start.npos;
    if (numeric || OptionReadsValues(start)) {
      // Read whole, unless an error is known before: the error of this
      // line, once the lines before it are written (or their own error
      // raised).
      flush();
      const std::uint64_t before = line_number;
      line_number = before + 1;
      ReadLongValueLine(source, block, crlf);
      line_number = before;
    } else {
      ReadRestOfLine(source, block, crlf);
    }
    return false;
  }
  // The lines before it are written first.
  flush();
  ++line_number;
  if (options.observer != nullptr) {
    DescribeLosses(block.view().substr(0, 64), line_number, *options.observer, true);
  }
  output.Write(fixed);
  StreamLine(source, block, form == Streamed::kUnchanged, crlf, output);
  output.Write(kLineEnd);
  return true;
}

}  // namespace tavrel::detail
