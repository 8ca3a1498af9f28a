#include "model/Atom.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

namespace velm {

namespace {
template <size_t N>
void Store(char (&dst)[N], std::string_view s) {
    const size_t n = std::min(s.size(), N - 1);
    std::memcpy(dst, s.data(), n);
    std::memset(dst + n, 0, N - n);
}

// A field copied whole, cleared from its first NUL on and ended within
// itself, as Store leaves it; returns the length of its text. The field is
// handled as one word: its first zero byte is the lowest flagged by the
// borrow test (the flags above it may be false).
template <size_t N>
size_t CopyField(char (&dst)[N], const char (&src)[N]) {
    static_assert(N <= 8);
    std::uint64_t w = 0;
    std::memcpy(&w, src, N);
    if constexpr (std::endian::native == std::endian::little) {
        w &= ~(0xFFull << (8 * (N - 1)));
        const std::uint64_t zeros = (w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull;
        const size_t length = static_cast<size_t>(std::countr_zero(zeros)) / 8;
        w &= length == 0 ? 0 : ~0ull >> (64 - 8 * length);
        std::memcpy(dst, &w, N);
        return length;
    } else {
        const size_t length = strnlen(src, N - 1);
        Store(dst, std::string_view(src, length));
        return length;
    }
}

// Clamped before the conversion: pasted values can be anything, NaN included.
std::uint8_t Channel(double v) { return v >= 255.0 ? 255 : v > 0.0 ? static_cast<std::uint8_t>(v) : 0; }
}  // namespace

void Atom::SetName(std::string_view name) {
    Store(name_, name);
    element = ElementFromName(name);
}

void Atom::SetResidueName(std::string_view name) { Store(residueName_, name); }

void Atom::SetNames(const char (&name)[8], const char (&residueName)[6], const char (&elementSymbol)[3]) {
    const size_t length = CopyField(name_, name);
    CopyField(residueName_, residueName);
    // An element the symbol names decides; the name is read only without one.
    if (elementSymbol[0] && TakeElement(FindChemicalElement(elementSymbol[0], elementSymbol[1]))) return;
    element = ElementFromName(std::string_view(name_, length));
}

void Atom::SetElementSymbol(std::string_view symbol) { TakeElement(FindChemicalElement(symbol)); }

bool Atom::TakeElement(const ChemicalElement* e) {
    if (!e) {
        Store(elementSymbol_, {});
        return false;
    }
    // Found symbols have one or two letters.
    elementSymbol_[0] = e->symbol[0];
    elementSymbol_[1] = e->symbol[1];
    elementSymbol_[2] = '\0';
    element = e->type;
    return true;
}

void Atom::SetColourFromValue(double t) {
    colour.r = Channel(255.0 * t);
    colour.g = Channel(t < 0.5 ? 510.0 * t : 510.0 * (1.0 - t));
    colour.b = Channel(255.0 * (1.0 - t));
    colour.a = 255;
}

}  // namespace velm
