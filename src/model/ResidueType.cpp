#include "model/ResidueType.h"

#include <array>

namespace velm {

namespace {
// Residue names are ASCII: no locale decides their case.
char Up(std::string_view s, size_t i) {
    if (i >= s.size()) return '\0';
    const char c = s[i];
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
}  // namespace

ResidueType ResidueTypeFromName(std::string_view name) {
    const char c0 = Up(name, 0), c1 = Up(name, 1), c2 = Up(name, 2);
    switch (c0) {
    case 'A':
        if (c1 == 'L') return ALA;
        if (c1 == 'R') return ARG;
        return c2 == 'P' ? ASP : ASN;
    case 'V': return VAL;
    case 'P': return c1 == 'H' ? PHE : PRO;
    case 'M': return MET;
    case 'I': return ILE;
    case 'L': return c1 == 'E' ? LEU : LYS;
    case 'G':
        if (c2 == 'U') return GLU;
        if (c2 == 'Y') return GLY;
        return GLN;
    case 'S': return SER;
    case 'T':
        if (c1 == 'H') return THR;
        if (c1 == 'Y') return TYR;
        return TRP;
    case 'C': return CYS;
    case 'H': return HIS;
    default: return NonStandardResidue;
    }
}

bool IsStandardResidueName(std::string_view name) {
    // Called for every record of a file: one table look-up by the type the
    // name's first letters give, then one comparison.
    static constexpr std::array<std::string_view, 20> kNames = {
        "ALA", "VAL", "PHE", "PRO", "MET", "ILE", "LEU", "ASP", "GLU", "LYS",
        "ARG", "SER", "THR", "TYR", "HIS", "CYS", "ASN", "GLN", "TRP", "GLY"};
    if (name.size() != 3) return false;
    const ResidueType type = ResidueTypeFromName(name);
    if (type == NonStandardResidue) return false;
    const std::string_view want = kNames[type];
    return Up(name, 0) == want[0] && Up(name, 1) == want[1] && Up(name, 2) == want[2];
}

}  // namespace velm
