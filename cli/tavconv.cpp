// tavconv: converts Tavrel data files from the command line, like cp.
//
//   tavconv [-f] [-j N] SOURCE [DEST]
//   tavconv [-f] [-j N] SOURCE... DIR
//   tavconv -n SOURCE...
#include <charconv>
#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavrel.h"
#include "tavrel_version.h"

namespace {

constexpr std::string_view kHelp =
    "Uso: tavconv [-f] [-j N] SORGENTE [DESTINAZIONE]\n"
    "     tavconv [-f] [-j N] SORGENTE... CARTELLA\n"
    "     tavconv -n SORGENTE...\n"
    "\n"
    "Converte file di dati Tavrel (.SCH, .PCB) dai formati 4.0 e 3.3, 3.4, 3.6,\n"
    "3.7, 3.8 per Dos nel formato 3.5.\n"
    "\n"
    "Senza DESTINAZIONE il file convertito va accanto al sorgente, con il nome\n"
    "proposto in formato Dos 8+3 (\"3_\" seguito dal nome del sorgente).\n"
    "Con una CARTELLA ogni sorgente va in quella cartella con il nome proposto.\n"
    "Il sorgente non viene mai modificato; il file di destinazione compare solo\n"
    "a conversione completata, e un'interruzione non lascia file a metà.\n"
    "Si sostituisce soltanto un file ordinario, che conserva i suoi permessi;\n"
    "un file già scritto nella stessa esecuzione non viene mai riscritto.\n"
    "\n"
    "Opzioni:\n"
    "  -f, --force  sovrascrive un file di destinazione esistente\n"
    "  -n           analizza soltanto, senza scrivere nulla\n"
    "  -j N         converte i file 4.0 grandi con N thread, da 1 a 8\n"
    "               (predefinito: uno per processore, al massimo 8)\n"
    "  -h, --help   mostra questo aiuto\n"
    "  --version    mostra la versione\n"
    "\n"
    "Stato di uscita: 0 se ogni sorgente è stato convertito, 1 se qualche\n"
    "sorgente non è convertibile, 2 in caso di errore.\n";

enum Status { kConverted = 0, kNotConvertible = 1, kFailed = 2 };

struct Options {
  bool force = false;
  bool analyse_only = false;
  unsigned threads = 0;  // 0: one per processor
  std::vector<std::string> operands;
};

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
    error_ = "errore " + std::to_string(error.number()) + " = " + error.description();
    if (line > 0) error_ += " (riga " + std::to_string(line) + ")";
  }

  void Print(const std::string& source) const {
    tavrel::PrintOut(source + "\n");
    if (!format_.empty()) tavrel::PrintOut("  " + format_ + "\n");
    if (!outcome_.empty()) tavrel::PrintOut("  " + outcome_ + "\n");
    if (!error_.empty()) {
      std::fflush(stdout);
      tavrel::PrintError("tavconv: " + source + ": " + error_ + "\n");
    }
  }

 private:
  std::string format_;
  std::string outcome_;
  std::string error_;
};

void Complain(const std::string& what) {
  std::fflush(stdout);  // the complaint comes last
  tavrel::PrintError("tavconv: " + what + "\n");
}

// A destination written earlier in this run, and by which source.
struct Written {
  std::string dest;
  std::string source;
};

