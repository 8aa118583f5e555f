// Tavrel Converter engine: the whole public interface.
//
// The engine recognises a Tavrel data file by its header, converts 3.x and
// 4.0 data files into the 3.5 format and rewrites single 4.0 lines.  It works
// on bytes: no text is decoded, no line end is translated, every line it does
// not rewrite passes unchanged.  Numbers are read and written without the C
// locale; the user's separators reach the engine as explicit values.
//
// Every failure is a RuntimeError carrying a numbered run-time error with an
// Italian description.  Only the analysis' handler (Analizza) catches them.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tavrel {

namespace platform {
class OutputFile;
}

// ---------------------------------------------------------------------------
// Run-time errors

namespace err {
inline constexpr int kInvalidArgument = 5;  // chiamata di routine o argomento non validi
inline constexpr int kOverflow = 6;
inline constexpr int kOutOfMemory = 7;
inline constexpr int kSubscript = 9;  // indice non compreso nell'intervallo
inline constexpr int kBadFileName = 52;
inline constexpr int kFileNotFound = 53;
inline constexpr int kDeviceIo = 57;
inline constexpr int kFileExists = 58;
inline constexpr int kDiskFull = 61;
inline constexpr int kPastEnd = 62;  // input oltre la fine del file
inline constexpr int kTooManyFiles = 67;
inline constexpr int kPermission = 70;
inline constexpr int kPathFileAccess = 75;
inline constexpr int kPathNotFound = 76;
}  // namespace err

class RuntimeError : public std::exception {
 public:
  RuntimeError(int number, std::string description);
  int number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  int number_;
  std::string description_;
};

// The error of that number with its Italian description.
RuntimeError MakeError(int number);
// The run-time error for an operating-system error code (errno on POSIX,
// GetLastError() on Windows), e.g. ENOENT or ERROR_FILE_NOT_FOUND gives 53
// (76 when `path_part` is true), EACCES 70, ENOSPC 61.
RuntimeError FileError(int os_error, bool path_part = false);
[[noreturn]] void Raise(int number);
// Error 61 told apart from a full disk: the file grew past what its
// destination takes (the file system's largest file, or a file-size limit).
RuntimeError FileTooLarge();

// The analysis handler's message: "Si è verificato l'errore ", the number with
// one leading blank, " = ", the description, CR, "Il programma verrà terminato".
std::string ComposeErrorMessage(const RuntimeError& error);

// ---------------------------------------------------------------------------
// The user's number settings, read once from the platform by the caller.

struct NumberSettings {
  std::string decimal = ".";    // decimal separator
  std::string thousands = ",";  // thousands separator (may be empty)
};

// The settings of the C library's current locale (after setlocale(LC_ALL, "")).
NumberSettings NumberSettingsFromCLocale();
// The user's settings: on Windows from the regional settings, elsewhere from
// the C library's current locale (after setlocale(LC_ALL, "")).
NumberSettings UserNumberSettings();

// ---------------------------------------------------------------------------
// Value helpers

// The number reader: blanks, tabs and line feeds are skipped wherever they
// stand, then an optional sign, digits with at most one ".", an optional
// exponent.  A text without a number reads as 0.  Error 6 when the value does
// not fit a double.
double ReadNumber(std::string_view text);

// A whole number with all its digits, "-" when negative, nothing else.
// `value` is already whole; -0 is written 0.
std::string IntegerText(double value);

// The shortest decimal text of at most 15 significant digits, a point as
// decimal mark, no 0 before the point (".75", "-.5").
std::string NumberText(double value);

// Scales a comma- or blank-separated list of values by 1000 (tokens worth 0
// are copied as written).  Error 9 beyond 50 values, 6 on overflow.
std::string Moltiplica(const std::string& valori, const NumberSettings& numbers = {});

// Converts an angle in degrees into whole units of `base` to a turn; base
// 32768 is the signed half-turn scheme, where angles outside 0..360 give "".
std::string Rad(const std::string& gradi, float base);

// Colour number 0..15 of a six-digit hexadecimal RGB text by brightness.
// A character that is no hexadecimal digit, or a missing one, counts as 0.
int Ega(const std::string& hexrgb);

// ---------------------------------------------------------------------------
// Line transformer

// The line that replaces 4.0 lines without a 3.5 counterpart: a comma and
// the converter's banner text.
extern const std::string_view kBannerLine;

// Rewrites one 4.0 line (without its line end) into its 3.5 text, which may
// hold several lines joined by CR LF.  `riga` may be changed ("-y255").
std::string Trasforma(std::string& riga, const NumberSettings& numbers = {});

// ---------------------------------------------------------------------------
// What the 3.5 format could not hold

