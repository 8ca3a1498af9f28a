#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/VelmDoc.h"
#include "analysis/SecondaryStructure.h"
#include "model/ColourSchemes.h"
#include "support/TestData.h"

using namespace velm;

namespace {

constexpr Rgba kRed{255, 0, 0, 255}, kBlue{0, 0, 255, 255}, kWhite{255, 255, 255, 255};

std::string Show(Rgba c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b) + "," + std::to_string(c.a);
}

struct Loaded {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    ColourTables tables;
    explicit Loaded(const std::string& name) {
        doc.options.computeSecondaryStructure = 0;
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath(name)), 1) << name;
    }
    Molecule& mol() { return *doc.Primary(); }
    const Atom& BySerial(int serial) {
        const int i = FindAtomBySerial(mol(), serial);
        EXPECT_GE(i, 0) << serial;
        return mol().atoms[i];
    }
};

// One chain; residue k holds atoms N, CA, O (carbon atoms named CA), with the
// given structure codes and residue types; one hetero oxygen after them; a
// bond between consecutive atoms.
Molecule Built(const std::vector<int>& codes, const std::vector<ResidueType>& types = {}) {
    Molecule m;
    Chain chain;
    chain.id = 'A';
    for (size_t k = 0; k < codes.size(); ++k) {
        Residue r;
        r.number = static_cast<int>(k) + 1;
        r.secondaryStructure = static_cast<SecondaryStructureCode>(codes[k]);
        r.type = k < types.size() ? types[k] : ALA;
        for (const char* name : {"N", "CA", "O"}) {
            Atom a;
            a.SetName(name);
            a.serial = m.AtomCount() + 1;
            a.residueNumber = r.number;
            r.atoms.push_back(m.AtomCount());
            m.atoms.push_back(a);
        }
        chain.residues.push_back(r);
    }
    m.chains.push_back(chain);
    Atom water;
    water.SetName("O");
    water.hetero = 1;
    water.serial = m.AtomCount() + 1;
    water.colour = {1, 2, 3, 4};
    m.atoms.push_back(water);
    for (int i = 0; i + 1 < m.AtomCount(); ++i) m.bonds.push_back({i, i + 1, 0, 0});
    return m;
}

ColourEdit Edit(ColourScheme scheme) {
    ColourEdit e;
    e.scheme = scheme;
    return e;
}
ColourEdit ElementEdit(int element, Rgba colour) {
    ColourEdit e = Edit(ColourByElement);
    e.element = element;
    e.colour = colour;
    return e;
}
ColourEdit StructureEdit(int code, Rgba colour) {
    ColourEdit e = Edit(ColourByStructure);
    e.structureCode = code;
    e.colour = colour;
    return e;
}
ColourEdit AtomEdit(int serial, Rgba colour) {
    ColourEdit e = Edit(ColourByAtom);
    e.atomSerial = serial;
    e.colour = colour;
    return e;
}
ColourEdit ResidueEdit(int number, Rgba colour) {
    ColourEdit e = Edit(ColourByResidue);
    e.residueNumber = number;
    e.colour = colour;
    return e;
}

std::vector<Rgba> Colours(const Molecule& m) {
    std::vector<Rgba> c;
    for (const Atom& a : m.atoms) c.push_back(a.colour);
    return c;
}

}  // namespace

TEST(ColourSchemes, GradientRunsBlueGreenRedTruncated) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double x;
        Rgba expected;
    } cases[] = {
        {0.0, {0, 0, 255, 255}},
        {0.5, {127, 255, 127, 255}},  // 510 x 0.5 is 255, not 256
        {1.0, {255, 0, 0, 255}},
        {0.25, {63, 127, 191, 255}},  // 63.75, 127.5, 191.25 truncated
        {0.75, {191, 127, 63, 255}},
        {0.1, {25, 51, 229, 255}},   // 25.5, 51, 229.5
        {-0.5, {0, 0, 255, 255}},    // below 0 clamps to blue
        {2.0, {255, 0, 0, 255}},     // above 1 clamps to red
        {1e300, {255, 0, 0, 255}},
        {-1e300, {0, 0, 255, 255}},
        {nan, {0, 0, 0, 255}},
    };
    for (const auto& c : cases) EXPECT_EQ(Show(GradientColour(c.x)), Show(c.expected)) << c.x;
}

