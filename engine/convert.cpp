// The conversion of a 4.0 file's lines: read in blocks of whole lines,
// transformed (on a small fixed pool of threads for a large file) and
// written in the order of the file.  A line too long for a block whose 3.5
// text its first characters decide is streamed rather than held.
#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "internal.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

constexpr std::size_t kBlockSize = 256 * 1024;
// A small fixed pool: memory stays flat whatever the processors.
constexpr unsigned kMaxThreads = 8;
// The values of an option's list (after its three-character key).
constexpr int kMaxValues = 50;
// From this size a file is worth the threads.
constexpr std::uint64_t kParallelFrom = 4 * 1024 * 1024;

// Lines end as the input file reads them (LineEnds in platform.h): in a file
// of CR LF lines only at a CR LF, a lone line feed being data; in the others
// at any line feed, a carriage return right before it belonging to the line
// end.  The line feed that ends the first line in `bytes`, or npos;
// `cr_before` tells whether the byte before `bytes`, in the same line, is a
// carriage return.
std::size_t LineEndIn(std::string_view bytes, bool crlf, bool cr_before = false) {
  std::size_t lf = bytes.find('\n');
  if (!crlf) return lf;
  while (lf != std::string_view::npos && !(lf > 0 ? bytes[lf - 1] == '\r' : cr_before))
    lf = bytes.find('\n', lf + 1);
  return lf;
}
// The line feed that ends the last whole line in `bytes`, which begin a line,
// or npos.
std::size_t LastLineEndIn(std::string_view bytes, bool crlf) {
  std::size_t lf = bytes.rfind('\n');
  if (!crlf) return lf;
  while (lf != std::string_view::npos && lf > 0 && bytes[lf - 1] != '\r')
    lf = bytes.rfind('\n', lf - 1);
  return lf == 0 ? std::string_view::npos : lf;
}

// A block of whole lines and the 3.5 text of those transformed.
struct Block {
  ByteBuffer input;
  ByteBuffer output;
  std::uint64_t lines = 0;  // lines transformed, the failing one included
  std::exception_ptr error;
  bool done = false;
};

// Transforms the lines of `block.input`, each result followed by CR LF, up
// to the first that fails.  A line ends at a line feed, a carriage return
// before it dropped; the last line of the file may have no line end.
void TransformBlock(Block& block, bool decimal_point, bool crlf) {
  block.output.clear();
  block.lines = 0;
  block.error = nullptr;
  std::string rewritten;
  std::string_view rest = block.input.view();
  try {
    while (!rest.empty()) {
      const std::size_t lf = LineEndIn(rest, crlf);
      std::string_view riga = rest.substr(0, lf);
      rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
      if (lf != std::string_view::npos && riga.ends_with('\r')) riga.remove_suffix(1);
      ++block.lines;
      if (riga.starts_with("-y255")) {
        rewritten.assign(riga);
        RewriteLayer255(rewritten);
        riga = rewritten;
      }
      char* out = block.output.Reserve(LineBound(riga.size()) + kLineEnd.size());
      block.output.Commit(Put(TransformInto(riga, decimal_point, out), kLineEnd));
    }
  } catch (...) {
    block.error = std::current_exception();
  }
}

// Threads that transform the blocks handed to them, in any order.
class BlockPool {
 public:
  BlockPool(unsigned threads, bool decimal_point, bool crlf)
      : decimal_point_(decimal_point), crlf_(crlf) {
    // As many as can be started (memory or a process limit may refuse
    // some): with none the caller transforms every block itself.
    threads_.reserve(threads);
    try {
      for (unsigned i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
  }
  ~BlockPool() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
      thread.join();
  }
  BlockPool(const BlockPool&) = delete;
  BlockPool& operator=(const BlockPool&) = delete;

  // The threads that could be started.
  unsigned threads() const { return static_cast<unsigned>(threads_.size()); }

  // Transformed at once by the caller when there are no threads.
  void Submit(Block& block) {
    if (threads_.empty()) {
      TransformBlock(block, decimal_point_, crlf_);
      block.done = true;
      return;
    }
    {
      std::lock_guard lock(mutex_);
      block.done = false;
      queue_.push_back(&block);
    }
    queued_.notify_one();
  }
  void Wait(Block& block) {
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return block.done; });
  }

 private:
  void Work() {
    for (;;) {
      Block* block;
      {
        std::unique_lock lock(mutex_);
        queued_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        block = queue_.front();
        queue_.pop_front();
      }
      TransformBlock(*block, decimal_point_, crlf_);
      {
        std::lock_guard lock(mutex_);
        block->done = true;
      }
      finished_.notify_all();
    }
  }

  const bool decimal_point_;
  const bool crlf_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::condition_variable finished_;
  std::deque<Block*> queue_;
  bool stop_ = false;
  std::vector<std::thread> threads_;
};

