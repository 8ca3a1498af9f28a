// Secondary structure: the code table, geometry, hydrogen bonds and the
// assignment on backbones built here with known angles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "analysis/MakeDocument.h"
#include "analysis/SecondaryStructure.h"
#include "analysis/StrideRun.h"
#include "core/RecordingUiHooks.h"
#include "core/WorkerThreads.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;

namespace {

constexpr double kPi = 3.14159265358979323846;

Vec3 Unit(const Vec3& v) { return v * (1 / Length(v)); }

// Places d from a, b, c with |cd| = length, angle bcd and torsion abcd (degrees).
Vec3 Place(const Vec3& a, const Vec3& b, const Vec3& c, double length, double angle, double torsion) {
    const double t = angle * kPi / 180, p = torsion * kPi / 180;
    const Vec3 bc = Unit(c - b), n = Unit(Cross(b - a, bc)), m = Cross(n, bc);
    return c + bc * (-length * std::cos(t)) + m * (length * std::sin(t) * std::cos(p)) + n * (length * std::sin(t) * std::sin(p));
}

struct BackboneResidue {
    Vec3 n, ca, c, o;
    ResidueType type = ALA;
};

// A backbone with standard bond lengths and angles, trans peptides and the given phi/psi.
std::vector<BackboneResidue> Backbone(const std::vector<std::pair<double, double>>& phiPsi) {
    std::vector<BackboneResidue> r(phiPsi.size());
    r[0].n = {0, 0, 0};
    r[0].ca = {1.458, 0, 0};
    r[0].c = Place({0, 1, 0}, r[0].n, r[0].ca, 1.525, 111.2, -60);
    for (size_t i = 0; i + 1 < r.size(); ++i) {
        r[i + 1].n = Place(r[i].n, r[i].ca, r[i].c, 1.329, 116.2, phiPsi[i].second);
        r[i + 1].ca = Place(r[i].ca, r[i].c, r[i + 1].n, 1.458, 121.7, 180);
        r[i + 1].c = Place(r[i].c, r[i + 1].n, r[i + 1].ca, 1.525, 111.2, phiPsi[i + 1].first);
        r[i].o = Place(r[i + 1].n, r[i].ca, r[i].c, 1.231, 120.5, 180);
    }
    BackboneResidue& last = r.back();
    last.o = Place(last.n, last.ca, last.c, 1.231, 120.5, phiPsi.back().second + 180);
    return r;
}

void AddChain(Molecule& m, char id, const std::vector<BackboneResidue>& residues, int model = 1, int firstNumber = 1) {
    Chain chain;
    chain.id = id;
    chain.model = model;
    for (size_t i = 0; i < residues.size(); ++i) {
        Residue r;
        r.type = residues[i].type;
        r.number = firstNumber + static_cast<int>(i);
        const std::pair<const char*, Vec3> atoms[] = {
            {"N", residues[i].n}, {"CA", residues[i].ca}, {"C", residues[i].c}, {"O", residues[i].o}};
        for (const auto& [name, p] : atoms) {
            Atom a;
            a.SetName(name);
            a.SetResidueName(residues[i].type == PRO ? "PRO" : "ALA");
            a.x = p.x, a.y = p.y, a.z = p.z;
            a.chain = id;
            a.model = model;
            a.residueNumber = r.number;
            r.atoms.push_back(static_cast<int>(m.atoms.size()));
            if (std::strcmp(name, "CA") == 0) r.alphaCarbon = r.atoms.back();
            if (std::strcmp(name, "O") == 0) r.carbonylOxygen = r.atoms.back();
            m.atoms.push_back(a);
        }
        chain.residues.push_back(r);
    }
    m.chains.push_back(chain);
}

std::vector<BackboneResidue> AlphaHelix(int n) { return Backbone(std::vector<std::pair<double, double>>(n, {-57, -47})); }

std::string Codes(const Chain& chain) {
    std::string s;
    for (const Residue& r : chain.residues) s += r.secondaryStructure >= 0 && r.secondaryStructure < 10 ? static_cast<char>('0' + r.secondaryStructure) : '*';
    return s;
}

// Two strands related by a two-fold axis through the middle pair, joined by
// two loop residues: a 2:2 hairpin whose pairs are (8-k, 11+k).
std::vector<BackboneResidue> Hairpin() {
    std::vector<std::pair<double, double>> beta(9, {-139, 135});
    std::vector<BackboneResidue> strand = Backbone(beta);
    // Frame: x along the strand, y towards the partner from residue 4's N-H.
    const Vec3 n4 = strand[4].n;
    const Vec3 hDirection = Unit(Unit(n4 - strand[4].ca) + Unit(n4 - strand[3].c));
    const Vec3 axis = Unit(strand[8].ca - strand[0].ca);
    const Vec3 normal = Unit(Cross(axis, hDirection));
    // The rotation maps p to 2 q + 2 normal (normal . (p - q)) - p about the line through q.
    auto rotate = [&](const Vec3& p, const Vec3& q) { return q * 2 + normal * (2 * Dot(normal, p - q)) - p; };
    // Choose q so that residue 4's N lies 2.9 A from the image of its own O along N-H.
    const Vec3 target = n4 + hDirection * 2.9;
    const Vec3 o4 = strand[4].o;
    Vec3 q = (target + o4) * 0.5;
    q = q - normal * Dot(normal, q - o4);
    std::vector<BackboneResidue> chain(strand);
    const Vec3 from = strand[8].c, to = rotate(strand[0].n, q);
    for (int k = 1; k <= 2; ++k) {
        BackboneResidue loop;
        const Vec3 at = from + (to - from) * (k / 3.0) + normal * 3.0;
        loop.n = at + Vec3{-0.5, 0, 0}, loop.ca = at, loop.c = at + Vec3{0.5, 0, 0}, loop.o = at + Vec3{0.5, 1.2, 0};
        loop.type = GLY;
        chain.push_back(loop);
    }
    for (const BackboneResidue& r : strand) chain.push_back({rotate(r.n, q), rotate(r.ca, q), rotate(r.c, q), rotate(r.o, q)});
    return chain;
}

StrideRun PreparedRun(const Molecule& m, int first, int count) {
    StrideRun run = BuildStrideRun(m, first, count);
    MarkValidChains(run);
    ComputeBackboneAngles(run);
    AddAmideHydrogens(run);
    return run;
}

TEST(SecondaryStructureCode, NamesAndCharactersFollowTheTable) {
    struct Row {
        int code;
        const char* longName;
        const char* shortName;
        char character;
    };
    const Row rows[] = {
        {0, "Alpha Helix", "AlphaHelix", 'H'},  {1, "3-10 Helix", "310Helix", 'G'},
        {2, "Pi Helix", "PiHelix", 'I'},        {3, "Strand (beta sheet)", "Strand", 'E'},
        {4, "Bridge", "Bridge", 'B'},           {5, "Coil", "Coil", 'C'},
        {6, "Turn", "Turn", 'T'},               {7, "Turn I", "TurnI", '1'},
        {8, "Turn I'", "TurnI'", '2'},          {9, "Turn II", "TurnII", '3'},
        {10, "Turn II'", "TurnII'", '4'},       {11, "Turn IV", "TurnIV", '8'},
        {12, "Turn VIa", "TurnVIa", '5'},       {13, "Turn VIb", "TurnVIb", '6'},
        {14, "", "TurnVIII", '7'},              {15, "Turn Gamma", "GammaClassic", '@'},
        {16, "Turn Gamma Inv", "GammaInv", '&'}, {17, "Unknown", "Unknown", 'x'},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(SecondaryStructureLongName(r.code), r.longName) << r.code;
        EXPECT_EQ(SecondaryStructureShortName(r.code), r.shortName) << r.code;
        EXPECT_EQ(SecondaryStructureFromCharacter(r.character), r.code) << r.character;
    }
    EXPECT_EQ(SecondaryStructureFromCharacter('b'), Bridge);
    EXPECT_EQ(SecondaryStructureFromCharacter('\0'), UnknownStructure);
    // The list leaves out the code without a long name.
    const std::string_view* list = SecondaryStructureListNames();
    EXPECT_EQ(list[13], "Turn VIb");
    EXPECT_EQ(list[14], "Turn Gamma");
    EXPECT_EQ(list[kSecondaryStructureListCount - 1], "Unknown");
}

TEST(StrideGeometry, TorsionsAndAnglesOfKnownPoints) {
    const Vec3 a{1, 0, 0}, b{0, 0, 0}, c{0, 1, 0};
    EXPECT_NEAR(Angle(a, b, c), 90.0, 1e-3);
    EXPECT_NEAR(Torsion(a, b, c, {0, 1, 1}), -90.0, 1e-3);
    EXPECT_NEAR(Torsion(a, b, c, {0, 1, -1}), 90.0, 1e-3);
    EXPECT_NEAR(std::fabs(Torsion(a, b, c, {-1, 1, 0})), 180.0, 0.1);
    // Collinear points stay finite thanks to the nudge off +-1.
    EXPECT_TRUE(std::isfinite(Angle({2, 0, 0}, b, {1, 0, 0})));
}

TEST(StrideGeometry, BackboneAnglesOfABuiltChainAreTheOnesItWasBuiltWith) {
    std::vector<std::pair<double, double>> angles = {{-60, 140}, {-75, -30}, {60, 40}, {-120, 130}, {-150, 160}, {80, -10}};
    Molecule m;
    AddChain(m, 'A', Backbone(angles));
    StrideRun run = PreparedRun(m, 0, 1);
    const auto& rs = run.chains[0].residues;
    EXPECT_EQ(rs.front().phi, kUndefinedAngle);
    EXPECT_EQ(rs.back().psi, kUndefinedAngle);
    for (size_t i = 1; i < angles.size(); ++i) EXPECT_NEAR(rs[i].phi, angles[i].first, 0.01) << i;
    for (size_t i = 0; i + 1 < angles.size(); ++i) EXPECT_NEAR(rs[i].psi, angles[i].second, 0.01) << i;
}

TEST(StrideGeometry, ZonesAreTwentyDegreeCellsOpenBelow) {
    struct Case {
        float phi;
        int zone;
    };
    const Case cases[] = {{-180.0f, -1}, {-179.9f, 0}, {-160.0f, 0}, {-159.9f, 1}, {0.0f, 8}, {0.1f, 9}, {180.0f, 17}, {kUndefinedAngle, -1}};
    for (const Case& c : cases) {
        StrideRun run;
        run.chains.resize(1);
        run.chains[0].residues.resize(3);
        for (auto& r : run.chains[0].residues) r.phi = r.psi = -60;
        run.chains[0].residues[1].phi = c.phi;
        run.chains[0].residues[2].phi = 100;  // zone 13, taken over by an undefined phi before it
        ComputeZones(run);
        EXPECT_EQ(run.chains[0].residues[1].phiZone, c.zone == -1 ? 13 : c.zone) << c.phi;
    }
}

TEST(StrideGeometry, ChainBreakLeavesPhiUndefinedAndTakesTheNextZone) {
    std::vector<BackboneResidue> helix = AlphaHelix(12);
    for (size_t i = 6; i < helix.size(); ++i)
        for (Vec3* p : {&helix[i].n, &helix[i].ca, &helix[i].c, &helix[i].o}) *p += Vec3{0, 0, 10};
    helix[7] = Backbone({{-60, 140}, {-120, 130}, {-70, -40}})[1];  // a sheet residue after the gap
    for (Vec3* p : {&helix[7].n, &helix[7].ca, &helix[7].c, &helix[7].o}) *p += Vec3{40, 0, 0};
    Molecule m;
    AddChain(m, 'A', helix);
    StrideRun run = PreparedRun(m, 0, 1);
    ComputeZones(run);
    const auto& rs = run.chains[0].residues;
    EXPECT_EQ(rs[6].phi, kUndefinedAngle);
    EXPECT_EQ(rs[5].psi, kUndefinedAngle);
    EXPECT_EQ(rs[6].phiZone, rs[7].phiZone);
    EXPECT_EQ(rs[5].psiZone, rs[4].psiZone);
}

TEST(StrideRecords, FiveResiduesTakePartFourDoNot) {
    for (int n : {4, 5}) {
        Molecule m;
        AddChain(m, 'A', AlphaHelix(n));
        StrideRun run = BuildStrideRun(m, 0, 1);
        if (n == 4) {
            EXPECT_THROW(MarkValidChains(run), StrideError);
        } else {
            MarkValidChains(run);
            EXPECT_TRUE(run.chains[0].valid);
        }
    }
}

TEST(StrideRecords, LongAtomNamesAreCutAndOverfullResiduesEndTheRun) {
    Molecule m;
    AddChain(m, 'A', AlphaHelix(6));
    // Names are cut to four characters: two that share them are one atom.
    const int before = BuildStrideRun(m, 0, 1).chains[0].residues[0].atomCount;
    Atom twin = m.atoms[0];
    m.atoms[0].SetName("HD11X");
    twin.SetName("HD11Y");
    m.chains[0].residues[0].atoms.push_back(static_cast<int>(m.atoms.size()));
    m.atoms.push_back(twin);
    StrideRun run = BuildStrideRun(m, 0, 1);
    EXPECT_EQ(run.chains[0].residues[0].atomCount, before);
    EXPECT_STREQ(run.chains[0].residues[0].name, "ALA");
    EXPECT_STREQ(run.chains[0].residues[0].number, "1");

    Residue& r = m.chains[0].residues[2];
    for (int k = 0; r.atoms.size() < 51; ++k) {  // distinct names: repeated ones are alternates
        Atom extra;
        extra.SetName("X" + std::to_string(k));
        r.atoms.push_back(static_cast<int>(m.atoms.size()));
        m.atoms.push_back(extra);
    }
    EXPECT_THROW(BuildStrideRun(m, 0, 1), StrideError);
    r.atoms.pop_back();
    EXPECT_NO_THROW(BuildStrideRun(m, 0, 1));

    // Alternate positions (a name met again) count once: the first stands.
    Residue& alt = m.chains[0].residues[3];
    const size_t distinct = alt.atoms.size();
    const int first = alt.atoms[1];
    for (int k = 0; k < 60; ++k) {
        Atom copy = m.atoms[static_cast<size_t>(alt.atoms[1 + k % (distinct - 1)])];
        copy.x += 0.3;
        alt.atoms.push_back(static_cast<int>(m.atoms.size()));
        m.atoms.push_back(copy);
    }
    const StrideRun withAlternates = BuildStrideRun(m, 0, 1);
    const StrideResidue& kept = withAlternates.chains[0].residues[3];
    EXPECT_EQ(kept.atomCount, static_cast<int>(distinct));
    ASSERT_EQ(m.atoms[static_cast<size_t>(first)].Name(), "CA");
    EXPECT_EQ(kept.At(Backbone::CA).x, static_cast<float>(m.atoms[static_cast<size_t>(first)].x));
}

TEST(StrideRecords, AmideHydrogensSkipProlinesTheFirstResidueAndPresentOnes) {
    std::vector<BackboneResidue> helix = AlphaHelix(8);
    helix[3].type = PRO;
    Molecule m;
    AddChain(m, 'A', helix);
    Atom h;
    h.SetName("H");
    h.x = 99;
    m.chains[0].residues[5].atoms.push_back(static_cast<int>(m.atoms.size()));
    m.atoms.push_back(h);
    StrideRun run = PreparedRun(m, 0, 1);
    const auto& rs = run.chains[0].residues;
    EXPECT_FALSE(rs[0].Has(Backbone::H));
    EXPECT_FALSE(rs[3].Has(Backbone::H));
    ASSERT_TRUE(rs[5].Has(Backbone::H));
    EXPECT_EQ(rs[5].At(Backbone::H).x, 99.0f);
    EXPECT_EQ(rs[5].atomCount, 5);
    for (int i : {1, 2, 4, 6, 7}) {
        ASSERT_TRUE(rs[i].Has(Backbone::H)) << i;
        EXPECT_EQ(rs[i].atomCount, 5) << i;
        const Vec3 nh = rs[i].At(Backbone::H) - rs[i].At(Backbone::N);
        EXPECT_NEAR(Length(nh), 1.0, 1e-5);
        // In the peptide plane, opposite the bisector of N-CA and N-C(i-1).
        EXPECT_NEAR(Angle(rs[i].At(Backbone::H), rs[i].At(Backbone::N), rs[i - 1].At(Backbone::C)),
                    180 - 121.7 / 2, 0.01);
    }
}

// A donor N-H and an acceptor C=O laid in one plane: O at the origin, C on
// +x, H at an angle of 180 - ti from C, N behind H.
HydrogenBond PlanarBond(double ti, double no) {
    const double t = (180 - ti) * kPi / 180;
    const Vec3 o{0, 0, 0}, c{1.23, 0, 0}, ca{1.9, 1.2, 0};
    const Vec3 toH{std::cos(t), std::sin(t), 0};
    const Vec3 h = toH * (no - 1.0), n = toH * no;
    HydrogenBond b;
    b.distance = static_cast<float>(no);
    ComputeBondEnergy(b, n, h, o, c, ca);
    return b;
}

TEST(StrideHydrogenBonds, EnergyOfPlanarBonds) {
    struct Case {
        double ti, et;  // Et worked out by hand from the angular term
    };
    const Case cases[] = {{0, 0.9}, {45, 1.0}, {80, 0.9342}, {90, 0.9}, {100, 0.3680}, {109, 0.000745}, {110.5, 0}, {140, 0}};
    for (const Case& c : cases) {
        const HydrogenBond b = PlanarBond(c.ti, 2.8);
        EXPECT_NEAR(b.et, c.et, 2e-3 * std::max(c.et, 0.01)) << c.ti;
        EXPECT_NEAR(b.ep, 1.0, 1e-5);
        // Below 3 A the distance is raised to 3, where the radial term is at its minimum.
        EXPECT_FLOAT_EQ(b.distance, 3.0f);
        EXPECT_NEAR(b.er, -2.8, 1e-6);
        EXPECT_NEAR(b.energy, -2800 * c.et, 6 * c.et + 0.01) << c.ti;
    }
    EXPECT_EQ(PlanarBond(110.01, 3.2).et, 0.0f);
    EXPECT_NEAR(PlanarBond(45, 3.5).er, 8.4 * std::pow(3 / 3.5, 8) - 11.2 * std::pow(3 / 3.5, 6), 1e-6);
}

TEST(StrideHydrogenBonds, WeakerDoubleBondsOfOneDonorLoseTheirEnergyAcceptance) {
    struct Case {
        float earlier, later;
        bool earlierKept, laterKept;
    };
    const Case cases[] = {{-2000, -300, true, false}, {-2000, -500, true, true}, {-300, -2000, false, true}, {-500, -2000, true, true}};
    for (const Case& c : cases) {
        StrideRun run;
        run.bonds.resize(3);
        run.bonds[0].energy = c.earlier;
        run.bonds[1].energy = c.later;
        run.bonds[2].energy = -20;  // another donor: never compared with the first two
        run.bonds[2].donorResidue = 9;
        for (auto& b : run.bonds) b.energyAccepted = true;
        RemoveDoubleBonds(run);
        EXPECT_EQ(run.bonds[0].energyAccepted, c.earlierKept) << c.earlier << " " << c.later;
        EXPECT_EQ(run.bonds[1].energyAccepted, c.laterKept) << c.earlier << " " << c.later;
        EXPECT_TRUE(run.bonds[2].energyAccepted);
    }
}

TEST(StrideHydrogenBonds, HelixBondsRunFromResidueIPlusFourToI) {
    Molecule m;
    AddChain(m, 'A', AlphaHelix(16));
    StrideRun run = PreparedRun(m, 0, 1);
    FindHydrogenBonds(run);
    RemoveDoubleBonds(run);
    for (int i = 0; i + 4 < 16; ++i) {
        const int b = EnergyBond(run, 0, i + 4, 0, i);
        ASSERT_GE(b, 0) << i;
        EXPECT_LT(run.bonds[b].energy, -1000) << i;
        EXPECT_LT(EnergyBond(run, 0, i, 0, i + 4), 0) << i;
    }
    for (const HydrogenBond& b : run.bonds) EXPECT_GT(std::abs(b.donorResidue - b.acceptorResidue), 1);
}

TEST(StrideHydrogenBonds, BondRulesHoldOnARealProtein) {
    Molecule m;
    SilentUiHooks ui;
    ReadCoordinateFile(m, DataPath("2hhb.pdb"), false, false, PdbType, ui);
    StrideRun run = PreparedRun(m, 0, static_cast<int>(m.chains.size()));
    FindHydrogenBonds(run);
    std::vector<std::vector<std::vector<int>>> donated(run.chains.size());
    for (size_t c = 0; c < run.chains.size(); ++c) donated[c].resize(run.chains[c].residues.size());
    int interchain = 0;
    for (size_t i = 0; i < run.bonds.size(); ++i) {
        const HydrogenBond& b = run.bonds[i];
        const StrideChain& donorChain = run.chains[b.donorChain];
        EXPECT_GT(b.donorResidue, 0);
        EXPECT_STRNE(donorChain.residues[b.donorResidue].name, "PRO");
        EXPECT_LT(b.acceptorResidue, run.chains[b.acceptorChain].Count() - 1);
        if (b.donorChain == b.acceptorChain) {
            EXPECT_GT(std::abs(b.donorResidue - b.acceptorResidue), 1);
        }
        EXPECT_LE(b.distance, 6.0f);
        EXPECT_TRUE((b.energyAccepted && b.energy < 0) || b.planeAccepted || b.contactAccepted);
        donated[b.donorChain][b.donorResidue].push_back(static_cast<int>(i));
        if (b.donorChain != b.acceptorChain) {
            ++interchain;
            EXPECT_TRUE(run.Residue(b.donorChain, b.donorResidue).interchain);
            EXPECT_TRUE(run.Residue(b.acceptorChain, b.acceptorResidue).interchain);
        }
    }
    EXPECT_GT(interchain, 0);  // haemoglobin's subunits touch
    // Each residue files the first six of its bonds, in list order.
    for (size_t c = 0; c < run.chains.size(); ++c)
        for (size_t r = 0; r < run.chains[c].residues.size(); ++r) {
            std::vector<int> expected = donated[c][r];
            if (expected.size() > 6) expected.resize(6);
            EXPECT_EQ(run.chains[c].residues[r].donorBonds.Vector(), expected);
        }
}

TEST(StrideAssignment, IdealAlphaHelixIsHelical) {
    Molecule m;
    AddChain(m, 'A', AlphaHelix(20));
    SilentUiHooks ui;
    ASSERT_EQ(AssignSecondaryStructure(m, ui), 1);
    // The last residue has no S(i + 1) after it, so the helix ends one before it.
    EXPECT_EQ(Codes(m.chains[0]), std::string(19, '0') + "5");
}

TEST(StrideAssignment, HairpinStrandsAreSheetTurnIsNot) {
    Molecule m;
    AddChain(m, 'A', Hairpin());
    SilentUiHooks ui;
    ASSERT_EQ(AssignSecondaryStructure(m, ui), 1);
    const std::string codes = Codes(m.chains[0]);
    for (int i : {2, 3, 4, 5, 6, 13, 14, 15, 16, 17}) EXPECT_EQ(codes[i], '3') << i << " " << codes;
    for (int i : {9, 10}) EXPECT_NE(codes[i], '3') << i << " " << codes;
}

TEST(StrideAssignment, ShortChainIsCoilBesideALongOneAndUntouchedAlone) {
    Molecule together;
    AddChain(together, 'A', AlphaHelix(12));
    AddChain(together, 'B', AlphaHelix(4));
    SilentUiHooks ui;
    ASSERT_EQ(AssignSecondaryStructure(together, ui), 1);
    EXPECT_EQ(Codes(together.chains[1]), "5555");

    // Models are runs of their own: a short chain in a second model has no valid
    // chain beside it, so its run ends and it keeps its codes.
    Molecule models;
    AddChain(models, 'A', AlphaHelix(12), 1);
    AddChain(models, 'A', AlphaHelix(4), 2);
    ASSERT_EQ(AssignSecondaryStructure(models, ui), 1);
    EXPECT_EQ(Codes(models.chains[0]), std::string(11, '0') + "5");
    EXPECT_EQ(Codes(models.chains[1]), "****");
}

TEST(StrideAssignment, FailedRunIsSilentOtherFailuresAreReported) {
    Molecule m;
    AddChain(m, 'A', AlphaHelix(12), 1);
    AddChain(m, 'A', AlphaHelix(12), 2);
    Residue& r = m.chains[0].residues[3];
    for (int k = 0; r.atoms.size() < 51; ++k) {  // distinct names: repeated ones are alternates
        Atom extra;
        extra.SetName("X" + std::to_string(k));
        r.atoms.push_back(static_cast<int>(m.atoms.size()));
        m.atoms.push_back(extra);
    }
    RecordingUiHooks ui;
    EXPECT_EQ(AssignSecondaryStructure(m, ui), 1);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(Codes(m.chains[0]), std::string(12, '*'));
    EXPECT_EQ(Codes(m.chains[1]), std::string(11, '0') + "5");

    Molecule broken;
    AddChain(broken, 'A', AlphaHelix(12));
    broken.chains[0].residues[2].atoms.push_back(100000);
    EXPECT_EQ(AssignSecondaryStructure(broken, ui), 0);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"message:STRIDE is unable to assign the secondary structure!"});

    Molecule empty;
    EXPECT_EQ(AssignSecondaryStructure(empty, ui), 1);
}

}  // namespace

