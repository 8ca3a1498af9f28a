#include "render/SplineCursor.h"

#include <algorithm>
#include <cmath>

#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {
Vec3 Resized(const Vec3& v, double length) {
    const double l = Length(v);
    return l > 0 ? v * (length / l) : Vec3{};
}

// The unit component of x perpendicular to y.
Vec3 Side(const Vec3& x, const Vec3& y) { return Resized(x * Dot(y, y) - y * Dot(x, y), 1); }

// The side vector turned, if need be, to agree with the previous one.
Vec3 Agreeing(const Vec3& side, const Vec3& previous) { return Dot(side, previous) < 0 ? side * -1.0 : side; }

template <typename T>
T Sum(const double w[4], const T v[4]) {
    return v[0] * w[0] + v[1] * w[1] + v[2] * w[2] + v[3] * w[3];
}

double Sum(const double w[4], const double v[4]) { return v[0] * w[0] + v[1] * w[1] + v[2] * w[2] + v[3] * w[3]; }

}  // namespace

void CardinalWeights(double u, double t, double w[4]) {
    const double s = 1 / t;
    w[0] = -s * u * (1 - u) * (1 - u);
    w[1] = s * (t - u * u * ((1 - 2 * t) * u + 3 * t - 1));
    w[2] = s * u * (u * ((1 - 2 * t) * u + 3 * t - 2) + 1);
    w[3] = s * u * u * (u - 1);
}

void CardinalDerivatives(double u, double t, double d[4]) {
    const double s = 1 / t;
    d[0] = -s * (1 - 4 * u + 3 * u * u);
    d[1] = u * ((6 - 3 * s) * u + 2 * s - 6);
    d[2] = s + u * (6 - 4 * s + (3 * s - 6) * u);
    d[3] = s * u * (3 * u - 2);
}

SplineCursor::SplineCursor(const Molecule& molecule, int chain, int resolution, double tension, BackboneRun run)
    : molecule_(molecule), at_(molecule), chain_(chain) {
    if (resolution < 0) throw VelmError("Bad resolution");
    if (chain < 0) throw VelmError("Bad chain number -- too small");
    if (chain >= static_cast<int>(molecule.chains.size())) throw VelmError("Bad chain number -- too large");
    const int residues = static_cast<int>(molecule.chains[static_cast<size_t>(chain)].residues.size());
    base_ = std::clamp(run.first, 0, residues);
    n_ = run.count < 0 ? residues - base_ : std::min(run.count, residues - base_);
    steps_ = resolution + 1;
    du_ = 1.0 / steps_;
    t_ = tension >= 1 && tension <= 3 ? tension : 2;
    s_ = 1 / t_;
    // Every residue needs its trace atom; a run without them has no curve.
    for (int k = 0; k < n_; ++k)
        if (ResidueAt(k).traceAtom < 0 || ResidueAt(k).traceAtom >= molecule.AtomCount()) n_ = 0;
}

const Residue& SplineCursor::ResidueAt(int k) const {
    return molecule_.chains[static_cast<size_t>(chain_)].residues[static_cast<size_t>(base_ + k)];
}

Vec3 SplineCursor::Ca(int residue) const { return at_[ResidueAt(residue).traceAtom]; }

Vec3 SplineCursor::Guide(int residue) const {
    const Residue& r = ResidueAt(residue);
    if (r.guideAtom >= 0 && r.guideAtom < molecule_.AtomCount()) return at_[r.guideAtom];
    // Without a guide atom (an alpha-carbon model) the ribbon turns with the
    // curve: its width points away from the neighbours.
    const Vec3 p = Ca(residue);
    const Vec3 before = residue > 0 ? Ca(residue - 1) : p * 2.0 - Ca(residue + 1);
    const Vec3 after = residue + 1 < n_ ? Ca(residue + 1) : p * 2.0 - Ca(residue - 1);
    Vec3 out = (p - before) + (p - after);
    if (Length(out) < 1e-6) {
        const Vec3 along = after - before;
        out = Cross(along, std::fabs(along.x) < 0.9 * Length(along) ? Vec3{1, 0, 0} : Vec3{0, 1, 0});
    }
    return p + out;
}

