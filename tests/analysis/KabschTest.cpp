#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "analysis/Kabsch.h"
#include "analysis/SymmetricEigen3.h"
#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;

namespace {

struct Rotation {
    Vec3 axis{0, 0, 1};
    double degrees = 0;
    Vec3 operator()(const Vec3& v) const {  // Rodrigues' formula
        const Vec3 k = axis * (1 / Length(axis));
        const double a = degrees * std::acos(-1.0) / 180, c = std::cos(a), s = std::sin(a);
        return v * c + Vec3{k.y * v.z - k.z * v.y, k.z * v.x - k.x * v.z, k.x * v.y - k.y * v.x} * s +
               k * (Dot(k, v) * (1 - c));
    }
    void Into(Trackball& t) const {
        const double h = degrees * std::acos(-1.0) / 360;
        const Vec3 k = axis * (std::sin(h) / Length(axis));
        const double q[4] = {k.x, k.y, k.z, std::cos(h)};
        std::transform(q, q + 4, t.orientation, [](double v) { return static_cast<float>(v); });
    }
};

Molecule PointSet(const std::vector<Vec3>& points, Rotation turn = {}, Vec3 shift = {}) {
    Molecule m;
    m.atoms.resize(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        const Vec3 p = (turn.degrees != 0 ? turn(points[i]) : points[i]) + shift;
        m.atoms[i].x = p.x, m.atoms[i].y = p.y, m.atoms[i].z = p.z;
    }
    return m;
}

std::vector<int> All(const Molecule& m) {
    std::vector<int> list(m.atoms.size());
    std::iota(list.begin(), list.end(), 0);
    return list;
}

double Rmsd(const Molecule& A, const Molecule& B, bool weighted = false) {
    return computeRmsd(A, B, All(A), All(B), weighted);
}

std::vector<double> Distances(const Molecule& m) {
    std::vector<double> d;
    for (int i = 0; i < m.AtomCount(); ++i)
        for (int j = 0; j < i; ++j) d.push_back(Length(m.Position(i) - m.Position(j)));
    return d;
}

// To 1e-6: single-precision quaternions leave B's rotation matrix orthogonal to about 1e-7 only.
void ExpectSameShape(const std::vector<double>& before, const Molecule& m) {
    const std::vector<double> after = Distances(m);
    for (size_t i = 0; i < before.size(); ++i) EXPECT_NEAR(after[i], before[i], 1e-6) << "pair " << i;
}

}  // namespace

TEST(Kabsch, HemoglobinChainCOntoChainAAsSvdReference) {
    std::ifstream in(DataPath("kabsch.json"));
    const nlohmann::json pair = nlohmann::json::parse(in)["pairs"][0];
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(DataPath("2hhb.pdb")), 1);
    const Molecule& A = *doc.Primary();

    for (const auto& [name, selection] : pair["selections"].items()) {
        SCOPED_TRACE(name);
        auto chosen = [&](const Atom& a, char chain) {
            const std::string_view n = a.Name();
            return a.chain == chain && !a.hetero && a.element != Hydrogen &&
                   (name == "heavy" || n == "CA" || (name == "backbone" && (n == "N" || n == "C" || n == "O")));
        };
        std::vector<int> listA, listB;
        for (int i = 0; i < A.AtomCount(); ++i)
            for (int j = 0; j < A.AtomCount() && chosen(A.atoms[i], 'A'); ++j) {
                const Atom &a = A.atoms[i], &c = A.atoms[j];
                if (chosen(c, 'C') && c.residueNumber == a.residueNumber && c.insertionCode == a.insertionCode &&
                    c.Name() == a.Name()) {
                    listA.push_back(i);
                    listB.push_back(j);
                    break;
                }
            }
        ASSERT_EQ(listA.size(), selection["n_atoms"].get<size_t>());

        for (bool weighted : {false, true}) {
            Molecule B = A;
            EXPECT_NEAR(computeRmsd(A, B, listA, listB, weighted),
                        selection[weighted ? "rmsd_no_fit_mass_weighted" : "rmsd_no_fit"].get<double>(), 1e-3);
            superpose(A, B, listA, listB, weighted);
            EXPECT_NEAR(computeRmsd(A, B, listA, listB, weighted),
                        selection[weighted ? "rmsd_fit_mass_weighted" : "rmsd_fit_unweighted"].get<double>(), 1e-3);
            if (weighted) continue;
            // There fitted = R x + t on the file's coordinates, which loading shifted by centreShift.
            const auto R = selection["rotation_unweighted"].get<std::vector<std::vector<double>>>();
            const auto t = selection["translation_unweighted"].get<std::vector<double>>();
            const float* moved = B.trackball.translation;
            for (int j : listB) {
                const Vec3 x = A.atoms[j].Position() - A.centreShift;
                const Vec3 p = B.atoms[j].Position() + Vec3{moved[0], moved[1], moved[2]} - A.centreShift;
                const double placed[3] = {p.x, p.y, p.z};
                for (int r = 0; r < 3; ++r)
                    ASSERT_NEAR(placed[r], R[r][0] * x.x + R[r][1] * x.y + R[r][2] * x.z + t[r], 1e-5);
            }
        }
    }
}

