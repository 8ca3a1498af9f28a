#pragma once
// "Printing/Clip board Options": how much memory a printed page, a copied
// picture or an exported one may take (for this run), and the colour depth
// of printed and copied pictures (kept as printColorDepth).
#include <array>
#include <string>

namespace velm {

struct ViewSettings;

struct PrintOptionsForm {
    static constexpr const char* kTitle = "Printing/Clip board Options";
    static constexpr std::array<const char*, 2> kDepths{"16 bit", "24 bit"};
    static constexpr int kDefaultLimitKb = 8192;  // shown while memory is used as needed

    bool limitMemory = false;  // "Limit system memory to"; else "Use system memory as needed"
    std::string limitKb;       // the "Kb" edit as typed
    int depthIndex = 0;        // "Image color depth:"

    static PrintOptionsForm For(const ViewSettings& settings);
    // The message that keeps the dialog open; empty when OK may apply.
    std::string Problem() const;
    // OK: the values into the settings; false (settings untouched) on a problem.
    bool Accept(ViewSettings& settings) const;
};

}  // namespace velm
