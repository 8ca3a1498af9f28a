#pragma once
// What the sequence tool's colour chooser does to the residues of chosen rows.
#include <vector>

#include "core/Rgba.h"

namespace velm {

class CVelmDoc;
class Molecule;

// Every atom of each row's residue takes `colour`, rows in ascending order
// (rows as SequenceRows counts them); then the bonds' split colours follow and
// the document announces Display once. Throws VelmError "Failed to find all
// selected residues!" at the first row that matches no residue; the rows
// before it keep their colour.
void ColourSequenceRows(CVelmDoc& document, Molecule& molecule, const std::vector<int>& rows, Rgba colour);

// The colour a chooser starts from for a row's residue: its alpha carbon's,
// else its first atom's (a residue without CA), else opaque white. Throws
// VelmError "Couldn't find selected residue! What trickery is this?" for a
// row that matches no residue.
Rgba SequenceRowColour(const Molecule& molecule, int row);

}  // namespace velm
