// The plan of a run: which source goes where, named so that no two
// destinations of the run coincide.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "printable.h"
#include "tavconv.h"

namespace tavconv {

std::vector<std::string> DistinctNames(const std::vector<std::string>& names) {
  std::vector<std::string> chosen(names.size());
  std::map<std::string, std::vector<std::size_t>> by_proposal;
  std::vector<std::string> order;  // proposals in the order of their first source
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string proposal = tavrel::ProposedName(names[i]);
    auto& group = by_proposal[proposal];
    if (group.empty()) order.push_back(proposal);
    group.push_back(i);
  }
  // A proposal that meets no other stays as it is, and no group may take it.
  std::set<std::string> taken;
  for (const auto& [proposal, group] : by_proposal) {
    if (group.size() == 1) {
      chosen[group[0]] = proposal;
      taken.insert(proposal);
    }
  }
  for (const std::string& proposal : order) {
    const std::vector<std::size_t>& group = by_proposal[proposal];
    if (group.size() == 1) continue;
    bool named = false;
    for (std::size_t keep = 1; keep <= 5 && !named; ++keep) {
      std::set<std::string> these;
      for (const std::size_t i : group) {
        const std::string name = tavrel::ProposedName(names[i], keep);
        if (taken.count(name) != 0 || !these.insert(name).second) break;
      }
      if (these.size() != group.size()) continue;
      for (const std::size_t i : group)
        chosen[i] = tavrel::ProposedName(names[i], keep);
      taken.insert(these.begin(), these.end());
      named = true;
    }
    if (named) continue;
    unsigned number = 1;
    for (const std::size_t i : group) {
      while (taken.count(tavrel::NumberedName(names[i], number)) != 0)
        ++number;
      chosen[i] = tavrel::NumberedName(names[i], number++);
      taken.insert(chosen[i]);
    }
  }
  return chosen;
}

namespace {

std::string FolderOfDest(const std::string& path) {
  return tavrel::FolderOf(path);
}

Job Failed(const std::string& source, const tavrel::RuntimeError& error) {
  Job job;
  job.kind = Job::Kind::kFail;
  job.source = source;
  job.error = error;
  return job;
}

// The walk of -r: every entry below `folder` accounted for, files to go
// below `target` (named later), in the order of the names.
class Walk {
 public:
  Walk(const std::string& dest, std::vector<Job>& jobs, std::vector<bool>& named)
      : dest_(dest), jobs_(jobs), named_(named) {}

  void Into(const std::string& folder, const std::string& target, bool top) {
    std::vector<tavrel::FolderEntry> entries;
    try {
      entries = tavrel::ListFolder(tavrel::ShortPath(folder).get(), top);
    } catch (const tavrel::RuntimeError& error) {
      Add(Failed(folder, error), false);
      return;
    }
    using Type = tavrel::FolderEntry::Type;
    for (const tavrel::FolderEntry& entry : entries) {
      const std::string path = tavrel::JoinPath(folder, entry.name);
      Job job;
      job.source = path;
      switch (entry.type) {
        case Type::kFolder:
          // The destination may lie inside the source: it is not walked into.
          if (tavrel::SameFile(tavrel::ShortPath(path).get(), tavrel::ShortPath(dest_).get()))
            continue;
          Into(path, tavrel::JoinPath(target, entry.name), false);
          continue;
        case Type::kFile:
          job.dest = tavrel::JoinPath(target, entry.name);  // the name comes later
          job.size = entry.size;
          Add(std::move(job), true);
          continue;
        case Type::kFolderLink:
          job.kind = Job::Kind::kSkip;
          job.why = "collegamento a una cartella, non seguito";
          break;
        case Type::kNotRegular:
          job.kind = Job::Kind::kSkip;
          job.why = "non è un file ordinario";
          break;
        case Type::kUnexamined:
          job = Failed(path, tavrel::RuntimeError(entry.error, entry.why));
          break;
      }
      Add(std::move(job), false);
    }
  }

 private:
  void Add(Job job, bool named) {
    jobs_.push_back(std::move(job));
    named_.push_back(named);
  }
  std::string dest_;
  std::vector<Job>& jobs_;
  std::vector<bool>& named_;
};

// Gives the jobs the program names (`named`, whose dest holds the folder
// and the source's name) their 8.3 names, distinct within each folder.
// Only sources that will be converted count: where proposals coincide, the
// members' headers are read, and a file that is no convertible drawing
// keeps its plain proposal without taking a name from the others.
void NameDestinations(std::vector<Job>& jobs, const std::vector<bool>& named) {
  std::map<std::string, std::vector<std::size_t>> by_folder;
  std::vector<std::string> folders;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (!named[i]) continue;
    auto& members = by_folder[FolderOfDest(jobs[i].dest)];
    if (members.empty()) folders.push_back(FolderOfDest(jobs[i].dest));
    members.push_back(i);
  }
  for (const std::string& folder : folders) {
    const std::vector<std::size_t>& members = by_folder[folder];
    std::map<std::string, std::size_t> count;
    for (const std::size_t i : members)
      ++count[tavrel::ProposedName(tavrel::NameOf(jobs[i].dest))];
    std::vector<std::size_t> convertible;
    for (const std::size_t i : members) {
      const std::string name = tavrel::NameOf(jobs[i].dest);
      bool counts = true;
      if (count[tavrel::ProposedName(name)] > 1) {
        try {
          counts =
              tavrel::IsConvertible(tavrel::RecogniseFile(tavrel::ShortPath(jobs[i].source).get()));
        } catch (const tavrel::RuntimeError&) {
          // A link, or unreadable now: it keeps a name of its own.
        }
      }
      if (counts) {
        convertible.push_back(i);
      } else {
        jobs[i].dest = tavrel::JoinPath(folder, tavrel::ProposedName(name));
      }
    }
    std::vector<std::string> names;
    for (const std::size_t i : convertible)
      names.push_back(tavrel::NameOf(jobs[i].dest));
    const std::vector<std::string> chosen = DistinctNames(names);
    for (std::size_t k = 0; k < convertible.size(); ++k)
      jobs[convertible[k]].dest = tavrel::JoinPath(folder, chosen[k]);
  }
}

