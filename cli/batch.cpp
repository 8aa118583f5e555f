// A run of tavconv: its files converted N at a time, their messages printed
// in the order of the sources, and the closing line of a batch.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "printable.h"
#include "tavconv.h"

namespace tavconv {

void Messages::Flush(const Console& console) {
  for (const auto& [kind, text] : pieces_) {
    if (kind == kOut && console.quiet) continue;
    const bool to_error = kind == kErr || (kind != kData && console.output_taken) ||
                          ((kind == kOut || kind == kClosing) && console.data_only);
    if (to_error) {
      std::fflush(stdout);  // a complaint comes after what it follows
      tavrel::PrintError(text);
    } else {
      tavrel::PrintOut(text);
    }
  }
  pieces_.clear();
}

void RunInOrder(std::size_t count, unsigned workers, const std::function<void(std::size_t)>& work,
                const std::function<void(std::size_t)>& done) {
  std::mutex mutex;
  std::condition_variable finished;
  std::vector<char> ready(count, 0);
  std::atomic<std::size_t> next = 0;
  auto worker = [&] {
    for (std::size_t i; (i = next++) < count;) {
      work(i);
      {
        std::lock_guard lock(mutex);
        ready[i] = 1;
      }
      finished.notify_all();
    }
  };
  // The calling thread only prints: `workers` files are converted at once.
  std::vector<std::thread> threads;
  for (unsigned t = 0; t < workers && t < count; ++t) {
    try {
      threads.emplace_back(worker);
    } catch (const std::system_error&) {
      break;  // the threads that could start do the work
    }
  }
  if (threads.empty()) worker();  // not even one: the calling thread does it all
  for (std::size_t i = 0; i < count; ++i) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return ready[i] != 0; });
    }
    done(i);
  }
  for (std::thread& thread : threads)
    thread.join();
}

namespace {

// "48,2 MB": megabytes of 10^6 bytes with one decimal.
std::string Megabytes(std::uint64_t bytes) {
  const std::uint64_t tenths = (bytes + 50'000) / 100'000;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " MB";
}

const char* OutcomeKey(Outcome::Kind kind) {
  switch (kind) {
    case Outcome::Kind::kConverted:
      return "convertito";
    case Outcome::Kind::kAlready35:
      return "già_3.5";
    case Outcome::Kind::kNotConvertible:
      return "non_convertibile";
    case Outcome::Kind::kUpToDate:
      return "già_aggiornato";
    case Outcome::Kind::kFailed:
      return "errore";
  }
  return "errore";
}

// One JSON object for a source: what became of it.
std::string FileObject(const Job& job, const Outcome& outcome, bool dry_run) {
  nlohmann::json object = {{"file", job.source == "-" ? "standard input" : job.source},
                           {"format", outcome.code},
                           {"outcome", OutcomeKey(outcome.kind)}};
  if (outcome.wrote || (dry_run && outcome.kind == Outcome::Kind::kConverted))
    object["dest"] = job.dest == "-" ? "standard output" : job.dest;
  if (outcome.kind == Outcome::Kind::kFailed) {
    object["error"] = {{"number", outcome.error}, {"text", outcome.error_text}};
  }
  return object.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

}  // namespace

int RunPlan(const Plan& plan, const Options& options, const tavrel::NumberSettings& numbers,
            const Console& console) {
  const std::vector<Job>& jobs = plan.jobs;
  unsigned workers = options.threads != 0 ? options.threads : std::thread::hardware_concurrency();
  workers = std::clamp(workers, 1u, 8u);
  // One file: its own threads convert a large 4.0 file in blocks.  A batch:
  // the files are the parallel work.
  const bool single = jobs.size() == 1;
  const unsigned per_file = single ? options.threads : 1;
  std::vector<Messages> messages(jobs.size());
  std::vector<Outcome> outcomes(jobs.size());
  Destinations destinations;

  const bool progress = plan.batch && !options.quiet && tavrel::StandardErrorIsTerminal();
  auto show_progress = [&](std::size_t i) {
    if (!progress || i >= jobs.size()) return;
    tavrel::PrintError("\r\033[K" + std::to_string(i) + " di " + std::to_string(jobs.size()) +
                       ": " + Printable(jobs[i].source));
    std::fflush(stderr);
  };
  int status = kConverted;
  std::uint64_t converted = 0, already = 0, up_to_date = 0, other = 0, failed = 0, bytes = 0;
  show_progress(0);
  RunInOrder(
      jobs.size(), single ? 1 : workers,
      [&](std::size_t i) {
        outcomes[i] =
            ConvertOne(jobs[i], options, per_file, numbers, destinations, console, messages[i]);
      },
      [&](std::size_t i) {
        if (progress) tavrel::PrintError("\r\033[K");
        const Outcome& outcome = outcomes[i];
        if (options.report == ReportForm::kJson)
          messages[i].Data(FileObject(jobs[i], outcome, options.dry_run));
        messages[i].Flush(console);
        std::fflush(stdout);
        bytes += jobs[i].size;
        status = std::max<int>(status, outcome.status());
        switch (outcome.kind) {
          case Outcome::Kind::kConverted:
            ++converted;
            break;
          case Outcome::Kind::kAlready35:
            ++already;
            break;
          case Outcome::Kind::kUpToDate:
            ++up_to_date;
            break;
          case Outcome::Kind::kNotConvertible:
            ++other;
            break;
          case Outcome::Kind::kFailed:
            ++failed;
            break;
        }
        show_progress(i + 1);
      });
  if (plan.batch) {
    Messages closing;
    std::string line =
        "Convertiti " + std::to_string(converted) + ", già 3.5 " + std::to_string(already);
    if (options.update) line += ", già aggiornati " + std::to_string(up_to_date);
    line += ", non convertibili " + std::to_string(other) + ", errori " + std::to_string(failed);
    if (options.recursive) line += " (" + Megabytes(bytes) + ")";
    closing.Closing(line + "\n");
    closing.Flush(console);
  }
  return status;
}

}  // namespace tavconv
