#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "surface/HydrogenBonds.h"
#include "support/TestData.h"

using namespace velm;

namespace {

struct Placed {
    Vec3 p;
    ElementType element;
    int model = 1;
};

// A molecule placed by hand, partners taken from the bond pairs.
std::unique_ptr<Molecule> Build(const std::vector<Placed>& atoms, const std::vector<std::pair<int, int>>& bonds) {
    auto m = std::make_unique<Molecule>();
    int serial = 1;
    for (const Placed& a : atoms) {
        Atom atom;
        atom.x = a.p.x, atom.y = a.p.y, atom.z = a.p.z;
        atom.element = a.element;
        atom.model = a.model;
        atom.serial = serial++;
        m->atoms.push_back(atom);
    }
    std::vector<std::vector<int>> partners(atoms.size());
    for (auto [i, j] : bonds) {
        partners[static_cast<size_t>(i)].push_back(j);
        partners[static_cast<size_t>(j)].push_back(i);
        m->bonds.push_back(Bond{std::min(i, j), std::max(i, j), 0, 0});
    }
    m->partnerStart.push_back(0);
    for (const auto& p : partners) {
        m->partners.insert(m->partners.end(), p.begin(), p.end());
        m->partnerStart.push_back(static_cast<int>(m->partners.size()));
    }
    return m;
}

// N-H on the x axis pointing at O=C further along: H...O = `gap`.
std::vector<Placed> LinearPair(double gap, double shift = 0) {
    return {{{shift - 1.0, 0, 0}, Carbon},
            {{shift, 0, 0}, Nitrogen},
            {{shift + 1.0, 0, 0}, Hydrogen},
            {{shift + 1.0 + gap, 0, 0}, Oxygen},
            {{shift + 2.23 + gap, 0, 0}, Carbon}};
}
const std::vector<std::pair<int, int>> kPairBonds = {{0, 1}, {1, 2}, {3, 4}};

struct Doc {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    Doc() { doc.options.computeSecondaryStructure = 0; }
    Molecule& Add(std::unique_ptr<Molecule> m) {
        Molecule& ref = *m;
        doc.AddMolecule(std::move(m));
        return ref;
    }
    Molecule& Load(const std::string& name) {
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath(name)), 1);
        return *doc.Primary();
    }
    std::vector<DisplayHBond> Bonds() {
        RecomputeHydrogenBonds(doc);
        std::vector<DisplayHBond> out;
        for (const DisplayHBond& b : doc.HydrogenBonds()) out.push_back(b);
        return out;
    }
};

const Atom& AtomOf(const Molecule* m, int i) { return m->atoms[static_cast<size_t>(i)]; }

// (donor residue, acceptor residue) of the backbone N-H...O=C bonds.
std::set<std::pair<int, int>> BackboneBonds(const std::vector<DisplayHBond>& bonds) {
    std::set<std::pair<int, int>> out;
    for (const DisplayHBond& b : bonds) {
        const Atom& d = AtomOf(b.donorMolecule, b.donor);
        const Atom& o = AtomOf(b.acceptorMolecule, b.acceptor);
        if (o.Name() == "O" && (d.Name() == "N" || d.Name() == "H")) out.insert({d.residueNumber, o.residueNumber});
    }
    return out;
}

