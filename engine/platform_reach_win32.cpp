// Long paths on Windows are the system's to take (the programs declare
// themselves aware of long paths): a path is used as it is.
#include <string>

#include "tavrel.h"

namespace tavrel {

ShortPath::ShortPath(const std::string& path, bool) : path_(path) {}

ShortPath::~ShortPath() = default;

}  // namespace tavrel
