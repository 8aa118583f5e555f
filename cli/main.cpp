// tavconv: converts Tavrel data files from the command line, like cp.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "tavconv.h"
#include "tavrel.h"
#include "tavrel_version.h"
#include "texts.h"

using namespace tavconv;

int main(int argc, char** argv) {
  tavrel::PrepareProcess();  // before any thread: umask, SIGPIPE, the ending signals
  std::setlocale(LC_ALL, "");
  std::vector<std::string> arguments = tavrel::CommandLineArguments(argc, argv);
  if (!arguments.empty()) arguments.erase(arguments.begin());
  const Command command = ParseArguments(arguments);
  auto complain = [](const std::string& what) {
    std::fflush(stdout);  // the complaint comes last
    tavrel::PrintError("tavconv: " + what + "\n");
    return kFailed;
  };
  switch (command.action) {
    case Command::kWrong:
      return complain(command.wrong);
    case Command::kHelp:
      tavrel::PrintOut(kHelp);
      return tavrel::StandardOutputWritten() ? kConverted : kFailed;
    case Command::kVersion:
      tavrel::PrintOut(std::string("tavconv (Tavrel Converter) ") + tavrel::kVersion + "\n");
      return tavrel::StandardOutputWritten() ? kConverted : kFailed;
    case Command::kRun:
      break;
  }
  const Options& options = command.options;
  const Plan plan = MakePlan(options);
  if (!plan.wrong.empty()) return complain(plan.wrong + " (tavconv --help per l'aiuto)");

  Console console;
  console.quiet = options.quiet;
  console.data_only = options.report == ReportForm::kJson;
  for (const Job& job : plan.jobs) {
    if (job.dest == "-") console.output_taken = true;
  }
  const int status = RunPlan(plan, options, tavrel::UserNumberSettings(), console);
  // A report that could not be written all is a failure too.
  if (!tavrel::StandardOutputWritten())
    return complain("impossibile scrivere sullo standard output");
  return status;
}
