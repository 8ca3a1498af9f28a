#pragma once
// Superposition of two molecules on their alpha carbons, paired in chain
// order: the fit a user asks for first, before choosing atoms by hand.
#include <cstddef>
#include <vector>

namespace velm {

class CVelmDoc;
class Molecule;

// Atom indices of the alpha carbons of every residue, chain by chain.
std::vector<int> AlphaCarbons(const Molecule& molecule);

struct AlphaCarbonFit {
    std::size_t pairs = 0;
    double rmsdBefore = 0, rmsdAfter = 0;  // mass-weighted, angstrom
};

// Moves `moving` onto `fixed` (both of the document) on their alpha carbons,
// paired in order up to the shorter list, mass-weighted, and announces the
// moved coordinates. Throws "Please select at least three atoms from  each
// molecule" for fewer than three pairs, and the superposition's errors;
// nothing moves then.
AlphaCarbonFit SuperposeOnAlphaCarbons(CVelmDoc& document, const Molecule& fixed, Molecule& moving);

}  // namespace velm
