// The buffered reading and writing of files, the same on every platform:
// only the raw transfers (ReadSome, WriteAll) and the opening and closing of
// files are the platform's own.
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform.h"
#include "tavrel.h"

namespace tavrel::platform {

namespace {

constexpr std::size_t kChunk = 1 << 16;
constexpr std::size_t kLargeChunk = 1 << 20;  // for copying whole buffers
constexpr char kDosEndOfFile = 0x1A;

}  // namespace

bool InputFile::Fill(std::size_t chunk) {
  if (pos_ < size_) return true;
  size_ = 0;
  pos_ = 0;
  if (remaining_ == 0) return false;
  if (capacity_ < chunk) {
    buffer_ = std::make_unique_for_overwrite<char[]>(chunk);
    capacity_ = chunk;
  }
  const std::size_t want = remaining_ < chunk ? static_cast<std::size_t>(remaining_) : chunk;
  const std::size_t got = ReadSome(fd_, buffer_.get(), want);
  if (got == 0) {
    remaining_ = 0;
    // A file that became shorter while it was read gives no sound result.
    if (regular_) throw MakeError(err::kPastEnd);
    return false;
  }
  size_ = Taken(buffer_.get(), got);
  return size_ > 0;
}

std::size_t InputFile::Taken(const char* data, std::size_t got) {
  if (remaining_ != UINT64_MAX) remaining_ -= got;
  // The last byte of a regular file, read now: a DOS end-of-file mark there
  // is no data.
  if (regular_ && remaining_ == 0 && data[got - 1] == kDosEndOfFile) --got;
  offset_ += got;
  return got;
}

bool InputFile::AtEnd() {
  return !Fill();
}

std::string InputFile::ReadFirstField(std::size_t max_length) {
  if (AtEnd()) throw MakeError(err::kPastEnd);
  // Leading blanks go by whole buffers.
  while (Fill(kLargeChunk)) {
    const char* p = buffer_.get() + pos_;
    const char* const end = buffer_.get() + size_;
    for (std::uint64_t word; end - p >= 8; p += 8) {
      std::memcpy(&word, p, sizeof word);
      if (word != 0x2020202020202020ULL) break;
    }
    while (p != end && *p == ' ')
      ++p;
    pos_ = static_cast<std::size_t>(p - buffer_.get());
    if (p != end) break;
  }
  std::string field;
  while (Fill()) {
    const char c = buffer_[pos_++];
    if (c == ',') break;
    if (c == '\n') {
      const bool cr = !field.empty() && field.back() == '\r';
      if (cr) field.pop_back();
      LineEnded(cr);
      break;
    }
    field += c;
    if (field.size() > max_length + 1) break;  // longer than any field wanted
  }
  return field;
}

void InputFile::LineEnded(bool cr) {
  if (ends_ == LineEnds::kUndecided) ends_ = cr ? LineEnds::kCrLf : LineEnds::kLf;
  ++lines_ended_;
}

std::size_t InputFile::FindLineEnd(const char* start, std::size_t size, bool cr_before) const {
  std::size_t from = 0;
  while (from < size) {
    const void* newline = std::memchr(start + from, '\n', size - from);
    if (newline == nullptr) break;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
    if (ends_ != LineEnds::kCrLf || (at > 0 ? start[at - 1] == '\r' : cr_before)) return at;
    from = at + 1;  // a lone LF inside a CR LF line
  }
  return std::string_view::npos;
}

void InputFile::ReadLine(std::string& line) {
  if (AtEnd()) throw MakeError(err::kPastEnd);
  line.clear();
  while (Fill()) {
    const char* start = buffer_.get() + pos_;
    const std::size_t available = size_ - pos_;
    const std::size_t end = FindLineEnd(start, available, !line.empty() && line.back() == '\r');
    if (end != std::string_view::npos) {
      line.append(start, end);
      pos_ += end + 1;
      const bool cr = !line.empty() && line.back() == '\r';
      if (cr) line.pop_back();
      LineEnded(cr);
      return;
    }
    line.append(start, available);
    pos_ += available;
  }
}

namespace {

// The high bit of every byte of `word` that equals `byte`, exactly.
constexpr std::uint64_t BytesEqual(std::uint64_t word, unsigned char byte) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  const std::uint64_t x = word ^ (0x0101010101010101ULL * byte);
  return ~(((x & kLow7) + kLow7) | x | kLow7);
}

// Whether `bytes` holds a lone LF, one without a CR before it (`after_cr`
// tells whether the byte before `bytes` is a CR).  Eight bytes at a time.
bool HasLoneLineFeed(std::string_view bytes, bool after_cr) {
  const char* p = bytes.data();
  std::size_t n = bytes.size();
#if defined(__SSE2__)
  // Sixteen bytes at a time: one bit a byte for LF and for CR.
  {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    unsigned carry = after_cr ? 1 : 0;
    for (; n >= 16; p += 16, n -= 16) {
      const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const unsigned lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
      const unsigned crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
      if ((lfs & ~((crs << 1) | carry)) != 0) return true;
      carry = crs >> 15;
    }
    after_cr = carry != 0;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    std::uint64_t carry = after_cr ? 0x80 : 0;  // the CR flag of the byte before
    for (; n >= 8; p += 8, n -= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, sizeof word);
      const std::uint64_t cr = BytesEqual(word, '\r');
      // A byte is preceded by a CR when the byte one place lower is one.
      if ((BytesEqual(word, '\n') & ~((cr << 8) | carry)) != 0) return true;
      carry = cr >> 56;
    }
    after_cr = carry != 0;
  }
  for (; n > 0; ++p, --n) {
    if (*p == '\n' && !after_cr) return true;
    after_cr = *p == '\r';
  }
  return false;
}

}  // namespace

