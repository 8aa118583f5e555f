// tavconv -r: a tree of sources converted into a tree of destinations, N
// files at a time, the messages printed in the order of the walk.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tavconv.h"
#include "tavrel.h"

namespace tavconv {

namespace {

struct Job {
  std::string source;
  std::string dest;
  std::uint64_t size = 0;
  WrittenList* written = nullptr;  // the files of the run that go to `dest`
  Messages messages;
  OneResult result;
  bool done = false;
};

class Walk {
 public:
  Walk(const std::string& dest, bool analyse_only) : dest_(dest), analyse_only_(analyse_only) {}

  // The files below `folder` (to go below `target`), in the order of the names.
  void Into(const std::string& folder, const std::string& target) {
    std::vector<tavrel::FolderEntry> entries;
    try {
      entries = tavrel::ListFolder(folder);
    } catch (const tavrel::RuntimeError& error) {
      Job& job = Add(folder, "");
      job.messages.Out(folder + "\n");
      job.messages.Err("tavconv: " + folder + ": " + error.description() + "\n");
      job.result.status = kFailed;
      job.done = true;
      return;
    }
    for (const tavrel::FolderEntry& entry : entries) {
      const std::string path = tavrel::JoinPath(folder, entry.name);
      if (entry.type == tavrel::FolderEntry::Type::kFolder) {
        // The destination may lie inside the source: it is not walked into.
        if (!analyse_only_ && tavrel::SameFile(path, dest_)) continue;
        Into(path, tavrel::JoinPath(target, entry.name));
      } else if (entry.type == tavrel::FolderEntry::Type::kFile) {
        Add(path, tavrel::JoinPath(target, tavrel::ProposedName(entry.name))).size = entry.size;
      }
    }
  }

  std::vector<std::unique_ptr<Job>>& jobs() { return jobs_; }

 private:
  Job& Add(const std::string& source, const std::string& dest) {
    jobs_.push_back(std::make_unique<Job>());
    Job& job = *jobs_.back();
    job.source = source;
    job.dest = dest;
    // Sources that would go to one destination share its list: the first
    // placed keeps it, the others are refused as they would be one by one.
    std::unique_ptr<WrittenList>& list = by_dest_[dest];
    if (!list) list = std::make_unique<WrittenList>();
    job.written = list.get();
    return job;
  }

  std::string dest_;
  bool analyse_only_;
  std::vector<std::unique_ptr<Job>> jobs_;
  std::map<std::string, std::unique_ptr<WrittenList>> by_dest_;
};

// "48,2 MB": megabytes of 10^6 bytes with one decimal.
std::string Megabytes(std::uint64_t bytes) {
  const std::uint64_t tenths = (bytes + 50'000) / 100'000;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " MB";
}

}  // namespace

int ConvertTree(const std::string& source, const std::string& dest, const Options& options,
                const tavrel::NumberSettings& numbers) {
  auto complain = [](const std::string& what) {
    std::fflush(stdout);
    tavrel::PrintError("tavconv: " + what + "\n");
    return kFailed;
  };
  if (!tavrel::IsFolder(source)) return complain(source + " non è una cartella");
  if (!options.analyse_only) {
    try {
      tavrel::MakeFolders(dest);
    } catch (const tavrel::RuntimeError& error) {
      return complain(dest + ": " + error.description());
    }
  }
  Walk walk(dest, options.analyse_only);
  walk.Into(source, dest);
  std::vector<std::unique_ptr<Job>>& jobs = walk.jobs();

  // Each file on one thread: the files are the parallel work.
  Options one = options;
  one.threads = 1;
  unsigned workers = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  workers = std::clamp(workers, 1u, 8u);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<std::size_t> next = 0;
  auto work = [&] {
    for (std::size_t i; (i = next++) < jobs.size();) {
      Job& job = *jobs[i];
      if (!job.done) {
        try {
          if (!options.analyse_only) tavrel::MakeFolders(DirName(job.dest));
          job.result = ConvertOne(job.source, job.dest, one, numbers, *job.written, job.messages);
        } catch (const tavrel::RuntimeError& error) {
          job.messages.Out(job.source + "\n");
          job.messages.Err("tavconv: " + DirName(job.dest) + ": " + error.description() + "\n");
          job.result.status = kFailed;
        }
      }
      {
        std::lock_guard lock(mutex);
        job.done = true;
      }
      finished.notify_all();
    }
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < workers; ++t)
    threads.emplace_back(work);
  if (workers == 1) work();

  const bool progress = tavrel::StandardErrorIsTerminal();
  int status = kConverted;
  std::uint64_t converted = 0, already = 0, skipped = 0, failed = 0, bytes = 0;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    Job& job = *jobs[i];
    if (progress) {
      tavrel::PrintError("\r\033[K" + std::to_string(i) + " di " + std::to_string(jobs.size()) +
                         ": " + job.source);
      std::fflush(stderr);
    }
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return job.done; });
    }
    if (progress) tavrel::PrintError("\r\033[K");
    job.messages.Flush();
    std::fflush(stdout);
    bytes += job.size;
    status = std::max<int>(status, job.result.status);
    if (job.result.status == kFailed) {
      ++failed;
    } else if (job.result.status == kNotConvertible) {
      ++(job.result.code == 35 ? already : skipped);
    } else {
      ++converted;
    }
  }
  for (std::thread& thread : threads)
    thread.join();
  Messages summary;
  summary.Out("Convertiti " + std::to_string(converted) + ", già 3.5 " + std::to_string(already) +
              ", non convertibili " + std::to_string(skipped) + ", errori " +
              std::to_string(failed) + " (" + Megabytes(bytes) + ")\n");
  summary.Flush();
  return status;
}

}  // namespace tavconv