TEST(Kabsch, SymmetricShapesAreBroughtBackWhateverTheirTrackballs) {
    const std::vector<Vec3> shapes[] = {
        {{1.4, 0, 0}, {0.7, 1.212, 0}, {-0.7, 1.212, 0}, {-1.4, 0, 0}, {-0.7, -1.212, 0}, {0.7, -1.212, 0}},
        {{1.5, 0, 0}, {0, 1.5, 0}, {-1.5, 0, 0}, {0, -1.5, 0}, {0, 0, 2.2}, {0, 0, -2.2}},  // square and axials
        {{1, 1, 1}, {1, 1, -1}, {1, -1, 1}, {1, -1, -1}, {-1, 1, 1}, {-1, 1, -1}, {-1, -1, 1}, {-1, -1, -1}}};
    // Untouched, symmetry turns, and turns where the closed-form vectors of a repeated eigenvalue coincide.
    const Rotation turns[] = {{},           {{0, 0, 1}, 60},    {{1, 1, 1}, 120},
                          {{1, 2, 3}, 37}, {{-2, -2, 2}, 59}, {{-2, -1, 2}, 115}};
    for (const auto& shape : shapes)
        for (const Rotation& turn : turns)
            for (bool placed : {false, true}) {
                SCOPED_TRACE(std::to_string(shape.size()) + " atoms turned " + std::to_string(turn.degrees));
                Molecule A = PointSet(shape), B = PointSet(shape, turn, {3, -2, 5});
                for (size_t i = 0; i < shape.size(); i += 2) A.atoms[i].mass = B.atoms[i].mass = 1.008;
                if (placed) {
                    Rotation{{0, 1, 0}, 30}.Into(A.trackball);
                    Rotation{{1, -1, 2}, 75}.Into(B.trackball);
                    A.trackball.translation[2] = 3, B.trackball.translation[0] = -4;
                }
                const Trackball before = B.trackball;
                const std::vector<double> shape0 = Distances(B);
                ASSERT_NO_THROW(superpose(A, B, All(A), All(B), placed));
                EXPECT_LT(Rmsd(A, B, placed), 1e-5);
                ExpectSameShape(shape0, B);
                EXPECT_TRUE(std::equal(B.trackball.orientation, B.trackball.orientation + 4, before.orientation));
            }
}

TEST(Kabsch, CollinearOrBrokenSetsChangeNothingAndThreeAtomsFitExactly) {
    const char* const collinear = "Zero eigen values in kabsch: Colinear molecules are not currently allowed.";
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        std::vector<Vec3> points;
        const char* error;
    } cases[] = {
        {{{0, 0, 0}, {1, 1, 1}, {2.5, 2.5, 2.5}}, collinear},
        {{{0, 0, 0}, {1.5, 0, 0}}, collinear},
        {{{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}, collinear},
        {{}, collinear},
        {{{0, 0, 0}, {inf, 0, 0}, {0, 1, 0}}, "kabsch:: Unable to diagonalize matrix"},
        // B in a plane through two axes: eigenvectors without z, which (x, y, 1) cannot express.
        {{{0, 0, 0}, {1.2, 0, 0}, {0.3, 1.1, 0}}, nullptr},
        {{{0, 0, 0}, {1.2, 0, 0}, {0.3, 0, 1.1}}, nullptr},
        {{{0, 0, 0}, {0, 1.2, 0}, {0, 0.3, 1.1}}, nullptr},
        {{{0.2, 0.1, 0}, {1.2, 0.4, -0.3}, {0.3, 1.0, 1.1}}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const Molecule A = PointSet(c.points, {{1, -2, 0.5}, 50}, {1, 2, 3});
        Molecule B = PointSet(c.points);
        try {
            superpose(A, B, All(A), All(B), false);
            EXPECT_EQ(c.error, nullptr);
            EXPECT_LT(Rmsd(A, B), 1e-6);
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), c.error ? c.error : "");
            for (size_t i = 0; i < c.points.size(); ++i) EXPECT_EQ(B.atoms[i].Position(), c.points[i]);
            EXPECT_EQ(B.trackball.translation[0], 0.0f);
        }
    }
}

