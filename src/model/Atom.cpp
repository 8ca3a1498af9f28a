#include "model/Atom.h"

#include <algorithm>
#include <cstring>

namespace velm {

namespace {
template <size_t N>
void Store(char (&dst)[N], std::string_view s) {
    const size_t n = std::min(s.size(), N - 1);
    std::memcpy(dst, s.data(), n);
    std::memset(dst + n, 0, N - n);
}

// Clamped before the conversion: pasted values can be anything, NaN included.
std::uint8_t Channel(double v) { return v >= 255.0 ? 255 : v > 0.0 ? static_cast<std::uint8_t>(v) : 0; }
}  // namespace

void Atom::SetName(std::string_view name) {
    Store(name_, name);
    element = ElementFromName(name);
}

void Atom::SetResidueName(std::string_view name) { Store(residueName_, name); }

void Atom::SetElementSymbol(std::string_view symbol) {
    const ChemicalElement* e = FindChemicalElement(symbol);
    Store(elementSymbol_, e ? std::string_view(e->symbol) : std::string_view());
    if (e) element = e->type;
}

void Atom::SetColourFromValue(double t) {
    colour.r = Channel(255.0 * t);
    colour.g = Channel(t < 0.5 ? 510.0 * t : 510.0 * (1.0 - t));
    colour.b = Channel(255.0 * (1.0 - t));
    colour.a = 255;
}

}  // namespace velm
