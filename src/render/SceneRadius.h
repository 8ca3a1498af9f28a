#pragma once
// The radius the scene is scaled to: the model scale is 4 / SceneRadius, so
// a sphere of that radius about the origin fills the view.
#include <memory>

#include "core/List.h"

namespace velm {

class Molecule;

// Scale to fit: the length of (X, Y, Z), each the largest over molecules of
// |trackball translation| + half the bounding-box extent on that axis.
// Otherwise the largest molecule radius. 1 without molecules, and never 0,
// so that the scale stays finite for a single atom.
float ComputeSceneRadius(const list<std::unique_ptr<Molecule>>& molecules, bool scaleToFit);

}  // namespace velm
