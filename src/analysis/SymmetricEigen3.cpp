#include "analysis/SymmetricEigen3.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace velm {

namespace {

constexpr double kEpsilon = 1e-7;

// Eigenvalues closer than this, relative to the largest magnitude, count as
// one repeated eigenvalue. Cardano's formula finds a double root only to
// about 1e-8 relative, and a double zero must still test below 1e-7.
constexpr double kRepeatedTolerance = 1e-4;

// The three roots of l^3 - I l^2 + II l - III = 0, real parts only: a
// symmetric matrix has real eigenvalues, the imaginary parts are rounding.
// NaN for a triple root (p = q = 0), which the caller repairs.
void CubicRoots(double I, double II, double III, double roots[3]) {
    using Complex = std::complex<double>;
    const double p = 3 * II - I * I;
    const double q = 2 * I * I * I - 9 * I * II + 27 * III;
    // Either sign of the square root gives the same three roots; the one
    // matching q avoids cancelling when rounding leaves the discriminant positive.
    const Complex root = std::sqrt(Complex(4 * p * p * p + q * q, 0));
    const Complex X = q >= 0 ? q + root : q - root;
    const Complex C = std::pow(X, 1.0 / 3.0);
    const double cbrt2 = std::cbrt(2.0), cbrt4 = cbrt2 * cbrt2;
    const double sqrt3 = std::sqrt(3.0);
    const Complex plus(1, sqrt3), minus(1, -sqrt3);
    roots[0] = (I / 3 - cbrt2 * p / (3.0 * C) + C / (3 * cbrt2)).real();
    roots[1] = (I / 3 + plus * p / (3 * cbrt4 * C) - minus * C / (6 * cbrt2)).real();
    roots[2] = (I / 3 + minus * p / (3 * cbrt4 * C) - plus * C / (6 * cbrt2)).real();
}

void Identity(double V[3][3]) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) V[r][c] = r == c ? 1 : 0;
}

// Cyclic Jacobi rotations. Slower than the closed form, but its vectors stay
// orthonormal whatever the multiplicity of the eigenvalues.
void JacobiEigen3(const double S[3][3], double V[3][3], double values[3]) {
    double a[3][3];
    std::copy(&S[0][0], &S[0][0] + 9, &a[0][0]);
    Identity(V);
    constexpr int kPairs[3][2] = {{0, 1}, {0, 2}, {1, 2}};
    for (int sweep = 0; sweep < 32; ++sweep) {
        const double diagonal = std::abs(a[0][0]) + std::abs(a[1][1]) + std::abs(a[2][2]);
        const double off = std::abs(a[0][1]) + std::abs(a[0][2]) + std::abs(a[1][2]);
        if (off <= 1e-18 * diagonal || off == 0) break;
        for (const auto& [p, q] : kPairs) {
            if (a[p][q] == 0) continue;
            // The rotation by angle t = tan(phi) in the (p, q) plane that zeroes a[p][q],
            // taking the smaller of the two angles.
            const double theta = (a[q][q] - a[p][p]) / (2 * a[p][q]);
            const double t = std::abs(theta) > 1e150
                                 ? 0.5 / theta
                                 : std::copysign(1.0, theta) / (std::abs(theta) + std::sqrt(theta * theta + 1));
            const double c = 1 / std::sqrt(t * t + 1), s = t * c;
            for (int k = 0; k < 3; ++k) {  // a = a J
                const double akp = a[k][p], akq = a[k][q];
                a[k][p] = c * akp - s * akq;
                a[k][q] = s * akp + c * akq;
            }
            for (int k = 0; k < 3; ++k) {  // a = J^T a
                const double apk = a[p][k], aqk = a[q][k];
                a[p][k] = c * apk - s * aqk;
                a[q][k] = s * apk + c * aqk;
            }
            a[p][q] = a[q][p] = 0;
            for (int k = 0; k < 3; ++k) {  // V = V J
                const double vkp = V[k][p], vkq = V[k][q];
                V[k][p] = c * vkp - s * vkq;
                V[k][q] = s * vkp + c * vkq;
            }
        }
    }
    for (int k = 0; k < 3; ++k) values[k] = a[k][k];
}

