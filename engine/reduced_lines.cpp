// Long numeric records and option lines that scale their values, converted
// in bounded memory: while the line is read, each of its pieces too long to
// be held is replaced by a short text that the transformer reads the same
// way (a number text of the same value, or the first bytes of a field that
// is not read), and the bytes of those that may be copied to the 3.5 text
// are kept as runs of one byte (a spool file beyond a limit).  The short
// line that stands for the line is transformed, and a piece copied to its
// text is replaced by its bytes as they are written.
#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "internal.h"
#include "long_lines.h"
#include "platform.h"
#include "reduced_pieces.h"
#include "tavrel.h"

namespace tavrel::detail {

namespace {

// A piece up to this size is kept as it is.
constexpr std::size_t kShortPiece = 64;
// Bytes of runs kept in memory for one line; beyond, the pieces are spooled.
constexpr std::size_t kHeldRuns = 4 << 20;
// Past this many tokens a value list is an error whatever follows.
constexpr int kListTokensKept = kMaxValues + 3;

// How a field of a numeric record is read by the transformer.
enum class Role {
  kUnused,        // not at all (its first characters may be in the prefix)
  kNumber,        // as one number
  kList,          // as values of a value list, each copied when it is 0
  kCopiedNumber,  // as one number, and copied
  kCopied,        // copied
};

Role FieldRole(char record, int field) {
  switch (record) {
    case '2':
      return field >= 3 && field <= 6    ? Role::kList
             : field >= 7 && field <= 10 ? Role::kNumber
                                         : Role::kUnused;
    case '3':
      return field == 2 || field == 3     ? Role::kCopiedNumber
             : field >= 4 && field <= 8   ? Role::kList
             : field == 9                 ? Role::kNumber
             : field == 10 || field == 11 ? Role::kCopied
                                          : Role::kUnused;
    case '4':
      return field >= 3 && field <= 6   ? Role::kList
             : field == 7 || field == 8 ? Role::kNumber
             : field >= 10              ? Role::kCopied
                                        : Role::kUnused;
    default:  // '6'
      return field == 3                 ? Role::kNumber
             : field >= 4 && field <= 7 ? Role::kList
             : field >= 8               ? Role::kCopied
                                        : Role::kUnused;
  }
}

// The short line that stands for a long one, built while the line is read.
class ReducedLine {
 public:
  ReducedLine(std::string_view start, bool decimal_point, platform::OutputFile& output)
      : decimal_point_(decimal_point),
        output_(output),
        record_(start.front()),
        numeric_(std::string_view("012346").find(record_) != std::string_view::npos),
        width_(record_ == '0'   ? 6
               : record_ == '1' ? 4
               : numeric_       ? 0
                                : 3),
        fields_(FieldTable::kMaxFields, " "),
        values_(kMaxValues, ", ") {}

  void Take(std::string_view bytes) {
    if (numeric_ && !fields_.Add(bytes)) Raise(err::kSubscript);
    if (width_ == 0) {
      std::size_t i = 0;
      while (i < bytes.size() && !text_ && !pad_name_) {
        if (in_field_ && (dropping_ || (in_token_ && long_))) {
          // The rest of a long piece, or of a field dropped, at once.
          i = LongBytes(bytes, i, role_ == Role::kList && !dropping_ ? " ," : " ");
          if (i == bytes.size()) break;
        }
        FieldByte(bytes[i++]);
      }
      // The text of a record "4" or "6", once it has begun, is copied.
      if (text_) text_->Take(bytes.substr(i));
      if (pad_name_) PadNameBytes(bytes.substr(i));
      return;
    }
    if (position_ < width_) {
      const std::size_t n = std::min(bytes.size(), width_ - position_);
      line_.append(bytes.substr(0, n));
      position_ += n;
      bytes.remove_prefix(n);
    }
    if (bytes.empty()) return;
    if (numeric_) {
      trimmed_.Take(bytes, [this](std::string_view listed) { ListBytes(listed); });
    } else {
      ListBytes(bytes);
    }
  }

