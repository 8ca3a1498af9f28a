#include "render/SceneRadius.h"

#include <algorithm>
#include <cmath>

#include "model/Molecule.h"

namespace velm {

float ComputeSceneRadius(const list<std::unique_ptr<Molecule>>& molecules, bool scaleToFit) {
    if (molecules.Empty()) return 1;
    double radius = 0;
    if (scaleToFit) {
        double reach[3] = {0, 0, 0};
        for (const auto& m : molecules) {
            const double half[3] = {m->box.extent.x / 2, m->box.extent.y / 2, m->box.extent.z / 2};
            for (int k = 0; k < 3; ++k)
                reach[k] = std::max(reach[k], std::fabs(double{m->trackball.translation[k]}) + half[k]);
        }
        radius = std::sqrt(reach[0] * reach[0] + reach[1] * reach[1] + reach[2] * reach[2]);
    } else {
        for (const auto& m : molecules) radius = std::max(radius, m->Radius());
    }
    // One atom, or atoms all at one point: keep a finite scale.
    if (!(radius > 1e-6) || !std::isfinite(radius)) return 1;
    return static_cast<float>(radius);
}

}  // namespace velm
