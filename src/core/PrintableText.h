#pragma once
// Text from files and the command line (paths, names, ids) printed in lines
// that scripts read: control characters are escaped, so that a name cannot
// end a line and forge the next.
#include <string>
#include <string_view>

namespace velm {

// Control characters as \n, \r, \t or \xHH; everything else as it is.
std::string EscapedText(std::string_view text);

// One field of a line split on blanks: as it is when it holds no blank,
// quote, backslash or control character and is not empty; else in double
// quotes, with backslash escapes.
std::string QuotedField(std::string_view text);

}  // namespace velm