  // Transforms the line and writes its 3.5 text and a line end; tells
  // `observer` what it loses.
  void Finish(LineObserver* observer, std::uint64_t line) {
    if (text_) {
      text_->Finish(observer, line);
      return;
    }
    if (pad_name_) {
      if (head_error_) std::rethrow_exception(head_error_);
      if (fields_.count() == 11) {
        output_.Write(" ");
        if (eleventh_) eleventh_->WriteTo(output_);
      }
      output_.Write(kLineEnd);
      if (observer != nullptr) DescribeLosses(line_ + pad_shown_, line, *observer);
      return;
    }
    EndPiece();
    marker_ = Marker();
    const std::string standing = Standing();
    std::string text(LineBound(standing.size()), '\0');
    const char* end = TransformInto(standing, decimal_point_, text.data());
    WriteSubstituted({text.data(), static_cast<std::size_t>(end - text.data())});
    output_.Write(kLineEnd);
    if (observer != nullptr) DescribeLosses(line_, line, *observer);
  }

 private:
  struct Piece {
    std::size_t end;   // where its short text ends in line_
    std::string text;  // its short text
    std::unique_ptr<HeldText> held;
  };

  // The line so far with a marker after each piece whose bytes are kept.
  std::string Standing() const {
    std::string standing;
    std::size_t from = 0;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      standing.append(line_, from, pieces_[i].end - from);
      standing += marker_;
      standing += static_cast<char>('a' + i / 26);
      standing += static_cast<char>('a' + i % 26);
      from = pieces_[i].end;
    }
    standing.append(line_, from);
    return standing;
  }

  // Writes the 3.5 text of the standing line with each piece whose marker it
  // holds written as it was.
  void WriteSubstituted(std::string_view rest) {
    for (std::size_t at; (at = rest.find(marker_)) != std::string_view::npos;) {
      const std::size_t index = static_cast<std::size_t>(rest[at + marker_.size()] - 'a') * 26 +
                                static_cast<std::size_t>(rest[at + marker_.size() + 1] - 'a');
      Piece& piece = pieces_[index];
      // The short text in front of the marker stands for the piece.
      output_.Write(rest.substr(0, at - piece.text.size()));
      piece.held->WriteTo(output_);
      rest.remove_prefix(at + marker_.size() + 2);
    }
    output_.Write(rest);
  }

  // The 10th field of a pad record begins with `first`: the fields before
  // it are converted, and it is copied from now on; the 11th, copied only
  // when it is the last, is kept.
  void StartPadName(char first) {
    marker_ = Marker();
    const std::string standing = Standing() + "X";
    try {
      std::string text(LineBound(standing.size()), '\0');
      const char* end = TransformInto(standing, decimal_point_, text.data());
      // Up to the short 10th field, the last of the text.
      WriteSubstituted({text.data(), static_cast<std::size_t>(end - text.data()) - 1});
    } catch (const RuntimeError&) {
      head_error_ = std::current_exception();  // raised at the end, unless field 101 is first
    }
    pad_name_ = true;
    PadField(std::string_view(&first, 1));
  }

  void PadNameBytes(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
      if (!in_field_) {  // a field's first character is its own
        in_field_ = true;
        ++field_;
        if (field_ == 11) eleventh_ = std::make_unique<HeldText>(budget_);
        if (field_ == 12) eleventh_.reset();
        PadField(bytes.substr(i++, 1));
        continue;
      }
      std::size_t blank = bytes.find(' ', i);
      if (blank == std::string_view::npos) blank = bytes.size();
      PadField(bytes.substr(i, blank - i));
      i = blank;
      if (i < bytes.size()) {
        in_field_ = false;
        ++i;
        pad_shown_ += ' ';
        shown_of_field_ = 0;
      }
    }
  }

  void PadField(std::string_view bytes) {
    // The first characters of each field, as an account shows them.
    const std::size_t shown = std::min(bytes.size(), kShortPiece + 1 - shown_of_field_);
    pad_shown_.append(bytes.substr(0, shown));
    shown_of_field_ += shown;
    if (field_ == 10 && !head_error_) output_.Write(bytes);
    if (field_ == 11) eleventh_->Add(bytes);
  }

  // The text of a record "4" or "6" begins with `first`: the fields before
  // it are converted, and it is copied from now on.
  void StartText(char first) {
    marker_ = Marker();
    text_.emplace(
        Standing(), decimal_point_, output_,
        [this](std::string_view text) { WriteSubstituted(text); }, line_);
    text_->Take(std::string_view(&first, 1));
  }

