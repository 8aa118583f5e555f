// tavconv's command line, read as GNU programs read theirs.
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "tavconv.h"

namespace tavconv {

namespace {

constexpr std::string_view kAskHelp = " (tavconv --help per l'aiuto)";

// -j's value: a number of threads from 1 to 8.
bool ReadThreads(const std::string& text, unsigned& threads) {
  unsigned value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 1 || value > 8) return false;
  threads = value;
  return true;
}

struct LongOption {
  std::string_view name;
  char short_name;  // the same option's letter, or 0
};
constexpr LongOption kLongOptions[] = {
    {"recursive", 'r'}, {"jobs", 'j'}, {"force", 'f'}, {"dry-run", 'n'}, {"update", 'u'},
    {"quiet", 'q'},     {"help", 'h'}, {"version", 0}, {"report", 0},
};

}  // namespace

Command ParseArguments(const std::vector<std::string>& arguments) {
  Command command;
  Options& options = command.options;
  auto wrong = [&](std::string why) {
    command.action = Command::kWrong;
    command.wrong = std::move(why);
    return command;
  };
  // A letter's meaning; false for an unknown letter.
  auto set = [&](char letter) {
    switch (letter) {
      case 'f':
        options.force = true;
        return true;
      case 'n':
        options.dry_run = true;
        return true;
      case 'r':
        options.recursive = true;
        return true;
      case 'u':
        options.update = true;
        return true;
      case 'q':
        options.quiet = true;
        return true;
      default:
        return false;
    }
  };
  bool help = false, version = false;
  bool operands_only = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    if (operands_only || arg == "-" || arg.empty() || arg[0] != '-') {
      options.operands.push_back(arg);
    } else if (arg == "--") {
      operands_only = true;
    } else if (arg.starts_with("--")) {
      const std::size_t equals = arg.find('=');
      const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
      const bool has_value = equals != std::string::npos;
      const std::string value = has_value ? arg.substr(equals + 1) : "";
      // A unique beginning of a long name stands for it ("--rec").
      const LongOption* found = nullptr;
      for (const LongOption& option : kLongOptions) {
        if (option.name == name) {
          found = &option;
          break;
        }
        if (!name.empty() && option.name.starts_with(name)) {
          if (found != nullptr) return wrong("opzione ambigua: --" + name + std::string(kAskHelp));
          found = &option;
        }
      }
      if (found == nullptr) return wrong("opzione sconosciuta: " + arg + std::string(kAskHelp));
      if (found->name == "jobs") {
        std::string count = value;
        if (!has_value) {
          if (i + 1 >= arguments.size())
            return wrong("l'opzione --jobs vuole un numero di file alla volta, da 1 a 8");
          count = arguments[++i];
        }
        if (!ReadThreads(count, options.threads))
          return wrong("numero di thread non valido: " + count + " (da 1 a 8)");
      } else if (found->name == "report") {
        if (!has_value) {
          options.report = ReportForm::kText;
        } else if (value == "json") {
          options.report = ReportForm::kJson;
        } else {
          return wrong("forma di rapporto sconosciuta: " + value + " (--report o --report=json)");
        }
      } else if (has_value) {
        return wrong("l'opzione --" + std::string(found->name) + " non vuole un valore");
      } else if (found->name == "help") {
        help = true;
      } else if (found->name == "version") {
        version = true;
      } else {
        set(found->short_name);
      }
    } else {
      // Short options, bundled: -rfj2, -fj 2.
      for (std::size_t k = 1; k < arg.size(); ++k) {
        const char letter = arg[k];
        if (letter == 'j') {
          std::string count = arg.substr(k + 1);
          if (count.empty()) {
            if (i + 1 >= arguments.size())
              return wrong("l'opzione -j vuole un numero di file alla volta, da 1 a 8");
            count = arguments[++i];
          }
          if (!ReadThreads(count, options.threads))
            return wrong("numero di thread non valido: " + count + " (da 1 a 8)");
          break;
        }
        if (letter == 'h') {
          help = true;
        } else if (!set(letter)) {
          return wrong(std::string("opzione sconosciuta: -") + letter + std::string(kAskHelp));
        }
      }
    }
  }
  if (help) {
    command.action = Command::kHelp;
  } else if (version) {
    command.action = Command::kVersion;
  } else if (options.operands.empty()) {
    return wrong("manca il file sorgente" + std::string(kAskHelp));
  }
  return command;
}

}  // namespace tavconv