TEST(Kabsch, MirrorImageIsTurnedNeverReflected) {
    const std::vector<Vec3> chiral = {{0, 0, 0}, {1.5, 0, 0}, {0, 1.2, 0}, {0, 0, 0.9}, {1, 1, 1.3}};
    std::vector<Vec3> mirror;
    for (const Vec3& p : chiral) mirror.push_back({-p.x, p.y, p.z});
    const Molecule A = PointSet(chiral);
    Molecule B = PointSet(mirror, {{1, 1, 0}, 25}, {4, 0, -1});
    auto volume = [](const Molecule& m) {
        const Vec3 o = m.Position(0), a = m.Position(1) - o, b = m.Position(2) - o, c = m.Position(3) - o;
        return Dot(a, {b.y * c.z - b.z * c.y, b.z * c.x - b.x * c.z, b.x * c.y - b.y * c.x});
    };
    const double volume0 = volume(B);
    const std::vector<double> shape0 = Distances(B);
    ASSERT_NO_THROW(superpose(A, B, All(A), All(B), false));
    EXPECT_NEAR(volume(B), volume0, 1e-9);
    ExpectSameShape(shape0, B);
    EXPECT_GT(Rmsd(A, B), 0.1);
}

TEST(Kabsch, RmsdOfPlacedPositionsAndMeanMasses) {
    const double hc = (1.008 + 12.011) / 2, cc = 12.011;
    const struct {
        std::vector<Vec3> a, b;
        Rotation orientationB;
        float translationB[3];
        bool weighted;
        double expected;
    } cases[] = {
        {{{0, 0, 0}, {0, 0, 0}}, {{1, 0, 0}, {0, 2, 0}}, {}, {}, true, std::sqrt((hc * 1 + cc * 4) / (hc + cc))},
        {{{0, 0, 0}, {0, 0, 0}}, {{1, 0, 0}, {0, 2, 0}}, {}, {}, false, std::sqrt(2.5)},
        {{{1, 1, 1}}, {{1, 1, 1}}, {}, {0, 0, 3}, false, 3},
        {{{0, 0, 0}, {5, 5, 5}}, {{0, 0, 2}}, {}, {}, false, 2},  // pairs end with the shorter list
        // p_r = sum_c m[4c + r] (x + t)_c: that matrix of a quarter turn about z takes x to -y.
        {{{0, -1, 0}}, {{0, 0, 0}}, {{0, 0, 1}, 90}, {1, 0, 0}, false, 0},
    };
    for (const auto& c : cases) {
        Molecule A = PointSet(c.a), B = PointSet(c.b);
        for (Atom& atom : A.atoms) atom.mass = cc;
        for (Atom& atom : B.atoms) atom.mass = cc;
        A.atoms[0].mass = 1.008;
        c.orientationB.Into(B.trackball);
        std::copy(c.translationB, c.translationB + 3, B.trackball.translation);
        EXPECT_NEAR(Rmsd(A, B, c.weighted), c.expected, 1e-6);
    }
}

TEST(Kabsch, OnlyTheShownFrameMoves) {
    const std::vector<Vec3> points = {{1.5, 0, 0}, {0, 1.1, 0}, {-1.5, 0.2, 0}, {0, 0, 2.2}};
    const Molecule A = PointSet(points);
    Molecule B = PointSet(points, {{0, 1, 0}, 10});
    for (double degrees : {20.0, 40.0, 60.0}) {
        Frame f(points.size());
        for (size_t i = 0; i < points.size(); ++i) f.SetPosition(i, Rotation{{1, 0, 0}, degrees}(points[i]));
        B.frames.Append(f);
    }
    B.currentFrame = 2;
    const Molecule before = B;
    ASSERT_NO_THROW(superpose(A, B, All(A), All(B), false));
    EXPECT_LT(Rmsd(A, B), 1e-5);
    EXPECT_EQ(B.frames[0].xyz, before.frames[0].xyz);
    EXPECT_NE(B.frames[1].xyz, before.frames[1].xyz);
    EXPECT_EQ(B.frames[2].xyz, before.frames[2].xyz);
    for (size_t i = 0; i < points.size(); ++i) EXPECT_EQ(B.atoms[i].Position(), before.atoms[i].Position());
}