  // Record 0 and 1 lists and option lists: split into values.
  void ListBytes(std::string_view bytes) {
    if (!values_.Add(bytes)) Raise(err::kSubscript);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      if (in_token_ && long_) {  // the rest of a long value, at once
        i = LongBytes(bytes, i, ", ");
        if (i == bytes.size()) break;
      }
      const char c = bytes[i];
      if (!in_token_) {
        StartToken(Role::kList, c);
      } else if (c == ',' || c == ' ') {
        EndPiece();
        line_ += c;
        in_token_ = false;
      } else {
        PieceByte(c);
      }
    }
  }

  // Records 2 to 6: split into fields, and the fields read as value lists
  // into values.
  void FieldByte(char c) {
    if (!in_field_) {
      in_field_ = true;
      ++field_;
      if (field_ == (record_ == '4' ? 10 : record_ == '6' ? 8 : 0)) {
        StartText(c);
        return;
      }
      if (record_ == '3' && field_ == 10) {
        StartPadName(c);
        return;
      }
      role_ = FieldRole(record_, field_);
      dropping_ = false;
      StartToken(role_, c);
      return;
    }
    if (c == ' ') {
      EndPiece();
      line_ += c;
      in_field_ = false;
      return;
    }
    if (dropping_) return;
    if (!in_token_) {  // a value's first character is its own, even a comma
      StartToken(role_, c);
      return;
    }
    if (role_ == Role::kList && c == ',') {
      if (list_tokens_ >= kListTokensKept) {
        // The list is an error already; the field's first value, which
        // may be read alone, is all that is kept of it.
        EndPiece();
        dropping_ = true;
        return;
      }
      EndPiece();
      line_ += c;
      in_token_ = false;
      return;
    }
    PieceByte(c);
  }

  void StartToken(Role role, char first) {
    in_token_ = true;
    token_role_ = role;
    if (role == Role::kList) ++list_tokens_;
    short_.assign(1, first);
    long_ = false;
    decided_ = false;
  }

  void PieceByte(char c) {
    if (!long_) {
      short_ += c;
      if (short_.size() > kShortPiece) BecomeLong();
      return;
    }
    LongPiece(std::string_view(&c, 1));
  }

  // The bytes of `bytes` from `at` up to the first of `separators` (or its
  // end) go to the long piece being read, or are dropped; returns where they
  // end.
  std::size_t LongBytes(std::string_view bytes, std::size_t at, std::string_view separators) {
    std::size_t end = bytes.find_first_of(separators, at);
    if (end == std::string_view::npos) end = bytes.size();
    if (!dropping_) LongPiece(bytes.substr(at, end - at));
    return end;
  }

  void LongPiece(std::string_view bytes) {
    if (token_role_ == Role::kUnused) return;
    reducer_->Take(bytes);
    if (keeping_) {
      held_->Add(bytes);
      if (token_role_ == Role::kList && !decided_ && reducer_->decided()) Decide();
    }
  }

  // A piece grown past kShortPiece.
  void BecomeLong() {
    long_ = true;
    reducer_.emplace();
    held_.reset();
    keeping_ = token_role_ == Role::kList || token_role_ == Role::kCopiedNumber ||
               token_role_ == Role::kCopied;
    if (token_role_ == Role::kUnused) {
      // Its first bytes, which the line's prefix may show.
      keeping_ = false;
      return;
    }
    reducer_->Take(short_);
    if (keeping_) {
      held_ = std::make_unique<HeldText>(budget_);
      held_->Add(short_);
      if (token_role_ == Role::kList && reducer_->decided()) Decide();
    }
  }

  // A value whose number is read: copied only when it is 0.
  void Decide() {
    double value = 1.0;
    try {
      value = ReadNumber(reducer_->Text());
    } catch (const RuntimeError&) {
    }
    if (value != 0.0) {
      keeping_ = false;
      held_.reset();
    }
    decided_ = true;
  }

  void EndPiece() {
    if (!in_token_) return;
    in_token_ = false;
    if (!long_) {
      line_ += short_;
      return;
    }
    if (token_role_ == Role::kUnused) {
      line_ += short_;
      return;
    }
    if (keeping_ && token_role_ == Role::kList && !decided_) Decide();
    decided_ = false;
    std::string text = token_role_ == Role::kCopied ? std::string("x") : reducer_->Text();
    line_ += text;
    if (keeping_) pieces_.push_back({line_.size(), std::move(text), std::move(held_)});
    held_.reset();
    reducer_.reset();
    long_ = false;
  }

  // Bytes that the standing line does not hold, followed by two letters:
  // one byte where one is free, else two, else three.
  std::string Marker() const {
    std::string candidates;
    for (int b = 1; b < 256; ++b) {
      const char c = static_cast<char>(b);
      if (c != ' ' && c != ',' && c != '.' && c != '+' && c != '-' && c != 'e' && c != 'E' &&
          !NumberSkips(c) && !IsDigitByte(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z'))
        candidates += c;
    }
    std::bitset<256> ones;
    for (const char c : line_)
      ones.set(static_cast<unsigned char>(c));
    for (const char c : candidates) {
      if (!ones.test(static_cast<unsigned char>(c))) return std::string(1, c);
    }
    std::unordered_set<std::uint32_t> pairs;
    for (std::size_t i = 0; i + 1 < line_.size(); ++i)
      pairs.insert(static_cast<unsigned char>(line_[i]) << 8 |
                   static_cast<unsigned char>(line_[i + 1]));
    for (const char a : candidates) {
      for (const char b : candidates) {
        if (a != b &&
            !pairs.count(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b)))
          return std::string{a, b};
      }
    }
    std::unordered_set<std::uint32_t> triples;
    for (std::size_t i = 0; i + 2 < line_.size(); ++i)
      triples.insert(static_cast<unsigned char>(line_[i]) << 16 |
                     static_cast<unsigned char>(line_[i + 1]) << 8 |
                     static_cast<unsigned char>(line_[i + 2]));
    for (const char a : candidates) {
      for (const char b : candidates) {
        for (const char c : candidates) {
          if (!triples.count(static_cast<unsigned char>(a) << 16 |
                             static_cast<unsigned char>(b) << 8 | static_cast<unsigned char>(c)))
            return std::string{a, b, c};
        }
      }
    }
    return {};  // not reached: the line is far shorter than the triples
  }

  const bool decimal_point_;
  platform::OutputFile& output_;
  const char record_;
  const bool numeric_;
  const std::size_t width_;  // the prefix before a value list
  FieldCounter fields_;
  FieldCounter values_;
  Trimmed trimmed_;
  std::size_t position_ = 0;  // bytes of the prefix taken
  std::string line_;          // the standing line so far
  std::vector<Piece> pieces_;
  std::size_t budget_ = kHeldRuns;
  std::string marker_;
  std::optional<TextRecordStream> text_;  // a record's text being copied
  bool pad_name_ = false;                 // a pad's 10th field being copied
  std::exception_ptr head_error_;         // of the fields before it
  std::unique_ptr<HeldText> eleventh_;
  std::string pad_shown_;  // the fields from the 10th on, shown to the observer
  std::size_t shown_of_field_ = 0;

  // The field being read (records 2 to 6).
  bool in_field_ = false;
  int field_ = 0;
  Role role_ = Role::kUnused;
  bool dropping_ = false;
  int list_tokens_ = 0;

  // The piece being read: a value, or a field read whole.
  bool in_token_ = false;
  Role token_role_ = Role::kUnused;
  std::string short_;  // its bytes while it is short; then its first ones
  bool long_ = false;
  bool keeping_ = false;  // its bytes are kept
  bool decided_ = false;
  std::optional<NumberReducer> reducer_;
  std::unique_ptr<HeldText> held_;
};

}  // namespace

void ConvertValueLine(platform::InputFile& source, ByteBuffer& block, bool crlf, bool decimal_point,
                      platform::OutputFile& output, LineObserver* observer, std::uint64_t line) {
  ReducedLine reduced(block.view(), decimal_point, output);
  ForEachPiece(source, block, crlf, 0, [&](std::string_view bytes) { reduced.Take(bytes); });
  reduced.Finish(observer, line);
}

}  // namespace tavrel::detail
