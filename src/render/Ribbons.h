#pragma once
// The backbone drawn as a spline line, solid ribbons, tubes and flat
// ribbons, following each chain's alpha carbons.
#include "model/RenderMode.h"

namespace velm {

class Molecule;
class MeshBuffers;
struct DrawContext;

// Widths and thicknesses of every residue for a ribbon or tube mode:
// helices 1 x 0.5, strands 2 x 0.2, the rest 0.2 x 0.2 in ribbons; 0.5 in
// tubes; 2 (value + 0.1) for temperature and occupancy tubes, the value
// normalised over the molecule. Other modes change nothing.
void PrepareRibbonSizes(Molecule& molecule, RenderMode mode);

// One line strip per chain through the spline, each step in the colour of
// its segment's first alpha carbon.
void DrawTraceSpline(const Molecule& molecule, const DrawContext& context);
// Elliptic cross-sections swept along the spline, closed by caps at both
// ends: SolidRibbon, Tube, TemperatureTube and OccupancyTube. With buffers,
// the triangles come from the molecule's mesh kept there, gathered again
// only when what they follow changed; else they go to GL one by one.
void DrawSolidRibbon(const Molecule& molecule, const DrawContext& context, MeshBuffers* buffers = nullptr);
// A two-sided band twice the width wide; buffers as above.
void DrawFlatRibbon(const Molecule& molecule, const DrawContext& context, MeshBuffers* buffers = nullptr);

}  // namespace velm
