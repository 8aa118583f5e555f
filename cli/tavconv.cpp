// tavconv: converts Tavrel data files from the command line, like cp.
//
//   tavconv [-f] [-n] [-j N] SOURCE [DEST]
//   tavconv [-f] [-n] [-j N] SOURCE... DIR
#include <charconv>
#include <clocale>
#include <string>
#include <string_view>
#include <vector>

#include "tavrel.h"
#include "tavrel_version.h"

namespace {

constexpr std::string_view kHelp =
    "Uso: tavconv [-f] [-n] [-j N] SORGENTE [DESTINAZIONE]\n"
    "     tavconv [-f] [-n] [-j N] SORGENTE... CARTELLA\n"
    "\n"
    "Converte file di dati Tavrel (.SCH, .PCB) dai formati 4.0 e 3.3, 3.4, 3.6,\n"
    "3.7, 3.8 per Dos nel formato 3.5.\n"
    "\n"
    "Senza DESTINAZIONE il file convertito va accanto al sorgente, con il nome\n"
    "proposto in formato Dos 8+3 (\"3_\" seguito dal nome del sorgente).\n"
    "Con una CARTELLA ogni sorgente va in quella cartella con il nome proposto.\n"
    "Il sorgente non viene mai modificato; il file di destinazione compare solo\n"
    "a conversione completata.\n"
    "\n"
    "Opzioni:\n"
    "  -f        sovrascrive un file di destinazione esistente\n"
    "  -n        analizza soltanto, senza scrivere nulla\n"
    "  -j N      converte i file 4.0 grandi con N thread, da 1 a 8\n"
    "            (predefinito: uno per processore, al massimo 8)\n"
    "  --help    mostra questo aiuto\n"
    "  --version mostra la versione\n"
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
    if (label == tavrel::Label::kConvPreview) outcome_ = text;
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
    if (!error_.empty()) tavrel::PrintError("tavconv: " + source + ": " + error_ + "\n");
  }

 private:
  std::string format_;
  std::string outcome_;
  std::string error_;
};

void Complain(const std::string& what) {
  tavrel::PrintError("tavconv: " + what + "\n");
}

void RemoveQuietly(const std::string& path) {
  try {
    tavrel::DeleteFileIfExists(path);
  } catch (const tavrel::RuntimeError&) {
  }
}

Status ConvertOne(const std::string& source, const std::string& dest, const Options& options,
                  const tavrel::NumberSettings& numbers) {
  tavrel::AnalysisRequest request;
  request.folder = tavrel::FolderOf(source);
  request.name = tavrel::NameOf(source);
  request.numbers = numbers;
  request.convert = !options.analyse_only;
  request.threads = options.threads;

  std::string temp;
  if (request.convert) {
    if (!options.force && tavrel::FileExists(dest)) {
      tavrel::PrintOut(source + "\n");
      Complain(dest + " esiste già (usare -f per sovrascriverlo)");
      return kFailed;
    }
    if (tavrel::SameFile(source, dest)) {
      tavrel::PrintOut(source + "\n");
      Complain(dest + " è il file sorgente stesso");
      return kFailed;
    }
    try {
      temp = tavrel::MakeSiblingTemporary(dest);
    } catch (const tavrel::RuntimeError& error) {
      tavrel::PrintOut(source + "\n");
      // A name the system refuses is about the destination, else its folder.
      const bool name = error.number() == tavrel::err::kBadFileName;
      Complain((name ? dest : tavrel::FolderOf(dest)) + ": " + error.description());
      return kFailed;
    }
    request.output_path = temp;
  }

  PrintingSink sink;
  const tavrel::AnalysisOutcome outcome = tavrel::Analizza(request, sink);
  sink.Print(source);
  if (outcome.failed || !tavrel::IsConvertible(outcome.code)) {
    if (!temp.empty()) RemoveQuietly(temp);
    return outcome.failed ? kFailed : kNotConvertible;
  }
  if (!request.convert) return kConverted;
  try {
    tavrel::MoveIntoPlace(temp, dest, options.force);
  } catch (const tavrel::RuntimeError& error) {
    RemoveQuietly(temp);
    Complain(dest + ": " +
             (error.number() == tavrel::err::kFileExists ? std::string("esiste già")
                                                         : error.description()));
    return kFailed;
  }
  tavrel::PrintOut("  -> " + dest + "\n");
  return kConverted;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const std::vector<std::string> args = tavrel::CommandLineArguments(argc, argv);
  Options options;
  bool operands_only = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!operands_only && arg == "--help") {
      tavrel::PrintOut(kHelp);
      return 0;
    }
    if (!operands_only && arg == "--version") {
      tavrel::PrintOut(std::string("tavconv (Tavrel Converter) ") + tavrel::kVersion + "\n");
      return 0;
    }
    if (!operands_only && arg == "--") {
      operands_only = true;
    } else if (!operands_only && arg.starts_with("-j")) {
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
    } else if (!operands_only && arg.size() > 1 && arg[0] == '-') {
      for (std::size_t k = 1; k < arg.size(); ++k) {
        if (arg[k] == 'f') {
          options.force = true;
        } else if (arg[k] == 'n') {
          options.analyse_only = true;
        } else {
          Complain(std::string("opzione sconosciuta: -") + arg[k] +
                   " (tavconv --help per l'aiuto)");
          return kFailed;
        }
      }
    } else {
      options.operands.push_back(arg);
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
    jobs.emplace_back(operands[0], tavrel::JoinPath(tavrel::FolderOf(operands[0]),
                                                    tavrel::ProposedName(operands[0])));
  } else if (tavrel::IsFolder(operands.back())) {
    const std::string folder = operands.back();
    operands.pop_back();
    for (const std::string& source : operands) {
      jobs.emplace_back(source, tavrel::JoinPath(folder, tavrel::ProposedName(source)));
    }
  } else if (operands.size() == 2) {
    jobs.emplace_back(operands[0], operands[1]);
  } else {
    Complain("la destinazione di più sorgenti deve essere una cartella: " + operands.back());
    return kFailed;
  }

  const tavrel::NumberSettings numbers = tavrel::UserNumberSettings();
  int status = kConverted;
  for (const auto& [source, dest] : jobs) {
    const Status one = ConvertOne(source, dest, options, numbers);
    if (one > status) status = one;
  }
  return status;
}