TEST(HydrogenBondEnergy, CutOffAtTwoPointOneAngstrom) {
    const auto energy = [](double gap) {
        const auto a = LinearPair(gap);
        return HydrogenBondEnergy(a[1].p, a[2].p, a[3].p, a[4].p);
    };
    const auto formula = [](double gap) {
        return 27.888 * (1 / (gap + 1.23) + 1 / (gap + 1) - 1 / gap - 1 / (gap + 2.23));
    };
    EXPECT_NEAR(energy(2.0), formula(2.0), 1e-9);
    EXPECT_NEAR(energy(1.8), formula(1.8), 1e-9);
    EXPECT_LT(energy(2.0), -0.5);
    EXPECT_LT(energy(2.09), -0.5);
    // Beyond 2.1 the energy would still be favourable, but no bond.
    EXPECT_LT(formula(2.2), -0.5);
    EXPECT_EQ(energy(2.11), 0.5);
    EXPECT_EQ(energy(2.2), 0.5);

    for (const auto& [gap, count] : {std::pair{2.0, 1}, std::pair{2.2, 0}}) {
        Doc d;
        Molecule& m = d.Add(Build(LinearPair(gap), kPairBonds));
        const auto bonds = d.Bonds();
        ASSERT_EQ(static_cast<int>(bonds.size()), count) << gap;
        if (count) {
            EXPECT_EQ(bonds[0].donorMolecule, &m);
            EXPECT_EQ(bonds[0].donor, 2);
            EXPECT_EQ(bonds[0].acceptor, 3);
        }
    }
}

