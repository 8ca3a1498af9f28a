#include "analysis/Kabsch.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "analysis/SymmetricEigen3.h"
#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {

constexpr const char* kSource = "kabsch";
constexpr double kEpsilon = 1e-7;

Vec3 Times(const Matrix3& M, const Vec3& v) {
    return {M.m[0][0] * v.x + M.m[0][1] * v.y + M.m[0][2] * v.z, M.m[1][0] * v.x + M.m[1][1] * v.y + M.m[1][2] * v.z,
            M.m[2][0] * v.x + M.m[2][1] * v.y + M.m[2][2] * v.z};
}

Matrix3 Times(const Matrix3& a, const Matrix3& b) {
    Matrix3 c;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) c.m[i][j] += a.m[i][k] * b.m[k][j];
    return c;
}

double Determinant(const Matrix3& M) {
    const auto& m = M.m;
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Matrix3 Inverse(const Matrix3& M) {
    const auto& m = M.m;
    const double d = Determinant(M);
    Matrix3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            // Cofactor of m[j][i], by cyclic indices.
            const int j1 = (j + 1) % 3, j2 = (j + 2) % 3, i1 = (i + 1) % 3, i2 = (i + 2) % 3;
            r.m[i][j] = (m[j1][i1] * m[j2][i2] - m[j1][i2] * m[j2][i1]) / d;
        }
    return r;
}

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// Orthonormal with determinant +1 to 1e-6, which also rejects NaN.
bool ProperRotation(const Matrix3& U) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double dot = 0;
            for (int k = 0; k < 3; ++k) dot += U.m[k][i] * U.m[k][j];
            if (!(std::abs(dot - (i == j ? 1 : 0)) <= 1e-6)) return false;
        }
    return std::abs(Determinant(U) - 1) <= 1e-6;
}

bool Finite(const Matrix3& M) {
    return std::all_of(&M.m[0][0], &M.m[0][0] + 9, [](double v) { return std::isfinite(v); });
}

// A molecule's rotation (the 3x3 part of its quaternion's matrix) and translation.
struct Placement {
    Matrix3 rotation;
    Vec3 translation;

    explicit Placement(const Trackball& t) {
        float m[16];
        RotationMatrix(t.orientation, m);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) rotation.m[r][c] = m[4 * c + r];
        translation = {t.translation[0], t.translation[1], t.translation[2]};
    }
    Vec3 Place(const Vec3& x) const { return Times(rotation, x + translation); }
};

// The frame a molecule shows, or null for the atoms' own coordinates.
Frame* ShownFrame(Molecule& m) {
    return m.currentFrame >= 1 && m.currentFrame <= m.FrameCount() ? &m.frames[m.currentFrame - 1] : nullptr;
}
const Frame* ShownFrame(const Molecule& m) {
    return m.currentFrame >= 1 && m.currentFrame <= m.FrameCount() ? &m.frames[m.currentFrame - 1] : nullptr;
}

// Indices come from the caller's lists: checked, so a stale one cannot read past the arrays.
Vec3 Coordinates(const Molecule& m, const Frame* shown, int i) {
    const Atom& a = m.atoms.at(static_cast<size_t>(i));
    if (!shown) return a.Position();
    if (3 * static_cast<size_t>(i) + 2 >= shown->xyz.size()) throw std::out_of_range("atom beyond the frame");
    return shown->Position(static_cast<size_t>(i));
}

struct PlacedPairs {
    std::vector<Vec3> a, b;
    std::vector<double> weights;
};

PlacedPairs Pair(const Molecule& A, const Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
                 bool massWeighting) {
    const Placement placeA(A.trackball), placeB(B.trackball);
    const Frame* shownA = ShownFrame(A);
    const Frame* shownB = ShownFrame(B);
    const size_t n = std::min(listA.size(), listB.size());
    PlacedPairs p;
    p.a.reserve(n);
    p.b.reserve(n);
    p.weights.reserve(n);
    for (size_t k = 0; k < n; ++k) {
        p.a.push_back(placeA.Place(Coordinates(A, shownA, listA[k])));
        p.b.push_back(placeB.Place(Coordinates(B, shownB, listB[k])));
        p.weights.push_back(massWeighting ? (A.atoms[listA[k]].mass + B.atoms[listB[k]].mass) / 2 : 1.0);
    }
    return p;
}

Vec3 WeightedCentre(const std::vector<Vec3>& positions, const std::vector<double>& weights) {
    Vec3 sum;
    double total = 0;
    for (size_t i = 0; i < positions.size(); ++i) {
        sum += positions[i] * weights[i];
        total += weights[i];
    }
    return sum * (1.0 / total);
}

}  // namespace

