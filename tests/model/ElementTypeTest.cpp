#include <gtest/gtest.h>

#include <cmath>

#include "model/Atom.h"
#include "model/ElementType.h"
#include "model/Molecule.h"
#include "model/ResidueType.h"

using namespace velm;

TEST(ElementType, FromAtomName) {
    struct Case { const char* name; ElementType want; };
    const Case cases[] = {
        {"CL1", Chlorine}, {"NA", Sodium}, {"CA", Carbon}, {"FE", Iron}, {"1HB", Hydrogen},
        {"123", Carbon},   {"cl", Chlorine}, {"N", Nitrogen}, {"OD1", Oxygen}, {"SG", Sulfur},
        {"P", Phosphorus}, {"ZN", Zinc}, {"MG", Magnesium}, {"K", Potassium}, {"I", Iodine},
        {"D1", UnknownElement}, {"XE", Carbon}, {"", Carbon}, {"2HG1", Hydrogen},
    };
    for (const Case& c : cases) EXPECT_EQ(ElementFromName(c.name), c.want) << c.name;
}

TEST(ElementType, TableAndClamping) {
    EXPECT_STREQ(GetElementInfo(Calcium).name, "Calcium");
    EXPECT_DOUBLE_EQ(GetElementInfo(Oxygen).mass, 15.9994);
    EXPECT_EQ(GetElementInfo(Nitrogen).colour, (Rgba{143, 143, 255, 255}));
    EXPECT_STREQ(GetElementInfo(15).name, "Unknown");
    EXPECT_STREQ(GetElementInfo(-3).name, "Unknown");
}

TEST(ResidueType, FromName) {
    struct Case { const char* name; ResidueType want; };
    const Case cases[] = {
        {"ALA", ALA}, {"VAL", VAL}, {"PHE", PHE}, {"PRO", PRO}, {"MET", MET}, {"ILE", ILE}, {"LEU", LEU},
        {"ARG", ARG}, {"ASP", ASP}, {"ASN", ASN}, {"ASX", ASN}, {"GLU", GLU}, {"GLY", GLY}, {"GLN", GLN},
        {"LYS", LYS}, {"SER", SER}, {"THR", THR}, {"TYR", TYR}, {"TRP", TRP}, {"CYS", CYS}, {"HIS", HIS},
        {"HSD", HIS}, {"gly", GLY}, {"HOH", HIS}, {"WAT", NonStandardResidue}, {"", NonStandardResidue},
        {"ATHR", ASN},  // why the reader strips alternate-location letters first
    };
    for (const Case& c : cases) EXPECT_EQ(ResidueTypeFromName(c.name), c.want) << c.name;
    EXPECT_TRUE(IsStandardResidueName("thr"));
    EXPECT_FALSE(IsStandardResidueName("HSD"));
    EXPECT_FALSE(IsStandardResidueName("ALAA"));
}

TEST(Atom, ColourFromValue) {
    struct Case { double t; Rgba want; };
    const Case cases[] = {
        {0.0, {0, 0, 255, 255}}, {0.25, {63, 127, 191, 255}}, {0.5, {127, 255, 127, 255}},
        {1.0, {255, 0, 0, 255}}, {-1.0, {0, 0, 255, 255}},   {2.0, {255, 0, 0, 255}},
        {1e300, {255, 0, 0, 255}}, {-1e300, {0, 0, 255, 255}}, {std::nan(""), {0, 0, 0, 255}},
    };
    for (const Case& c : cases) {
        Atom a;
        a.SetColourFromValue(c.t);
        EXPECT_EQ(a.colour, c.want) << c.t;
    }
}

TEST(Molecule, SplitColourFollowsColours) {
    Molecule m;
    m.atoms.resize(2);
    m.atoms[0].SetName("C1");
    m.atoms[1].SetName("C2");
    const Rgba* table = nullptr;
    Rgba colours[kElementCount];
    for (int e = 0; e < kElementCount; ++e) colours[e] = GetElementInfo(e).colour;
    table = colours;
    for (Atom& a : m.atoms) a.SetColourFromElement(table);
    m.bonds.push_back(Bond{0, 1, 0, 0});
    m.UpdateBondSplitColours();
    EXPECT_EQ(m.bonds[0].splitColour, 0);
    m.atoms[1].colour.a = 254;
    m.UpdateBondSplitColours();
    EXPECT_EQ(m.bonds[0].splitColour, 1);
}

TEST(Molecule, CopyIsDeep) {
    Molecule m;
    m.atoms.resize(1);
    m.atoms[0].SetName("CA");
    m.frames.Append(Frame(1));
    m.frames[0].SetPosition(0, {1, 2, 3});
    Molecule copy = m;
    copy.frames[0].SetPosition(0, {9, 9, 9});
    copy.atoms[0].SetName("N");
    EXPECT_EQ(m.Position(0, 1), (Vec3{1, 2, 3}));
    EXPECT_EQ(m.atoms[0].Name(), "CA");
    EXPECT_EQ(copy.atoms[0].element, Nitrogen);
}