// A source operand: a file, standard input, or something refused at once.
Job SourceJob(const std::string& source, const Options& options) {
  Job job;
  job.source = source;
  if (source == "-") return job;
  if (tavrel::IsFolder(source)) {
    job.kind = Job::Kind::kFail;
    job.error = tavrel::RuntimeError(
        tavrel::err::kPathFileAccess,
        options.recursive ? "è una cartella" : "è una cartella (usare -r per convertirne i file)");
  } else if (!tavrel::FileExists(source)) {
    // Said of the source, before anything about the destination.
    job.kind = Job::Kind::kFail;
    job.error = tavrel::MakeError(tavrel::err::kFileNotFound);
  }
  return job;
}

// Each destination to one source, the first in the order of the run, even
// where links or a folder that ignores case lead two paths to one file: the
// real run and -n refuse the same sources.
void ClaimDestinations(std::vector<Job>& jobs) {
  Destinations claimed(true);
  for (Job& job : jobs) {
    if (job.kind != Job::Kind::kConvert || job.dest == "-") continue;
    const std::string earlier = claimed.Claim(job.dest, job.source);
    if (earlier.empty()) continue;
    job.kind = Job::Kind::kRefuse;
    job.why = "è già la destinazione di " + Printable(earlier) +
              " in questa esecuzione: " + Printable(job.source) + " non viene convertito";
  }
}

Plan MakeJobs(const Options& options) {
  Plan plan;
  std::vector<std::string> operands;
  for (const std::string& operand : options.operands) {
    try {
      for (std::string& each : tavrel::ExpandWildcards(operand))
        operands.push_back(std::move(each));
    } catch (const tavrel::RuntimeError&) {
      plan.wrong = Printable(operand) + ": nessun file corrisponde";
      return plan;
    }
  }
  std::vector<bool> named;
  if (options.recursive) {
    if (operands.size() != 2) {
      plan.wrong = "con -r servono CARTELLA_SORGENTE e CARTELLA_DESTINAZIONE";
      return plan;
    }
    const std::string& source = operands[0];
    if (!tavrel::IsFolder(source)) {
      plan.wrong = Printable(source) + (tavrel::FileExists(source) ? " non è una cartella"
                                                                   : ": la cartella non esiste");
      return plan;
    }
    plan.batch = true;
    Walk(operands[1], plan.jobs, named).Into(source, operands[1], true);
    NameDestinations(plan.jobs, named);
    return plan;
  }
  if (operands.size() == 1) {
    Job job = SourceJob(operands[0], options);
    if (operands[0] == "-") {
      job.dest = "-";
    } else {
      job.dest = tavrel::JoinPath(tavrel::FolderOf(operands[0]),
                                  tavrel::ProposedName(tavrel::NameOf(operands[0])));
    }
    plan.jobs.push_back(std::move(job));
    return plan;
  }
  if (operands.size() == 2 && !tavrel::IsFolder(operands[1])) {
    Job job = SourceJob(operands[0], options);
    job.dest = operands[1];
    plan.jobs.push_back(std::move(job));
    return plan;
  }
  const std::string folder = operands.back();
  if (!tavrel::IsFolder(folder)) {
    plan.wrong = "la destinazione di più sorgenti deve essere una cartella: " + Printable(folder);
    return plan;
  }
  operands.pop_back();
  plan.batch = operands.size() > 1;
  for (const std::string& source : operands) {
    Job job = SourceJob(source, options);
    if (source == "-") {
      job.kind = Job::Kind::kFail;
      job.error = tavrel::RuntimeError(tavrel::err::kBadFileName,
                                       "lo standard input non ha un nome da proporre");
    }
    const bool is_named = job.kind == Job::Kind::kConvert;
    if (is_named) job.dest = tavrel::JoinPath(folder, tavrel::NameOf(source));
    plan.jobs.push_back(std::move(job));
    named.push_back(is_named);
  }
  NameDestinations(plan.jobs, named);
  return plan;
}

}  // namespace

Plan MakePlan(const Options& options) {
  Plan plan = MakeJobs(options);
  ClaimDestinations(plan.jobs);
  return plan;
}

}  // namespace tavconv
