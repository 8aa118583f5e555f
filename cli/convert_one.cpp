// The conversion of one source of a run, with every check a destination
// needs first.
#include <optional>
#include <string>

#include "printable.h"
#include "tavconv.h"

namespace tavconv {

namespace {

// Errors about the data read, where the line tells the user where to look;
// a file error (a full disk, a device) is about no line.
bool IsAboutALine(int number) {
  return number < 50 || number == tavrel::err::kPastEnd;
}

// Collects what the analysis shows, to print it afterwards.
class PrintingSink : public tavrel::AnalysisSink {
 public:
  void SetLabel(tavrel::Label label, const std::string& text) override {
    if (label == tavrel::Label::kTipoFile) format_ = text;
    // Only the outcome that follows the format: not the waiting text.
    if (label == tavrel::Label::kConvPreview && !format_.empty()) outcome_ = text;
  }
  void Repaint() override {}
  void SetReady(bool) override {}
  void Failed(const tavrel::RuntimeError& error, std::uint64_t line) override {
    error_ = error;
    line_ = IsAboutALine(error.number()) ? line : 0;
  }

  void Print(Messages& messages) const {
    if (!format_.empty()) messages.Out("  " + format_ + "\n");
    if (!outcome_.empty()) messages.Out("  " + outcome_ + "\n");
  }
  const std::optional<tavrel::RuntimeError>& error() const { return error_; }
  std::string ErrorLine() const {
    std::string text = ErrorText(*error_);
    if (line_ > 0) text += " (riga " + std::to_string(line_) + ")";
    return text;
  }