void InputFile::CopyLines(OutputFile& output) {
  if (ends_ == LineEnds::kUndecided && !AtEnd()) {
    std::string first;  // its end decides how the others end
    ReadLine(first);
    output.WriteLine(first);
  }
  bool after_cr = false;   // the previous buffer ended with a CR
  bool line_open = false;  // bytes since the last line end
  if (ends_ == LineEnds::kCrLf && regular_) {
    // Every byte stays as it is: what is buffered goes out, and the rest of
    // the file but its last bytes is copied unread.  Those (a final DOS
    // end-of-file mark, and the line end before it or its absence) are read
    // as usual below.
    constexpr std::uint64_t kTail = 3;
    if (pos_ < size_) {
      const std::string_view held(buffer_.get() + pos_, size_ - pos_);
      output.WriteCopyOf(held, fd_, offset_ - held.size());
      pos_ = size_;
      after_cr = held.back() == '\r';
      line_open = held.back() != '\n' || (held.size() > 1 ? held[held.size() - 2] != '\r' : true);
    }
    if (remaining_ > kTail) {
      const std::uint64_t unread = remaining_ - kTail;
      output.CopyFrom(fd_, unread);
      remaining_ -= unread;
      offset_ += unread;
      line_open = true;  // the tail tells
    }
  }
  while (Fill(kLargeChunk)) {
    const std::string_view chunk(buffer_.get() + pos_, size_ - pos_);
    const std::uint64_t chunk_offset = offset_ - (size_ - pos_);
    pos_ = size_;
    if (ends_ == LineEnds::kCrLf) {
      // Every byte as it is; only CR LF ends a line.
      output.WriteCopyOf(chunk, fd_, chunk_offset);
      const bool cr_lf =
          chunk.back() == '\n' && (chunk.size() > 1 ? chunk[chunk.size() - 2] == '\r' : after_cr);
      line_open = !cr_lf;
    } else if (!HasLoneLineFeed(chunk, after_cr)) {
      // Buffers whose line ends are all CR LF go out whole.
      output.WriteCopyOf(chunk, fd_, chunk_offset);
      line_open = chunk.back() != '\n';
    } else {
      // A lone LF gets its CR.
      std::size_t pending = 0;  // first byte not yet written
      for (std::size_t lf = chunk.find('\n'); lf != std::string_view::npos;
           lf = chunk.find('\n', lf + 1)) {
        const bool has_cr = lf > 0 ? chunk[lf - 1] == '\r' : after_cr;
        if (!has_cr) {
          output.Write(chunk.substr(pending, lf - pending));
          output.Write("\r\n");
          pending = lf + 1;
        }
      }
      output.Write(chunk.substr(pending));
      line_open = chunk.back() != '\n';
    }
    after_cr = chunk.back() == '\r';
  }
  if (line_open) output.Write("\r\n");  // a last line without its line end
}

std::size_t InputFile::ReadBytes(char* into, std::size_t size) {
  if (pos_ < size_) {  // what the reading buffer holds comes first
    const std::size_t n = size < size_ - pos_ ? size : size_ - pos_;
    std::memcpy(into, buffer_.get() + pos_, n);
    pos_ += n;
    return n;
  }
  if (remaining_ == 0 || size == 0) return 0;
  const std::size_t want = remaining_ < size ? static_cast<std::size_t>(remaining_) : size;
  const std::size_t got = ReadSome(fd_, into, want);
  if (got == 0) {
    remaining_ = 0;
    // A file that became shorter while it was read gives no sound result.
    if (regular_) throw MakeError(err::kPastEnd);
    return 0;
  }
  return Taken(into, got);
}

void InputFile::Unread(std::string_view bytes) {
  if (bytes.empty()) return;
  const std::size_t kept = size_ - pos_;
  if (pos_ >= bytes.size()) {  // room before what the buffer still holds
    pos_ -= bytes.size();
    std::memcpy(buffer_.get() + pos_, bytes.data(), bytes.size());
    return;
  }
  const std::size_t needed = bytes.size() + kept;
  auto buffer = std::make_unique_for_overwrite<char[]>(needed > kChunk ? needed : kChunk);
  std::memcpy(buffer.get(), bytes.data(), bytes.size());
  if (kept > 0) std::memcpy(buffer.get() + bytes.size(), buffer_.get() + pos_, kept);
  buffer_ = std::move(buffer);
  capacity_ = needed > kChunk ? needed : kChunk;
  pos_ = 0;
  size_ = needed;
}

void OutputFile::Flush() {
  WriteAll(fd_, buffer_.data(), buffer_.size());
  offset_ += buffer_.size();
  buffer_.clear();
}

void OutputFile::WriteLine(std::string_view text) {
  Write(text);
  buffer_.Append("\r\n");
  if (buffer_.size() >= kFlushAt) Flush();
}

void OutputFile::Write(std::string_view bytes) {
  if (bytes.size() < kFlushAt) {
    buffer_.Append(bytes);
    if (buffer_.size() >= kFlushAt) Flush();
    return;
  }
  // A large piece is written, after what is buffered, up to the last
  // multiple of kFlushAt in the file, and its rest kept: the system keeps
  // whole aligned pieces in large pages and takes them faster than pieces
  // cut anywhere.
  const std::uint64_t start = offset_ + buffer_.size();
  const std::uint64_t cut = (start + bytes.size()) / kFlushAt * kFlushAt;
  const auto head = static_cast<std::size_t>(cut - start);  // at least 1
  WriteAll(fd_, buffer_.view(), bytes.substr(0, head));
  offset_ = cut;
  buffer_.clear();
  buffer_.Append(bytes.substr(head));
}

}  // namespace tavrel::platform
