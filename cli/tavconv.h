// tavconv's core: its options, the plan of a run (which source goes where),
// the conversion of one file, and the run of a whole plan.  main.cpp only
// reads the command line and calls these.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tavrel.h"

namespace tavconv {

enum Status { kConverted = 0, kNotConvertible = 1, kFailed = 2 };
enum class ReportForm { kNone, kText, kJson };

struct Options {
  bool force = false;
  bool dry_run = false;  // -n: everything but writing
  bool recursive = false;
  bool update = false;  // -u: only where the destination is missing or older
  bool quiet = false;   // only errors and the closing line
  ReportForm report = ReportForm::kNone;
  unsigned threads = 0;  // 0: one per processor
  std::vector<std::string> operands;
};

// What the command line asks for.
struct Command {
  enum Action { kRun, kHelp, kVersion, kWrong } action = kRun;
  Options options;
  std::string wrong;  // kWrong: what is wrong, in Italian
};
// Reads the arguments after the program's name, as GNU programs do: short
// options bundled ("-rj2", "-fj 2"), long ones with "=" or a separate value
// ("--jobs=2", "--jobs 2"), options and operands in any order, "--" ending
// the options, "-" an operand.
Command ParseArguments(const std::vector<std::string>& arguments);

// Where tavconv's messages go, decided once per run.
struct Console {
  bool output_taken = false;  // standard output carries a converted file
  bool data_only = false;     // standard output carries only the JSON report
  bool quiet = false;         // only errors and the closing line
};

// What one file's conversion prints, kept in order to be printed at once:
// a batch prints its files' messages in the order of its sources.
class Messages {
 public:
  enum Kind { kOut, kErr, kData, kClosing };
  void Out(std::string text) { pieces_.emplace_back(kOut, std::move(text)); }
  void Err(std::string text) { pieces_.emplace_back(kErr, std::move(text)); }
  // A report for scripts (JSON Lines): standard output, kept for it.
  void Data(std::string text) { pieces_.emplace_back(kData, std::move(text)); }
  // The run's closing line: printed even when quiet.
  void Closing(std::string text) { pieces_.emplace_back(kClosing, std::move(text)); }
  // Writes and forgets them.  Messages go to standard error when standard
  // output carries a converted file or a report for scripts.
  void Flush(const Console& console);

