// The file services the engine takes from the platform.  Byte-exact: no
// decoding and no newline translation; any byte passes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "byte_buffer.h"

namespace tavrel::platform {

// An open file of the system: a descriptor, or a Windows HANDLE as a number.
#if defined(_WIN32)
using NativeFile = std::intptr_t;
#else
using NativeFile = int;
#endif

// Sequential reading of a file from its start.  A line ends at CR LF or at a
// lone LF; a lone CR is an ordinary character.  A DOS end-of-file mark
// (Ctrl-Z) as the very last byte of the file is not read as data.
class InputFile {
 public:
  // Error 53 when the file does not exist, the file error otherwise.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Leading blanks skipped, up to the first comma or line end, which is
  // consumed.  Error 62 when nothing is left.
  std::string ReadFirstField();
  // The text up to the next line end, without it.  Error 62 when nothing is
  // left.
  void ReadLine(std::string& line);
  // The same line as a view: into the reading buffer when the line lies
  // there whole, else into `scratch`.  Valid until the next read.
  std::string_view ReadLineView(std::string& scratch);
  // No character left to read.
  bool AtEnd();
  // Writes every remaining line to `output` unchanged, each followed by
  // CR LF, as ReadLine and WriteLine would one by one.
  void CopyLines(class OutputFile& output);
  // Up to `size` of the bytes not yet read, as they stand in the file, into
  // `into`; 0 at the end.
  std::size_t ReadBytes(char* into, std::size_t size);
  // Gives back bytes that ReadBytes returned last: the next read begins
  // with them.
  void Unread(std::string_view bytes);

 private:
  // More bytes in the buffer, reading up to `chunk` when it is empty; false
  // at the end.
  bool Fill(std::size_t chunk = 1 << 16);

  NativeFile fd_ = -1;
  std::uint64_t remaining_;         // bytes still to be read from the file
  std::unique_ptr<char[]> buffer_;  // not cleared between reads
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;      // bytes read into buffer_
  std::size_t pos_ = 0;       // next unread byte of buffer_
  std::uint64_t offset_ = 0;  // bytes read from the file so far
};

// Sequential writing: the file is created (mode 0600, links not followed) or
// emptied.  Errors are run-time file errors (70, 76, 61 ...).
class OutputFile {
 public:
  explicit OutputFile(const std::string& path);
  ~OutputFile();  // closes without reporting; call Close() to know
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The text followed by CR LF.
  void WriteLine(std::string_view text);
  // Bytes as they are.
  void Write(std::string_view bytes);
  // Room for `n` bytes at the end of what is buffered, to be written in
  // place; Commit then takes the bytes up to `end`.
  char* Reserve(std::size_t n) { return buffer_.Reserve(n); }
  void Commit(char* end) {
    buffer_.Commit(end);
    if (buffer_.size() >= kFlushAt) Flush();
  }
  // The same `bytes`, which stand at `offset` in the file `from`: copied
  // inside the system where it can (as cp does), else written.
  void WriteCopyOf(std::string_view bytes, NativeFile from, std::uint64_t offset);
  // Writes what is buffered and closes; the file error if any write failed.
  void Close();

 private:
  void Flush();

  static constexpr std::size_t kFlushAt = 1 << 16;
  NativeFile fd_ = -1;
  detail::ByteBuffer buffer_;
};

// The raw transfers under the buffers.  Up to `size` bytes, 0 at the end;
// the file error on failure.
std::size_t ReadSome(NativeFile file, char* into, std::size_t size);
// Every byte, or the file error (61 when the disk is full).
void WriteAll(NativeFile file, const char* data, std::size_t size);

// Whether `path` names a regular file itself (not a link, folder or device).
bool IsRegularFile(const std::string& path);

// The file's length in bytes; error 53 when it does not exist.
std::uint64_t FileLength(const std::string& path);
// The date and time of the file's last change, as "gg/mm/aaaa hh:mm:ss".
std::string FileDateText(const std::string& path);

}  // namespace tavrel::platform
