#include "model/ElementType.h"

#include <array>


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

// Standard atomic weights (the conventional values; the mass number of the
// longest-lived isotope for elements without a stable one).
constexpr ChemicalElement kChemicalElements[] = {
    {"H", 1.008, Hydrogen},
    {"HE", 4.0026, UnknownElement},
    {"LI", 6.94, UnknownElement},
    {"BE", 9.0122, UnknownElement},
    {"B", 10.81, UnknownElement},
    {"C", 12.011, Carbon},
    {"N", 14.007, Nitrogen},
    {"O", 15.999, Oxygen},
    {"F", 18.998, UnknownElement},
    {"NE", 20.180, UnknownElement},
    {"NA", 22.990, Sodium},
    {"MG", 24.305, Magnesium},
    {"AL", 26.982, UnknownElement},
    {"SI", 28.085, UnknownElement},
    {"P", 30.974, Phosphorus},
    {"S", 32.06, Sulfur},
    {"CL", 35.45, Chlorine},
    {"AR", 39.95, UnknownElement},
    {"K", 39.098, Potassium},
    {"CA", 40.078, Calcium},
    {"SC", 44.956, UnknownElement},
    {"TI", 47.867, UnknownElement},
    {"V", 50.942, UnknownElement},
    {"CR", 51.996, UnknownElement},
    {"MN", 54.938, UnknownElement},
    {"FE", 55.845, Iron},
    {"CO", 58.933, UnknownElement},
    {"NI", 58.693, UnknownElement},
    {"CU", 63.546, UnknownElement},
    {"ZN", 65.38, Zinc},
    {"GA", 69.723, UnknownElement},
    {"GE", 72.630, UnknownElement},
    {"AS", 74.922, UnknownElement},
    {"SE", 78.971, UnknownElement},
    {"BR", 79.904, UnknownElement},
    {"KR", 83.798, UnknownElement},
    {"RB", 85.468, UnknownElement},
    {"SR", 87.62, UnknownElement},
    {"Y", 88.906, UnknownElement},
    {"ZR", 91.224, UnknownElement},
    {"NB", 92.906, UnknownElement},
    {"MO", 95.95, UnknownElement},
    {"TC", 98, UnknownElement},
    {"RU", 101.07, UnknownElement},
    {"RH", 102.91, UnknownElement},
    {"PD", 106.42, UnknownElement},
    {"AG", 107.87, UnknownElement},
    {"CD", 112.41, UnknownElement},
    {"IN", 114.82, UnknownElement},
    {"SN", 118.71, UnknownElement},
    {"SB", 121.76, UnknownElement},
    {"TE", 127.60, UnknownElement},
    {"I", 126.90, Iodine},
    {"XE", 131.29, UnknownElement},
    {"CS", 132.91, UnknownElement},
    {"BA", 137.33, UnknownElement},
    {"LA", 138.91, UnknownElement},
    {"CE", 140.12, UnknownElement},
    {"PR", 140.91, UnknownElement},
    {"ND", 144.24, UnknownElement},
    {"PM", 145, UnknownElement},
    {"SM", 150.36, UnknownElement},
    {"EU", 151.96, UnknownElement},
    {"GD", 157.25, UnknownElement},
    {"TB", 158.93, UnknownElement},
    {"DY", 162.50, UnknownElement},
    {"HO", 164.93, UnknownElement},
    {"ER", 167.26, UnknownElement},
    {"TM", 168.93, UnknownElement},
    {"YB", 173.05, UnknownElement},
    {"LU", 174.97, UnknownElement},
    {"HF", 178.49, UnknownElement},
    {"TA", 180.95, UnknownElement},
    {"W", 183.84, UnknownElement},
    {"RE", 186.21, UnknownElement},
    {"OS", 190.23, UnknownElement},
    {"IR", 192.22, UnknownElement},
    {"PT", 195.08, UnknownElement},
    {"AU", 196.97, UnknownElement},
    {"HG", 200.59, UnknownElement},
    {"TL", 204.38, UnknownElement},
    {"PB", 207.2, UnknownElement},
    {"BI", 208.98, UnknownElement},
    {"PO", 209, UnknownElement},
    {"AT", 210, UnknownElement},
    {"RN", 222, UnknownElement},
    {"FR", 223, UnknownElement},
    {"RA", 226, UnknownElement},
    {"AC", 227, UnknownElement},
    {"TH", 232.04, UnknownElement},
    {"PA", 231.04, UnknownElement},
    {"U", 238.03, UnknownElement},
    {"NP", 237, UnknownElement},
    {"PU", 244, UnknownElement},
    {"AM", 243, UnknownElement},
    {"CM", 247, UnknownElement},
    {"BK", 247, UnknownElement},
    {"CF", 251, UnknownElement},
    {"ES", 252, UnknownElement},
    {"FM", 257, UnknownElement},
    {"MD", 258, UnknownElement},
    {"NO", 259, UnknownElement},
    {"LR", 262, UnknownElement},
    {"RF", 267, UnknownElement},
    {"DB", 268, UnknownElement},
    {"SG", 269, UnknownElement},
    {"BH", 270, UnknownElement},
    {"HS", 277, UnknownElement},
    {"MT", 278, UnknownElement},
    {"DS", 281, UnknownElement},
    {"RG", 282, UnknownElement},
    {"CN", 285, UnknownElement},
    {"NH", 286, UnknownElement},
    {"FL", 289, UnknownElement},
    {"MC", 290, UnknownElement},
    {"LV", 293, UnknownElement},
    {"TS", 294, UnknownElement},
    {"OG", 294, UnknownElement},
    {"D", 2.014, Hydrogen},
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

namespace {

// Every atom of a file asks: a table by the two letters, the first of a
// repeated symbol kept, as a search through the list finds it.
constexpr std::array<const ChemicalElement*, 26 * 27> kBySymbol = [] {
    std::array<const ChemicalElement*, 26 * 27> table{};
    for (const ChemicalElement& e : kChemicalElements) {
        const std::string_view s(e.symbol);
        if (s.empty() || s.size() > 2 || s[0] < 'A' || s[0] > 'Z' || (s.size() == 2 && (s[1] < 'A' || s[1] > 'Z')))
            continue;
        const size_t at = static_cast<size_t>(s[0] - 'A') * 27 + (s.size() == 2 ? s[1] - 'A' + 1 : 0);
        if (!table[at]) table[at] = &e;
    }
    return table;
}();

constexpr bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

const ChemicalElement* FindChemicalElement(char first, char second) {
    if (IsCapital(first) && (second == '\0' || IsCapital(second)))
        return kBySymbol[static_cast<size_t>(first - 'A') * 27 + (second ? second - 'A' + 1 : 0)];
    const char text[2] = {first, second};
    return FindChemicalElement(std::string_view(text, second ? 2 : 1));
}

const ChemicalElement* FindChemicalElement(std::string_view symbol) {
    while (!symbol.empty() && symbol.front() == ' ') symbol.remove_prefix(1);
    if (symbol.empty() || symbol.size() > 2) return nullptr;
    // Symbols are ASCII letters: no locale decides what is one.
    char upper[3] = {};
    for (size_t i = 0; i < symbol.size(); ++i) {
        const char c = symbol[i];
        if (c >= 'a' && c <= 'z') upper[i] = static_cast<char>(c - 'a' + 'A');
        else if (c >= 'A' && c <= 'Z') upper[i] = c;
        else return nullptr;
    }
    if (!IsCapital(upper[0]) || (upper[1] && !IsCapital(upper[1]))) return nullptr;
    return kBySymbol[static_cast<size_t>(upper[0] - 'A') * 27 + (upper[1] ? upper[1] - 'A' + 1 : 0)];
}

}  // namespace velm