 private:
  std::vector<std::pair<Kind, std::string>> pieces_;
};

// "tavconv: WHAT: WHY" and a line end, the name made safe for a terminal.
std::string Complaint(const std::string& what, const std::string& why);
// The run-time error as tavconv shows it: "errore 53 = Impossibile ...".
std::string ErrorText(const tavrel::RuntimeError& error);

// One source of a run and where it goes.
struct Job {
  enum class Kind {
    kConvert,  // convert `source` into `dest`
    kSkip,     // not a file to convert (a pipe, a device, a link to a folder): `why`
    kFail,     // refused before any conversion: `error`
    kRefuse,   // its destination is another source's in this run: `why`
  };
  Kind kind = Kind::kConvert;
  std::string source;  // "-": standard input
  std::string dest;    // "-": standard output
  std::uint64_t size = 0;
  std::string why;                    // kSkip, kRefuse
  tavrel::RuntimeError error{0, ""};  // kFail
};

// The jobs of a run, in the order of the operands and of the walk.
struct Plan {
  std::vector<Job> jobs;
  bool batch = false;  // several sources or a tree: a closing line
  std::string wrong;   // the command cannot run: why (then no jobs)
};
// The jobs for `options`: one source into a file or beside it, several into
// a folder, or (-r) the tree below a folder into the same tree below
// another.  Destinations the program names never coincide within one run
// (see DistinctNames).
Plan MakePlan(const Options& options);

// The 8.3 names for the convertible sources `names` (file names, in the
// order of the run) that go into one folder: each its proposal, except where
// proposals coincide; then every source of such a group keeps the first
// 6 - k and the last k characters of its base, with the smallest k from 1 to
// 5 that tells the group apart without meeting any other name of the
// folder, else is numbered "~1", "~2" ... in order.
std::vector<std::string> DistinctNames(const std::vector<std::string>& names);

// The identities of the destinations a run has written (or, with -n, would
// write), shared by the files converted at once: no file is written twice
// in one run, whatever link or spelling leads to it.
class Destinations {
 public:
  // `settled`: no folder is made while the object is used (a plan), so a
  // folder found missing is not looked for again.
  explicit Destinations(bool settled = false) : settled_(settled) {}
  // The source that wrote (or would write) `dest` earlier in this run, or "".
  std::string WrittenBy(const std::string& dest);
  // The same, where the caller has just looked at `dest`: `found` is its
  // identity, null when nothing is there.
  std::string WrittenBy(const std::string& dest, const tavrel::FileIdentity* found);
  // `dest` is `source`'s from now.  `placed`: the program has just put the
  // file there itself, and its identity is looked up only when another
  // destination's is compared with it.
  void Add(const std::string& dest, const std::string& source, bool placed = false);
  // WrittenBy, and Add when it is free: "" when `dest` is now `source`'s.
  std::string Claim(const std::string& dest, const std::string& source);
  std::mutex& mutex() { return mutex_; }
  // Destination folders known to exist: made or found by this run, so that
  // each is looked at and made once.  Under mutex().
  bool HasFolder(const std::string& folder) const { return made_.count(folder) != 0; }
  void AddFolder(const std::string& folder) { made_.insert(folder); }
  void ForgetFolder(const std::string& folder) { made_.erase(folder); }

 private:
  // The keys of `dest`: its folder's identity (or path) and its name; and,
  // where the file exists, the file itself.
  struct Keys {
    std::string by_name;
    std::string by_file;  // "" when there is no file
  };
  // `found` as for WrittenBy; `look` false when it is given.
  Keys KeysOf(const std::string& dest, bool look = true,
              const tavrel::FileIdentity* found = nullptr);
  std::string Find(const Keys& keys);
  bool settled_;
  std::mutex mutex_;
  std::map<std::string, std::string> by_key_;
  std::map<std::string, std::string> folders_;  // a folder's path: its key
  // Files placed whose identity is not entered yet: destination, source.
  std::vector<std::pair<std::string, std::string>> unlooked_;
  std::set<std::string> made_;
};

// What happened to one source.
struct Outcome {
  enum class Kind {
    kConverted,       // written (with -n: would be)
    kAlready35,       // a 3.5 file: nothing to do
    kNotConvertible,  // a library, an unknown or an empty file, or skipped
    kUpToDate,        // -u: the destination is newer
    kFailed,
  };
  Kind kind = Kind::kConverted;
  int code = 99;  // the source's format code
  bool wrote = false;
  int error = 0;  // kFailed: the run-time error, when there is one
  std::string error_text;
  Status status() const {
    return kind == Kind::kFailed                                       ? kFailed
           : kind == Kind::kNotConvertible || kind == Kind::kAlready35 ? kNotConvertible
                                                                       : kConverted;
  }
};

// Converts (or, with -n, tries without writing) one job, its messages into
// `messages`.
Outcome ConvertOne(const Job& job, const Options& options, unsigned threads,
                   const tavrel::NumberSettings& numbers, Destinations& destinations,
                   const Console& console, Messages& messages);

// Runs `count` tasks on `workers` threads, `work(i)` for each, and calls
// `done(i)` on the calling thread for each in order of i as soon as that one
// and all before it are finished.
void RunInOrder(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& done);

// Runs a whole plan: the files converted `options.threads` at a time, their
// messages printed in order, a closing line for a batch.  The exit status.
int RunPlan(const Plan& plan, const Options& options, const tavrel::NumberSettings& numbers,
            const Console& console);

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

}  // namespace tavconv
