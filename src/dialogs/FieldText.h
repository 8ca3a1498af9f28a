#pragma once
// What an edit box holds, read the one way the forms read it: spaces and tabs
// around the text are allowed, the rest must be the whole number.
#include <string_view>

namespace velm {

// The text without the spaces and tabs around it.
std::string_view TrimmedField(std::string_view text);
// A whole number with an optional '+'; false (value untouched) otherwise.
bool ReadFieldInteger(std::string_view text, int& value);
// A finite number as strtod reads it; false otherwise.
bool ReadFieldReal(std::string_view text, double& value);

}  // namespace velm
