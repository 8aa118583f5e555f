// The numeric records' handlers of a whole line, one for each record type
// (numeric_records.cpp): what NumericRecord calls after its look at the
// first byte, for a caller that already knows the record type, such as the
// block loop's table of handlers.  Each writes the line's 3.5 text at `out`
// and returns its end.
#pragma once

#include <string_view>

namespace tavrel::detail {

char* Record0Line(std::string_view line, bool decimal_point, char* out);
char* Record1Line(std::string_view line, bool decimal_point, char* out);
// Records "2" to "6" split the line into its fields first (error 9 for
// more than 100 of them).
char* Record2Line(std::string_view line, bool decimal_point, char* out);
char* Record3Line(std::string_view line, bool decimal_point, char* out);
char* Record4Line(std::string_view line, bool decimal_point, char* out);
char* Record6Line(std::string_view line, bool decimal_point, char* out);

}  // namespace tavrel::detail
