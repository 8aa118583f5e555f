// Text on a POSIX system: the names of paths, and the number settings of the
// C library's locale.
#include <clocale>
#include <string>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

NumberSettings NumberSettingsFromCLocale() {
  NumberSettings settings;
  const std::lconv* conv = std::localeconv();
  if (conv != nullptr) {
    if (conv->decimal_point != nullptr && *conv->decimal_point != '\0') {
      settings.decimal = conv->decimal_point;
    }
    settings.thousands = conv->thousands_sep != nullptr ? conv->thousands_sep : "";
  }
  return settings;
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

NumberSettings UserNumberSettings() {
  return NumberSettingsFromCLocale();
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace tavrel
