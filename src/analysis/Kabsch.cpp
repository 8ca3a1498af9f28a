#include "analysis/Kabsch.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "analysis/SymmetricEigen3.h"
#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {
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

Matrix3 RotationOf(const Placement& p) {
    Matrix3 M;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) M.m[r][c] = p.rotation[r][c];
    return M;
}

// The frame a molecule shows, or null for the atoms' own coordinates.
Frame* ShownFrame(Molecule& m) {
    return m.currentFrame >= 1 && m.currentFrame <= m.FrameCount() ? &m.frames[m.currentFrame - 1] : nullptr;
}
const Frame* ShownFrame(const Molecule& m) {
    return m.currentFrame >= 1 && m.currentFrame <= m.FrameCount() ? &m.frames[m.currentFrame - 1] : nullptr;
}

// Indices come from the caller's lists: checked once, so a stale one cannot
// read past the arrays.
void CheckIndices(const Molecule& m, const Frame* shown, const std::vector<int>& list, size_t n) {
    const size_t atoms = shown ? std::min(m.atoms.size(), shown->AtomCount()) : m.atoms.size();
    for (size_t k = 0; k < n; ++k)
        if (list[k] < 0 || static_cast<size_t>(list[k]) >= atoms) throw std::out_of_range("atom index beyond the molecule");
}

// Calls f(placedA, placedB, weight) for every pair, in one pass and without
// copying the positions (a million-atom pair costs no allocation).
template <class F>
size_t ForEachPair(const Molecule& A, const Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
                   bool massWeighting, F&& f) {
    const Placement placeA(A.trackball), placeB(B.trackball);
    const Frame* shownA = ShownFrame(A);
    const Frame* shownB = ShownFrame(B);
    const size_t n = std::min(listA.size(), listB.size());
    CheckIndices(A, shownA, listA, n);
    CheckIndices(B, shownB, listB, n);
    auto at = [](const Molecule& m, const Frame* shown, int i) {
        return shown ? shown->Position(static_cast<size_t>(i)) : m.atoms[static_cast<size_t>(i)].Position();
    };
    for (size_t k = 0; k < n; ++k) {
        const double w = massWeighting ? (A.atoms[listA[k]].mass + B.atoms[listB[k]].mass) / 2 : 1.0;
        f(placeA.Place(at(A, shownA, listA[k])), placeB.Place(at(B, shownB, listB[k])), w);
    }
    return n;
}

// Weighted sums of the pairs, taken about the first pair's positions so that
// far-off coordinates lose no precision in R = sum w a b' - W cA cB'.
struct PairSums {
    double W = 0;
    Vec3 originA, originB, sumA, sumB;
    double sumAB[3][3] = {};
    size_t n = 0;

    void Add(const Vec3& pa, const Vec3& pb, double w) {
        if (n++ == 0) {
            originA = pa;
            originB = pb;
        }
        const Vec3 a = pa - originA, b = pb - originB;
        W += w;
        sumA += a * w;
        sumB += b * w;
        const double av[3] = {a.x, a.y, a.z}, bv[3] = {b.x, b.y, b.z};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) sumAB[i][j] += w * av[i] * bv[j];
    }
    // With no pairs the sums stay zero, and so does R: a collinear set.
    Vec3 CentreA() const { return W != 0 ? originA + sumA * (1.0 / W) : originA; }
    Vec3 CentreB() const { return W != 0 ? originB + sumB * (1.0 / W) : originB; }
    Matrix3 Correlation() const {
        if (W == 0) return Matrix3{};
        const Vec3 ca = sumA * (1.0 / W), cb = sumB * (1.0 / W);
        const double cav[3] = {ca.x, ca.y, ca.z}, cbv[3] = {cb.x, cb.y, cb.z};
        Matrix3 R;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R.m[i][j] = sumAB[i][j] - W * cav[i] * cbv[j];
        return R;
    }
};

}  // namespace

Matrix3 KabschRotation(const Matrix3& correlation) {
    const auto& R = correlation.m;
    double S[3][3] = {};
    for (int k = 0; k < 3; ++k)
        for (int l = 0; l < 3; ++l)
            for (int m = 0; m < 3; ++m) S[k][l] += R[m][k] * R[m][l];

    double vectors[3][3], mu[3];
    if (!symmetricEigen3(S, vectors, mu)) throw VelmError("kabsch:: Unable to diagonalize matrix");
    if (std::count_if(mu, mu + 3, [](double v) { return v < kEpsilon; }) >= 2)
        throw VelmError("Zero eigen values in kabsch: Colinear molecules are not currently allowed.");

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
    if (!ProperRotation(U)) throw VelmError("kabsch:: Unable to diagonalize matrix");
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
    PairSums sums;
    ForEachPair(A, B, listA, listB, massWeighting, [&](const Vec3& a, const Vec3& b, double w) { sums.Add(a, b, w); });
    const Vec3 cA = sums.CentreA(), cB = sums.CentreB();
    const Matrix3 U = KabschRotation(sums.Correlation());

    // Placed positions become U (p - cB) + cA with the orientation kept, so
    // the rotation is carried into B's own frame of coordinates.
    const Placement placeB(B.trackball);
    const Matrix3 MB = RotationOf(placeB);
    const Matrix3 inverse = Inverse(MB);
    const Matrix3 T = Times(inverse, Times(U, MB));
    const Vec3 t = Times(inverse, Times(U, Times(MB, placeB.translation) - cB) + cA);
    if (!Finite(T) || !std::isfinite(t.x) || !std::isfinite(t.y) || !std::isfinite(t.z))
        throw VelmError("kabsch:: Unable to diagonalize matrix");

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
    // B now lies in A's coordinates: saved, it is written in A's file's frame.
    B.centreShift = A.centreShift;
}

double computeRmsd(const Molecule& A, const Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
                   bool massWeighting) {
    double sum = 0, total = 0;
    ForEachPair(A, B, listA, listB, massWeighting, [&](const Vec3& a, const Vec3& b, double w) {
        const Vec3 d = a - b;
        sum += w * Dot(d, d);
        total += w;
    });
    return std::sqrt(sum / total);
}

void superposeFrame(const Molecule& reference, float* frame, const double* weights) {
    // Both sets are centred already: R is the plain weighted sum, with no copies.
    const size_t n = reference.atoms.size();
    Matrix3 R;
    for (size_t p = 0; p < n; ++p) {
        const Atom& a = reference.atoms[p];
        const double f[3] = {a.x, a.y, a.z};
        const double g[3] = {frame[3 * p], frame[3 * p + 1], frame[3 * p + 2]};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R.m[i][j] += weights[p] * f[i] * g[j];
    }
    const Matrix3 U = KabschRotation(R);
    for (size_t i = 0; i < n; ++i) {
        const Vec3 f = Times(U, Vec3{frame[3 * i], frame[3 * i + 1], frame[3 * i + 2]});
        frame[3 * i] = static_cast<float>(f.x);
        frame[3 * i + 1] = static_cast<float>(f.y);
        frame[3 * i + 2] = static_cast<float>(f.z);
    }
}

}  // namespace velm
