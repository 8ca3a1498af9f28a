#pragma once
// Which spheres of a dense scene can show at all: a coarse screen grid holds,
// per cell, the nearest depth at which some opaque sphere covers the whole
// cell, and a sphere whose every cell is covered nearer than its own front
// is hidden. Conservative: a sphere kept may still be hidden, a sphere
// dropped never shows. The impostors are shaded late (they write their
// depth), so each hidden one drawn costs its full area in fragments.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace velm {

struct SphereSet {
    const float* centres = nullptr;  // 3 per sphere, model space
    const float* radii = nullptr;    // model space
    const std::uint8_t* opaque = nullptr;  // 1: may hide others
    std::size_t count = 0;
};

// Appends to `visible` the index of every sphere that may show in the
// viewport (x, y, width, height) under the column-major model-view and
// perspective projection given; all of them when the view is too large to
// grid.
void VisibleSpheres(const SphereSet& spheres, const float modelView[16], const float projection[16],
                    const int viewport[4], std::vector<std::uint32_t>& visible);

}  // namespace velm
