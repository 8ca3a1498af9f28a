#include "render/RayPick.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "model/Molecule.h"
#include "model/Trackball.h"
#include "render/DrawContext.h"
#include "render/Scene.h"
#include "render/SceneRadius.h"

namespace velm {

namespace {

// The render pass's eye and projection.
constexpr double kEyeDistance = 4, kNear = 0.5, kFar = 7;

struct Hit {
    double t = std::numeric_limits<double>::infinity();  // eye-space distance along the ray
    PickResult result;
};

// One molecule's frame: model point p lands at origin + scale * turn (p + shift)
// in eye space; `turn` is row-major.
struct MoleculeView {
    double turn[9];
    Vec3 origin, shift;
    double scale;

    Vec3 ToModelDirection(const Vec3& d) const {  // the transpose turns back
        return {turn[0] * d.x + turn[3] * d.y + turn[6] * d.z, turn[1] * d.x + turn[4] * d.y + turn[7] * d.z,
                turn[2] * d.x + turn[5] * d.y + turn[8] * d.z};
    }
};

MoleculeView ViewOf(const Molecule& m, double scale, double eyeAngle) {
    float r[16];
    RotationMatrix(m.trackball.orientation, r);
    const double a = eyeAngle * M_PI / 180, c = std::cos(a), s = std::sin(a);
    // The eye's turn about the vertical axis, then the molecule's (GL column order).
    const double eye[9] = {c, 0, s, 0, 1, 0, -s, 0, c};
    MoleculeView f;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            f.turn[3 * i + j] = eye[3 * i] * r[4 * j] + eye[3 * i + 1] * r[4 * j + 1] + eye[3 * i + 2] * r[4 * j + 2];
    f.origin = {m.displayOffset.x, -m.displayOffset.y, m.displayOffset.z - kEyeDistance};
    f.shift = {m.trackball.translation[0], m.trackball.translation[1], m.trackball.translation[2]};
    f.scale = scale;
    return f;
}

bool Shown(const Molecule& m, const Atom& a) { return !a.hetero || m.showSolvent; }
bool Shown(const Molecule& m, const Bond& b) { return !b.hetero || m.showSolvent; }

// What a molecule may show along the rays of the pick window.
struct Candidate {
    const Molecule* molecule;
    const MoleculeView* frame;
    int kind, index;
    Vec3 p, q;  // model space: the centre, or both ends
    double radius;
};

// The distance along a ray from o in unit direction d to the front of a
// sphere, or of an open tube from p to q (its inside is culled); negative
// for none.
double SphereHit(const Vec3& o, const Vec3& d, const Vec3& c, double r) {
    const Vec3 oc = c - o;
    const double b = Dot(oc, d), disc = b * b - Dot(oc, oc) + r * r;
    return disc < 0 ? -1 : b - std::sqrt(disc);
}

double TubeHit(const Vec3& o, const Vec3& d, const Vec3& p, const Vec3& q, double r) {
    const Vec3 axis = q - p;
    const double length = Length(axis);
    if (!(length > 0)) return -1;
    const Vec3 u = axis * (1 / length), w = o - p;
    const Vec3 dAcross = d - u * Dot(d, u), wAcross = w - u * Dot(w, u);
    const double a = Dot(dAcross, dAcross), b = Dot(dAcross, wAcross), c = Dot(wAcross, wAcross) - r * r;
    const double disc = b * b - a * c;
    if (disc < 0 || a < 1e-18) return -1;
    const double t = (-b - std::sqrt(disc)) / a;
    const double s = Dot(w + d * t, u);
    return s < 0 || s > length ? -1 : t;
}

}  // namespace

bool RayPickable(const list<std::unique_ptr<Molecule>>& molecules) {
    for (const auto& m : molecules) {
        if (m->AtomCount() == 0) continue;
        const RenderMode mode = m->renderMode;
        if (mode != Hidden && mode != Cpk && mode != Sticks && mode != BallAndStick) return false;
    }
    return true;
}

PickResult RayPick(const Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, int x, int y, int window) {
    const ViewSettings& s = scene.settings;
    if (molecules.Empty() || s.width <= 0 || s.height <= 0) return {};
    int left = 0, width = s.width;
    double eyeAngle = 0;
    if (s.stereo) {
        width = s.width / 2;
        if (x < width) {
            eyeAngle = -s.stereoHalfAngle;
        } else {
            left = width;
            eyeAngle = s.stereoHalfAngle;
        }
    }
    if (width <= 0) return {};
    const double aspect = static_cast<double>(width) / s.height;
    const double top = std::tan(EffectiveFieldOfView(s.fieldOfView, aspect) * M_PI / 360);
    // The eye-space direction through window point (wx, wy), y up.
    const auto direction = [&](double wx, double wy) {
        const Vec3 d{(2 * (wx - left) / width - 1) * top * aspect, (2 * wy / s.height - 1) * top, -1};
        return d * (1 / Length(d));
    };
    const double cx = x, cy = s.height - y;  // the pick window's centre, as gluPickMatrix takes it
    // The clipping plane fixed to the eye: kept where its equation, taken in
    // the eye's frame at the scene's centre, is not negative.
    const bool clipped = s.clipView;
    const double* plane = scene.clip.Equation();
    const double ca = std::cos(eyeAngle * M_PI / 180), sa = std::sin(eyeAngle * M_PI / 180);
    const auto kept = [&](const Vec3& e) {
        if (-e.z < kNear || -e.z > kFar) return false;
        if (!clipped) return true;
        const Vec3 v{e.x, e.y, e.z + kEyeDistance};
        const Vec3 back{ca * v.x - sa * v.z, v.y, sa * v.x + ca * v.z};  // the eye's turn undone
        return plane[0] * back.x + plane[1] * back.y + plane[2] * back.z + plane[3] >= 0;
    };

    // Everything that may meet a ray of the window: within the cone about
    // the centre ray that holds the window's corners, with room to spare.
    const Vec3 centre = direction(cx, cy);
    const double reach = 1.5 * std::sqrt(2.0) * (window / 2 + 1) * 2 * top / s.height;
    const double scale = 4 / s.SceneRadius;
    std::vector<MoleculeView> frames;
    frames.reserve(static_cast<size_t>(molecules.Count()));  // the candidates point into it
    std::vector<Candidate> candidates;
    for (const auto& mp : molecules) {
        const Molecule& m = *mp;
        frames.push_back(ViewOf(m, scale, eyeAngle));
        const MoleculeView& f = frames.back();
        const RenderMode mode = m.renderMode;
        if (m.AtomCount() == 0 || mode == Hidden) continue;
        const Vec3 d = f.ToModelDirection(centre);
        const Vec3 o = f.ToModelDirection(f.origin * (-1 / f.scale)) - f.shift;
        const auto near = [&](const Vec3& c, double r) {
            const Vec3 oc = c - o;
            const double b = Dot(oc, d), across2 = Dot(oc, oc) - b * b;
            const double bound = r + reach * std::max(b, 0.0);
            return b > -r && across2 <= bound * bound;
        };
        const DrawnPositions at(m);
        if (mode != Cpk) {
            const double r = s.stickBondRadius;
            for (size_t j = 0; j < m.bonds.size(); ++j) {
                const Bond& b = m.bonds[j];
                if (!Shown(m, b)) continue;
                const Vec3 p = at[b.first], q = at[b.second];
                if (near((p + q) * 0.5, 0.5 * Length(q - p) + r))
                    candidates.push_back({&m, &f, PickResult::BondHit, static_cast<int>(j), p, q, r});
            }
        }
        for (int i = 0; i < m.AtomCount(); ++i) {
            const Atom& a = m.atoms[static_cast<size_t>(i)];
            if (!Shown(m, a)) continue;
            const double r = mode == Cpk ? a.radius : s.stickAtomRadius;
            const Vec3 p = at[i];
            if (near(p, r)) candidates.push_back({&m, &f, PickResult::AtomHit, i, p, p, r});
        }
    }
    if (candidates.empty()) return {};

    // The nearest front surface along one ray; a later one wins a tie, as
    // the selection pass lets it.
    const auto cast = [&](double wx, double wy) {
        const Vec3 e = direction(wx, wy);
        Hit best;
        for (const Candidate& c : candidates) {
            const MoleculeView& f = *c.frame;
            const Vec3 d = f.ToModelDirection(e);
            const Vec3 o = f.ToModelDirection(f.origin * (-1 / f.scale)) - f.shift;
            const double t = c.kind == PickResult::AtomHit ? SphereHit(o, d, c.p, c.radius)
                                                           : TubeHit(o, d, c.p, c.q, c.radius);
            if (!(t > 0)) continue;
            const double te = t * f.scale;
            if (te <= best.t * (1 + 1e-9) && kept(e * te)) {
                best.t = te;
                best.result = {c.kind, c.index, const_cast<Molecule*>(c.molecule)};
            }
        }
        return best.result;
    };
    const PickResult hit = cast(cx, cy);
    if (hit.molecule || window <= 1) return hit;
    // The pixel centres of the window, nearest the centre first.
    std::vector<std::pair<double, std::pair<double, double>>> points;
    for (int j = 0; j < window; ++j)
        for (int i = 0; i < window; ++i) {
            const double dx = i - window / 2 + 0.5, dy = j - window / 2 + 0.5;
            points.push_back({dx * dx + dy * dy, {cx + dx, cy + dy}});
        }
    std::stable_sort(points.begin(), points.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [distance, point] : points)
        if (const PickResult r = cast(point.first, point.second); r.molecule) return r;
    return {};
}

}  // namespace velm