// The ways a 4.0 line loses content on its way into 3.5.
enum class LossKind {
  kBanner,         // the line replaced by the banner line
  kFixedOption,    // an option whose values became fixed 3.5 values
  kPadRotation,    // a pad rotation that is no multiple of 90 degrees
  kAnchor,         // a text anchor folded into the text position
  kColour,         // a layer colour reduced to one of 16 colours
  kLayerSettings,  // layer settings the 3.5 layer line has no place for
  kFields,         // fields of a numeric record that the 3.5 record does not hold
  kTextRotation,   // a text angle that gives no 3.5 angle (below 0 or above 360)
};

// An optional observer of the line transformer: told, in the order of the
// file, of every line whose content the conversion dropped or approximated.
// Without one the conversion does no work for it.
class LineObserver {
 public:
  virtual ~LineObserver() = default;
  // `line` is the physical source line; `detail` an Italian account.
  virtual void Lost(std::uint64_t line, LossKind kind, const std::string& detail) = 0;
};

// What Trasforma drops or approximates of one 4.0 line (after the "-y255"
// rewrite), told to `observer` under `line`: nothing for a line that comes
// out unchanged, and only what its 3.5 text really lacks.  `cut`: `riga` is
// only the beginning of a line too long to be held, whose 3.5 text that
// beginning decides; its quotes end in "…".
void DescribeLosses(std::string_view riga, std::uint64_t line, LineObserver& observer,
                    bool cut = false);

// ---------------------------------------------------------------------------
// Recognition and conversion driver

inline constexpr std::string_view kHeader35 = "TAVREL Version 3.5 -- DATA FILE";

struct FormatInfo {
  int code;                       // 33..38, 40, -35 or 99
  std::string_view format_text;   // for TipoFile
  std::string_view outcome_text;  // for ConvPreview
};

// Looks the file's first field up in the header table.
FormatInfo Recognise(std::string_view first_field);
// Whether a file of this format code is converted.
bool IsConvertible(int code);

// The usual path of the window's temporary file, in a private per-user
// folder: $XDG_RUNTIME_DIR/PEMBLIX.TMP when that folder is the user's own and
// no one else may write in it, else /tmp/pemblix-<uid>/ (made with mode
// 0700).  Throws a RuntimeError (naming the folder) when no safe place can be
// had.
std::string TemporaryFilePath();

