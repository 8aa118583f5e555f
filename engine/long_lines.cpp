// The choice of how a line too long for a block is converted: streamed when
// its first characters decide its 3.5 text, converted while it is read when
// it is a text record, a layer line, a numeric record or an option that
// scales its values, else read whole.
#include <cstdint>
#include <string_view>

#include "internal.h"
#include "long_lines.h"
#include "platform.h"
#include "tavrel.h"

namespace tavrel::detail {

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
      // Its error, or its 3.5 text, once the lines before it are written
      // (or their own error raised).
      flush();
      ++line_number;
      ConvertValueLine(source, block, crlf, options.decimal_point, output, options.observer,
                       line_number);
      return true;
    }
    ReadRestOfLine(source, block, crlf);
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