Status ConvertOne(const std::string& source, const std::string& dest, const Options& options,
                  const tavrel::NumberSettings& numbers, std::vector<Written>& written) {
  tavrel::AnalysisRequest request;
  request.folder = tavrel::FolderOf(source);
  request.name = tavrel::NameOf(source);
  request.numbers = numbers;
  request.convert = !options.analyse_only;
  request.threads = options.threads;

  std::optional<tavrel::NewFile> file;
  if (request.convert) {
    auto refuse = [&source](const std::string& why) {
      tavrel::PrintOut(source + "\n");
      Complain(why);
      return kFailed;
    };
    for (const Written& earlier : written) {
      if (earlier.dest == dest || tavrel::SameFile(earlier.dest, dest)) {
        return refuse(dest + " è già stato scritto in questa esecuzione da " + earlier.source +
                      ": " + source + " non viene convertito");
      }
    }
    if (!options.force && tavrel::FileExists(dest)) {
      return refuse(dest + " esiste già (usare -f per sovrascriverlo)");
    }
    if (tavrel::SameFile(source, dest)) return refuse(dest + " è il file sorgente stesso");
    try {
      if (options.force) tavrel::CheckReplaceable(dest);
      file.emplace(dest);
    } catch (const tavrel::RuntimeError& error) {
      return refuse(dest + ": " + error.description());
    }
    request.output_file = &*file;
  }

  PrintingSink sink;
  const tavrel::AnalysisOutcome outcome = tavrel::Analizza(request, sink);
  sink.Print(source);
  if (outcome.failed) return kFailed;
  if (!tavrel::IsConvertible(outcome.code)) return kNotConvertible;
  if (!request.convert) return kConverted;
  try {
    file->Place(options.force);
  } catch (const tavrel::RuntimeError& error) {
    Complain(dest + ": " +
             (error.number() == tavrel::err::kFileExists ? std::string("esiste già")
                                                         : error.description()));
    return kFailed;
  }
  written.push_back({dest, source});
  tavrel::PrintOut("  -> " + dest + "\n");
  return kConverted;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  Options options;
  bool operands_only = false;
  const std::vector<std::string> args = tavrel::CommandLineArguments(argc, argv);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto help = [] {
      tavrel::PrintOut(kHelp);
      return std::fflush(stdout) == 0 ? kConverted : kFailed;
    };
    if (operands_only || arg == "-" || arg.empty() || arg[0] != '-') {
      options.operands.push_back(arg);
    } else if (arg == "--") {
      operands_only = true;
    } else if (arg == "--help") {
      return help();
    } else if (arg == "--version") {
      tavrel::PrintOut(std::string("tavconv (Tavrel Converter) ") + tavrel::kVersion + "\n");
      return std::fflush(stdout) == 0 ? kConverted : kFailed;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg.starts_with("--")) {
      Complain("opzione sconosciuta: " + arg + " (tavconv --help per l'aiuto)");
      return kFailed;
    } else if (arg.starts_with("-j")) {
      // -j N or -jN: a number of threads from 1 to 8.
      std::string count = arg.substr(2);
      if (count.empty() && i + 1 < args.size()) count = args[++i];
      unsigned value = 0;
      const auto [end, ec] = std::from_chars(count.data(), count.data() + count.size(), value);
      if (ec != std::errc() || end != count.data() + count.size() || value < 1 || value > 8) {
        Complain("numero di thread non valido: " + count + " (da 1 a 8)");
        return kFailed;
      }
      options.threads = value;
    } else {
      for (std::size_t k = 1; k < arg.size(); ++k) {
        if (arg[k] == 'f') {
          options.force = true;
        } else if (arg[k] == 'n') {
          options.analyse_only = true;
        } else if (arg[k] == 'h') {
          return help();
        } else {
          Complain(std::string("opzione sconosciuta: -") + arg[k] +
                   " (tavconv --help per l'aiuto)");
          return kFailed;
        }
      }
    }
  }
  if (options.operands.empty()) {
    Complain("manca il file sorgente (tavconv --help per l'aiuto)");
    return kFailed;
  }

  // Sources and where each goes.
  std::vector<std::pair<std::string, std::string>> jobs;
  std::vector<std::string>& operands = options.operands;
  if (options.analyse_only) {
    for (const std::string& source : operands)
      jobs.emplace_back(source, std::string());
  } else if (operands.size() == 1) {
    jobs.emplace_back(operands[0],
                      tavrel::JoinPath(tavrel::FolderOf(operands[0]),
                                       tavrel::ProposedName(tavrel::NameOf(operands[0]))));
  } else if (tavrel::IsFolder(operands.back())) {
    const std::string folder = operands.back();
    operands.pop_back();
    for (const std::string& source : operands) {
      jobs.emplace_back(source,
                        tavrel::JoinPath(folder, tavrel::ProposedName(tavrel::NameOf(source))));
    }
  } else if (operands.size() == 2) {
    jobs.emplace_back(operands[0], operands[1]);
  } else {
    Complain("la destinazione di più sorgenti deve essere una cartella: " + operands.back());
    return kFailed;
  }

  const tavrel::NumberSettings numbers = tavrel::UserNumberSettings();
  int status = kConverted;
  std::vector<Written> written;
  for (const auto& [source, dest] : jobs) {
    const Status one = ConvertOne(source, dest, options, numbers, written);
    if (one > status) status = one;
  }
  // A report that could not be written all is a failure too.
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    tavrel::PrintError("tavconv: impossibile scrivere sullo standard output\n");
    return kFailed;
  }
  return status;
}
