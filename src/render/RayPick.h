#pragma once
// Picking without drawing, for scenes of spheres and sticks: rays from the
// eye against the atoms' spheres and the bonds' open tubes as the render
// pass draws them (radii, hidden solvent, the current frame, the clipping
// plane, the near and far planes), the nearest front surface winning. At a
// million atoms this takes milliseconds where the selection pass takes
// seconds.
#include <memory>

#include "core/List.h"
#include "render/Pick.h"

namespace velm {

class Molecule;
struct Scene;

// Whether every molecule with atoms is hidden or drawn as CPK, sticks or
// ball and stick: all a ray can find.
bool RayPickable(const list<std::unique_ptr<Molecule>>& molecules);

// Picks at window point (x, y), y down, as Pick names it: the atom or bond
// whose surface the ray through that point meets first; when it meets
// none, the first met by the rays through the pixel centres of the pick
// window (`window` pixels square; 1: the one ray), nearest to the point
// first. Stereo as in Pick.
PickResult RayPick(const Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, int x, int y,
                   int window = static_cast<int>(kPickWindow));

}  // namespace velm
