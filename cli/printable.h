// Text that names a file or quotes a line, made safe for a terminal.
#pragma once

#include <string>
#include <string_view>

namespace tavconv {

// `text` with every control character (bytes 0x00-0x1F and 0x7F) written as
// a C escape: \a \b \t \n \v \f \r by name, the others as three octal digits
// (ESC is \033), as `ls` quotes names.  Other bytes, backslashes and UTF-8
// included, pass unchanged, so a file name can never drive the terminal.
std::string Printable(std::string_view text);

}  // namespace tavconv
