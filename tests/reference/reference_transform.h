// The line transformer as it was before it wrote straight into the output
// buffer, kept as the reference for differential tests.
#pragma once

#include <string>

#include "tavrel.h"

namespace tavrel::reference {

// The 3.5 text of one 4.0 line, as Trasforma gave it; `riga` may be changed.
std::string Trasforma(std::string& riga, const NumberSettings& numbers = {});

}  // namespace tavrel::reference
