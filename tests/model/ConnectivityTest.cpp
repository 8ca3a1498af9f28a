#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/Connectivity.h"
#include "model/LineSource.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"
#include "support/TestData.h"

using namespace velm;

namespace {

PdbAtomRecord Rec(const char* name, double x, double y = 0, double z = 0, int serial = 0, int model = 0) {
    PdbAtomRecord r;
    r.SetAtomName(name);
    r.x = x;
    r.y = y;
    r.z = z;
    r.serial = serial;
    r.model = model;
    return r;
}

using Pairs = std::vector<std::pair<int, int>>;

Pairs Sorted(Pairs p) {
    for (auto& [a, b] : p)
        if (a > b) std::swap(a, b);
    std::sort(p.begin(), p.end());
    return p;
}

PdbFile Read(const std::string& text) {
    MemoryLineSource s(text);
    return PdbFile::Read(s);
}

Pairs BondsOf(const Molecule& m) {
    Pairs p;
    for (const Bond& b : m.bonds) p.emplace_back(b.first, b.second);
    return Sorted(p);
}

Molecule Load(const PdbFile& f) {
    Molecule m;
    m.atoms.resize(f.atoms.size());
    for (size_t i = 0; i < f.atoms.size(); ++i) {
        m.atoms[i].SetName(f.atoms[i].name);
        m.atoms[i].hetero = f.atoms[i].hetero;
    }
    ApplyConnectivity(m, f, ComputeConnectivity(f));
    return m;
}

}  // namespace

TEST(Connectivity, CovalentRadii) {
    struct Case { const char* name; double r; };
    const Case cases[] = {{"CA", 0.905}, {"HG", 0.455}, {"1HB", 0.455}, {"D2", 0.68}, {"P", 0.975},
                          {"SG", 1.245}, {"OW", 0.905}, {"123", 0.905}, {"12H", 0.455}, {"17", 0.905}, {"", 0.905}};
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(CovalentRadius(c.name), c.r) << c.name;
    // A record's fields give what their texts give.
    for (const Case& c : cases)
        for (const char* element : {"", "H", "D", "P", "S", "SE", "HG", "C"}) {
            PdbAtomRecord r = Rec(c.name, 0);
            std::strncpy(r.element, element, sizeof r.element - 1);
            EXPECT_EQ(CovalentRadius(r), CovalentRadius(c.name, element)) << c.name << " " << element;
        }
}

TEST(Connectivity, DistanceThresholds) {
    struct Case { const char* a; const char* b; double d; bool bonded; };
    const Case cases[] = {
        {"C1", "C2", 1.80, true},  {"C1", "C2", 1.81, false}, {"HG", "SG", 1.69, true},
        {"HG", "SG", 1.71, false}, {"SG", "SG", 2.05, true},  {"H1", "H2", 0.90, true},
        {"H1", "H2", 0.92, false}, {"P", "O1", 1.87, true},   {"P", "O1", 1.89, false},
    };
    for (const Case& c : cases) {
        // Along a diagonal too, so that the test is not one-axis only.
        const double s = c.d / std::sqrt(3.0);
        for (const auto& [dx, dy, dz] : {std::tuple{c.d, 0.0, 0.0}, std::tuple{s, s, s}}) {
            const std::vector<PdbAtomRecord> recs = {Rec(c.a, 10.0, 10.0, 10.0), Rec(c.b, 10.0 + dx, 10.0 + dy, 10.0 + dz)};
            EXPECT_EQ(DeriveBondsByDistance(recs).size(), c.bonded ? 1u : 0u) << c.a << "-" << c.b << " at " << c.d;
        }
    }
}

TEST(Connectivity, DifferentModelsNeverBond) {
    const std::vector<PdbAtomRecord> recs = {Rec("C1", 0, 0, 0, 1, 1), Rec("C2", 0.5, 0, 0, 2, 2)};
    EXPECT_TRUE(DeriveBondsByDistance(recs).empty());
    // Two alternate locations of one atom's neighbours are two versions, not a bond;
    // either bonds to an atom without a location.
    std::vector<PdbAtomRecord> alt = {Rec("CG", 0, 0, 0), Rec("CG", 0.8, 0, 0), Rec("CB", 0.4, 1.4, 0)};
    alt[0].altLoc = 'A';
    alt[1].altLoc = 'B';
    EXPECT_EQ(DeriveBondsByDistance(alt).size(), 2u);
}

