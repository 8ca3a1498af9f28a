#include "render/SceneRadius.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Molecule.h"

namespace velm {

float ComputeSceneRadius(const list<std::unique_ptr<Molecule>>& molecules, bool scaleToFit) {
    if (molecules.Empty()) return 1;
    // The sphere about the origin that holds every atom, spheres of the
    // space-filling representation included, in every orientation.
    double radius = 0;
    for (const auto& m : molecules) {
        double largestAtom = 0;
        for (const Atom& a : m->atoms) largestAtom = std::max(largestAtom, a.radius);
        const float* t = m->trackball.translation;
        const double moved = scaleToFit ? std::sqrt(double{t[0]} * t[0] + double{t[1]} * t[1] + double{t[2]} * t[2]) : 0;
        radius = std::max(radius, m->box.reach + moved + largestAtom);
    }
    if (!(radius > 1e-6) || !std::isfinite(radius)) return 1;
    return static_cast<float>(radius / std::sin(kFitHalfAngle * std::numbers::pi / 180));
}

double EffectiveFieldOfView(double fieldOfView, double aspect) {
    if (!(aspect > 0) || aspect >= 1) return fieldOfView;
    const double half = std::min(fieldOfView, 179.0) * std::numbers::pi / 360;
    return 2 * std::atan(std::tan(half) / aspect) * 180 / std::numbers::pi;
}

}  // namespace velm
