#pragma once
// A molecule turned back into PDB records, as saving writes it.
#include <cstdio>
#include <string>

#include "model/PdbFile.h"

namespace velm {

class Molecule;

// Records of the molecule's atoms in its current frame, placed by its
// trackball (rotation and translation) as the scene shows them, serials shifted by
// `serialOffset`, temperature factors normalised to 0.01..99.81 when asked
// (else capped at 99.9), and CONECT entries for the first atom's model.
PdbFile MoleculeToPdbFile(const Molecule& molecule, int serialOffset, bool normalise);

// Writes those records to an open stream; a failure throws
// "Error saving pdb file, " followed by `fileName`.
void WriteMolecule(std::FILE* out, const Molecule& molecule, int serialOffset, int precision, bool writeConect,
                   bool normalise, const std::string& fileName);

}  // namespace velm