TEST(Connectivity, GridCells) {
    const std::vector<PdbAtomRecord> small = {Rec("C", 0), Rec("C", 41.0, 10.0, 3.0)};
    BondGrid g = MakeBondGrid(small);
    EXPECT_DOUBLE_EQ(g.cell[0], 4.0);
    EXPECT_EQ(g.count[0], 11);
    EXPECT_EQ(g.count[1], 3);
    EXPECT_EQ(g.count[2], 1);
    const std::vector<PdbAtomRecord> large = {Rec("C", -150.0), Rec("C", 150.0, 199.0, 1e6)};
    g = MakeBondGrid(large);
    EXPECT_DOUBLE_EQ(g.cell[0], 6.0);  // a 300 A span uses 6 A cells
    EXPECT_EQ(g.count[0], 51);
    EXPECT_DOUBLE_EQ(g.cell[1], 4.0);
    EXPECT_EQ(g.count[1], 50);
    EXPECT_EQ(g.count[2], 51);
}

TEST(Connectivity, GridFindsTheSamePairsAsAllPairs) {
    // A jittered lattice across cell borders, spanning over 200 A on one axis
    // so that both cell sizes are exercised; compared with a plain all-pairs scan.
    std::vector<PdbAtomRecord> recs;
    unsigned seed = 12345;
    auto rnd = [&] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<double>((seed >> 8) & 0xffff) / 65536.0;
    };
    const char* names[] = {"C", "N", "O", "H", "S", "P"};
    for (int i = 0; i < 1500; ++i) {
        const double x = (i % 150) * 1.45 + rnd() * 0.3, y = (i / 150) * 1.3 + rnd() * 0.3, z = rnd() * 2.0;
        recs.push_back(Rec(names[i % 6], x, y, z, i + 1, i % 97 == 0 ? 1 : 0));
    }
    Pairs brute;
    for (size_t a = 0; a < recs.size(); ++a)
        for (size_t b = a + 1; b < recs.size(); ++b) {
            if (recs[a].model != recs[b].model) continue;
            const double r = CovalentRadius(recs[a].name) + CovalentRadius(recs[b].name);
            const double dx = recs[a].x - recs[b].x, dy = recs[a].y - recs[b].y, dz = recs[a].z - recs[b].z;
            if (dx * dx + dy * dy + dz * dz < r * r) brute.emplace_back(static_cast<int>(a), static_cast<int>(b));
        }
    ASSERT_GT(brute.size(), 1000u);
    const auto direct = DeriveBondsByDistance(recs);
    EXPECT_EQ(Sorted(direct), Sorted(brute));
    // The fine grid for crowded cells finds the same pairs in the same order.
    EXPECT_EQ(DeriveBondsByDistance(recs, 0), direct);
}

