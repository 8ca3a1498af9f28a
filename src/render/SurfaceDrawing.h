#pragma once
// Draws a molecule's molecular surface in its style: filled, as a mesh of
// lines or as dots, coloured by the nearest atoms or in one colour.
namespace velm {

class Molecule;
class ClipPlane;
class MeshBuffers;
struct DrawContext;

// In the molecule's model-view. With clipping of the scene or of the surface
// alone, culling goes off and both sides are lit; clipping the surface alone
// switches the plane on for it only. With buffers, the mesh is drawn from
// the copy kept there; else from the surface's arrays.
void DrawSurface(const Molecule& molecule, const DrawContext& context, ClipPlane& clip,
                 MeshBuffers* buffers = nullptr);

}  // namespace velm
