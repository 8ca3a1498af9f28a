#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/MoleculeRecords.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;

namespace {
Molecule Small() {
    Molecule m;
    m.atoms.resize(3);
    const char* names[] = {"N", "CA", "O"};
    const double b[] = {10.0, 30.0, 150.0};
    for (int i = 0; i < 3; ++i) {
        m.atoms[i].SetName(names[i]);
        m.atoms[i].SetResidueName("ALA");
        m.atoms[i].serial = i + 1;
        m.atoms[i].x = i;
        m.atoms[i].temperatureFactor = b[i];
        m.atoms[i].chain = 'A';
    }
    m.atoms[2].hetero = 1;
    m.minTemperature = 10.0;
    m.maxTemperature = 150.0;
    m.bonds = {Bond{0, 1, 0, 0}, Bond{1, 2, 0, 1}};
    return m;
}
}  // namespace

TEST(MoleculeRecords, SerialsTemperaturesAndConect) {
    Molecule m = Small();
    PdbFile f = MoleculeToPdbFile(m, 11, true);
    ASSERT_EQ(f.atoms.size(), 3u);
    EXPECT_EQ(f.atoms[0].serial, 12);
    EXPECT_STREQ(f.atoms[2].record, "HETATM");
    EXPECT_NEAR(f.atoms[0].temperatureFactor, 0.01, 1e-12);
    EXPECT_NEAR(f.atoms[1].temperatureFactor, 99.8 * 20.0 / 140.0 + 0.01, 1e-12);
    EXPECT_NEAR(f.atoms[2].temperatureFactor, 99.81, 1e-12);
    ASSERT_EQ(f.conects.size(), 3u);
    EXPECT_EQ(f.conects[1].id, 13);
    EXPECT_EQ(f.conects[1].partners, (std::vector<int>{12, 14}));

    f = MoleculeToPdbFile(m, 0, false);
    EXPECT_DOUBLE_EQ(f.atoms[1].temperatureFactor, 30.0);
    EXPECT_DOUBLE_EQ(f.atoms[2].temperatureFactor, 99.9);

    m.minTemperature = m.maxTemperature = 5.0;  // all alike: the fraction is 1
    EXPECT_NEAR(MoleculeToPdbFile(m, 0, true).atoms[0].temperatureFactor, 99.81, 1e-12);
}

TEST(MoleculeRecords, SavedWhereTheTrackballPlacesThem) {
    Molecule m = Small();
    // A quarter turn about z (quaternion of 90 degrees) after a shift of (1, 2, 3).
    const float h = static_cast<float>(std::sqrt(0.5));
    m.trackball.orientation[2] = h;
    m.trackball.orientation[3] = h;
    m.trackball.translation[0] = 1;
    m.trackball.translation[1] = 2;
    m.trackball.translation[2] = 3;
    const PdbFile f = MoleculeToPdbFile(m, 0, false);
    // Atom 2 at (2, 0, 0) + (1, 2, 3) = (3, 2, 3); the program's matrix of
    // this quaternion (as the scene applies it) takes it to (2, -3, 3).
    EXPECT_NEAR(f.atoms[2].x, 2.0, 1e-6);
    EXPECT_NEAR(f.atoms[2].y, -3.0, 1e-6);
    EXPECT_NEAR(f.atoms[2].z, 3.0, 1e-6);
}

TEST(MoleculeRecords, ConectOnlyForTheFirstModel) {
    Molecule m = Small();
    m.atoms[2].model = 2;
    const PdbFile f = MoleculeToPdbFile(m, 0, false);
    ASSERT_EQ(f.conects.size(), 2u);
    EXPECT_EQ(f.conects[1].partners, (std::vector<int>{1, 3}));  // bond 1-2 starts in the first model
}

TEST(MoleculeRecords, SavedMoleculeLoadsTheSame) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(test::DataPath("3al1.pdb")), 1);
    const Molecule& a = *doc.Primary();
    test::TempDir dir;
    const std::string path = dir.File("saved.pdb");
    std::FILE* out = std::fopen(path.c_str(), "w");
    WriteMolecule(out, a, 0, 3, true, false, path);
    std::fclose(out);
    ASSERT_EQ(doc.AddMoleculeFromFile(path), 1);
    const Molecule& b = *doc.Primary();
    ASSERT_EQ(b.AtomCount(), a.AtomCount());
    for (int i = 0; i < a.AtomCount(); ++i) {
        EXPECT_EQ(b.atoms[i].Name(), a.atoms[i].Name()) << i;
        EXPECT_EQ(b.atoms[i].ResidueName(), a.atoms[i].ResidueName()) << i;
        EXPECT_EQ(b.atoms[i].hetero, a.atoms[i].hetero) << i;
        EXPECT_NEAR(b.atoms[i].x, a.atoms[i].x, 2e-3) << i;
    }
    ASSERT_EQ(b.bonds.size(), a.bonds.size());
    for (size_t i = 0; i < a.bonds.size(); ++i) {
        EXPECT_EQ(b.bonds[i].first, a.bonds[i].first);
        EXPECT_EQ(b.bonds[i].second, a.bonds[i].second);
    }
    EXPECT_EQ(b.chains.size(), a.chains.size());
    EXPECT_EQ(b.ResidueCount(), a.ResidueCount());
}

TEST(MoleculeRecords, WriteFailureNamesTheFile) {
    Molecule m = Small();
    std::FILE* readOnly = std::fopen(test::DataPath("pept.pdb").c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    try {
        WriteMolecule(readOnly, m, 0, 3, true, true, "out.pdb");
        std::fclose(readOnly);
        FAIL() << "writing to a read-only stream succeeded";
    } catch (const VelmError& e) {
        std::fclose(readOnly);
        EXPECT_EQ(e.text(), "Error saving pdb file, out.pdb");
    }
}
