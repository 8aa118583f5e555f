// tavconv: converts Tavrel data files from the command line, like cp.
//
//   tavconv [-f] [-n] [-j N] SOURCE [DEST]
//   tavconv [-f] [-n] [-j N] SOURCE... DIR
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
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
    std::printf("%s\n", source.c_str());
    if (!format_.empty()) std::printf("  %s\n", format_.c_str());
    if (!outcome_.empty()) std::printf("  %s\n", outcome_.c_str());
    if (!error_.empty()) std::fprintf(stderr, "tavconv: %s: %s\n", source.c_str(), error_.c_str());
  }

 private:
  std::string format_;
  std::string outcome_;
  std::string error_;
};

std::string DirName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

void Complain(const std::string& what) {
  std::fprintf(stderr, "tavconv: %s\n", what.c_str());
}

std::string SystemReason(int error) {
  return tavrel::FileError(error).description();
}

// Puts the finished temporary file in place; without `force` an existing
// destination is kept, even one that appeared meanwhile.
bool PutInPlace(const std::string& temp, const std::string& dest, bool force) {
  const mode_t mask = umask(022);
  umask(mask);
  chmod(temp.c_str(), 0666 & ~mask);
  if (force) return rename(temp.c_str(), dest.c_str()) == 0;
  if (link(temp.c_str(), dest.c_str()) == 0) {
    unlink(temp.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  // A file system without links (FAT media): check, then rename.
  if (tavrel::FileExists(dest)) {
    errno = EEXIST;
    return false;
  }
  return rename(temp.c_str(), dest.c_str()) == 0;
}

Status ConvertOne(const std::string& source, const std::string& dest, const Options& options,
                  const tavrel::NumberSettings& numbers) {
  tavrel::AnalysisRequest request;
  request.folder = DirName(source);
  request.name = BaseName(source);
  request.numbers = numbers;
  request.convert = !options.analyse_only;
  request.threads = options.threads;

  std::string temp;
  if (request.convert) {
    if (!options.force && tavrel::FileExists(dest)) {
      std::printf("%s\n", source.c_str());
      Complain(dest + " esiste già (usare -f per sovrascriverlo)");
      return kFailed;
    }
    if (SameFile(source, dest)) {
      std::printf("%s\n", source.c_str());
      Complain(dest + " è il file sorgente stesso");
      return kFailed;
    }
    temp = tavrel::JoinPath(DirName(dest), "." + BaseName(dest) + ".XXXXXX");
    const int fd = mkstemp(temp.data());
    if (fd < 0) {
      std::printf("%s\n", source.c_str());
      Complain(DirName(dest) + ": " + SystemReason(errno));
      return kFailed;
    }
    close(fd);
    request.output_path = temp;
  }

  PrintingSink sink;
  const tavrel::AnalysisOutcome outcome = tavrel::Analizza(request, sink);
  sink.Print(source);
  if (outcome.failed) {
    if (!temp.empty()) unlink(temp.c_str());
    return kFailed;
  }
  if (!tavrel::IsConvertible(outcome.code)) {
    if (!temp.empty()) unlink(temp.c_str());
    return kNotConvertible;
  }
  if (!request.convert) return kConverted;
  if (!PutInPlace(temp, dest, options.force)) {
    const int error = errno;
    unlink(temp.c_str());
    Complain(dest + ": " + (error == EEXIST ? std::string("esiste già") : SystemReason(error)));
    return kFailed;
  }
  std::printf("  -> %s\n", dest.c_str());
  return kConverted;
}

}  // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  Options options;
  bool operands_only = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (!operands_only && arg == "--help") {
      std::fwrite(kHelp.data(), 1, kHelp.size(), stdout);
      return 0;
    }
    if (!operands_only && arg == "--version") {
      std::printf("tavconv (Tavrel Converter) %s\n", tavrel::kVersion);
      return 0;
    }
    if (!operands_only && arg == "--") {
      operands_only = true;
    } else if (!operands_only && arg.starts_with("-j")) {
      // -j N or -jN: a number of threads from 1 to 8.
      std::string count = arg.substr(2);
      if (count.empty() && i + 1 < argc) count = argv[++i];
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
    jobs.emplace_back(operands[0], tavrel::JoinPath(DirName(operands[0]),
                                                    tavrel::ProposedName(BaseName(operands[0]))));
  } else if (IsDirectory(operands.back())) {
    const std::string folder = operands.back();
    operands.pop_back();
    for (const std::string& source : operands) {
      jobs.emplace_back(source, tavrel::JoinPath(folder, tavrel::ProposedName(BaseName(source))));
    }
  } else if (operands.size() == 2) {
    jobs.emplace_back(operands[0], operands[1]);
  } else {
    Complain("la destinazione di più sorgenti deve essere una cartella: " + operands.back());
    return kFailed;
  }

  const tavrel::NumberSettings numbers = tavrel::NumberSettingsFromCLocale();
  int status = kConverted;
  for (const auto& [source, dest] : jobs) {
    const Status one = ConvertOne(source, dest, options, numbers);
    if (one > status) status = one;
  }
  std::fflush(stdout);
  return status;
}
