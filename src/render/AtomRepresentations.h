#pragma once
// The all-atom representations and the alpha-carbon trace. Each is drawn in
// the molecule's model-view (scaled by 4 / SceneRadius and moved by its
// translation) and leaves the line light on and the solid lights off.
// Hetero atoms and bonds are skipped unless the molecule shows solvent.
namespace velm {

class Molecule;
struct DrawContext;

// Bond lines: a split bond in two halves coloured by its atoms, any other in
// its first atom's colour; one line batch per molecule.
void DrawWireFrame(const Molecule& molecule, const DrawContext& context);
// A sphere of each atom's own radius and colour (alpha blends).
void DrawCpk(const Molecule& molecule, const DrawContext& context);
// A 2-pixel point per atom.
void DrawPoints(const Molecule& molecule, const DrawContext& context);
// Bond cylinders of the stick bond radius (split bonds in two halves), then
// a sphere of the stick atom radius at every atom: Sticks and BallAndStick.
void DrawSticks(const Molecule& molecule, const DrawContext& context);
// Cylinders between consecutive alpha carbons of each chain of more than one
// residue, and spheres at the alpha carbons.
void DrawTraceSticks(const Molecule& molecule, const DrawContext& context);
// A line strip through each such chain's alpha carbons.
void DrawTraceWireFrame(const Molecule& molecule, const DrawContext& context);

}  // namespace velm
