#pragma once
// The twenty standard amino acids, told apart by the first letters of the
// residue name; 20 stands for any other residue.
#include <string_view>

namespace velm {

enum ResidueType : int {
    ALA = 0, VAL, PHE, PRO, MET, ILE, LEU, ASP, GLU, LYS, ARG, SER, THR, TYR, HIS,
    CYS, ASN, GLN, TRP, GLY, NonStandardResidue
};

ResidueType ResidueTypeFromName(std::string_view name);

// True when the name is exactly one of the twenty standard three-letter names
// (case-insensitive).
bool IsStandardResidueName(std::string_view name);

}  // namespace velm
