// tavconv: converts Tavrel data files from the command line, like cp.
//
//   tavconv [-f] [-j N] [--report] SOURCE [DEST]
//   tavconv [-f] [-j N] [--report] SOURCE... DIR
//   tavconv [-f] [-j N] [--report] -r SOURCE_DIR DEST_DIR
//   tavconv -n [--report] SOURCE...
#include <charconv>
#include <clocale>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tavconv.h"
#include "tavrel.h"
#include "tavrel_version.h"

namespace tavconv {

bool Messages::output_taken = false;
bool Messages::data_only = false;

void Messages::Flush() {
  for (const auto& [kind, text] : pieces_) {
    const bool error = kind == kErr || output_taken || (kind == kOut && data_only);
    if (error) {
      std::fflush(stdout);  // a complaint comes after what it follows
      tavrel::PrintError(text);
    } else {
      tavrel::PrintOut(text);
    }
  }
  pieces_.clear();
}

namespace {

constexpr std::string_view kHelp =
    "Uso: tavconv [-f] [-j N] [--report] SORGENTE [DESTINAZIONE]\n"
    "     tavconv [-f] [-j N] [--report] SORGENTE... CARTELLA\n"
    "     tavconv [-f] [-j N] [--report] -r CARTELLA_SORGENTE CARTELLA_DESTINAZIONE\n"
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
    "Con -r ogni file convertibile sotto CARTELLA_SORGENTE va, con il nome\n"
    "proposto, nella stessa sottocartella sotto CARTELLA_DESTINAZIONE (creata\n"
    "se serve); i file non convertibili vengono saltati e contati, mai copiati.\n"
    "I collegamenti simbolici a cartelle non vengono seguiti. I messaggi\n"
    "seguono l'ordine delle cartelle; una riga finale riassume l'esecuzione.\n"
    "\n"
    "Un trattino (-) come SORGENTE legge lo standard input, come DESTINAZIONE\n"
    "scrive sullo standard output (i messaggi vanno allora sullo standard\n"
    "error). Il file convertito va sullo standard output solo a conversione\n"
    "completata: una conversione fallita non vi scrive nulla.\n"
    "\n"
    "Opzioni:\n"
    "  -f, --force  sovrascrive un file di destinazione esistente\n"
    "  -n           analizza soltanto, senza scrivere nulla\n"
    "  -j N         converte i file 4.0 grandi con N thread, da 1 a 8; con -r\n"
    "               converte N file alla volta\n"
    "               (predefinito: uno per processore, al massimo 8)\n"
    "  -r           converte le cartelle e le loro sottocartelle\n"
    "  --report     elenca, per ogni sorgente 4.0, le righe che il formato 3.5\n"
    "               non può contenere (numero di riga, tipo, dettaglio) e il\n"
    "               conteggio per tipo\n"
    "  --report=json  lo stesso in JSON Lines, un oggetto per riga (file, line,\n"
    "               kind, detail; poi file, kind, count)\n"
    "  -h, --help   mostra questo aiuto\n"
    "  --version    mostra la versione\n"
    "\n"
    "Stato di uscita: 0 se ogni sorgente è stato convertito, 1 se qualche\n"
    "sorgente non è convertibile, 2 in caso di errore.\n";

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

