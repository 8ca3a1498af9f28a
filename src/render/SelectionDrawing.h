#pragma once
// Picking draws what the user sees, named after what it shows, so that a
// click picks the sphere, stick or ribbon under the cursor: the drawing
// routines name their spheres after atoms, sticks after bonds and backbone
// steps after the residue's trace atom when the context is naming. Names run
// over the document's molecules in list order: a molecule with first name b
// names atom i b + i and bond j b + atoms + j.
namespace velm {

class Molecule;
struct DrawContext;

// What stands for lines and points in picking: each atom and bond midpoint
// as one named point; hetero atoms, and bonds between two hetero atoms, only
// with solvent shown.
void DrawNamedPoints(const Molecule& molecule, const DrawContext& context);

}  // namespace velm