void SplineCursor::LoadSegment() {
    const int i = i_;
    const auto width = [&](int k) { return ResidueAt(k).width; };
    const auto thick = [&](int k) { return ResidueAt(k).thickness; };
    p_[1] = Ca(i), p_[2] = Ca(i + 1);
    g_[1] = Guide(i), g_[2] = Guide(i + 1);
    w_[1] = width(i), w_[2] = width(i + 1);
    th_[1] = thick(i), th_[2] = thick(i + 1);
    if (i == 0) {
        p_[0] = p_[1] * 2.0 - p_[2];
        g_[0] = g_[1] * 2.0 - g_[2];
        w_[0] = 2 * w_[1] - w_[2];
        th_[0] = 2 * th_[1] - th_[2];
    } else {
        p_[0] = Ca(i - 1), g_[0] = Guide(i - 1), w_[0] = width(i - 1), th_[0] = thick(i - 1);
    }
    if (i == n_ - 2) {
        p_[3] = p_[2] * 2.0 - p_[1];
        g_[3] = g_[2] * 2.0 - g_[1];
        w_[3] = 2 * w_[2] - w_[1];
        th_[3] = 2 * th_[2] - th_[1];
    } else {
        p_[3] = Ca(i + 2), g_[3] = Guide(i + 2), w_[3] = width(i + 2), th_[3] = thick(i + 2);
    }
}

bool SplineCursor::Advance() {
    if (step_ >= steps_) {
        ++i_;
        step_ = 0;
        newSegment_ = true;
    }
    if (n_ < 4 || i_ + 1 >= n_) return false;
    return true;
}

bool SplineCursor::Closing() {
    if (closed_ || n_ < 4) return false;
    closed_ = true;
    i_ = n_ - 2;  // the last segment, still loaded
    return true;
}

bool SplineCursor::NextPoint(SplinePoint& out) {
    if (!Advance()) {
        if (!Closing()) return false;
        double w[4];
        CardinalWeights(1, t_, w);
        out.point = Sum(w, p_);
        out.atom = ResidueAt(i_).traceAtom;
        i_ = n_;
        return true;
    }
    if (newSegment_) LoadSegment(), newSegment_ = false;
    double w[4];
    CardinalWeights(step_ * du_, t_, w);
    ++step_;
    out.point = Sum(w, p_);
    out.atom = ResidueAt(i_).traceAtom;
    return true;
}

void SplineCursor::MakeFrame(double u, SplineFrame& out) const {
    double w[4], d[4];
    CardinalWeights(u, t_, w);
    CardinalDerivatives(u, t_, d);
    out.centre = Sum(w, p_);
    out.tangent = Sum(d, p_);
    // The width at right angles to the curve: a section tilted along it would
    // pinch the tube where segments meet.
    Vec3 n = Sum(w, g_) - out.centre;
    const double tt = Dot(out.tangent, out.tangent);
    if (tt > 0) n = n - out.tangent * (Dot(n, out.tangent) / tt);
    const Vec3 b = Cross(out.tangent, n);
    // Widths and thicknesses follow a Catmull-Rom curve whatever the tension.
    const double c[4] = {-0.5 * u * (1 - u) * (1 - u), 0.5 * (3 * u * u * u - 5 * u * u + 2),
                         0.5 * (-3 * u * u * u + 4 * u * u + u), 0.5 * u * u * (u - 1)};
    out.normal = Resized(n, Sum(c, w_));
    out.binormal = Resized(b, Sum(c, th_));
    out.atom = ResidueAt(i_).traceAtom;
    out.colourAtom = u > 0.5 ? ResidueAt(std::min(i_ + 1, n_ - 1)).traceAtom : out.atom;
}

bool SplineCursor::NextFrame(SplineFrame& out) {
    if (!Advance()) {
        if (!Closing()) return false;
        MakeFrame(1, out);  // the last trace atom: the ribbon reaches it
        i_ = n_;
        return true;
    }
    if (newSegment_) {
        LoadSegment();
        if (first_) previousSide_ = Side(g_[1] - p_[1], p_[2] - p_[1]), first_ = false;
        // Guide points one unit to the side of the curve, each turned to agree
        // with the previous segment's, so the ribbon does not flip.
        const Vec3 side1 = Agreeing(Side(g_[1] - p_[1], p_[2] - p_[1]), previousSide_);
        g_[0] = p_[0] + Agreeing(Side(g_[0] - p_[0], p_[1] - p_[0]), previousSide_);
        g_[2] = p_[2] + Agreeing(Side(g_[2] - p_[2], p_[3] - p_[2]), previousSide_);
        g_[3] = p_[3] + Agreeing(Side(p_[3] - g_[3], p_[2] - p_[3]), previousSide_);
        g_[1] = p_[1] + side1;
        previousSide_ = side1;
        newSegment_ = false;
    }
    MakeFrame(step_ * du_, out);
    ++step_;
    return true;
}

}  // namespace velm