TEST(Connectivity, StrayAtomFarAwayKeepsTheBonds) {
    // A dummy atom at 9999 A stretches the cells to 200 A: the whole protein
    // falls into one cell. The bonds stay, and the fine grid used for such
    // files gives them in the order of the plain walk over the stretched grid.
    PdbFile f = PdbFile::Read(velm::test::DataPath("1ubi.pdb"));
    const auto plain = DeriveBondsByDistance(f.atoms);
    f.atoms.push_back(Rec("C", 9999.0, 9999.0, 9999.0, 99999));
    const auto stretched = DeriveBondsByDistance(f.atoms, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(Sorted(stretched), Sorted(plain));
    EXPECT_NE(stretched, plain);  // the walk meets them in another order
    EXPECT_EQ(DeriveBondsByDistance(f.atoms), stretched);
    EXPECT_EQ(DeriveBondsByDistance(f.atoms, 0), stretched);
}

TEST(Connectivity, PartnersInDiscoveryOrder) {
    // Atom 1 sits between 0 and 2: its partners come in the order the grid finds them.
    const std::vector<PdbAtomRecord> recs = {Rec("C", 0), Rec("C", 1.5), Rec("C", 3.0)};
    EXPECT_EQ(DeriveBondsByDistance(recs), (Pairs{{0, 1}, {1, 2}}));
}

TEST(Connectivity, ConectForEveryAtomIsKeptAsIs) {
    // Three carbons in bonding distance, but the file lists only 1-3.
    const PdbFile f = Read(
        "ATOM 1 C1 LIG A 1 0.0 0.0 0.0\nATOM 2 C2 LIG A 1 1.5 0.0 0.0\nATOM 3 C3 LIG A 1 3.0 0.0 0.0\n"
        "CONECT 1 3\nCONECT 2\nCONECT 3 1\n");
    EXPECT_EQ(BondsOf(Load(f)), (Pairs{{0, 2}}));
}

TEST(Connectivity, ConectWithMissingSerialFallsBackToDistance) {
    const PdbFile f = Read(
        "ATOM 1 C1 LIG A 1 0.0 0.0 0.0\nATOM 2 C2 LIG A 1 1.5 0.0 0.0\nATOM 3 C3 LIG A 1 9.0 0.0 0.0\n"
        "CONECT 1 3\nCONECT 3 99\n");
    EXPECT_EQ(BondsOf(Load(f)), (Pairs{{0, 1}}));
}

TEST(Connectivity, ConectMergedIntoDistanceBonds) {
    // A zinc beyond bonding distance of the carbonyl carbon of a capped
    // residue; a stray ligand carbon close to the zinc. The zinc's entry (a
    // HETATM) replaces its derived partners; the carbon's entry (an ATOM)
    // adds the link and keeps its own bonds.
    const PdbFile f = Read(
        "ATOM 1 N ALA A 1 0.0 0.0 0.0\n"
        "ATOM 2 CA ALA A 1 1.45 0.0 0.0\n"
        "ATOM 3 C ALA A 1 2.9 0.0 0.0\n"
        "HETATM 4 ZN ZN A 2 2.9 2.5 0.0\n"
        "HETATM 5 C1 LIG A 3 2.9 4.0 0.0\n"
        "CONECT 3 4\n"
        "CONECT 4 3\n");
    const Molecule m = Load(f);
    EXPECT_EQ(BondsOf(m), (Pairs{{0, 1}, {1, 2}, {2, 3}}));
    EXPECT_EQ(m.Partners(3).size(), 1u);
    EXPECT_EQ(m.Partners(4).size(), 0u);
    EXPECT_EQ(m.bonds.back().hetero, 1);
}

TEST(Connectivity, ConectEntryOutOfAtomOrderEndsTheMerging) {
    const PdbFile f = Read(
        "HETATM 1 C1 LIG A 1 0.0 0.0 0.0\nHETATM 2 C2 LIG A 1 1.5 0.0 0.0\n"
        "HETATM 3 C3 LIG A 1 20.0 0.0 0.0\nHETATM 4 C4 LIG A 1 40.0 0.0 0.0\n"
        "CONECT 2 3\nCONECT 1 4\nCONECT 3 2\n");
    // 2 is applied (bond 1-2 replaced by 2-3); 1 does not come up after 2, so
    // neither it nor the entry after it is applied.
    EXPECT_EQ(BondsOf(Load(f)), (Pairs{{1, 2}}));
}

TEST(Connectivity, MultiModelConectIsIgnored) {
    const PdbFile f = Read(
        "MODEL 1\nATOM 1 C1 LIG A 1 0.0 0.0 0.0\nATOM 2 C2 LIG A 1 1.5 0.0 0.0\nENDMDL\n"
        "MODEL 2\nATOM 1 C1 LIG A 1 0.0 0.0 0.0\nATOM 2 C2 LIG A 1 9.5 0.0 0.0\nENDMDL\n"
        "CONECT 1 2\n");
    EXPECT_EQ(BondsOf(Load(f)), (Pairs{{0, 1}}));
}

TEST(Connectivity, LoneOxygenIsWater) {
    const PdbFile f = Read(
        "ATOM 1 OW WAT A 1 0.0 0.0 0.0\n"
        "ATOM 2 O ALA A 2 10.0 0.0 0.0\nATOM 3 C ALA A 2 11.2 0.0 0.0\n"
        "ATOM 4 NZ LYS A 3 30.0 0.0 0.0\n");
    const Molecule m = Load(f);
    EXPECT_EQ(m.atoms[0].hetero, 1);
    EXPECT_EQ(m.atoms[1].hetero, 0);
    EXPECT_EQ(m.atoms[3].hetero, 0);  // only oxygens
}

TEST(Connectivity, CoincidentAtomsAreBounded) {
    // A broken file with every atom on one spot must not ask for n^2 bonds.
    std::vector<PdbAtomRecord> recs(20000, Rec("C", 1.0, 1.0, 1.0));
    const auto pairs = DeriveBondsByDistance(recs);
    EXPECT_LE(pairs.size(), 20000u * 32u / 2u);
    EXPECT_GE(pairs.size(), 20000u * 30u / 2u);
}