Matrix3 KabschRotation(const Matrix3& correlation) {
    const auto& R = correlation.m;
    double S[3][3] = {};
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l)
            for (int m = 0; m < 3; ++m) S[k][l] += R[m][k] * R[m][l];

    double vectors[3][3], mu[3];
    if (!symmetricEigen3(S, vectors, mu)) VELM_THROW("kabsch:: Unable to diagonalize matrix");
    if (std::count_if(mu, mu + 3, [](double v) { return v < kEpsilon; }) >= 2)
        VELM_THROW("Zero eigen values in kabsch: Colinear molecules are not currently allowed.");

    int L = 0, s = 0;
    for (int k = 0; k < 3; ++k) {
        if (std::abs(mu[k]) > std::abs(mu[L])) L = k;
        if (std::abs(mu[k]) < std::abs(mu[s])) s = k;
    }
    // Three equal magnitudes (a cube on a copy of itself) leave L and s on one
    // index, and U would lose a dimension; any distinct choice serves then.
    if (L == s) s = (L + 2) % 3;
    const int m = (L + 1) % 3 != s ? (L + 1) % 3 : (L + 2) % 3;

    Vec3 a[3], b[3];
    for (int k = 0; k < 3; ++k) a[k] = {vectors[0][k], vectors[1][k], vectors[2][k]};
    // Both cross products make U proper: a reflection never comes out, and
    // the smallest eigenvalue may be zero (coplanar atoms).
    a[s] = Cross(a[L], a[m]);
    for (int k : {L, m}) b[k] = Times(correlation, a[k]) * (1 / std::sqrt(mu[k]));
    b[s] = Cross(b[L] * (1 / Length(b[L])), b[m] * (1 / Length(b[m])));

    Matrix3 U;
    for (int k = 0; k < 3; ++k) {
        const double bk[3] = {b[k].x, b[k].y, b[k].z}, ak[3] = {a[k].x, a[k].y, a[k].z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) U.m[i][j] += bk[i] * ak[j];
    }
    if (!ProperRotation(U)) VELM_THROW("kabsch:: Unable to diagonalize matrix");
    return U;
}

Matrix3 SuperpositionRotation(std::span<const Vec3> fixed, std::span<const Vec3> moving,
                              std::span<const double> weights) {
    const size_t n = std::min({fixed.size(), moving.size(), weights.size()});
    Matrix3 R;
    for (size_t p = 0; p < n; ++p) {
        const double f[3] = {fixed[p].x, fixed[p].y, fixed[p].z};
        const double g[3] = {moving[p].x, moving[p].y, moving[p].z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R.m[i][j] += weights[p] * f[i] * g[j];
    }
    return KabschRotation(R);
}

void superpose(const Molecule& A, Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
               bool massWeighting) {
    PlacedPairs p = Pair(A, B, listA, listB, massWeighting);
    const Vec3 cA = WeightedCentre(p.a, p.weights);
    const Vec3 cB = WeightedCentre(p.b, p.weights);
    for (Vec3& v : p.a) v -= cA;
    for (Vec3& v : p.b) v -= cB;
    const Matrix3 U = SuperpositionRotation(p.a, p.b, p.weights);

    // Placed positions become U (p - cB) + cA with the orientation kept, so
    // the rotation is carried into B's own frame of coordinates.
    const Placement placeB(B.trackball);
    const Matrix3 inverse = Inverse(placeB.rotation);
    const Matrix3 T = Times(inverse, Times(U, placeB.rotation));
    const Vec3 t = Times(inverse, Times(U, Times(placeB.rotation, placeB.translation) - cB) + cA);
    if (!Finite(T) || !std::isfinite(t.x) || !std::isfinite(t.y) || !std::isfinite(t.z))
        VELM_THROW("kabsch:: Unable to diagonalize matrix");

    if (Frame* shown = ShownFrame(B)) {
        for (size_t i = 0; i < shown->AtomCount(); ++i) shown->SetPosition(i, Times(T, shown->Position(i)));
    } else {
        for (Atom& atom : B.atoms) {
            const Vec3 x = Times(T, atom.Position());
            atom.x = x.x;
            atom.y = x.y;
            atom.z = x.z;
        }
    }
    B.trackball.translation[0] = static_cast<float>(t.x);
    B.trackball.translation[1] = static_cast<float>(t.y);
    B.trackball.translation[2] = static_cast<float>(t.z);
}

double computeRmsd(const Molecule& A, const Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
                   bool massWeighting) {
    const PlacedPairs p = Pair(A, B, listA, listB, massWeighting);
    double sum = 0, total = 0;
    for (size_t i = 0; i < p.a.size(); ++i) {
        const Vec3 d = p.a[i] - p.b[i];
        sum += p.weights[i] * Dot(d, d);
        total += p.weights[i];
    }
    return std::sqrt(sum / total);
}

void superposeFrame(const Molecule& reference, float* frame, const double* weights) {
    const size_t n = reference.atoms.size();
    std::vector<Vec3> fixed(n), moving(n);
    for (size_t i = 0; i < n; ++i) {
        fixed[i] = reference.atoms[i].Position();
        moving[i] = {frame[3 * i], frame[3 * i + 1], frame[3 * i + 2]};
    }
    const Matrix3 U = SuperpositionRotation(fixed, moving, std::span<const double>(weights, n));
    for (size_t i = 0; i < n; ++i) {
        const Vec3 f = Times(U, moving[i]);
        frame[3 * i] = static_cast<float>(f.x);
        frame[3 * i + 1] = static_cast<float>(f.y);
        frame[3 * i + 2] = static_cast<float>(f.z);
    }
}

}  // namespace velm
