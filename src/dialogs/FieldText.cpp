#include "dialogs/FieldText.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

std::string_view TrimmedField(std::string_view text) {
    const auto b = text.find_first_not_of(" \t");
    if (b == std::string_view::npos) return {};
    return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

bool ReadFieldInteger(std::string_view text, int& value) {
    const std::string_view t = TrimmedField(text);
    if (t.empty()) return false;
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const char* last = t.data() + t.size();
    int v = 0;
    const auto [end, error] = std::from_chars(first, last, v);
    if (error != std::errc() || end != last) return false;
    value = v;
    return true;
}

bool ReadFieldReal(std::string_view text, double& value) {
    const std::string t(TrimmedField(text));  // strtod wants the end marked
    if (t.empty()) return false;
    char* end = nullptr;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

}  // namespace velm