namespace {

bool SameBond(const HydrogenBond& a, const HydrogenBond& b) {
    return a.donorChain == b.donorChain && a.donorResidue == b.donorResidue && a.acceptorChain == b.acceptorChain &&
           a.acceptorResidue == b.acceptorResidue && a.distance == b.distance && a.energy == b.energy &&
           a.er == b.er && a.et == b.et && a.ep == b.ep && a.energyAccepted == b.energyAccepted &&
           a.planeAccepted == b.planeAccepted && a.contactAccepted == b.contactAccepted;
}

// Whether the search ended the run, and what it left.
struct SearchResult {
    bool ended = false;
    StrideRun run;
};

SearchResult Search(const Molecule& m, int first, int count, bool allPairs) {
    SearchResult result;
    try {
        result.run = PreparedRun(m, first, count);
        FindHydrogenBonds(result.run, allPairs);
        RemoveDoubleBonds(result.run);
    } catch (const StrideError&) {
        result.ended = true;
    }
    return result;
}

class StrideGridSearch : public testing::TestWithParam<const char*> {};

// The cell grid must hand the tests exactly the pairs of the full
// enumeration, in its order: same indices, same first-six lists, same
// removal of double bonds.
TEST_P(StrideGridSearch, GivesTheBondsOfTheAllPairsSearch) {
    Molecule m;
    SilentUiHooks ui;
    ReadCoordinateFile(m, DataPath(GetParam()), false, false, PdbType, ui);
    int runs = 0;
    for (int first = 0; first < static_cast<int>(m.chains.size());) {
        int count = 1;
        while (first + count < static_cast<int>(m.chains.size()) && m.chains[first + count].model == m.chains[first].model)
            ++count;
        const SearchResult grid = Search(m, first, count, false), all = Search(m, first, count, true);
        ASSERT_EQ(grid.ended, all.ended);
        if (!all.ended) {
            ++runs;
            ASSERT_EQ(grid.run.bonds.size(), all.run.bonds.size());
            for (size_t i = 0; i < all.run.bonds.size(); ++i) ASSERT_TRUE(SameBond(grid.run.bonds[i], all.run.bonds[i])) << i;
            for (size_t c = 0; c < all.run.chains.size(); ++c)
                for (size_t r = 0; r < all.run.chains[c].residues.size(); ++r) {
                    const StrideResidue &g = grid.run.chains[c].residues[r], &a = all.run.chains[c].residues[r];
                    ASSERT_EQ(g.donorBonds.Vector(), a.donorBonds.Vector());
                    ASSERT_EQ(g.acceptorBonds.Vector(), a.acceptorBonds.Vector());
                    ASSERT_EQ(g.interchain, a.interchain);
                }
        }
        first += count;
    }
    std::printf("%s: %d runs with bonds\n", GetParam(), runs);
}

INSTANTIATE_TEST_SUITE_P(Samples, StrideGridSearch,
                         testing::Values("1ubi.pdb", "2hhb.pdb", "1tii.pdb", "3al1.pdb", "1hpv.pdb", "pept.pdb", "1a1p.pdb",
                                         "2k39_3models.pdb", "133d.pdb", "4jsv.pdb.gz", "1adz.pdb.gz",
                                         "1tw7_solvated.pdb.gz"));

}  // namespace

