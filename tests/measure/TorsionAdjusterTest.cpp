#include <gtest/gtest.h>

#include <cmath>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "measure/Measurement.h"
#include "measure/TorsionAdjuster.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;

namespace {

int AtomNamed(const Molecule& m, int residue, std::string_view name) {
    for (int i = 0; i < m.AtomCount(); ++i) {
        const Atom& a = m.atoms[static_cast<size_t>(i)];
        if (a.residueNumber == residue && a.Name() == name && !a.hetero) return i;
    }
    return -1;
}

float TorsionOf(Molecule& m, std::array<int, 4> atoms) {
    Measurement measurement;
    for (int a : atoms) measurement.AddOrRemovePicked(1, a, &m);
    return measurement.Torsion();
}

constexpr double kPi = 3.14159265358979;
double Wrapped(double radians) { return std::remainder(radians, 2 * kPi); }

}  // namespace

// Turning chi1 of a lysine by 60 degrees and measuring it back; the side
// chain turns, the backbone does not.
TEST(TorsionAdjuster, TurnsTheSmallerSideAndMeasuresBack) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    ASSERT_EQ(doc->AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
    Molecule& m = *doc->Primary();
    const int n = AtomNamed(m, 27, "N"), ca = AtomNamed(m, 27, "CA"), cb = AtomNamed(m, 27, "CB"),
              cg = AtomNamed(m, 27, "CG"), nz = AtomNamed(m, 27, "NZ");
    ASSERT_GE(std::min({n, ca, cb, cg, nz}), 0);
    const float before = TorsionOf(m, {n, ca, cb, cg});
    const Vec3 backbone = m.atoms[static_cast<size_t>(n)].Position();

    struct Changes : DocumentObserver {
        int coordinates = 0;
        void DocumentChanged(DocumentChange what) override { coordinates += Any(what, DocumentChange::Coordinates); }
    } changes;
    doc->AddObserver(changes);
    TorsionAdjuster torsion;
    torsion.SelectAtoms(m, ca, cb);
    ASSERT_TRUE(torsion.CanTurn());
    // CG, CD, CE, NZ and their hydrogens if any: the lysine's side beyond CB.
    EXPECT_EQ(torsion.Moving().size(), 4u);
    EXPECT_TRUE(std::is_sorted(torsion.Moving().begin(), torsion.Moving().end()));
    // Slider steps: the total since selection counts, not the step.
    for (float degrees : {20.0f, 75.0f, 60.0f}) EXPECT_EQ(torsion.RotateTo(*doc, degrees), 1);
    EXPECT_EQ(changes.coordinates, 3);
    EXPECT_NEAR(Wrapped(TorsionOf(m, {n, ca, cb, cg}) - before), 60 * kPi / 180, 1e-4);
    EXPECT_EQ(m.atoms[static_cast<size_t>(n)].Position(), backbone);
    EXPECT_EQ(torsion.RotateTo(*doc, 0), 1);
    EXPECT_NEAR(Wrapped(TorsionOf(m, {n, ca, cb, cg}) - before), 0, 1e-4);
    doc->RemoveObserver(changes);

    // The same bond again deselects it; a bond to an end atom turns nothing
    // but is no ring.
    torsion.SelectAtoms(m, cb, ca);
    EXPECT_FALSE(torsion.Selected());
    EXPECT_EQ(torsion.RotateTo(*doc, 30), 0);
    torsion.SelectAtoms(m, AtomNamed(m, 27, "CE"), nz);
    EXPECT_TRUE(torsion.Selected());
    EXPECT_FALSE(torsion.CanTurn());
    EXPECT_FALSE(torsion.InRing());
}

TEST(TorsionAdjuster, RefusesABondInARingAndChangesNothing) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    ASSERT_EQ(doc->AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
    Molecule& m = *doc->Primary();
    // Phe 4: CG-CD1 lies in the ring, CB-CG does not.
    const int cb = AtomNamed(m, 4, "CB"), cg = AtomNamed(m, 4, "CG"), cd1 = AtomNamed(m, 4, "CD1");
    const std::vector<Atom> atoms = m.atoms;
    TorsionAdjuster torsion;
    torsion.SelectAtoms(m, cg, cd1);
    EXPECT_TRUE(torsion.InRing());
    EXPECT_TRUE(torsion.Moving().empty());
    EXPECT_EQ(torsion.RotateTo(*doc, 60), 0);
    for (size_t i = 0; i < atoms.size(); ++i) ASSERT_EQ(m.atoms[i].Position(), atoms[i].Position());
    torsion.SelectAtoms(m, cb, cg);
    EXPECT_FALSE(torsion.InRing());
    EXPECT_EQ(torsion.Moving().size(), 5u);  // the ring but CG, which lies on the axis
}

// With a trajectory frame shown, only that frame's coordinates turn.
TEST(TorsionAdjuster, TurnsOnlyTheFrameShown) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->options.multipleAsTrajectory = 1;
    ASSERT_EQ(doc->AddMoleculeFromFile(test::DataPath("2k39_3models.pdb")), 1);
    Molecule& m = *doc->Primary();
    ASSERT_EQ(m.FrameCount(), 2);
    doc->SetFrame(1);
    const int ca = AtomNamed(m, 3, "CA"), cb = AtomNamed(m, 3, "CB");
    const std::vector<Atom> atoms = m.atoms;
    const FrameList frames = m.frames;
    TorsionAdjuster torsion;
    torsion.SelectAtoms(m, ca, cb);
    ASSERT_TRUE(torsion.CanTurn());
    ASSERT_EQ(torsion.RotateTo(*doc, 90), 1);
    const size_t moved = static_cast<size_t>(torsion.Moving().front());
    EXPECT_EQ(m.atoms[moved].Position(), atoms[moved].Position());
    EXPECT_NE(m.frames[0].Position(moved), frames[0].Position(moved));
    EXPECT_EQ(m.frames[1].Position(moved), frames[1].Position(moved));
}
