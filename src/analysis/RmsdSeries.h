#pragma once
// A trajectory's drift from its structure: per frame, the RMSD of the alpha
// carbons to those of frame 0 (the structure itself) after the best rigid
// superposition, mass-weighted as the alignment of two molecules is.
#include <vector>

namespace velm {

class Molecule;

// One value per frame 0..FrameCount(), frame 0 giving 0. Throws VelmError
// "Please select at least three atoms from  each molecule" with fewer than
// three alpha carbons, and the superposition's errors (collinear atoms).
std::vector<double> AlphaCarbonRmsdSeries(const Molecule& molecule);

}  // namespace velm
