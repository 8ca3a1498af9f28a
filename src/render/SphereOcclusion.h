#pragma once
// Which spheres and sticks of a dense scene can show at all: a coarse screen
// grid holds, per cell, the nearest depth at which some opaque sphere covers
// the whole cell, and a sphere or stick whose every cell is covered nearer
// than its own front is hidden. Conservative: one kept may still be hidden,
// one dropped never shows. The impostors are shaded late (they write their
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

struct CylinderSet {
    const float* ends = nullptr;  // 6 per cylinder (both ends), model space
    float radius = 0;             // model space
    std::size_t count = 0;
};

// The grid of what the opaque spheres of a set cover in one view: the
// column-major model-view and perspective projection given, the viewport
// (x, y, width, height). A view too large to grid hides nothing.
class SphereOcclusion {
public:
    SphereOcclusion(const SphereSet& spheres, const float modelView[16], const float projection[16],
                    const int viewport[4]);
    // Append the index of every sphere of the set, or cylinder, that may show.
    void VisibleSpheres(std::vector<std::uint32_t>& visible) const;
    void VisibleCylinders(const CylinderSet& cylinders, std::vector<std::uint32_t>& visible) const;

private:
    struct Projected {
        float x, y;        // window pixels
        float inner, outer;
        float frontDepth;  // distance along the line of sight, eye space
        bool ok;           // in front of the eye, far enough to project
    };
    // Whether every cell of the window box (pixels) lies within the grid
    // and is covered nearer than `front`.
    bool Covered(float left, float bottom, float right, float top, float front) const;

    SphereSet spheres_;
    float mv_[16], p_[16];
    float halfWidth_ = 0, halfHeight_ = 0, scale_ = 0;
    int columns_ = 0, rows_ = 0;
    bool gridded_ = false;
    std::vector<float> cover_;
    std::vector<Projected> at_;
};

// The spheres of a set that may show, as SphereOcclusion finds them.
void VisibleSpheres(const SphereSet& spheres, const float modelView[16], const float projection[16],
                    const int viewport[4], std::vector<std::uint32_t>& visible);

}  // namespace velm