// The temporary file of one running copy of the program, held for the life of
// this object: the usual path when no other copy holds it, else PEMBLIX1.TMP,
// PEMBLIX2.TMP, ... in the same folder.  A copy that ended, however, frees
// its path.  Creating the file itself is the analysis' work (it only ever
// writes a file it created, see AnalysisRequest::output_path).
class TemporaryFileLease {
 public:
  TemporaryFileLease();  // RuntimeError when there is no private place
  ~TemporaryFileLease();
  TemporaryFileLease(const TemporaryFileLease&) = delete;
  TemporaryFileLease& operator=(const TemporaryFileLease&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string lock_path_;
  std::intptr_t lock_ = -1;  // the platform's handle of the held lock
};

// The 8.3 destination name proposed for a source (or clicked destination)
// file name: "3_" + base, cut to 8, + the first dot and up to three
// characters, upper case; "3_OLDTAV" for a name that begins with its dot.
// Every character a DOS name cannot hold (control characters, blank,
// " * + , / : ; < = > ? [ \ ] | and every character beyond ASCII) becomes "_",
// and so does a dot before the extension's ("a.b.sch" gives "3_A_B.S").
// With `keep_last` from 1 to 5 a base longer than six characters keeps its
// first 6 - keep_last and its last keep_last characters instead of its first
// six ("schema12.sch", 2: "3_SCHE12.SCH"): names of one batch that would
// coincide are told apart so.
std::string ProposedName(const std::string& name, std::size_t keep_last = 0);
// The proposal numbered DOS-style when nothing else tells it apart: the base
// cut so that "~" and `number` fit the eight characters ("3_SCHE~1.SCH").
std::string NumberedName(const std::string& name, unsigned number);

// The format code (see FormatInfo) of the regular file at `path` (not a
// link), read from its first field; 99 for an empty file.  RuntimeError when
// it cannot be read or is no regular file.
int RecogniseFile(const std::string& path);

// The five information labels of the main window.
enum class Label { kSourceFile, kFileSize, kFileDate, kTipoFile, kConvPreview };

// What the analysis shows; the main window (or the command line) binds it.
class AnalysisSink {
 public:
  virtual ~AnalysisSink() = default;
  virtual void SetLabel(Label label, const std::string& text) = 0;
  // The one repaint request, after the first four label texts.
  virtual void Repaint() = 0;
  // The save button's enabled state: a converted result is ready.
  virtual void SetReady(bool ready) = 0;
  // The analysis' error handler: all files are already closed and the
  // output file deleted.  `line` is the physical source line being read
  // (1 = the header line), 0 when the error is about no line (the source
  // not yet read, the output created or copied into).
  virtual void Failed(const RuntimeError& error, std::uint64_t line) = 0;
};

class NewFile;

struct AnalysisRequest {
  std::string folder;  // source folder path
  std::string name;    // source file name, without folder
  // Where the conversion is written: a fresh file of the user's own.  A
  // leftover regular file of the user's with no other link is removed first;
  // anything else there (another owner's file, a link, a device) is refused.
  std::string output_path;
  NumberSettings numbers;
  bool convert = true;  // false: recognise only, write nothing
  // When set, the conversion goes into this file instead of `output_path`.
  NewFile* output_file = nullptr;
  // Threads that convert a large 4.0 file in blocks: 0 for one per
  // processor, 1 for none besides the caller's.
  unsigned threads = 0;
  // Told what a 4.0 conversion loses; none: nothing is looked at.
  LineObserver* observer = nullptr;
};

struct AnalysisOutcome {
  int code = 99;
  bool converted = false;        // the output holds a complete conversion
  bool failed = false;           // a run-time error reached the handler
  std::uint64_t lines_read = 0;  // after a failure: the line given to Failed
};

// Examines and (when convertible) converts one source file.  Never throws a
// RuntimeError: it goes to `sink.Failed`.
AnalysisOutcome Analizza(const AnalysisRequest& request, AnalysisSink& sink);

// ---------------------------------------------------------------------------
// File services the window's save step, its exit and tavconv use

bool FileExists(const std::string& path);  // anything but a folder
bool IsFolder(const std::string& path);    // links followed
// Whether both paths name one existing file.
bool SameFile(const std::string& a, const std::string& b);

// Throws the RuntimeError that replacing `path` would meet now: 75 when
// something that is not a regular file stands there (device, pipe, socket,
// folder), 70 when it is a file the user may not write (or, for the
// administrator, a file without any write permission).  A missing file, a
// regular file and a symbolic link (replaced itself, its target untouched)
// pass.
void CheckReplaceable(const std::string& path);

// A file written in the folder of its destination and put in place at the
// end, so that no half file is ever seen there and an existing destination is
// kept until the new one is complete.  Where the file system allows it the
// file has no name until then (nothing is left even when the program is
// killed); elsewhere it is a hidden sibling, removed when the object goes or
// when an interrupt, hang-up, quit or termination signal ends the program.
// A file-size limit or a closed pipe makes the writing fail with an error
// instead of ending the program (see PrepareProcess).
class NewFile {
 public:
  // RuntimeError when the folder cannot take a file.
  explicit NewFile(const std::string& destination);
  ~NewFile();  // discards the file unless it was placed
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;

  const std::string& destination() const;
  // Puts the complete file at its destination.  Without `replace`, an
  // existing destination is kept and error 58 raised.  With it, the checks of
  // CheckReplaceable apply, and the new file takes the replaced file's
  // permission bits and, where the user may set it, its group.
  void Place(bool replace);