TEST(Kabsch, FrameIsTurnedBackOntoTheReference) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(DataPath("2hhb.pdb")), 1);
    const Molecule& reference = *doc.Primary();  // loading centred it on its centre of mass
    Frame frame(reference.atoms.size());
    std::vector<double> weights;
    for (size_t i = 0; i < frame.AtomCount(); ++i) {
        frame.SetPosition(i, Rotation{{0.3, -1, 0.6}, 133}(reference.atoms[i].Position()));
        weights.push_back(reference.atoms[i].mass);
    }
    std::vector<double> infinite = weights;
    infinite[7] = std::numeric_limits<double>::infinity();
    const std::vector<float> turned = frame.xyz;
    EXPECT_THROW(superposeFrame(reference, frame.xyz.data(), infinite.data()), VelmError);
    EXPECT_EQ(frame.xyz, turned);
    ASSERT_NO_THROW(superposeFrame(reference, frame.xyz.data(), weights.data()));
    double worst = 0;
    for (size_t i = 0; i < frame.AtomCount(); ++i)
        worst = std::max(worst, Length(frame.Position(i) - reference.atoms[i].Position()));
    EXPECT_LT(worst, 1e-4);
}

namespace {

// S v = l v for every pair to 1e-9 of the largest entry, orthonormal vectors,
// and, when given, the eigenvalues S was built from.
void ExpectDecomposition(const double S[3][3], std::vector<double> expected = {}) {
    double V[3][3], values[3], scale = 0;
    ASSERT_TRUE(symmetricEigen3(S, V, values));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) scale = std::max(scale, std::abs(S[r][c]));
    for (int k = 0; k < 3; ++k)
        for (int r = 0; r < 3; ++r) {
            EXPECT_NEAR(S[r][0] * V[0][k] + S[r][1] * V[1][k] + S[r][2] * V[2][k], values[k] * V[r][k], 1e-9 * scale);
            EXPECT_NEAR(V[0][r] * V[0][k] + V[1][r] * V[1][k] + V[2][r] * V[2][k], r == k, 1e-9);
        }
    std::sort(values, values + 3);
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_NEAR(values[k], expected[k], 1e-9 * scale);
}

}  // namespace

TEST(SymmetricEigen3, DiagonalGivesUnitAxesAtOnce) {
    const double S[3][3] = {{3, 5e-8, -5e-8}, {5e-8, -1, 9e-8}, {-5e-8, 9e-8, 7}};
    double V[3][3], values[3];
    ASSERT_TRUE(symmetricEigen3(S, V, values));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(V[r][c], r == c ? 1 : 0);
    EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{3, -1, 7}));
}

TEST(SymmetricEigen3, RandomAndRepeatedEigenvalues) {
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> entry(-1, 1);
    for (int n = 0; n < 2000; ++n) {
        double S[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = r; c < 3; ++c) S[r][c] = S[c][r] = std::pow(10.0, n % 9 - 4) * entry(random);
        ExpectDecomposition(S);
    }
    const double roundingFrom100I[3][3] = {{100, 0, 1e-7}, {0, 100, 0}, {1e-7, 0, 100}};  // a cubic with p = q = 0
    ExpectDecomposition(roundingFrom100I, {100 - 1e-7, 100, 100 + 1e-7});
    const std::vector<double> spectra[] = {{2, 2, 5}, {0, 0, 4}, {1, 4, 4}, {3, 3, 3}, {2, 3, 5}, {0, 2, 2 + 1e-6}};
    // Through each case: none, x alone, z alone, y alone (an eigenvector without z), in general.
    const Rotation turns[] = {{},           {{1, 0, 0}, 30},   {{0, 0, 1}, 40},
                          {{0, 1, 0}, 30}, {{1, 2, -3}, 71}, {{-1, 0.2, 0.4}, 155}};
    for (const auto& spectrum : spectra)
        for (const Rotation& turn : turns) {
            SCOPED_TRACE(std::to_string(spectrum[2]) + " turned " + std::to_string(turn.degrees));
            const Vec3 q[3] = {turn({1, 0, 0}), turn({0, 1, 0}), turn({0, 0, 1})};
            double S[3][3];
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) {
                    auto at = [](const Vec3& v, int i) { return i == 0 ? v.x : i == 1 ? v.y : v.z; };
                    S[r][c] = 0;
                    for (int k = 0; k < 3; ++k) S[r][c] += at(q[k], r) * spectrum[k] * at(q[k], c);
                }
            ExpectDecomposition(S, spectrum);
        }
}
