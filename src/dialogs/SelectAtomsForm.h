#pragma once
// "Select Atoms": the atoms of one molecule that are not chosen yet, shown
// all, without hydrogens, or only the alpha carbons.
#include <string>
#include <vector>

namespace velm {

class Molecule;

enum class AtomFilter : int { AllAtoms = 0, HeavyAtoms, AlphaCarbons };
// "Show All Atoms", "Show Only Heavy Atoms", "Show Only Alpha Carbons".
const char* AtomFilterText(AtomFilter filter);

// Atom indices, in atom order, whose `chosen` flag is 0 and that pass the
// filter. Atoms beyond the flags count as chosen.
std::vector<int> AtomChoices(const Molecule& molecule, const std::vector<char>& chosen, AtomFilter filter);

// "%d:%s:%s%d": serial, atom name, residue name, residue number.
std::string AtomLine(const Molecule& molecule, int atom);

}  // namespace velm
