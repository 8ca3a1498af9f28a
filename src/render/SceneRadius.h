#pragma once
// The radius the scene is scaled to: the model scale is 4 / SceneRadius, so
// a sphere of that radius about the origin fills the view.
#include <memory>

#include "core/List.h"

namespace velm {

class Molecule;

// The radius of the sphere about the origin that holds every atom (its
// space-filling sphere included, in any frame and orientation), moved by the
// molecule's translation when scaling to fit, divided by the sine of
// kFitHalfAngle: at the default field of view the whole scene then lies
// inside the view, a little in from its edges, with its front well behind
// the near plane. 1 without molecules, and never 0.
inline constexpr double kFitHalfAngle = 28;  // degrees, inside half the default 60
float ComputeSceneRadius(const list<std::unique_ptr<Molecule>>& molecules, bool scaleToFit);

// The vertical field of view that gives the view's narrower side the field
// of view asked for: a window taller than wide keeps the scene whole across.
double EffectiveFieldOfView(double fieldOfView, double aspect);

}  // namespace velm