namespace {

// Stacked copies of one helix in one model: every donor bonds into every
// copy, so from some number of copies on the bond list overflows its
// capacity of three per residue and the run ends, for both searches alike;
// also with the donors of long helices searched in parts on several threads.
TEST(StrideGridSearchLimit, OverflowEndsTheRunForBothSearches) {
    bool sawEnd = false, sawFit = false;
    for (int length : {12, 1200})
        for (int copies = 1; copies <= 6; ++copies) {
            Molecule m;
            for (int c = 0; c < copies; ++c) AddChain(m, static_cast<char>('A' + c), AlphaHelix(length));
            const SearchResult grid = Search(m, 0, copies, false), all = Search(m, 0, copies, true);
            ASSERT_EQ(grid.ended, all.ended) << copies << " x " << length;
            (all.ended ? sawEnd : sawFit) = true;
            if (!all.ended) {
                ASSERT_EQ(grid.run.bonds.size(), all.run.bonds.size()) << copies << " x " << length;
                for (size_t i = 0; i < all.run.bonds.size(); ++i) ASSERT_TRUE(SameBond(grid.run.bonds[i], all.run.bonds[i]));
            }
        }
    EXPECT_TRUE(sawEnd);
    EXPECT_TRUE(sawFit);
}

}  // namespace