enum class Read { kEnd, kLines, kLongLine };

// Reads into `block` whole lines, about a block of them; kLongLine when a
// whole block holds no line end, the beginning of one long line.
Read ReadBlock(platform::InputFile& source, ByteBuffer& block, bool crlf) {
  block.clear();
  while (block.size() < kBlockSize) {
    const std::size_t want = kBlockSize - block.size();
    char* at = block.Reserve(want);
    const std::size_t got = source.ReadBytes(at, want);
    if (got == 0) return block.size() == 0 ? Read::kEnd : Read::kLines;
    block.Commit(at + got);
  }
  const std::size_t lf = LastLineEndIn(block.view(), crlf);
  if (lf == std::string_view::npos) return Read::kLongLine;
  source.Unread(block.view().substr(lf + 1));
  block.Truncate(lf + 1);
  return Read::kLines;
}

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
    for (const char c : bytes) {
      if (past_) return false;  // a character after the blank after field 100
      if (starting_) {
        starting_ = false;  // a field's first character, whatever it is
      } else if (separators_.find(c) != std::string_view::npos) {
        if (count_ == most_) {
          past_ = true;
        } else {
          ++count_;
          starting_ = true;
        }
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

// Reads on into `block` up to the end of its one line, which stays whole.
void ReadRestOfLine(platform::InputFile& source, ByteBuffer& block, bool crlf) {
  for (;;) {
    const bool cr_before = block.view().ends_with('\r');
    char* at = block.Reserve(kBlockSize);
    const std::size_t got = source.ReadBytes(at, kBlockSize);
    if (got == 0) return;
    const std::string_view chunk(at, got);
    const std::size_t lf = LineEndIn(chunk, crlf, cr_before);
    if (lf != std::string_view::npos) {
      source.Unread(chunk.substr(lf + 1));
      block.Commit(at + lf + 1);
      return;
    }
    block.Commit(at + got);
  }
}

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

// Hands the bytes of a long line whose beginning is in `block` (after its
// first `skip` bytes), and then of the rest read from `source`, to `put`, a
// piece at a time, up to its line end (not included; the rest of the chunk
// is given back).  A carriage return right before the line feed is not part
// of the line; at the end of the file it is.
template <typename Put>
void ForEachPiece(platform::InputFile& source, ByteBuffer& block, bool crlf, std::size_t skip,
                  Put&& put) {
  bool held_cr = false;    // the bytes given so far end with a carriage return
  bool cr_before = false;  // the chunk before ended with a carriage return
  std::string_view chunk = block.view().substr(skip);
  for (;;) {
    const std::size_t lf = LineEndIn(chunk, crlf, cr_before);
    const bool ends = lf != std::string_view::npos;
    std::string_view bytes = chunk.substr(0, lf);
    if (held_cr && !(ends && bytes.empty())) put(std::string_view("\r"));
    held_cr = bytes.ends_with('\r');
    if (held_cr) bytes.remove_suffix(1);
    if (ends) held_cr = false;  // it stood before the line feed
    put(bytes);
    if (ends) {
      source.Unread(chunk.substr(lf + 1));
      return;
    }
    cr_before = chunk.ends_with('\r');
    block.clear();
    char* at = block.Reserve(kBlockSize);
    const std::size_t got = source.ReadBytes(at, kBlockSize);
    if (got == 0) {
      if (held_cr) put(std::string_view("\r"));
      return;
    }
    block.Commit(at + got);
    chunk = block.view();
  }
}

// Streams the rest of a long line whose beginning is in `block`: its bytes
// are written when `copy`, else skipped.
void StreamLine(platform::InputFile& source, ByteBuffer& block, bool copy, bool crlf,
                platform::OutputFile& output) {
  ForEachPiece(source, block, crlf, 0, [&](std::string_view bytes) {
    if (copy) output.Write(bytes);
  });
}

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

// Where the text of a record "4" (from field 10) or "6" (from field 8)
// begins in `start`, the beginning of its line as FieldTable splits it; npos
// when it does not begin there.
std::size_t TextFieldStart(std::string_view start) {
  const int text_field = start.front() == '4' ? 10 : 8;
  int field = 1;
  std::size_t p = 0;
  while (p < start.size()) {
    ++p;  // a field's first character is its own
    while (p < start.size() && start[p] != ' ')
      ++p;
    if (p + 1 >= start.size()) break;
    if (++field == text_field) return p + 1;
    ++p;
  }
  return std::string_view::npos;
}

// A record "4" or "6" too long to be held whose fields before its text lie
// in `head` (up to the text's first character): converted while it is read.
// The fields before the text give their 3.5 text as the record with a short
// text would; the text is copied as it is read, its blanks at the end left
// out, as FieldsFromAndTrim does.  Its fields are counted on the way; the
// errors come in the order the whole line would give them.
class TextRecordStream {
 public:
  TextRecordStream(std::string_view head, bool decimal_point, platform::OutputFile& output)
      : output_(output), fields_(FieldTable::kMaxFields, " ") {
    synthetic_.assign(head);
    synthetic_ += 'X';  // a text that ends in no blank
    try {
      std::string out(LineBound(synthetic_.size()), '\0');
      const char* end = NumericRecord(synthetic_, decimal_point, out.data());
      head_out_.assign(out.data(), static_cast<std::size_t>(end - out.data()) - 1);
    } catch (...) {
      head_error_ = std::current_exception();
    }
    // The fields before the text are counted now.
    if (!fields_.Add(head)) Raise(err::kSubscript);
  }

  // The text's bytes, a piece at a time.
  void Take(std::string_view bytes) {
    if (!fields_.Add(bytes)) Raise(err::kSubscript);  // a character in field 101
    if (head_error_) return;  // raised at the end unless field 101 comes first
    for (std::size_t at = 0; at < bytes.size();) {
      const std::size_t text = bytes.find_first_not_of(' ', at);
      if (text == std::string_view::npos) {
        blanks_ += bytes.size() - at;
        break;
      }
      blanks_ += text - at;
      if (!head_written_) {
        output_.Write(head_out_);
        head_written_ = true;
      }
      for (; blanks_ > 0; blanks_ -= std::min<std::size_t>(blanks_, kBlanks.size()))
        output_.Write(kBlanks.substr(0, std::min<std::size_t>(blanks_, kBlanks.size())));
      std::size_t blank = bytes.find(' ', text);
      if (blank == std::string_view::npos) blank = bytes.size();
      output_.Write(bytes.substr(text, blank - text));
      at = blank;
    }
  }

  // The end of the line: its errors, else the rest of its 3.5 text.
  void Finish(LineObserver* observer, std::uint64_t line) {
    if (head_error_) std::rethrow_exception(head_error_);
    // An empty field 101 (a blank after field 100 at the end of the line).
    if (fields_.count() > FieldTable::kMaxFields) Raise(err::kSubscript);
    if (!head_written_) {
      std::string_view trimmed = head_out_;
      while (trimmed.ends_with(' '))
        trimmed.remove_suffix(1);
      output_.Write(trimmed);
    }
    output_.Write(kLineEnd);
    if (observer != nullptr) DescribeLosses(synthetic_, line, *observer);
  }

 private:
  static constexpr std::string_view kBlanks = "                                ";

  platform::OutputFile& output_;
  FieldCounter fields_;
  std::string synthetic_;  // the fields before the text and a short text
  std::string head_out_;   // their 3.5 text, up to where the text goes
  std::exception_ptr head_error_;
  bool head_written_ = false;
  std::size_t blanks_ = 0;  // blanks read and not yet written
};

// A layer line too long to be held, converted as LayerLine converts it while
// it is read: the prefix (up to the first colon, or the whole line when it
// has none) is written at once; of the rest only the few characters that
// decide the 3.5 text are kept, and the name (after the last comma) in
// memory up to a limit, beyond it in a spool file.
class LayerStream {
 public:
  explicit LayerStream(platform::OutputFile& output) : output_(output) {}

  void Take(std::string_view bytes) {
    const std::size_t size = bytes.size();
    Keep(head_, 0, kHead, bytes);
    if (colon_ == std::string_view::npos) {
      const std::size_t colon = bytes.find(':');
      output_.Write(bytes.substr(0, colon == bytes.npos ? bytes.size() : colon + 1));
      if (colon != bytes.npos) colon_ = position_ + colon;
    }
    if (colon_ != std::string_view::npos) {
      Keep(after_, colon_ + 1, kAfter, bytes);
      Keep(settings_, colon_ + 10, kSettings, bytes);
    }
    const std::size_t comma = bytes.rfind(',');
    if (comma != std::string_view::npos) {
      last_comma_ = position_ + comma;
      name_.clear();
      name_head_.clear();
      spilled_ = false;
      spill_output_.reset();
      bytes.remove_prefix(comma + 1);
    }
    if (last_comma_ == std::string_view::npos) {  // no name without a comma
      position_ += size;
      return;
    }
    if (name_head_.size() < kNameHead) {
      name_head_.append(bytes.substr(0, kNameHead - name_head_.size()));
    }
    if (!spilled_ && name_.size() + bytes.size() > kNameHeld) {
      if (!spill_) spill_.emplace();
      spill_output_.emplace(spill_->path());
      spill_output_->Write(name_);
      name_.clear();
      spilled_ = true;
    }
    if (spilled_) {
      spill_output_->Write(bytes);
    } else {
      name_.append(bytes);
    }
    position_ += size;
  }

  // Writes the rest of the 3.5 text and its line end; tells `observer`.
  void Finish(LineObserver* observer, std::uint64_t line) {
    if (colon_ != std::string_view::npos) {
      const std::string_view after = after_;
      const std::string_view flag = after.size() > 1 ? after.substr(1, 1) : std::string_view();
      const std::string_view colour = after.size() > 2 ? after.substr(2, 6) : std::string_view();
      char middle[16];
      const std::string_view text(
          middle,
          static_cast<std::size_t>(
              LayerMiddle(head_, flag, colour, spilled_ ? name_head_ : name_, middle) - middle));
      output_.Write(text);
      if (spilled_) {
        spill_output_->Close();
        spill_output_.reset();
        platform::InputFile spilled(spill_->path());
        char buffer[1 << 16];
        while (const std::size_t got = spilled.ReadBytes(buffer, sizeof buffer))
          output_.Write(std::string_view(buffer, got));
      } else {
        output_.Write(name_);
      }
      if (observer != nullptr) {
        const std::size_t settings = colon_ + 10;
        const bool lost = last_comma_ != std::string_view::npos && last_comma_ > settings;
        const std::size_t kept = lost ? last_comma_ - settings : 0;
        std::string stand_in = head_.substr(0, std::min(colon_, head_.size())) + ":" + after_;
        if (lost) stand_in += settings_.substr(0, kept) + ",";
        stand_in += std::string_view(spilled_ ? name_head_ : name_).substr(0, kNameHead);
        DescribeLayerLosses(stand_in, kept > settings_.size(), line, *observer);
      }
    }
    output_.Write(kLineEnd);
  }

 private:
  static constexpr std::size_t kHead = 25;      // up to the short field's columns
  static constexpr std::size_t kAfter = 9;      // the colon's flag and colour
  static constexpr std::size_t kSettings = 61;  // as much as an account shows
  static constexpr std::size_t kNameHead = 14;  // longer than any layer's name
  static constexpr std::size_t kNameHeld = 4 << 20;

  // Keeps in `into` the bytes of the line from `from`, at most `most` of them,
  // that `bytes` (at position_) holds.
  void Keep(std::string& into, std::size_t from, std::size_t most, std::string_view bytes) const {
    const std::size_t at = from + into.size();
    if (into.size() >= most || at < position_ || at >= position_ + bytes.size()) return;
    into.append(bytes.substr(at - position_, most - into.size()));
  }

  platform::OutputFile& output_;
  std::size_t position_ = 0;  // of the next byte taken
  std::size_t colon_ = std::string_view::npos;
  std::size_t last_comma_ = std::string_view::npos;
  std::string head_, after_, settings_, name_head_;
  std::string name_;  // the name so far, when not spilled
  bool spilled_ = false;
  std::optional<PrivateFile> spill_;
  std::optional<platform::OutputFile> spill_output_;
};

// Tells `observer` what the lines of `bytes` lose, the first being line
// `first`; `count` lines at most.
void DescribeBlock(std::string_view bytes, bool crlf, std::uint64_t first, std::uint64_t count,
                   LineObserver& observer) {
  std::string rewritten;
  for (std::uint64_t n = 0; n < count && !bytes.empty(); ++n) {
    const std::size_t lf = LineEndIn(bytes, crlf);
    std::string_view riga = bytes.substr(0, lf);
    bytes.remove_prefix(lf == std::string_view::npos ? bytes.size() : lf + 1);
    if (lf != std::string_view::npos && riga.ends_with('\r')) riga.remove_suffix(1);
    if (riga.starts_with("-y255")) {
      rewritten.assign(riga);
      RewriteLayer255(rewritten);
      riga = rewritten;
    }
    DescribeLosses(riga, first + n, observer);
  }
}

}  // namespace

void ConvertLines(platform::InputFile& source, platform::OutputFile& output,
                  const ConvertOptions& options, std::uint64_t& line_number) {
  unsigned threads = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  if (threads > kMaxThreads) threads = kMaxThreads;
  if (threads <= 1 || options.length < kParallelFrom) threads = 0;
  // Data on the header line after its comma: its line end decides how the
  // file's lines end.
  if (source.line_ends() == platform::LineEnds::kUndecided && !source.AtEnd()) {
    std::string first;
    source.ReadLine(first);
    ++line_number;
    RewriteLayer255(first);
    char* out = output.Reserve(LineBound(first.size()) + kLineEnd.size());
    output.Commit(Put(TransformInto(first, options.decimal_point, out), kLineEnd));
    if (options.observer != nullptr) DescribeLosses(first, line_number, *options.observer);
  }
  const bool crlf = source.line_ends() == platform::LineEnds::kCrLf;
  std::vector<Block> blocks;
  std::deque<Block*> pending;  // in the order of the file
  std::uint64_t read = 0;
  BlockPool pool(threads, options.decimal_point, crlf);
  // Two blocks more than the threads started: one is read and one written
  // while the threads transform the others.
  blocks.resize(pool.threads() == 0 ? 1 : pool.threads() + 2);

  // Writes the oldest block; its error, at its line, if it has one.
  auto write_next = [&] {
    Block& block = *pending.front();
    pool.Wait(block);
    if (options.observer != nullptr && !block.error) {
      DescribeBlock(block.input.view(), crlf, line_number + 1, block.lines, *options.observer);
    }
    line_number += block.lines;
    if (block.error) std::rethrow_exception(block.error);
    output.Write(block.output.view());
    pending.pop_front();
  };

  bool end = false;
  while (!end || !pending.empty()) {
    while (!end && pending.size() < blocks.size()) {
      Block& block = blocks[read % blocks.size()];
      const Read got = ReadBlock(source, block.input, crlf);
      if (got == Read::kEnd) {
        end = true;
        break;
      }
      if (got == Read::kLongLine) {
        std::string_view fixed;
        const Streamed form = StreamedForm(block.input.view(), options.decimal_point, fixed);
        const std::string_view start = block.input.view();
        const std::size_t text = start.front() == '4' || start.front() == '6'
                                     ? TextFieldStart(start)
                                     : std::string_view::npos;
        if (form == Streamed::kNo && text != std::string_view::npos) {
          // A text record: converted while it is read.
          while (!pending.empty())
            write_next();
          ++line_number;
          TextRecordStream record(start.substr(0, text), options.decimal_point, output);
          ForEachPiece(source, block.input, crlf, text,
                       [&](std::string_view bytes) { record.Take(bytes); });
          record.Finish(options.observer, line_number);
          continue;
        }
        if (form == Streamed::kNo && block.input.view().starts_with("-y")) {
          // A layer line: converted while it is read.
          while (!pending.empty())
            write_next();
          ++line_number;
          LayerStream layer(output);
          const bool rewrite = block.input.view().starts_with("-y255");
          if (rewrite) layer.Take("-y15");
          ForEachPiece(source, block.input, crlf, rewrite ? 5 : 0,
                       [&](std::string_view bytes) { layer.Take(bytes); });
          layer.Finish(options.observer, line_number);
          continue;
        }
        if (form == Streamed::kNo) {
          const bool numeric = std::string_view("012346").find(start.front()) != start.npos;
          if (numeric || OptionReadsValues(start)) {
            // Read whole, unless an error is known before: the error of this
            // line, once the lines before it are written (or their own error
            // raised).
            while (!pending.empty())
              write_next();
            const std::uint64_t before = line_number;
            line_number = before + 1;
            ReadLongValueLine(source, block.input, crlf);
            line_number = before;
          } else {
            ReadRestOfLine(source, block.input, crlf);
          }
        } else {
          // The lines before it are written first.
          while (!pending.empty())
            write_next();
          ++line_number;
          if (options.observer != nullptr) {
            DescribeLosses(block.input.view().substr(0, 64), line_number, *options.observer, true);
          }
          output.Write(fixed);
          StreamLine(source, block.input, form == Streamed::kUnchanged, crlf, output);
          output.Write(kLineEnd);
          continue;
        }
      }
      pool.Submit(block);
      pending.push_back(&block);
      ++read;
    }
    if (!pending.empty()) write_next();
  }
}

}  // namespace tavrel::detail