  void Print(const std::string& source, Messages& messages) const {
    messages.Out(source + "\n");
    if (!format_.empty()) messages.Out("  " + format_ + "\n");
    if (!outcome_.empty()) messages.Out("  " + outcome_ + "\n");
    if (!error_.empty()) messages.Err("tavconv: " + source + ": " + error_ + "\n");
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

}  // namespace

std::string DirName(const std::string& path) {
  return tavrel::FolderOf(path);
}

std::string BaseName(const std::string& path) {
  return tavrel::NameOf(path);
}

OneResult ConvertOne(const std::string& source, const std::string& dest, const Options& options,
                     const tavrel::NumberSettings& numbers, WrittenList& written,
                     Messages& messages) {
  const bool from_stdin = source == "-";
  const bool to_stdout = dest == "-";
  std::optional<tavrel::PrivateFile> input;
  std::optional<tavrel::PrivateFile> output;
  OneResult result;
  auto refuse = [&](const std::string& why) {
    messages.Out(source + "\n");
    messages.Err("tavconv: " + why + "\n");
    result.status = kFailed;
    return result;
  };
  tavrel::AnalysisRequest request;
  try {
    if (from_stdin) {
      input.emplace(to_stdout ? std::string() : dest);  // beside a destination file
      tavrel::CopyStandardInputTo(input->path());
    }
  } catch (const tavrel::RuntimeError& error) {
    return refuse("standard input: " + error.description());
  }
  const std::string read_from = from_stdin ? input->path() : source;
  request.folder = DirName(read_from);
  request.name = BaseName(read_from);
  request.numbers = numbers;
  // A report needs the conversion, kept in a file that is never placed.
  const bool report = options.report != ReportForm::kNone;
  request.convert = !options.analyse_only || report;
  request.threads = options.threads;
  Report losses(options.report);
  if (report) request.observer = &losses;

  std::optional<tavrel::NewFile> file;
  if (request.convert && (to_stdout || options.analyse_only)) {
    try {
      output.emplace();
    } catch (const tavrel::RuntimeError& error) {
      return refuse(error.description());
    }
    request.output_path = output->path();
  } else if (request.convert) {
    {
      std::lock_guard lock(written.mutex);
      for (const Written& earlier : written.list) {
        if (earlier.dest == dest || tavrel::SameFile(earlier.dest, dest)) {
          return refuse(dest + " è già stato scritto in questa esecuzione da " + earlier.source +
                        ": " + source + " non viene convertito");
        }
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
  result.code = outcome.code;
  sink.Print(source, messages);
  if (outcome.failed) {
    result.status = kFailed;
    return result;
  }
  if (report && outcome.code == 40) losses.Print(source, messages);
  if (!tavrel::IsConvertible(outcome.code)) {
    result.status = kNotConvertible;
    return result;
  }
  if (options.analyse_only) return result;
  try {
    if (to_stdout) {
      messages.Flush();
      std::fflush(stdout);
      tavrel::CopyToStandardOutput(output->path());
      messages.Out("  -> standard output\n");
      return result;
    }
    file->Place(options.force);
  } catch (const tavrel::RuntimeError& error) {
    messages.Err("tavconv: " + dest + ": " +
                 (error.number() == tavrel::err::kFileExists ? std::string("esiste già")
                                                             : error.description()) +
                 "\n");
    result.status = kFailed;
    return result;
  }
  {
    std::lock_guard lock(written.mutex);
    written.list.push_back({dest, source});
  }
  messages.Out("  -> " + dest + "\n");
  return result;
}

}  // namespace tavconv

using namespace tavconv;

int main(int argc, char** argv) {
  tavrel::PrepareProcess();  // before any thread: umask, SIGPIPE, the ending signals
  std::setlocale(LC_ALL, "");
  Options options;
  bool operands_only = false;
  const std::vector<std::string> args = tavrel::CommandLineArguments(argc, argv);
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto help = [] {
      tavrel::PrintOut(kHelp);
      return tavrel::StandardOutputWritten() ? kConverted : kFailed;
    };
    if (operands_only || arg == "-" || arg.empty() || arg[0] != '-') {
      options.operands.push_back(arg);
    } else if (arg == "--") {
      operands_only = true;
    } else if (arg == "--help") {
      return help();
    } else if (arg == "--version") {
      tavrel::PrintOut(std::string("tavconv (Tavrel Converter) ") + tavrel::kVersion + "\n");
      return tavrel::StandardOutputWritten() ? kConverted : kFailed;
    } else if (arg == "--force") {
      options.force = true;
    } else if (arg == "--report") {
      options.report = ReportForm::kText;
    } else if (arg == "--report=json") {
      options.report = ReportForm::kJson;
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
        } else if (arg[k] == 'r') {
          options.recursive = true;
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

  const tavrel::NumberSettings numbers = tavrel::UserNumberSettings();
  Messages::data_only = options.report == ReportForm::kJson;
  if (options.recursive) {
    if (options.operands.size() != 2 && !(options.analyse_only && options.operands.size() == 1)) {
      Complain(
          "con -r servono CARTELLA_SORGENTE e CARTELLA_DESTINAZIONE (tavconv --help per "
          "l'aiuto)");
      return kFailed;
    }
    return ConvertTree(options.operands[0], options.operands.size() > 1 ? options.operands[1] : "",
                       options, numbers);
  }

  // Sources and where each goes.
  std::vector<std::pair<std::string, std::string>> jobs;
  std::vector<std::string>& operands = options.operands;
  if (options.analyse_only) {
    for (const std::string& source : operands)
      jobs.emplace_back(source, std::string());
  } else if (operands.size() == 1 && operands[0] == "-") {
    jobs.emplace_back("-", "-");
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

  int status = kConverted;
  WrittenList written;
  for (const auto& [source, dest] : jobs) {
    if (dest == "-") Messages::output_taken = true;
  }
  for (const auto& [source, dest] : jobs) {
    Messages messages;
    const Status one = ConvertOne(source, dest, options, numbers, written, messages).status;
    messages.Flush();
    if (one > status) status = one;
  }
  // A report that could not be written all is a failure too.
  if (!tavrel::StandardOutputWritten()) {
    tavrel::PrintError("tavconv: impossibile scrivere sullo standard output\n");
    return kFailed;
  }
  return status;
}
