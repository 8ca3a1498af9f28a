#include "model/ElementType.h"


namespace velm {

namespace {
constexpr ElementInfo kElements[kElementCount] = {
    {"Carbon", 12.011, {200, 200, 200, 255}, 1.689},
    {"Nitrogen", 14.0067, {143, 143, 255, 255}, 1.527},
    {"Oxygen", 15.9994, {240, 0, 0, 255}, 1.471},
    {"Sulfur", 32.06, {255, 200, 50, 255}, 1.972},
    {"Hydrogen", 1.0079, {225, 225, 225, 255}, 1.2},
    {"Phosphorus", 30.97376, {255, 165, 0, 255}, 2.051},
    {"Chlorine", 35.453, {0, 255, 0, 255}, 1.907},
    {"Zinc", 65.38, {165, 42, 42, 255}, 1.2524},
    {"Sodium", 22.98977, {0, 0, 255, 255}, 2.4},
    {"Iron", 55.847, {255, 165, 0, 255}, 2.125},
    {"Magnesium", 24.305, {42, 128, 42, 255}, 1.636},
    {"Potassium", 39.0983, {128, 128, 128, 255}, 2.605},
    {"Calcium", 40.08, {128, 128, 128, 255}, 2.125},
    {"Iodine", 126.9045, {160, 32, 240, 255}, 1.907},
    {"Unknown", 12.011, {255, 20, 147, 255}, 1.689},
};
}  // namespace

const ElementInfo& GetElementInfo(int element) { return kElements[ClampElement(element)]; }

ElementType ElementFromName(std::string_view name) {
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = upper(name[i]);
        if (c < 'A' || c > 'Z') continue;
        const char next = i + 1 < name.size() ? upper(name[i + 1]) : '\0';
        switch (c) {
        case 'C': return next == 'L' ? Chlorine : Carbon;
        case 'D': return UnknownElement;
        case 'F': return Iron;
        case 'H': return Hydrogen;
        case 'I': return Iodine;
        case 'K': return Potassium;
        case 'M': return Magnesium;
        case 'N': return next == 'A' ? Sodium : Nitrogen;
        case 'O': return Oxygen;
        case 'P': return Phosphorus;
        case 'S': return Sulfur;
        case 'Z': return Zinc;
        default: return Carbon;
        }
    }
    return Carbon;
}

}  // namespace velm
