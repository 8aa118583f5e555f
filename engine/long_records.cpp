// Long text records and layer lines, converted while they are read: only
// the few characters that decide their 3.5 text are held.
#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "internal.h"
#include "long_lines.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel::detail {

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

TextRecordStream::TextRecordStream(std::string_view head, bool decimal_point,
                                   platform::OutputFile& output, HeadWriter write_head,
                                   std::string_view shown_head)
    : output_(output), write_head_(std::move(write_head)), fields_(FieldTable::kMaxFields, " ") {
  synthetic_.assign(head);
  synthetic_ += 'X';  // a text that ends in no blank
  shown_.assign(shown_head.data() != nullptr ? shown_head : head);
  shown_ += 'X';
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

void TextRecordStream::WriteHead(std::string_view text) {
  if (write_head_) {
    write_head_(text);
  } else {
    output_.Write(text);
  }
}

void TextRecordStream::Take(std::string_view bytes) {
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
      WriteHead(head_out_);
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

void TextRecordStream::Finish(LineObserver* observer, std::uint64_t line) {
  if (head_error_) std::rethrow_exception(head_error_);
  // An empty field 101 (a blank after field 100 at the end of the line).
  if (fields_.count() > FieldTable::kMaxFields) Raise(err::kSubscript);
  if (!head_written_) {
    std::string_view trimmed = head_out_;
    while (trimmed.ends_with(' '))
      trimmed.remove_suffix(1);
    WriteHead(trimmed);
  }
  output_.Write(kLineEnd);
  if (observer != nullptr) DescribeLosses(shown_, line, *observer);
}

namespace {

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

}  // namespace

void StreamTextRecord(platform::InputFile& source, ByteBuffer& block, bool crlf, std::size_t text,
                      bool decimal_point, platform::OutputFile& output, LineObserver* observer,
                      std::uint64_t line) {
  TextRecordStream record(block.view().substr(0, text), decimal_point, output);
  ForEachPiece(source, block, crlf, text, [&](std::string_view bytes) { record.Take(bytes); });
  record.Finish(observer, line);
}

void StreamLayerLine(platform::InputFile& source, ByteBuffer& block, bool crlf,
                     platform::OutputFile& output, LineObserver* observer, std::uint64_t line) {
  LayerStream layer(output);
  const bool rewrite = block.view().starts_with("-y255");
  if (rewrite) layer.Take("-y15");
  ForEachPiece(source, block, crlf, rewrite ? 5 : 0,
               [&](std::string_view bytes) { layer.Take(bytes); });
  layer.Finish(observer, line);
}

}  // namespace tavrel::detail
