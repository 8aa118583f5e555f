// The file services the engine takes from the platform.  Byte-exact: no
// decoding and no newline translation; any byte passes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "byte_buffer.h"

namespace tavrel {
class NewFile;
}

namespace tavrel::platform {

// An open file of the system: a descriptor, or a Windows HANDLE as a number.
#if defined(_WIN32)
using NativeFile = std::intptr_t;
#else
using NativeFile = int;
#endif

// How the lines of a file end.  Decided once per file, by the first line end
// read (the end of the header line):
// - kCrLf: the first line ended in CR LF.  Every line ends at CR LF only; a
//   lone LF, like a lone CR, is an ordinary character of its line.
// - kLf: the first line ended in a lone LF.  A line ends at a lone LF or at
//   CR LF; a lone CR is an ordinary character.
// - kUndecided: no line end read yet; the next one read decides.
enum class LineEnds { kUndecided, kCrLf, kLf };

// Sequential reading of a file from its start, its lines ending as LineEnds
// tells.  A DOS end-of-file mark (Ctrl-Z) as the very last byte of the file is
// not read as data.  A regular file is read up to the length it had when it
// was opened; one that turns out shorter is error 62.
class InputFile {
 public:
  // Error 53 when the file (or a folder on its path) does not exist, the file
  // error otherwise.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Leading blanks skipped (not stored), up to the first comma or line end,
  // which is consumed.  A field that grows past `max_length` + 1 bytes is
  // returned at that length, the rest of it left unread: memory and time stay
  // bounded whatever the file holds.  Error 62 when nothing is left.
  std::string ReadFirstField(std::size_t max_length);
  // The text up to the next line end, without it.  Error 62 when nothing is
  // left.
  void ReadLine(std::string& line);
  // No character left to read.
  bool AtEnd();
  // Writes every remaining line to `output` unchanged, each followed by
  // CR LF, as ReadLine and WriteLine would one by one.  Where every line
  // ends in CR LF already, the bytes of a regular file are copied inside the
  // system without being read.
  void CopyLines(class OutputFile& output);
  // Up to `size` of the bytes not yet read, as they stand in the file, into
  // `into`; 0 at the end.
  std::size_t ReadBytes(char* into, std::size_t size);
  // Gives back bytes that ReadBytes returned last: the next read begins
  // with them.
  void Unread(std::string_view bytes);

  LineEnds line_ends() const { return ends_; }

  // The line ends consumed so far by ReadFirstField and ReadLine (CopyLines
  // does not count): the next line read is physical line LinesEnded() + 1.
  std::uint64_t LinesEnded() const { return lines_ended_; }

 private:
  // The index of the line end ('\n') that ends a line in the `size` bytes
  // from `start`, or npos; `cr_before` tells whether the byte before `start`,
  // in the same line, is a CR.
  std::size_t FindLineEnd(const char* start, std::size_t size, bool cr_before) const;
  // Takes note of a line end; `cr` whether a CR stood before its LF.
  void LineEnded(bool cr);

  // More bytes in the buffer, reading up to `chunk` when it is empty; false
  // at the end.
  bool Fill(std::size_t chunk = 1 << 16);

  // Bytes read from the file into `data`: the count kept, a final DOS
  // end-of-file mark among them left out.
  std::size_t Taken(const char* data, std::size_t got);

  NativeFile fd_ = -1;
  std::uint64_t remaining_;         // bytes still to be read from the file, a final mark too
  std::unique_ptr<char[]> buffer_;  // not cleared between reads
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;      // bytes read into buffer_
  std::size_t pos_ = 0;       // next unread byte of buffer_
  std::uint64_t offset_ = 0;  // bytes read from the file so far
  bool regular_ = false;      // a regular file: its length is known
  LineEnds ends_ = LineEnds::kUndecided;
  std::uint64_t lines_ended_ = 0;
};

// Sequential writing.  Errors are run-time file errors (70, 76, 61 ...).
class OutputFile {
 public:
  // A new file of the user's own, mode 0600: a regular file of the user's
  // with no other link at `path` is removed first; a file of another owner or
  // with other links is refused (70), anything else there (link, device,
  // pipe, folder) too (75).  The file is then created exclusively.
  explicit OutputFile(const std::string& path);
  // Writes into `file`, which stays open for NewFile::Place.
  explicit OutputFile(NewFile& file);
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
  // The next `length` bytes of the regular file `from`, from where it stands
  // (which they move on): copied inside the system where it can, else read
  // and written.  Error 62 when the file ends before.
  void CopyFrom(NativeFile from, std::uint64_t length);
  // Takes room on the disk for about `bytes` more at once, where the system
  // can: the writes into it then cost less.  Only a hint, silent when it
  // fails; Close gives back what was taken beyond the end written.
  void Expect(std::uint64_t bytes);
  // Writes what is buffered and closes; the file error if any write failed.
  void Close();

 private:
  void Flush();