namespace {

std::string AssignedCodes(const std::vector<std::pair<double, double>>& angles) {
    Molecule m;
    AddChain(m, 'A', Backbone(angles));
    SilentUiHooks ui;
    AssignSecondaryStructure(m, ui);
    return Codes(m.chains[0]);
}

TEST(StrideAssignment, TurnsInExtendedChains) {
    const std::pair<double, double> extended{-120, 130};
    // A type I turn at residues 4 and 5 brings CA(3) and CA(6) within 7 A.
    std::vector<std::pair<double, double>> beta(12, extended);
    beta[4] = {-60, -30};
    beta[5] = {-90, 0};
    const std::string betaTurn = AssignedCodes(beta);
    EXPECT_EQ(betaTurn.substr(3, 4), "6666") << betaTurn;
    EXPECT_EQ(betaTurn[0], '5') << betaTurn;
    EXPECT_EQ(betaTurn[11], '5') << betaTurn;

    // A classic gamma turn at residue 5: N(6) bonds back to O(4).
    std::vector<std::pair<double, double>> gamma(12, extended);
    gamma[5] = {75, -64};
    const std::string gammaTurn = AssignedCodes(gamma);
    EXPECT_EQ(gammaTurn.substr(4, 3), "666") << gammaTurn;
    EXPECT_EQ(gammaTurn[0], '5') << gammaTurn;
    EXPECT_EQ(gammaTurn[11], '5') << gammaTurn;
}

}  // namespace

