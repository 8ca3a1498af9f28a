#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/VelmDoc.h"
#include "model/ColourSchemes.h"
#include "model/RadiusSchemes.h"
#include "support/TestData.h"

using namespace velm;

namespace {

struct Pept {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    RadiusTable table;
    Pept() {
        doc.options.computeSecondaryStructure = 0;
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath("pept.pdb")), 1);
    }
    Molecule& mol() { return *doc.Primary(); }
    double RadiusOf(int serial) { return mol().atoms[FindAtomBySerial(mol(), serial)].radius; }
};

RadiusEdit Edit(RadiusScheme scheme, int element = 0, int serial = 0, double radius = 0) {
    RadiusEdit e;
    e.scheme = scheme;
    e.element = element;
    e.atomSerial = serial;
    e.radius = radius;
    return e;
}

std::vector<double> Radii(const Molecule& m) {
    std::vector<double> r;
    for (const Atom& a : m.atoms) r.push_back(a.radius);
    return r;
}

// pept.pdb atoms 1-12: ASP 1 N CA CB CG OD1 OD2 C O, CYS 2 N CA CB SG.
constexpr double kN = 1.527, kC = 1.689, kO = 1.471, kS = 1.972;

}  // namespace

TEST(RadiusSchemes, DefaultRadiiByElement) {
    Pept p;
    p.table.radii[Carbon] = 9;  // restored by the default scheme
    ApplyRadiusEdit(p.mol(), p.table, Edit(DefaultRadius));
    EXPECT_EQ(p.table.scheme, DefaultRadius);
    const double expected[12] = {kN, kC, kC, kC, kO, kO, kC, kO, kN, kC, kC, kS};
    for (int serial = 1; serial <= 12; ++serial) EXPECT_DOUBLE_EQ(p.RadiusOf(serial), expected[serial - 1]) << serial;
    EXPECT_DOUBLE_EQ(p.table.radii[Carbon], kC);
    EXPECT_DOUBLE_EQ(DefaultElementRadii()[UnknownElement], 1.689);
    EXPECT_DOUBLE_EQ(DefaultElementRadii()[Hydrogen], 1.2);
}

TEST(RadiusSchemes, ElementEditSizesEveryAtomOfThatElement) {
    Pept p;
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByElement, Carbon, 0, 2.5));
    EXPECT_EQ(p.table.scheme, RadiusByElement);
    EXPECT_DOUBLE_EQ(p.RadiusOf(2), 2.5);
    EXPECT_DOUBLE_EQ(p.RadiusOf(1), kN);
    EXPECT_DOUBLE_EQ(p.RadiusOf(12), kS);
    // A later element edit keeps the earlier one.
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByElement, Oxygen, 0, 0.5));
    EXPECT_DOUBLE_EQ(p.RadiusOf(2), 2.5);
    EXPECT_DOUBLE_EQ(p.RadiusOf(5), 0.5);
    // Indices past the table edit the Unknown entry only.
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByElement, 99, 0, 7));
    EXPECT_DOUBLE_EQ(p.table.radii[UnknownElement], 7);
    EXPECT_DOUBLE_EQ(p.RadiusOf(2), 2.5);
}

TEST(RadiusSchemes, AtomEditTouchesOneAtomOrNothing) {
    Pept p;
    ApplyRadiusEdit(p.mol(), p.table, Edit(DefaultRadius));
    const std::vector<double> before = Radii(p.mol());
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByAtom, 0, 9999, 4));
    EXPECT_EQ(Radii(p.mol()), before);
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByAtom, 0, 7, 4));
    std::vector<double> after = before;
    after[FindAtomBySerial(p.mol(), 7)] = 4;
    EXPECT_EQ(Radii(p.mol()), after);
    // Re-applying the per-atom scheme keeps what the atom was given.
    ReapplyRadiusScheme(p.mol(), p.table);
    EXPECT_EQ(Radii(p.mol()), after);
    EXPECT_EQ(p.table.scheme, RadiusByAtom);
    EXPECT_EQ(p.table.radii, DefaultElementRadii());

    // The element table is left as an earlier edit made it.
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByElement, Carbon, 0, 2.5));
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByAtom, 0, 1, 0.25));
    EXPECT_DOUBLE_EQ(p.table.radii[Carbon], 2.5);
    EXPECT_DOUBLE_EQ(p.RadiusOf(1), 0.25);
    EXPECT_DOUBLE_EQ(p.RadiusOf(2), 2.5);
}

TEST(RadiusSchemes, TemperatureAndOccupancyDivideTheValueByTheRange) {
    Pept p;
    // B 11.97 .. 50.21, occupancy 1.00 everywhere.
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByTemperature));
    EXPECT_NEAR(p.RadiusOf(1), 3 * 34.37 / 38.24, 1e-9);   // 2.6964
    EXPECT_NEAR(p.RadiusOf(2), 3 * 33.85 / 38.24, 1e-9);
    ApplyRadiusEdit(p.mol(), p.table, Edit(RadiusByOccupancy));
    EXPECT_EQ(p.table.scheme, RadiusByOccupancy);
    for (const Atom& a : p.mol().atoms) ASSERT_DOUBLE_EQ(a.radius, 3.0);
}

TEST(RadiusSchemes, EqualFactorsGiveThreeAngstrom) {
    const struct {
        RadiusScheme scheme;
        double value;
    } cases[] = {{RadiusByTemperature, 0}, {RadiusByTemperature, 42}, {RadiusByOccupancy, 0.5}, {RadiusByOccupancy, 1}};
    for (const auto& c : cases) {
        Molecule m;
        m.atoms.resize(4);
        for (Atom& a : m.atoms) a.temperatureFactor = a.occupancy = c.value;
        m.minTemperature = m.maxTemperature = m.minOccupancy = m.maxOccupancy = c.value;
        RadiusTable table;
        ApplyRadiusEdit(m, table, Edit(c.scheme));
        for (const Atom& a : m.atoms) EXPECT_DOUBLE_EQ(a.radius, 3.0) << c.scheme << " " << c.value;
    }
}

TEST(RadiusSchemes, ReapplyFollowsNewValues) {
    Molecule m;
    m.atoms.resize(2);
    m.atoms[0].temperatureFactor = 10;
    m.atoms[1].temperatureFactor = 30;
    m.minTemperature = 10;
    m.maxTemperature = 30;
    RadiusTable table;
    ApplyRadiusEdit(m, table, Edit(RadiusByTemperature));
    EXPECT_DOUBLE_EQ(m.atoms[0].radius, 1.5);
    EXPECT_DOUBLE_EQ(m.atoms[1].radius, 4.5);
    // As after pasting new factors.
    m.atoms[1].temperatureFactor = 70;
    m.maxTemperature = 70;
    ReapplyRadiusScheme(m, table);
    EXPECT_DOUBLE_EQ(m.atoms[0].radius, 0.5);
    EXPECT_DOUBLE_EQ(m.atoms[1].radius, 3.5);
}

TEST(RadiusSchemes, BatchNames) {
    const struct {
        const char* name;
        std::optional<RadiusScheme> scheme;
    } cases[] = {{"default", DefaultRadius},   {"temperature", RadiusByTemperature}, {"occupancy", RadiusByOccupancy},
                 {"element", std::nullopt},    {"Default", std::nullopt},            {"", std::nullopt}};
    for (const auto& c : cases) EXPECT_EQ(RadiusSchemeFromName(c.name), c.scheme) << c.name;
}