TEST(ColourSchemes, NormalisedAndScaledValues) {
    const struct {
        double v, lo, hi, normalised, scaled;
    } cases[] = {
        {15, 10, 20, 0.5, 1.5},
        {10, 10, 20, 0.0, 1.0},
        {20, 10, 20, 1.0, 2.0},
        {5, 10, 20, -0.5, 0.5},
        {7, 7, 7, 1.0, 1.0},              // empty range
        {7, 7, 7 + 5e-7, 1.0, 1.0},       // below 1e-6 counts as empty
        {2, 0, 4e-6, 500000.0, 500000.0}, // just above it does not
        {-3, 5, 1, 2.0, 0.75},            // a reversed range divides as given
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(Normalised(c.v, c.lo, c.hi), c.normalised, 1e-9) << c.v << " " << c.lo << " " << c.hi;
        EXPECT_NEAR(Scaled(c.v, c.lo, c.hi), c.scaled, 1e-9) << c.v << " " << c.lo << " " << c.hi;
    }
}

TEST(ColourSchemes, StructureTableDefaults) {
    const Rgba helix{240, 0, 128, 255}, strand{255, 255, 0, 255}, turn{96, 128, 255, 255};
    const Rgba expected[18] = {helix, helix, helix, strand, kWhite, kWhite, turn, turn, turn,
                               turn,  turn,  turn,  turn,   turn,   turn,   turn, turn, kWhite};
    const StructureColours table = DefaultStructureColours();
    ASSERT_EQ(table.size(), 18u);
    for (int code = 0; code < 18; ++code) EXPECT_EQ(Show(table[code]), Show(expected[code])) << code;
}

TEST(ColourSchemes, AminoAcidTableDefaults) {
    const struct {
        ResidueType type;
        Rgba colour;
    } cases[] = {
        {ALA, {200, 200, 200, 255}}, {VAL, {15, 130, 15, 255}},   {PHE, {50, 50, 170, 255}},
        {PRO, {220, 150, 130, 255}}, {MET, {230, 230, 0, 255}},   {ILE, {15, 130, 15, 255}},
        {LEU, {15, 130, 15, 255}},   {ASP, {230, 10, 10, 255}},   {GLU, {230, 10, 10, 255}},
        {LYS, {20, 90, 255, 255}},   {ARG, {20, 90, 255, 255}},   {SER, {250, 150, 0, 255}},
        {THR, {250, 150, 0, 255}},   {TYR, {50, 50, 170, 255}},   {HIS, {130, 130, 210, 255}},
        {CYS, {230, 230, 0, 255}},   {ASN, {0, 220, 220, 255}},   {GLN, {0, 220, 220, 255}},
        {TRP, {180, 90, 180, 255}},  {GLY, {235, 235, 235, 255}}, {NonStandardResidue, {200, 200, 200, 255}},
    };
    const AminoAcidColours table = DefaultAminoAcidColours();
    ASSERT_EQ(table.size(), 21u);
    for (const auto& c : cases) EXPECT_EQ(Show(table[c.type]), Show(c.colour)) << c.type;
}

