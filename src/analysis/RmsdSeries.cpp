#include "analysis/RmsdSeries.h"

#include <cmath>

#include "analysis/AlphaCarbonFit.h"
#include "analysis/Kabsch.h"
#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {
// The positions of `atoms` in frame k, centred on their weighted centre.
std::vector<Vec3> Centred(const Molecule& m, const std::vector<int>& atoms, const std::vector<double>& w, int k) {
    std::vector<Vec3> p(atoms.size());
    Vec3 sum;
    double total = 0;
    for (size_t i = 0; i < atoms.size(); ++i) {
        p[i] = m.Position(atoms[i], k);
        sum += p[i] * w[i];
        total += w[i];
    }
    const Vec3 centre = sum * (1 / total);
    for (Vec3& v : p) v -= centre;
    return p;
}
}  // namespace

std::vector<double> AlphaCarbonRmsdSeries(const Molecule& m) {
    const std::vector<int> atoms = AlphaCarbons(m);
    if (atoms.size() < 3) throw VelmError("Please select at least three atoms from  each molecule");
    std::vector<double> w(atoms.size());
    double total = 0;
    for (size_t i = 0; i < atoms.size(); ++i) total += w[i] = m.atoms[static_cast<size_t>(atoms[i])].mass;
    const std::vector<Vec3> fixed = Centred(m, atoms, w, 0);
    std::vector<double> out{0.0};
    for (int k = 1; k <= m.FrameCount(); ++k) {
        const std::vector<Vec3> moving = Centred(m, atoms, w, k);
        const Matrix3 U = SuperpositionRotation(fixed, moving, w);
        double sum = 0;
        for (size_t i = 0; i < atoms.size(); ++i) {
            const Vec3& b = moving[i];
            const Vec3 turned{U.m[0][0] * b.x + U.m[0][1] * b.y + U.m[0][2] * b.z,
                              U.m[1][0] * b.x + U.m[1][1] * b.y + U.m[1][2] * b.z,
                              U.m[2][0] * b.x + U.m[2][1] * b.y + U.m[2][2] * b.z};
            const Vec3 d = fixed[i] - turned;
            sum += w[i] * Dot(d, d);
        }
        out.push_back(std::sqrt(sum / total));
    }
    return out;
}

}  // namespace velm
