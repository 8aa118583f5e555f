// What tavconv's sources share: its options, its messages and the
// conversion of one file.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tavrel.h"

namespace tavconv {

enum Status { kConverted = 0, kNotConvertible = 1, kFailed = 2 };
enum class ReportForm { kNone, kText, kJson };

struct Options {
  bool force = false;
  bool analyse_only = false;
  bool recursive = false;
  ReportForm report = ReportForm::kNone;
  unsigned threads = 0;  // 0: one per processor
  std::vector<std::string> operands;
};

// What one file's conversion prints, kept in order to be printed at once:
// a batch prints its files' messages in the order of the walk.
class Messages {
 public:
  enum Stream { kOut, kErr, kData };
  void Out(std::string text) { pieces_.emplace_back(kOut, std::move(text)); }
  void Err(std::string text) { pieces_.emplace_back(kErr, std::move(text)); }
  // A report for scripts (JSON Lines): standard output, kept for it.
  void Data(std::string text) { pieces_.emplace_back(kData, std::move(text)); }
  // Writes and forgets them.  Messages go to standard error too when
  // standard output carries a converted file or a report for scripts.
  void Flush();
  static bool output_taken;  // standard output carries a converted file
  static bool data_only;     // standard output carries only the Data pieces

 private:
  std::vector<std::pair<Stream, std::string>> pieces_;
};

// A destination written earlier in this run, and by which source.
struct Written {
  std::string dest;
  std::string source;
};
// The destinations of a run, shared by the files converted at once.
struct WrittenList {
  std::mutex mutex;
  std::vector<Written> list;
};

struct OneResult {
  Status status = kConverted;
  int code = 99;  // the source's format code
};

// Converts (or, with -n, analyses) `source` into `dest` ("-": standard
// output), with the report when asked for.
OneResult ConvertOne(const std::string& source, const std::string& dest, const Options& options,
                     const tavrel::NumberSettings& numbers, WrittenList& written,
                     Messages& messages);

std::string DirName(const std::string& path);
std::string BaseName(const std::string& path);

// The report of what a 4.0 source lost, collected during its conversion.
class Report : public tavrel::LineObserver {
 public:
  explicit Report(ReportForm form) : form_(form) {}
  void Lost(std::uint64_t line, tavrel::LossKind kind, const std::string& detail) override;
  // The lines and the count per kind, as text or JSON Lines.
  void Print(const std::string& source, Messages& messages) const;

 private:
  struct Entry {
    std::uint64_t line;
    tavrel::LossKind kind;
    std::string detail;
  };
  ReportForm form_;
  std::vector<Entry> entries_;
};

// tavconv -r: every file below `source` converted below `dest`.
int ConvertTree(const std::string& source, const std::string& dest, const Options& options,
                const tavrel::NumberSettings& numbers);

}  // namespace tavconv
