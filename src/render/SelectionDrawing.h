#pragma once
// How a molecule is drawn for picking: every pickable atom and bond midpoint
// as one named point. Names run over the document's molecules in list order:
// a molecule with first name b names atom i b + i and bond j b + atoms + j.
namespace velm {

class Molecule;

// Nothing for a hidden molecule, nor for a ribbon or spline unless its wire
// frame is shown. Hetero atoms, and bonds between two hetero atoms, only
// with solvent shown.
void DrawForSelection(const Molecule& molecule, unsigned firstName);

}  // namespace velm