 private:
  struct State;
  friend class platform::OutputFile;
  std::unique_ptr<State> state_;
};

// Called first in main, before any other thread starts (later the first
// NewFile, PrivateFile or TemporaryFileLease does it, but threads already
// running then are not covered).  Reads the umask once for the whole run;
// makes a closed pipe (SIGPIPE) and a file-size limit (SIGXFSZ) failed writes
// instead of the end of the program; and takes the signals that end a
// program (interrupt, termination, hang-up, quit; those not ignored at the
// start) away from every thread into one of its own, which removes every
// hidden sibling, named spool file, window temporary file and its lock that
// the program holds, and then ends the program by the same signal.  On
// Windows nothing needs preparing: the console's Ctrl-C handler is set by the
// first NewFile, and files that must not outlive the program are marked for
// deletion by the system.
void PrepareProcess();

// Copies `from` to `to` through a NewFile placed with replacing.  RuntimeError
// on failure, when `to` is left as it was.
void CopyFileReplacing(const std::string& from, const std::string& to);
// Deletes the file when it exists; RuntimeError when it cannot.
void DeleteFileIfExists(const std::string& path);
// Joins a folder and a name with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The folder part of a path ("." when it has none) and the name after it.
// On Windows a backslash and "/" both separate, and "C:", "C:\" and
// "\\server\share" are folders.
std::string FolderOf(const std::string& path);
std::string NameOf(const std::string& path);

// ---------------------------------------------------------------------------
// The command line's arguments and console

// The program's arguments in UTF-8, the program's name first (on Windows
// read as wide characters, whatever the code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Writes UTF-8 text to the standard output or error (on Windows to the
// console as wide characters, else as UTF-8).
void PrintOut(std::string_view text);
void PrintError(std::string_view text);
// Flushes the standard output: false when anything printed there was lost
// (a full disk, a closed pipe, no standard output at all).
bool StandardOutputWritten();

// ---------------------------------------------------------------------------
// Folder walking and standard streams, for tavconv

struct FolderEntry {
  enum class Type {
    kFile,        // a regular file, or a link to one
    kFolder,      // a folder itself, never a link to one
    kFolderLink,  // a link (or junction) to a folder: not followed, so no walk loops
    kNotRegular,  // a pipe, device, socket, or a link to nothing
    kUnexamined,  // the entry could not be examined: `error` tells why
  };
  std::string name;
  Type type = Type::kNotRegular;
  std::uint64_t size = 0;  // of a file
  int error = 0;           // kUnexamined: the run-time error's number
  std::string why;         // kUnexamined: its description
};
// The entries of a folder, sorted by name, each examined relative to the
// folder itself.  Without `follow`, a link in the folder's last step is not
// followed: a folder swapped for a link while a walk goes on is not entered.
// RuntimeError when it cannot be read.
std::vector<FolderEntry> ListFolder(const std::string& folder, bool follow = true);

// The identity of an existing file, the same through every link and every
// spelling of its path (device and inode; volume serial and file index).
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool operator==(const FileIdentity&) const = default;
  bool operator<(const FileIdentity& other) const {
    return volume != other.volume ? volume < other.volume : index < other.index;
  }
};
// The identity of the file or folder at `path` (links followed); false when
// nothing is there.
bool IdentityOf(const std::string& path, FileIdentity& identity);
// The time of the last change of the file at `path` in the system's finest
// unit, comparable between files; false when nothing is there.
bool ChangeTimeOf(const std::string& path, std::int64_t& time);
// An operand of the command line with its wildcards (* and ?) expanded, on
// Windows, whose shells leave them to the program: the matching ordinary
// visible entries of the operand's folder, sorted by name, each with the
// operand's folder before it.  Elsewhere, and for an operand without
// wildcards, the operand itself.  Error 53 when nothing matches.
std::vector<std::string> ExpandWildcards(const std::string& operand);
// Makes the folder and those above it that are missing.
void MakeFolders(const std::string& path);
// A path the system takes for `path`, however long `path` is: `path` itself
// when it is short enough, else one that leads through a handle held open
// on its folder (/proc/self/fd/N/name), so that trees deeper than the
// system's longest path still convert.  With `make_folders`, the missing
// folders of a long path are made on the way (RuntimeError when one cannot
// be).  Valid while the object lives; on Windows, `path` itself.
class ShortPath {
 public:
  explicit ShortPath(const std::string& path, bool make_folders = false);
  ~ShortPath();
  ShortPath(const ShortPath&) = delete;
  ShortPath& operator=(const ShortPath&) = delete;
  const std::string& get() const { return path_; }

 private:
  std::string path_;
  std::intptr_t folder_ = -1;  // the platform's handle on the folder, when held
};
// Whether standard error is a terminal that takes escape sequences (on
// Windows a console, switched to them).
bool StandardErrorIsTerminal();

// A new empty spool file of the user's own, gone with the object.  Where the
// file system allows it the file has no name at all (nothing outlives the
// program, however it ends) and path() reaches it through the program's
// descriptor (/proc/self/fd/N); else it is named in the private folder under
// the temporary folder ($TMPDIR, else /tmp), and an ending signal removes it.
// On Windows it is named in the user's temporary folder and the system
// deletes it when the program ends, however it ends.
class PrivateFile {
 public:
  PrivateFile();  // RuntimeError when there is no private place
  // Beside `destination` (in its folder) when an unnamed file can be made
  // there, where there is room for what is converted into it; else as above.
  explicit PrivateFile(const std::string& destination);
  ~PrivateFile();
  PrivateFile(const PrivateFile&) = delete;
  PrivateFile& operator=(const PrivateFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::intptr_t file_ = -1;  // the platform's handle, held open for the life
  bool named_ = false;       // path_ is a name of its own, removed at the end
};
// Reads standard input to its end into the file at `path` (a PrivateFile's).
void CopyStandardInputTo(const std::string& path);
// Writes the file's bytes to standard output.
void CopyToStandardOutput(const std::string& path);

}  // namespace tavrel