bool Repeated(const double values[3]) {
    const double scale = std::max({std::abs(values[0]), std::abs(values[1]), std::abs(values[2])});
    const double tolerance = kRepeatedTolerance * scale;
    return std::abs(values[0] - values[1]) <= tolerance || std::abs(values[0] - values[2]) <= tolerance ||
           std::abs(values[1] - values[2]) <= tolerance;
}

// Rows of `unit` mutually perpendicular to 1e-9; false on NaN.
bool Orthonormal(const double unit[3][3]) {
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j) {
            const double dot = unit[i][0] * unit[j][0] + unit[i][1] * unit[j][1] + unit[i][2] * unit[j][2];
            if (!(std::abs(dot) <= 1e-9)) return false;
        }
    return true;
}

}  // namespace

bool symmetricEigen3(const double S[3][3], double vectors[3][3], double values[3]) {
    const double s00 = S[0][0], s01 = S[0][1], s02 = S[0][2];
    const double s11 = S[1][1], s12 = S[1][2], s22 = S[2][2];
    double v[3][3];  // v[k]: eigenvector k before normalisation

    if (std::abs(s02) >= kEpsilon || (std::abs(s01) >= kEpsilon && std::abs(s12) >= kEpsilon)) {
        const double I = s00 + s11 + s22;
        const double II = s00 * s11 + s00 * s22 + s11 * s22 - s01 * s01 - s02 * s02 - s12 * s12;
        const double III =
            s00 * (s11 * s22 - s12 * s12) - s01 * (s01 * s22 - s12 * s02) + s02 * (s01 * s12 - s11 * s02);
        CubicRoots(I, II, III, values);
        for (int k = 0; k < 3; ++k) {
            const double l = values[k];
            double x, y;
            if (std::abs(s02) >= kEpsilon) {
                y = -(s12 * s02 - (s22 - l) * s01) / (s02 * (s11 - l) - s12 * s01);
                x = -(s12 * y + s22 - l) / s02;
            } else {
                y = -(s22 - l) / s12;
                x = ((s11 - l) * (s22 - l)) / (s12 * s01) - s12 / s01;
            }
            v[k][0] = x;
            v[k][1] = y;
            v[k][2] = 1;
        }
    } else if (std::abs(s12) >= kEpsilon) {  // s02 and s01 zero: x is an eigenvector
        const double D = std::sqrt((s11 - s22) * (s11 - s22) + 4 * s12 * s12);
        values[0] = s00;
        values[1] = (s11 + s22 - D) / 2;
        values[2] = (s11 + s22 + D) / 2;
        v[0][0] = 1, v[0][1] = 0, v[0][2] = 0;
        v[1][0] = 0, v[1][1] = -(D + s22 - s11) / (2 * s12), v[1][2] = 1;
        v[2][0] = 0, v[2][1] = (D - s22 + s11) / (2 * s12), v[2][2] = 1;
    } else if (std::abs(s01) >= kEpsilon) {  // s02 and s12 zero: z is an eigenvector
        const double D = std::sqrt((s00 - s11) * (s00 - s11) + 4 * s01 * s01);
        values[0] = (s00 + s11 - D) / 2;
        values[1] = (s00 + s11 + D) / 2;
        values[2] = s22;
        v[0][0] = -(D + s11 - s00) / (2 * s01), v[0][1] = 1, v[0][2] = 0;
        v[1][0] = (D - s11 + s00) / (2 * s01), v[1][1] = 1, v[1][2] = 0;
        v[2][0] = 0, v[2][1] = 0, v[2][2] = 1;
    } else {
        Identity(vectors);
        for (int k = 0; k < 3; ++k) values[k] = S[k][k];
        return true;
    }

    double unit[3][3];
    for (int k = 0; k < 3; ++k) {
        const double length = std::sqrt(v[k][0] * v[k][0] + v[k][1] * v[k][1] + v[k][2] * v[k][2]);
        if (length < kEpsilon) return false;
        for (int r = 0; r < 3; ++r) unit[k][r] = v[k][r] / length;
    }

    // Repair of repeated eigenvalues: the per-eigenvalue formulas then give
    // one vector twice, or 0/0. Close eigenvalues, and a vector with no z to
    // scale to 1, spoil the orthogonality before that, so it is tested too.
    if (Repeated(values) || !Orthonormal(unit)) {
        JacobiEigen3(S, vectors, values);
        return true;
    }
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) vectors[r][k] = unit[k][r];
    return true;
}

}  // namespace velm