TEST(ColourSchemes, StructureColoursResidueAtomsAndLeavesHeteroAtoms) {
    // Codes past the table take the Unknown entry rather than reading past it.
    Molecule m = Built({AlphaHelix, Strand, TurnVIII, UnknownStructure, 99, -1});
    ColourTables tables;
    ElementColours elements = DefaultElementColours();
    ApplyColourEdit(m, elements, tables, StructureEdit(Strand, {9, 8, 7, 6}));
    EXPECT_EQ(Show(tables.structure[Strand]), Show({9, 8, 7, 6}));
    const Rgba expected[6] = {{240, 0, 128, 255}, {9, 8, 7, 6}, {96, 128, 255, 255}, kWhite, kWhite, kWhite};
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(Show(m.atoms[3 * k + j].colour), Show(expected[k])) << k << " " << j;
    EXPECT_EQ(Show(m.atoms.back().colour), Show({1, 2, 3, 4}));
    // Split flags: set only where a bond crosses a change of colour.
    for (const Bond& b : m.bonds)
        EXPECT_EQ(b.splitColour, m.atoms[b.first].colour == m.atoms[b.second].colour ? 0 : 1);
    EXPECT_EQ(m.bonds[2].splitColour, 1);  // helix residue to strand residue
    EXPECT_EQ(m.bonds[0].splitColour, 0);
    EXPECT_EQ(m.bonds[11].splitColour, 0);  // Unknown (17) to code 99, both white
}

TEST(ColourSchemes, StructureCodeOutsideTableEditsNothing) {
    Molecule m = Built({Coil});
    ColourTables tables;
    ElementColours elements = DefaultElementColours();
    for (int code : {-1, 18, 1000})
        ApplyColourEdit(m, elements, tables, StructureEdit(code, {0, 0, 0, 0}));
    EXPECT_EQ(tables.structure, DefaultStructureColours());
    EXPECT_EQ(Show(m.atoms[0].colour), Show(kWhite));
}

TEST(ColourSchemes, AminoAcidPropertiesOfARealPeptide) {
    // pept.pdb: chain E, residues 1-13 ASP CYS ALA TRP HIS LEU GLY GLU LEU VAL TRP CYS THR.
    Loaded p("pept.pdb");
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, Edit(AminoAcidProperties));
    const struct {
        int caSerial;
        Rgba colour;
    } cases[] = {
        {2, {230, 10, 10, 255}},    // ASP 1
        {10, {230, 230, 0, 255}},   // CYS 2
        {16, {200, 200, 200, 255}}, // ALA 3
        {21, {180, 90, 180, 255}},  // TRP 4
    };
    for (const auto& c : cases) EXPECT_EQ(Show(p.BySerial(c.caSerial).colour), Show(c.colour)) << c.caSerial;
    // Every atom of a residue shares its colour: the first atom of ASP 1 is its N.
    EXPECT_EQ(Show(p.BySerial(1).colour), Show({230, 10, 10, 255}));
    EXPECT_EQ(Show(p.BySerial(8).colour), Show({230, 10, 10, 255}));
    EXPECT_EQ(Show(p.BySerial(9).colour), Show({230, 230, 0, 255}));
}

TEST(ColourSchemes, SequencePositionRunsBlueToRedAlongEachChain) {
    Loaded p("pept.pdb");
    ASSERT_EQ(p.mol().chains.size(), 1u);
    ASSERT_EQ(p.mol().chains[0].residues.size(), 13u);
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, Edit(ColourByAminoAcidIndex));
    const auto& residues = p.mol().chains[0].residues;
    // Residue l of 13 gets the gradient at l / 13, so the last one is not quite red.
    const struct {
        int l;
        Rgba colour;
    } cases[] = {{0, kBlue}, {6, {117, 235, 137, 255}}, {12, {235, 39, 19, 255}}};
    for (const auto& c : cases)
        for (int a : residues[c.l].atoms) EXPECT_EQ(Show(p.mol().atoms[a].colour), Show(c.colour)) << c.l;
}