namespace {

// Coordinates far away or not numbers at all must neither break the grid nor
// change what it finds.
TEST(StrideGridSearchLimit, FarAndNonFiniteCoordinates) {
    for (double odd : {1e300, -1e18, std::nan(""), HUGE_VAL}) {
        Molecule m;
        AddChain(m, 'A', AlphaHelix(16));
        const int o = m.chains[0].residues[3].carbonylOxygen;
        const int n = m.chains[0].residues[9].atoms[0];
        m.atoms[o].x = odd;
        m.atoms[n].y = odd;
        const SearchResult grid = Search(m, 0, 1, false), all = Search(m, 0, 1, true);
        ASSERT_EQ(grid.ended, all.ended) << odd;
        ASSERT_FALSE(all.ended);
        ASSERT_EQ(grid.run.bonds.size(), all.run.bonds.size()) << odd;
        for (size_t i = 0; i < all.run.bonds.size(); ++i) EXPECT_TRUE(SameBond(grid.run.bonds[i], all.run.bonds[i]));
        EXPECT_LT(EnergyBond(all.run, 0, 7, 0, 3), 0) << odd;  // the moved oxygen accepts nothing
    }
}

}  // namespace

namespace {

TEST(StrideGeometry, PeptideBondsFromTwoAndAHalfAngstromAreBreaks) {
    for (double gap : {2.45, 2.55}) {
        std::vector<BackboneResidue> helix = AlphaHelix(10);
        const Vec3 along = Unit(helix[5].n - helix[4].c);
        const Vec3 shift = along * (gap - Length(helix[5].n - helix[4].c));
        for (size_t i = 5; i < helix.size(); ++i)
            for (Vec3* p : {&helix[i].n, &helix[i].ca, &helix[i].c, &helix[i].o}) *p += shift;
        Molecule m;
        AddChain(m, 'A', helix);
        StrideRun run = PreparedRun(m, 0, 1);
        const bool joined = gap < 2.5;
        EXPECT_EQ(run.chains[0].residues[5].phi != kUndefinedAngle, joined) << gap;
        EXPECT_EQ(run.chains[0].residues[4].psi != kUndefinedAngle, joined) << gap;
        EXPECT_TRUE(run.chains[0].residues[5].Has(velm::Backbone::H));  // the hydrogen does not look at the distance
    }
}

}  // namespace

