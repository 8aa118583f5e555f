// The reading of a 4.0 file's lines: blocks of whole lines, and the pieces
// of a line too long for a block.
#include <string>
#include <string_view>

#include "long_lines.h"
#include "platform.h"

namespace tavrel::detail {

std::size_t LineEndIn(std::string_view bytes, bool crlf, bool cr_before) {
  std::size_t lf = bytes.find('\n');
  if (!crlf) return lf;
  while (lf != std::string_view::npos && !(lf > 0 ? bytes[lf - 1] == '\r' : cr_before))
    lf = bytes.find('\n', lf + 1);
  return lf;
}
std::size_t LastLineEndIn(std::string_view bytes, bool crlf) {
  std::size_t lf = bytes.rfind('\n');
  if (!crlf) return lf;
  while (lf != std::string_view::npos && lf > 0 && bytes[lf - 1] != '\r')
    lf = bytes.rfind('\n', lf - 1);
  return lf == 0 ? std::string_view::npos : lf;
}

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

void ForEachPiece(platform::InputFile& source, ByteBuffer& block, bool crlf, std::size_t skip,
                  const std::function<void(std::string_view)>& put) {
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

}  // namespace tavrel::detail