TEST(ColourSchemes, TemperatureAndOccupancyOfARealPeptide) {
    Loaded p("pept.pdb");
    // Factors 11.97 .. 50.21, every occupancy 1.00 (read from the file).
    ASSERT_DOUBLE_EQ(p.mol().minTemperature, 11.97);
    ASSERT_DOUBLE_EQ(p.mol().maxTemperature, 50.21);
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, Edit(ColourByTemperature));
    // Atom 1, B 34.37: (34.37 - 11.97) / 38.24 = 0.58577 -> 149.37, 211.26, 105.6.
    EXPECT_EQ(Show(p.BySerial(1).colour), Show({149, 211, 105, 255}));
    for (const Atom& a : p.mol().atoms) {
        if (a.temperatureFactor == 11.97) {
            EXPECT_EQ(Show(a.colour), Show(kBlue));
        } else if (a.temperatureFactor == 50.21) {
            EXPECT_EQ(Show(a.colour), Show(kRed));
        }
    }
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, Edit(ColourByOccupancy));
    for (const Atom& a : p.mol().atoms) ASSERT_EQ(Show(a.colour), Show(kRed));
    for (const Bond& b : p.mol().bonds) ASSERT_EQ(b.splitColour, 0);
}

TEST(ColourSchemes, HiddenWatersDoNotStretchTheGradient) {
    // A DNA dodecamer: its waters reach B 77.17, the strands 56.78. With the
    // waters hidden, the strands run the whole gradient; shown, they count.
    Loaded d("133d.pdb");
    const auto reddest = [&] {
        int red = 0;
        for (const Atom& a : d.mol().atoms)
            if (!a.hetero) red = std::max(red, int{a.colour.r});
        return red;
    };
    ApplyColourEdit(d.mol(), d.doc.elementColours, d.tables, Edit(ColourByTemperature));
    EXPECT_EQ(reddest(), 255);
    d.mol().showSolvent = 1;
    ApplyColourEdit(d.mol(), d.doc.elementColours, d.tables, Edit(ColourByTemperature));
    EXPECT_LT(reddest(), 200);
}

TEST(ColourSchemes, EqualTemperatureFactorsGiveRed) {
    Molecule m = Built({Coil, Coil});
    for (Atom& a : m.atoms) a.temperatureFactor = 20;
    m.minTemperature = m.maxTemperature = 20;
    ColourAtomsByTemperature(m);
    for (const Atom& a : m.atoms) EXPECT_EQ(Show(a.colour), Show(kRed));
}

TEST(ColourSchemes, LoadedBondsSplitWhereTheirAtomsColoursDiffer) {
    // A small file loads on one thread, a large one with its bonds beside.
    for (const char* name : {"1ubi.pdb", "1tw7_solvated.pdb.gz"}) {
        Loaded p(name);
        int split = 0;
        for (const Bond& b : p.mol().bonds) {
            ASSERT_EQ(b.splitColour, p.mol().atoms[b.first].colour == p.mol().atoms[b.second].colour ? 0 : 1) << name;
            split += b.splitColour;
        }
        EXPECT_GT(split, 0) << name;
        EXPECT_LT(split, static_cast<int>(p.mol().bonds.size())) << name;
    }
}

TEST(ColourSchemes, ElementEditAndDefaultRestore) {
    Loaded p("pept.pdb");
    const Rgba mine{1, 2, 3, 4};
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, ElementEdit(Carbon, mine));
    EXPECT_EQ(Show(p.doc.elementColours[Carbon]), Show(mine));
    EXPECT_EQ(Show(p.BySerial(2).colour), Show(mine));                  // CA
    EXPECT_EQ(Show(p.BySerial(1).colour), Show({143, 143, 255, 255}));  // N keeps its colour
    EXPECT_EQ(Show(p.BySerial(12).colour), Show({255, 200, 50, 255}));  // SG of CYS 2
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, Edit(DefaultAtomColours));
    EXPECT_EQ(Show(p.doc.elementColours[Carbon]), Show({200, 200, 200, 255}));
    EXPECT_EQ(Show(p.BySerial(2).colour), Show({200, 200, 200, 255}));
    EXPECT_EQ(Show(p.BySerial(5).colour), Show({240, 0, 0, 255}));  // OD1
    // An element index past the table edits the Unknown entry.
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, ElementEdit(40, mine));
    EXPECT_EQ(Show(p.doc.elementColours[UnknownElement]), Show(mine));
    EXPECT_EQ(Show(p.doc.elementColours[Carbon]), Show({200, 200, 200, 255}));
}

