#pragma once
#include <vector>

#include "core/Vec3.h"

namespace velm {

// One coordinate set of a trajectory: x, y, z per atom. Stored in single
// precision, as trajectory files hold them, to halve the memory of long runs.
struct Frame {
    std::vector<float> xyz;

    explicit Frame(size_t atoms = 0) : xyz(3 * atoms, 0.0f) {}
    size_t AtomCount() const { return xyz.size() / 3; }
    Vec3 Position(size_t i) const { return {xyz[3 * i], xyz[3 * i + 1], xyz[3 * i + 2]}; }
    void SetPosition(size_t i, const Vec3& p) {
        xyz[3 * i] = static_cast<float>(p.x);
        xyz[3 * i + 1] = static_cast<float>(p.y);
        xyz[3 * i + 2] = static_cast<float>(p.z);
    }
};

}  // namespace velm
