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

TEST(MoleculeRecords, SerialsModelsTemperaturesAndConect) {
    Molecule m = Small();
    PdbFile f = MoleculeToPdbFile(m, 11, 4, true);
    ASSERT_EQ(f.atoms.size(), 3u);
    EXPECT_EQ(f.atoms[0].serial, 12);
    EXPECT_EQ(f.atoms[0].model, 5);
    EXPECT_STREQ(f.atoms[2].record, "HETATM");
    EXPECT_NEAR(f.atoms[0].temperatureFactor, 0.01, 1e-12);
    EXPECT_NEAR(f.atoms[1].temperatureFactor, 99.8 * 20.0 / 140.0 + 0.01, 1e-12);
    EXPECT_NEAR(f.atoms[2].temperatureFactor, 99.81, 1e-12);
    EXPECT_TRUE(f.conects.empty());  // both bonds come back from the distances

    f = MoleculeToPdbFile(m, 0, 0, false);
    EXPECT_DOUBLE_EQ(f.atoms[1].temperatureFactor, 30.0);
    EXPECT_DOUBLE_EQ(f.atoms[2].temperatureFactor, 150.0);  // as read

    m.minTemperature = m.maxTemperature = 5.0;  // all alike: the fraction is 1
    EXPECT_NEAR(MoleculeToPdbFile(m, 0, 0, true).atoms[0].temperatureFactor, 99.81, 1e-12);

    // CONECT for the atoms the file listed, and for a bond too long for the
    // distances, each with all its partners; models from the second on have none.
    m.atoms[0].hadConect = true;
    m.atoms[2].x = 6;
    m.partnerStart = {0, 1, 3, 4};
    m.partners = {1, 0, 2, 1};
    f = MoleculeToPdbFile(m, 0, 0, false);
    ASSERT_EQ(f.conects.size(), 3u);
    EXPECT_EQ(f.conects[0].partners, (std::vector<int>{2}));
    EXPECT_EQ(f.conects[1].partners, (std::vector<int>{1, 3}));
    EXPECT_EQ(f.conects[2].partners, (std::vector<int>{2}));
    m.atoms[2].model = 2;
    f = MoleculeToPdbFile(m, 0, 0, false);
    EXPECT_EQ(f.conects.size(), 2u);
    EXPECT_EQ(f.atoms[2].model, 2);
}

TEST(MoleculeRecords, SavedWhereTheTrackballPlacesThemInTheFilesFrame) {
    Molecule m = Small();
    // A quarter turn about z (quaternion of 90 degrees) after a shift of (1, 2, 3).
    const float h = static_cast<float>(std::sqrt(0.5));
    m.trackball.orientation[2] = h;
    m.trackball.orientation[3] = h;
    m.trackball.translation[0] = 1;
    m.trackball.translation[1] = 2;
    m.trackball.translation[2] = 3;
    m.centreShift = {-10, 0, 1};  // loading centred it so
    const PdbFile f = MoleculeToPdbFile(m, 0, 0, false);
    // Atom 2 at (2, 0, 0) + (1, 2, 3) = (3, 2, 3); the program's matrix of
    // this quaternion (as the scene applies it) takes it to (2, -3, 3); the
    // centring undone, (12, -3, 2).
    EXPECT_NEAR(f.atoms[2].x, 12.0, 1e-6);
    EXPECT_NEAR(f.atoms[2].y, -3.0, 1e-6);
    EXPECT_NEAR(f.atoms[2].z, 2.0, 1e-6);
}

// Saved as a file writes it: every column of an atom record a reader of the
// standard takes, as the file had it, for a structure nobody moved.
TEST(MoleculeRecords, AStructureNobodyMovedIsSavedAsItsFileHadIt) {
    for (const char* name : {"1ubi.pdb", "3al1.pdb", "1tii.pdb"}) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        const std::string source = test::DataPath(name);
        ASSERT_EQ(doc.AddMoleculeFromFile(source), 1);
        test::TempDir dir;
        const std::string saved = dir.File("saved.pdb");
        doc.SaveCoordinates(saved, 3, true, false);
        const auto records = [](const std::string& text) {
            std::vector<std::string> lines;
            for (size_t at = 0, end; at < text.size(); at = end + 1) {
                end = text.find('\n', at);
                if (end == std::string::npos) end = text.size();
                const std::string line = text.substr(at, end - at);
                if (line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0) lines.push_back(line);
            }
            return lines;
        };
        const std::vector<std::string> original = records(test::ReadText(source)), written = records(test::ReadText(saved));
        ASSERT_EQ(written.size(), original.size()) << name;
        int differences = 0;
        for (size_t i = 0; i < original.size(); ++i) {
            // Record, serial, name, alternate place, residue, chain, number
            // and insertion (1-27), coordinates, occupancy and temperature
            // (31-66), element (77-78).
            const std::string& a = original[i];
            const std::string& b = written[i];
            const bool same = a.substr(0, 27) == b.substr(0, 27) && a.substr(30, 36) == b.substr(30, 36) &&
                              a.substr(76, 2) == b.substr(76, 2);
            if (!same && ++differences < 5) ADD_FAILURE() << name << "\n" << a << "\n" << b;
        }
        EXPECT_EQ(differences, 0) << name;
        // CONECT records where the file had them, none for bonds the distances find again.
        const bool had = test::ReadText(source).find("\nCONECT") != std::string::npos;
        EXPECT_EQ(test::ReadText(saved).find("\nCONECT") != std::string::npos, had) << name;
    }
}

TEST(MoleculeRecords, SavedMoleculeLoadsTheSame) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    ASSERT_EQ(doc.AddMoleculeFromFile(test::DataPath("3al1.pdb")), 1);
    const Molecule& a = *doc.Primary();
    test::TempDir dir;
    const std::string path = dir.File("saved.pdb");
    std::FILE* out = std::fopen(path.c_str(), "w");
    WriteMolecule(out, a, 0, 0, 3, true, false, path);
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
    EXPECT_EQ(b.centreShift, a.centreShift);  // written where the file had it
}

TEST(MoleculeRecords, WriteFailureNamesTheFile) {
    Molecule m = Small();
    std::FILE* readOnly = std::fopen(test::DataPath("pept.pdb").c_str(), "r");
    ASSERT_NE(readOnly, nullptr);
    try {
        WriteMolecule(readOnly, m, 0, 0, 3, true, true, "out.pdb");
        std::fclose(readOnly);
        FAIL() << "writing to a read-only stream succeeded";
    } catch (const VelmError& e) {
        std::fclose(readOnly);
        EXPECT_EQ(e.text(), "Error saving pdb file, out.pdb");
    }
}