 private:
  std::string format_;
  std::string outcome_;
  std::optional<tavrel::RuntimeError> error_;
  std::uint64_t line_ = 0;
};

// What a destination folder that -n does not make would meet: nothing, or
// the error of making it.
std::optional<tavrel::RuntimeError> FolderTrouble(const std::string& folder) {
  for (std::string at = folder;; at = tavrel::FolderOf(at)) {
    const tavrel::ShortPath reach(at);
    if (tavrel::IsFolder(reach.get())) return std::nullopt;
    if (tavrel::FileExists(reach.get())) return tavrel::MakeError(tavrel::err::kPathFileAccess);
    if (tavrel::FolderOf(at) == at) return std::nullopt;
  }
}

// Whether the source is a convertible drawing; true when that cannot be
// told beforehand (a link, a pipe): its analysis says what it is.
bool WillConvert(const std::string& source) {
  try {
    return tavrel::IsConvertible(tavrel::RecogniseFile(source));
  } catch (const tavrel::RuntimeError&) {
    return true;
  }
}

}  // namespace

std::string Complaint(const std::string& what, const std::string& why) {
  return "tavconv: " + Printable(what) + ": " + why + "\n";
}

std::string ErrorText(const tavrel::RuntimeError& error) {
  return "errore " + std::to_string(error.number()) + " = " + error.description();
}

Outcome ConvertOne(const Job& job, const Options& options, unsigned threads,
                   const tavrel::NumberSettings& numbers, Destinations& destinations,
                   const Console&, Messages& messages) {
  Outcome result;
  const std::string& source = job.source;
  const std::string& dest = job.dest;
  messages.Out(Printable(source == "-" ? "standard input" : source) + "\n");
  auto fail = [&](const std::string& what, const std::string& why, int number = 0) {
    messages.Err(Complaint(what, why));
    result.kind = Outcome::Kind::kFailed;
    result.error = number;
    result.error_text = why;
    return result;
  };
  auto fail_with = [&](const std::string& what, const tavrel::RuntimeError& error) {
    return fail(what, ErrorText(error), error.number());
  };
  if (job.kind == Job::Kind::kSkip) {
    messages.Out("  saltato: " + job.why + "\n");
    result.kind = Outcome::Kind::kNotConvertible;
    return result;
  }
  if (job.kind == Job::Kind::kFail) return fail_with(source, job.error);
  if (job.kind == Job::Kind::kRefuse) return fail(dest, job.why);

  const bool from_stdin = source == "-";
  const bool to_stdout = dest == "-";
  const bool dry_run = options.dry_run;
  std::optional<tavrel::PrivateFile> input;
  std::optional<tavrel::PrivateFile> spool;
  try {
    if (from_stdin) {
      input.emplace(to_stdout ? std::string() : dest);  // beside a destination file
      tavrel::CopyStandardInputTo(input->path());
    }
  } catch (const tavrel::RuntimeError& error) {
    return fail("standard input", ErrorText(error), error.number());
  }
  // Every use of a path goes through its short form (the same path, unless
  // the tree is deeper than the system's longest path); messages name the
  // path itself.
  const tavrel::ShortPath source_at(from_stdin ? std::string() : source);
  const std::string read_from = from_stdin ? input->path() : source_at.get();
  const tavrel::ShortPath dest_at(to_stdout ? std::string() : dest);
  const std::string& write_to = to_stdout ? dest : dest_at.get();

  // The destination's checks, in the order the user needs them.
  tavrel::FileIdentity found;
  const bool there = !to_stdout && tavrel::IdentityOf(write_to, found);
  if (!to_stdout) {
    if (there) {
      tavrel::FileIdentity own;
      if (tavrel::IdentityOf(read_from, own) && own == found)
        return fail(dest, "è il file sorgente stesso");
    }
    if (there && !tavrel::IsFolder(write_to)) {
      int code = 99;
      try {
        code = tavrel::RecogniseFile(write_to);
      } catch (const tavrel::RuntimeError&) {
        // Not readable as a drawing: the checks below decide.
      }
      if (tavrel::IsConvertible(code)) {
        return fail(dest, "è un disegno Tavrel ancora da convertire e non viene mai sostituito");
      }
      std::int64_t dest_time = 0, source_time = 0;
      if (options.update && tavrel::ChangeTimeOf(write_to, dest_time) &&
          tavrel::ChangeTimeOf(read_from, source_time) && dest_time >= source_time) {
        messages.Out("  già aggiornato: " + Printable(dest) + "\n");
        result.kind = Outcome::Kind::kUpToDate;
        return result;
      }
      if (!options.force && !options.update)
        return fail(dest, "esiste già (usare -f per sovrascriverlo)");
      try {
        tavrel::CheckReplaceable(write_to);
      } catch (const tavrel::RuntimeError& error) {
        return fail_with(dest, error);
      }
    }
    {
      std::lock_guard lock(destinations.mutex());
      const std::string earlier = destinations.WrittenBy(dest, there ? &found : nullptr);
      if (!earlier.empty()) {
        return fail(dest, "è già stato scritto in questa esecuzione da " + Printable(earlier) +
                              ": " + Printable(source) + " non viene convertito");
      }
    }
    if (dry_run) {
      if (const auto trouble = FolderTrouble(tavrel::FolderOf(dest)))
        return fail_with(tavrel::FolderOf(dest), *trouble);
    }
  }

  tavrel::AnalysisRequest request;
  request.folder = tavrel::FolderOf(read_from);
  request.name = tavrel::NameOf(read_from);
  request.numbers = numbers;
  request.threads = threads;
  Report losses(options.report);
  if (options.report != ReportForm::kNone) request.observer = &losses;
  std::optional<tavrel::ShortPath> placed;  // outlives the file placed through it
  std::optional<tavrel::NewFile> file;
  try {
    if (to_stdout || dry_run) {
      // Converted into a private spool: -n finds every error the real run
      // would, and standard output gets only a complete conversion.
      spool.emplace();
      request.output_path = spool->path();
    } else {
      // No folder is made for a file that will not be converted, and each
      // folder once in a run.
      const std::string folder = tavrel::FolderOf(dest);
      bool known;
      {
        std::lock_guard lock(destinations.mutex());
        known = destinations.HasFolder(folder);
      }
      if (!known && !tavrel::IsFolder(tavrel::FolderOf(write_to)) && !WillConvert(read_from)) {
        request.convert = false;
      } else {
        placed.emplace(dest, true);
        auto make_folders = [&] {
          tavrel::MakeFolders(tavrel::FolderOf(placed->get()));
          std::lock_guard lock(destinations.mutex());
          destinations.AddFolder(folder);
        };
        if (!known) make_folders();
        try {
          file.emplace(placed->get());
        } catch (const tavrel::RuntimeError&) {
          if (!known) throw;
          // Removed since it was made: made again.
          {
            std::lock_guard lock(destinations.mutex());
            destinations.ForgetFolder(folder);
          }
          make_folders();
          file.emplace(placed->get());
        }
        request.output_file = &*file;
      }
    }
  } catch (const tavrel::RuntimeError& error) {
    return fail_with(to_stdout || dry_run ? std::string("file temporaneo") : dest, error);
  }

  PrintingSink sink;
  const tavrel::AnalysisOutcome outcome = tavrel::Analizza(request, sink);
  result.code = outcome.code;
  sink.Print(messages);
  if (outcome.failed) return fail(source, sink.ErrorLine(), sink.error()->number());
  if (options.report != ReportForm::kNone && outcome.code == 40) losses.Print(source, messages);
  if (!tavrel::IsConvertible(outcome.code)) {
    result.kind = outcome.code == 35 ? Outcome::Kind::kAlready35 : Outcome::Kind::kNotConvertible;
    return result;
  }
  if (dry_run) {
    const bool replaces = !to_stdout && tavrel::FileExists(write_to);
    messages.Out("  -> " + Printable(to_stdout ? std::string("standard output") : dest) +
                 (replaces ? " (-n: non scritto; sostituirebbe il file esistente)\n"
                           : " (-n: non scritto)\n"));
    return result;
  }
  try {
    if (to_stdout) {
      tavrel::CopyToStandardOutput(spool->path());
      result.wrote = true;
      messages.Out("  -> standard output\n");
      return result;
    }
    std::lock_guard lock(destinations.mutex());
    // Checked again where it counts: two sources may reach one file at once.
    // Where nothing stood at the destination, the file is placed without
    // replacing, and only a file found there now is looked at.
    auto written_earlier = [&](const std::string& earlier) {
      return fail(dest, "è già stato scritto in questa esecuzione da " + Printable(earlier) + ": " +
                            Printable(source) + " non viene convertito");
    };
    const bool replace = options.force || options.update;
    std::string earlier =
        there ? destinations.WrittenBy(dest) : destinations.WrittenBy(dest, nullptr);
    if (!earlier.empty()) return written_earlier(earlier);
    if (there) {
      file->Place(replace);
    } else {
      try {
        file->Place(false);
      } catch (const tavrel::RuntimeError& error) {
        if (error.number() != tavrel::err::kFileExists) throw;
        earlier = destinations.WrittenBy(dest);
        if (!earlier.empty()) return written_earlier(earlier);
        if (!replace) throw;
        file->Place(true);
      }
    }
    destinations.Add(dest, source, true);
  } catch (const tavrel::RuntimeError& error) {
    return fail(
        to_stdout ? std::string("standard output") : dest,
        error.number() == tavrel::err::kFileExists ? std::string("esiste già") : ErrorText(error),
        error.number());
  }
  result.wrote = true;
  messages.Out("  -> " + Printable(dest) + "\n");
  return result;
}

Destinations::Keys Destinations::KeysOf(const std::string& dest, bool look,
                                        const tavrel::FileIdentity* found) {
  Keys keys;
  const std::string folder = tavrel::FolderOf(dest);
  auto known = folders_.find(folder);
  if (known == folders_.end()) {
    tavrel::FileIdentity identity;
    if (tavrel::IdentityOf(tavrel::ShortPath(folder).get(), identity)) {
      known = folders_
                  .emplace(folder, "d" + std::to_string(identity.volume) + ":" +
                                       std::to_string(identity.index) + "/")
                  .first;
    } else if (settled_) {
      known = folders_.emplace(folder, "p" + folder + "/").first;
    } else {
      // A folder not made yet is known by its path until it is.
      keys.by_name = "p" + dest;
      return keys;
    }
  }
  keys.by_name = known->second + tavrel::NameOf(dest);
  // Where the folder itself is missing, so is the file.
  if (known->second[0] == 'p') return keys;
  tavrel::FileIdentity identity;
  if (look ? tavrel::IdentityOf(tavrel::ShortPath(dest).get(), identity) : found != nullptr) {
    if (!look) identity = *found;
    keys.by_file = "f" + std::to_string(identity.volume) + ":" + std::to_string(identity.index);
  }
  return keys;
}

std::string Destinations::Find(const Keys& keys) {
  // A file that exists may be one placed earlier under another spelling:
  // the identities of those placed are entered now, once.
  if (!keys.by_file.empty()) {
    for (const auto& [dest, source] : unlooked_) {
      tavrel::FileIdentity identity;
      if (tavrel::IdentityOf(tavrel::ShortPath(dest).get(), identity)) {
        by_key_["f" + std::to_string(identity.volume) + ":" + std::to_string(identity.index)] =
            source;
      }
    }
    unlooked_.clear();
  }
  for (const std::string* key : {&keys.by_file, &keys.by_name}) {
    if (key->empty()) continue;
    const auto found = by_key_.find(*key);
    if (found != by_key_.end()) return found->second;
  }
  return {};
}

std::string Destinations::WrittenBy(const std::string& dest) {
  return Find(KeysOf(dest));
}

std::string Destinations::WrittenBy(const std::string& dest, const tavrel::FileIdentity* found) {
  return Find(KeysOf(dest, false, found));
}

void Destinations::Add(const std::string& dest, const std::string& source, bool placed) {
  const Keys keys = placed ? KeysOf(dest, false) : KeysOf(dest);
  by_key_[keys.by_name] = source;
  if (!keys.by_file.empty()) by_key_[keys.by_file] = source;
  if (placed) unlooked_.emplace_back(dest, source);
}

std::string Destinations::Claim(const std::string& dest, const std::string& source) {
  const Keys keys = KeysOf(dest);
  std::string earlier = Find(keys);
  if (earlier.empty()) {
    by_key_[keys.by_name] = source;
    if (!keys.by_file.empty()) by_key_[keys.by_file] = source;
  }
  return earlier;
}

}  // namespace tavconv