TEST(ColourSchemes, ColourByAtomTouchesOneAtomOrNothing) {
    Loaded p("pept.pdb");
    const std::vector<Rgba> before = Colours(p.mol());
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, AtomEdit(9999, {1, 2, 3, 4}));
    EXPECT_EQ(Colours(p.mol()), before);
    EXPECT_EQ(FindAtomBySerial(p.mol(), 9999), -1);

    // Serial 3 is CB of ASP 1, a carbon bonded to carbons CA and CG.
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, AtomEdit(3, {1, 2, 3, 4}));
    const int cb = FindAtomBySerial(p.mol(), 3);
    int changed = 0;
    for (int i = 0; i < p.mol().AtomCount(); ++i) changed += p.mol().atoms[i].colour == before[i] ? 0 : 1;
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(Show(p.mol().atoms[cb].colour), Show({1, 2, 3, 4}));
    int split = 0;
    for (const Bond& b : p.mol().bonds)
        if (b.first == cb || b.second == cb) {
            EXPECT_EQ(b.splitColour, 1);
            ++split;
        }
    EXPECT_EQ(split, 2);
}

TEST(ColourSchemes, ColourByResidueReachesEveryChain) {
    // 1hpv is a dimer: LEU 10 of chains A and B, 8 atoms each (counted in the file).
    Loaded p("1hpv.pdb");
    const Rgba mine{10, 20, 30, 40};
    ApplyColourEdit(p.mol(), p.doc.elementColours, p.tables, ResidueEdit(10, mine));
    int coloured = 0;
    for (const Atom& a : p.mol().atoms) {
        const bool inResidue = a.residueNumber == 10 && !a.hetero;
        EXPECT_EQ(a.colour == mine, inResidue) << a.serial;
        coloured += a.colour == mine;
    }
    EXPECT_EQ(coloured, 16);
    EXPECT_GE(FindResidueAtom(p.mol(), 10), 0);

    const std::vector<Rgba> before = Colours(p.mol());
    EXPECT_FALSE(ColourResiduesByNumber(p.mol(), 500, {0, 0, 0, 0}));
    EXPECT_EQ(Colours(p.mol()), before);
    EXPECT_EQ(FindResidueAtom(p.mol(), 500), -1);
}

TEST(ColourSchemes, RecolourUsesTablesWithoutEditingThem) {
    Molecule m = Built({Strand}, {GLY});
    const ElementColours elements = DefaultElementColours();
    const ColourTables tables;
    Recolour(m, elements, tables, ColourByStructure);
    EXPECT_EQ(Show(m.atoms[0].colour), Show({255, 255, 0, 255}));
    Recolour(m, elements, tables, AminoAcidProperties);
    EXPECT_EQ(Show(m.atoms[1].colour), Show({235, 235, 235, 255}));
    Recolour(m, elements, tables, ColourByElement);
    EXPECT_EQ(Show(m.atoms[0].colour), Show({143, 143, 255, 255}));
    EXPECT_EQ(Show(m.atoms[3].colour), Show({240, 0, 0, 255}));  // the water too
    const std::vector<Rgba> before = Colours(m);
    Recolour(m, elements, tables, ColourByAtom);
    Recolour(m, elements, tables, ColourByResidue);
    EXPECT_EQ(Colours(m), before);
}

TEST(ColourSchemes, BatchNames) {
    const struct {
        const char* name;
        std::optional<ColourScheme> scheme;
    } cases[] = {
        {"element", ColourByElement},         {"structure", ColourByStructure}, {"aminoacid", AminoAcidProperties},
        {"temperature", ColourByTemperature}, {"occupancy", ColourByOccupancy}, {"index", ColourByAminoAcidIndex},
        {"Element", std::nullopt},            {"atom", std::nullopt},           {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ColourSchemeFromName(c.name), c.scheme) << c.name;
}