  static constexpr std::size_t kFlushAt = 1 << 16;
  NativeFile fd_ = -1;
  bool owned_ = true;           // closed by Close()
  std::uint64_t offset_ = 0;    // bytes handed to the system: where buffer_ begins in the file
  std::uint64_t expected_ = 0;  // the file's length after Expect, 0 without
  detail::ByteBuffer buffer_;
};

// The raw transfers under the buffers.  Up to `size` bytes, 0 at the end;
// the file error on failure.
std::size_t ReadSome(NativeFile file, char* into, std::size_t size);
// Every byte, or the file error (61 when the disk is full).
void WriteAll(NativeFile file, const char* data, std::size_t size);
// Every byte of `first` and then of `second`, in one transfer where the
// system can; errors as WriteAll.
void WriteAll(NativeFile file, std::string_view first, std::string_view second);

// Whether `path` names a regular file itself (not a link, folder or device).
bool IsRegularFile(const std::string& path);

// The private folder `base`/pemblix-<uid>, made with mode 0700 when missing.
// Error 70 naming the folder when it is not a folder of the user's own that
// no one else may enter.
std::string PrivateFolder(const std::string& base);

// Whether NewFile may use unnamed files where the file system has them (true
// unless turned off, which tests do to try the hidden sibling).
void AllowUnnamedFiles(bool allowed);

#if !defined(_WIN32)
// Whether unnamed files may be tried: allowed, not turned off for the run by
// the environment (TAVREL_UNNAMED_FILES=0), and /proc there to name them
// (asked once per run).
bool UnnamedFilesAllowed();

// Makes a file or folder that the program removes itself, and that an
// ending signal removes too: `make` makes it under `path` (which it may
// change, as mkstemp does) and returns a descriptor or 0, or -1 with errno
// set; the name is then entered.  A signal that ends the program meanwhile
// waits for both, and once it is taken nothing more is made: no file is ever
// missed.  (Installs the signal handling of PrepareProcess when not done.)
int MakeGuarded(std::string& path, bool folder, const std::function<int(std::string&)>& make);
// The name is the program's no more (removed, or put in place).
void Unguard(const std::string& path);

// A spool file of the program's own, an unnamed file reached through
// /proc/self/fd, opened for writing and emptied; -1 when `path` is not one.
NativeFile OpenOwnSpool(const std::string& path);
#endif

// The file's length in bytes; error 53 when it does not exist.
std::uint64_t FileLength(const std::string& path);
// The file's length and the date and time of its last change, as
// "gg/mm/aaaa hh:mm:ss" (empty when the system gives none), from one look
// at the file; error 53 when it does not exist.
struct FileStamp {
  std::uint64_t length = 0;
  std::string date_text;
};
FileStamp FileStampOf(const std::string& path);

// ---------------------------------------------------------------------------
// Folders as the windows' lists show them.  Paths and names are the file
// system's bytes (UTF-8 on Windows); a folder is written without a separator
// at its end, except a root ("/", "C:\", "\\server\share\").

// A folder's visible subfolders and ordinary files (links followed), from one
// reading, in the system's order.  Hidden entries (a leading dot; on Windows
// the hidden and system attributes) are left out, and so are pipes, devices,
// sockets and links to nothing.
struct FolderContents {
  std::vector<std::string> folders, files;
};
// False when the folder cannot be read.
bool ReadFolderContents(const std::string& folder, FolderContents& contents);
// Whether the folder can be listed.
bool IsReadableFolder(const std::string& folder);
// The program's current folder (the root when it cannot be known).
std::string CurrentFolder();
// `path` made absolute and clean ("." and ".." worked out), as a folder is
// written.  On POSIX the text alone is worked on.
std::string FullFolder(const std::string& path);
// The root a path starts with.
std::string RootOf(const std::string& path);
// The folder above; the root is its own.
std::string ParentFolder(const std::string& folder);
// The folders from the root down to `folder`: "/", "home", "user".
std::vector<std::string> FolderSteps(const std::string& folder);
// Whether two folder paths name one folder by their text (letters without
// regard to case on Windows).
bool SameFolderText(const std::string& a, const std::string& b);
// Whether `path` lies in `root` or is it, by their text.
bool FolderHolds(const std::string& root, const std::string& path);

// A volume of the drive list: its root and its label (empty when it has
// none or is not asked, as a removable drive on Windows is not).
struct Volume {
  std::string root;
  std::string label;
};
// The machine's drives on Windows; elsewhere the root, the mounted media
// and the volume of the current folder.  Sorted by root.
std::vector<Volume> Volumes();
// The volume's label; empty when it has none.
std::string VolumeLabel(const std::string& root);
// Whether the volume can be read now (a medium in it, a network drive there).
bool VolumeReady(const std::string& root);

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the window's texts: whatever cannot be
// converted (a byte that is not UTF-8, a lone surrogate) becomes U+FFFD.
std::wstring Utf16(std::string_view text);
std::string Utf8(std::wstring_view text);
#endif

}  // namespace tavrel::platform
