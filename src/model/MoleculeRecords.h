#pragma once
// A molecule turned back into PDB records, as saving writes it.
#include <cstdio>
#include <string>

#include "model/PdbFile.h"

namespace velm {

class Molecule;

// Records of the molecule's atoms in its current frame, placed by its
// trackball (rotation and translation) as the scene shows them and moved
// back by the centring of the load (a molecule nobody moved is written where
// its file had it), with the file's chain letters and element symbols,
// serials shifted by `serialOffset`, models numbered from modelOffset + 1,
// temperature factors as read or, when asked, normalised to 0.01..99.81, and
// CONECT entries of the first atom's model for the atoms the file had them
// for and the bonds the distance rule would not find.
PdbFile MoleculeToPdbFile(const Molecule& molecule, int serialOffset, int modelOffset, bool normalise);

// Writes those records to an open stream and returns the last model number
// written; a failure throws "Error saving pdb file, " followed by `fileName`
// (and, for a value its columns cannot hold, ": " and which).
int WriteMolecule(std::FILE* out, const Molecule& molecule, int serialOffset, int modelOffset, int precision,
                  bool writeConect, bool normalise, const std::string& fileName);

}  // namespace velm
