// Text on a POSIX system: the names of paths, and the number settings of the
// C library's locale.
#include <string>

#include "platform.h"
#include "platform_internal_posix.h"
#include "tavrel.h"

namespace tavrel {

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