TEST(VirtualHydrogen, PlacedFromThePartnersOfTheNitrogen) {
    const Vec3 n{0, 0, 0};
    const Vec3 one[1] = {{-1.45, 0, 0}};
    const auto h = VirtualHydrogen(n, one, 1, {2, 3, 0});
    ASSERT_TRUE(h);
    EXPECT_NEAR(Length(*h - n), 1.0, 1e-9);
    EXPECT_NEAR(h->x, std::cos(1.2), 1e-9);
    EXPECT_NEAR(h->y, std::sin(1.2), 1e-9);
    EXPECT_NEAR(h->z, 0, 1e-9);
    // Towards the acceptor's side of the line.
    const auto below = VirtualHydrogen(n, one, 1, {0.5, -2, 0});
    ASSERT_TRUE(below);
    EXPECT_NEAR(below->y, -std::sin(1.2), 1e-9);

    const Vec3 two[2] = {{-1, 1, 0}, {-1, -1, 0.5}};
    const auto bisector = VirtualHydrogen(n, two, 2, {2, 0, 0});
    ASSERT_TRUE(bisector);
    const Vec3 b = (n - two[0]) + (n - two[1]);
    const Vec3 expected = b * (1 / Length(b));
    EXPECT_NEAR(bisector->x, expected.x, 1e-9);
    EXPECT_NEAR(bisector->y, expected.y, 1e-9);
    EXPECT_NEAR(bisector->z, expected.z, 1e-9);

    const Vec3 three[3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    EXPECT_FALSE(VirtualHydrogen(n, three, 0, {2, 0, 0}));
    EXPECT_FALSE(VirtualHydrogen(n, three, 3, {2, 0, 0}));
    // Degenerate: acceptor on the partner's line, partner on the nitrogen,
    // acceptor on the nitrogen, partners cancelling out.
    EXPECT_FALSE(VirtualHydrogen(n, one, 1, {3, 0, 0}));
    const Vec3 same[1] = {n};
    EXPECT_FALSE(VirtualHydrogen(n, same, 1, {2, 3, 0}));
    EXPECT_FALSE(VirtualHydrogen(n, one, 1, n));
    const Vec3 opposite[2] = {{-1, 0, 0}, {1, 0, 0}};
    EXPECT_FALSE(VirtualHydrogen(n, opposite, 2, {0, 2, 0}));
}

TEST(HydrogenBonds, HelixBondsWithVirtualAndExplicitHydrogens) {
    // 1ubi has no hydrogens: nitrogens stand in with virtual ones.
    Doc ubi;
    ubi.Load("1ubi.pdb");
    const auto virtualBonds = ubi.Bonds();
    const auto helix = BackboneBonds(virtualBonds);
    for (const DisplayHBond& b : virtualBonds) {
        EXPECT_EQ(AtomOf(b.donorMolecule, b.donor).element, Nitrogen);
        EXPECT_EQ(AtomOf(b.acceptorMolecule, b.acceptor).element, Oxygen);
    }
    std::string found;
    for (auto [d, a] : helix) found += " " + std::to_string(d) + "->" + std::to_string(a);
    std::printf("1ubi backbone bonds:%s\n", found.c_str());
    // The helix 23-34: N-H...O=C from residue i + 4 to i where H...O is
    // within 2.1 A (N 28 to O 24 is 2.37 A from its virtual hydrogen).
    for (int i : {23, 26, 28, 30}) EXPECT_TRUE(helix.count({i + 4, i})) << "N " << i + 4 << " to O " << i;
    for (auto [d, a] : helix)
        if (d >= 24 && d <= 34 && a >= 23 && a <= 34) {
            EXPECT_EQ(d - a, 4) << d << "->" << a;
        }
    EXPECT_GT(virtualBonds.size(), 20u);

    // 2k39 carries its hydrogens: they are the donors, never their nitrogens.
    Doc nmr;
    Molecule& m = nmr.Load("2k39_3models.pdb");
    const auto explicitBonds = nmr.Bonds();
    std::set<int> models;
    for (const DisplayHBond& b : explicitBonds) {
        const Atom& d = AtomOf(b.donorMolecule, b.donor);
        if (d.element == Nitrogen)
            for (int p : m.Partners(b.donor)) EXPECT_NE(AtomOf(&m, p).element, Hydrogen) << d.serial;
        else EXPECT_EQ(d.element, Hydrogen);
        // Models lie on top of each other, yet never bond across.
        EXPECT_EQ(d.model, AtomOf(b.acceptorMolecule, b.acceptor).model) << d.serial;
        models.insert(d.model);
    }
    EXPECT_FALSE(explicitBonds.empty());
}

TEST(HydrogenBonds, WaterIsNoAcceptorAndModelsStayApart) {
    // The pair that bonds, with the acceptor oxygen given two hydrogens.
    auto atoms = LinearPair(2.0);
    atoms[4] = {{3.6, 0.8, 0}, Hydrogen};
    atoms.push_back({{3.6, -0.8, 0}, Hydrogen});
    Doc water;
    water.Add(Build(atoms, {{0, 1}, {1, 2}, {3, 4}, {3, 5}}));
    EXPECT_TRUE(water.Bonds().empty());

    auto twoModels = LinearPair(2.0);
    for (int i = 3; i < 5; ++i) twoModels[static_cast<size_t>(i)].model = 2;
    Doc apart;
    apart.Add(Build(twoModels, kPairBonds));
    EXPECT_TRUE(apart.Bonds().empty());
}

TEST(HydrogenBonds, SeparateMoleculesBondWhereTheyAreShown) {
    const auto pair = LinearPair(2.0);
    const std::vector<Placed> donor(pair.begin(), pair.begin() + 3);
    std::vector<Placed> acceptor(pair.begin() + 3, pair.end());
    for (Placed& a : acceptor) a.p.x += 10;  // 12 A from the hydrogen as read

    Doc d;
    Molecule& n = d.Add(Build(donor, {{0, 1}, {1, 2}}));
    Molecule& o = d.Add(Build(acceptor, {{0, 1}}));
    EXPECT_TRUE(d.Bonds().empty());

    // p = M (x + t): moved back by its translation it bonds ...
    o.trackball.translation[0] = -10;
    auto bonds = d.Bonds();
    ASSERT_EQ(bonds.size(), 1u);
    EXPECT_EQ(bonds[0].donorMolecule, &n);
    EXPECT_EQ(bonds[0].acceptorMolecule, &o);
    EXPECT_EQ(bonds[0].donor, 2);
    EXPECT_EQ(bonds[0].acceptor, 0);

    // ... and with both molecules turned half round the y axis together it still does.
    for (Molecule* m : {&n, &o}) {
        m->trackball.orientation[1] = 1;
        m->trackball.orientation[3] = 0;
    }
    EXPECT_EQ(d.Bonds().size(), 1u);
    // Turned apart, it does not: the acceptor now lies on the other side.
    n.trackball.orientation[1] = 0;
    n.trackball.orientation[3] = 1;
    EXPECT_TRUE(d.Bonds().empty());
}

}  // namespace
