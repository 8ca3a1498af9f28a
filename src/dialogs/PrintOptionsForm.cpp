#include "dialogs/PrintOptionsForm.h"

#include <charconv>
#include <climits>

#include "dialogs/FieldText.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {
constexpr long long kMaxLimitKb = INT_MAX / 1024;  // the limit in bytes stays an int

bool ParseLimit(const std::string& text, long long& value) {
    const std::string_view t = TrimmedField(text);
    if (t.empty()) return false;
    const char* b = t.data();
    const char* e = t.data() + t.size();
    if (*b == '+') ++b;
    const auto [end, ec] = std::from_chars(b, e, value);
    if (ec == std::errc::result_out_of_range) value = LLONG_MAX;
    return end == e && (ec == std::errc() || ec == std::errc::result_out_of_range);
}
}  // namespace

PrintOptionsForm PrintOptionsForm::For(const ViewSettings& s) {
    PrintOptionsForm f;
    f.limitMemory = s.printMemoryLimit != -1;
    f.limitKb = std::to_string(f.limitMemory ? s.printMemoryLimit : kDefaultLimitKb);
    f.depthIndex = s.printColorDepth == 24 ? 1 : 0;
    return f;
}

std::string PrintOptionsForm::Problem() const {
    if (!limitMemory) return {};
    long long v = 0;
    if (!ParseLimit(limitKb, v)) return "Please enter an integer.";
    if (v < 1 || v > kMaxLimitKb) return "Please enter an integer between 1 and " + std::to_string(kMaxLimitKb) + ".";
    return {};
}

bool PrintOptionsForm::Accept(ViewSettings& s) const {
    if (!Problem().empty()) return false;
    long long v = 0;
    s.printMemoryLimit = limitMemory && ParseLimit(limitKb, v) ? static_cast<int>(v) : -1;
    s.printColorDepth = depthIndex == 1 ? 24 : 16;
    return true;
}

}  // namespace velm