namespace {

// Codes of every run of a file, the bridges found either by scanning every
// chain pair, residue pair and pattern pair, or the quick way.
std::vector<std::string> RunCodes(const Molecule& m, bool fullScan) {
    std::vector<std::string> codes;
    for (int first = 0; first < static_cast<int>(m.chains.size());) {
        int count = 1;
        while (first + count < static_cast<int>(m.chains.size()) && m.chains[first + count].model == m.chains[first].model)
            ++count;
        try {
            StrideRun run = PreparedRun(m, first, count);
            FindHydrogenBonds(run);
            RemoveDoubleBonds(run);
            ComputeZones(run);
            for (int c = 0; c < count; ++c) {
                if (!run.chains[c].valid) continue;
                AssignHelices(run, c);
                for (int d = 0; d < count; ++d)
                    if (run.chains[d].valid) AssignBridges(run, c, d, fullScan);
                AssignBetaTurns(run, c);
                AssignGammaTurns(run, c);
            }
            for (const StrideChain& chain : run.chains) {
                codes.emplace_back();
                for (const StrideResidue& r : chain.residues) codes.back() += r.code;
            }
        } catch (const StrideError&) {
            codes.insert(codes.end(), static_cast<size_t>(count), "ended");
        }
        first += count;
    }
    return codes;
}

class StrideBridgeScan : public testing::TestWithParam<const char*> {};

TEST_P(StrideBridgeScan, QuickSearchFindsWhatTheFullScanFinds) {
    Molecule m;
    SilentUiHooks ui;
    ReadCoordinateFile(m, DataPath(GetParam()), false, false, PdbType, ui);
    const std::vector<std::string> full = RunCodes(m, true);
    EXPECT_EQ(RunCodes(m, false), full);
    // And the run itself, which also skips chain pairs without a bond between them.
    AssignSecondaryStructure(m, ui);
    size_t k = 0;
    for (const Chain& chain : m.chains) {
        std::string written;
        for (const Residue& r : chain.residues) written += "HGIEBCT"[std::clamp(static_cast<int>(r.secondaryStructure), 0, 6)];
        std::string expected = k < full.size() ? full[k] : "";
        for (char& c : expected) c = c == 'b' ? 'B' : c;
        if (expected != "ended") {
            EXPECT_EQ(written, expected) << chain.id;
        }
        ++k;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, StrideBridgeScan,
                         testing::Values("1ubi.pdb", "2hhb.pdb", "1tii.pdb", "1hpv.pdb", "2k39_3models.pdb", "4jsv.pdb.gz"));

}  // namespace

namespace {

TEST(StrideAssignment, RunWithoutBondsEndsSilently) {
    // Six residues 20 A apart: a valid chain, but no acceptor within reach of a donor.
    std::vector<BackboneResidue> scattered = AlphaHelix(6);
    for (size_t i = 0; i < scattered.size(); ++i)
        for (Vec3* p : {&scattered[i].n, &scattered[i].ca, &scattered[i].c, &scattered[i].o}) *p += Vec3{20.0 * i, 0, 0};
    Molecule m;
    AddChain(m, 'A', scattered);
    StrideRun run = PreparedRun(m, 0, 1);
    EXPECT_THROW(FindHydrogenBonds(run), StrideError);
    RecordingUiHooks ui;
    EXPECT_EQ(AssignSecondaryStructure(m, ui), 1);
    EXPECT_TRUE(ui.calls.empty());
    EXPECT_EQ(Codes(m.chains[0]), "******");
}

}  // namespace

TEST(StrideRecords, AlternatePositionsDoNotStopARealRun) {
    // 3al1: two designed helical peptides whose residues carry hydrogens and
    // alternate positions (54 atom records in LYS 205).
    RecordingUiHooks ui;
    const auto made = MakeDocument(ui);
    CVelmDoc& doc = *made;
    ASSERT_EQ(doc.AddMoleculeFromFile(velm::test::DataPath("3al1.pdb")), 1);
    int helix = 0, residues = 0;
    for (const Chain& c : doc.Primary()->chains)
        for (const Residue& r : c.residues) {
            ++residues;
            helix += r.secondaryStructure == SecondaryStructureCode::AlphaHelix;
        }
    EXPECT_EQ(residues, 24);
    EXPECT_GE(helix, 20);
}

TEST(LoadingThreads, SecondaryStructureFromTheRecordsIsTheOneFromTheAtoms) {
    // Without bonds the structure is assigned on the chains made from the
    // file's records while another thread fills the atoms (under the thread
    // sanitizer too); it must be the one the filled atoms give. 3al1 has
    // alternate positions, 2k39 three models, 4jsv many chains and sheets.
    std::set<char> kinds;
    for (const char* file : {"4jsv.pdb.gz", "3al1.pdb", "2k39_3models.pdb", "1ubi.cif.gz"}) {
        SilentUiHooks ui;
        Molecule fromAtoms, fromRecords;
        ReadCoordinateFile(fromAtoms, DataPath(file), false, false, ByExtension, ui);
        ASSERT_EQ(AssignSecondaryStructure(fromAtoms, ui), 1);
        LoadWork work;
        std::string problem = "not run";
        work.onChains = [&](std::vector<Chain>& chains, const std::vector<PdbAtomRecord>& records) {
            problem = AssignSecondaryStructureOnRecords(chains, records);
        };
        ReadCoordinateFile(fromRecords, DataPath(file), false, false, ByExtension, ui, work);
        EXPECT_EQ(problem, "") << file;
        ASSERT_EQ(fromRecords.chains.size(), fromAtoms.chains.size()) << file;
        std::string a, r;
        for (size_t c = 0; c < fromAtoms.chains.size(); ++c) a += Codes(fromAtoms.chains[c]), r += Codes(fromRecords.chains[c]);
        EXPECT_EQ(r, a) << file;
        kinds.insert(a.begin(), a.end());
    }
    EXPECT_GE(kinds.size(), 4u);  // helices, strands, turns and coil at least
}

TEST(LoadingThreads, ChainGroupsSharingNoBondAreAssignedBesideAsInOneLoop) {
    // 4jsv's chains form two groups of 1,375 residues, B with D and A with C,
    // with no bond between the groups: with a second CPU one group's helices,
    // bridges and turns are assigned beside. Holding that CPU gives the one
    // loop over all chains, which must give every residue the same code.
    SilentUiHooks ui;
    Molecule split, oneLoop;
    ReadCoordinateFile(split, DataPath("4jsv.pdb.gz"), false, false, ByExtension, ui);
    oneLoop = split;
    ASSERT_EQ(AssignSecondaryStructure(split, ui), 1);
    {
        CpuHeldBeside held;
        ASSERT_EQ(AssignSecondaryStructure(oneLoop, ui), 1);
    }
    std::string s, o;
    for (size_t c = 0; c < split.chains.size(); ++c) s += Codes(split.chains[c]), o += Codes(oneLoop.chains[c]);
    EXPECT_EQ(s, o);
    EXPECT_GE(std::set<char>(s.begin(), s.end()).size(), 4u);  // helices, strands, turns and coil at least
}
