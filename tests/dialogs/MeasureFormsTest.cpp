#include <gtest/gtest.h>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/MeasureForm.h"
#include "dialogs/TorsionForm.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/Pick.h"
#include "render/Scene.h"
#include "support/TestData.h"

using namespace velm;

namespace {

struct Loaded {
    RecordingUiHooks ui;
    std::unique_ptr<CVelmDoc> doc = MakeDocument(ui);
    Scene scene;
    explicit Loaded(std::initializer_list<const char*> files) {
        for (const char* f : files) EXPECT_EQ(doc->AddMoleculeFromFile(test::DataPath(f)), 1);
    }
    Molecule& At(int i) { return *doc->Molecules()[i]; }
};

int AtomNamed(const Molecule& m, int residue, std::string_view name) {
    for (int i = 0; i < m.AtomCount(); ++i)
        if (m.atoms[static_cast<size_t>(i)].residueNumber == residue && m.atoms[static_cast<size_t>(i)].Name() == name)
            return i;
    return -1;
}

int BondOf(const Molecule& m, int a, int b) {
    for (size_t j = 0; j < m.bonds.size(); ++j)
        if ((m.bonds[j].first == a && m.bonds[j].second == b) || (m.bonds[j].first == b && m.bonds[j].second == a))
            return static_cast<int>(j);
    return -1;
}

PickResult AtomPick(Molecule& m, int atom) { return {PickResult::AtomHit, atom, &m}; }

}  // namespace

TEST(MeasureForm, TakesPicksOnlyWhileOpenAndKeepsThemWhileClosed) {
    Loaded w({"1ubi.pdb"});
    MeasureForm form(*w.doc, w.scene);
    int shown = 0;
    form.changed = [&] { ++shown; };
    Molecule& m = w.At(0);
    EXPECT_FALSE(form.Picked(AtomPick(m, 0)));
    form.Open();
    EXPECT_TRUE(form.Picked(AtomPick(m, 0)));
    EXPECT_TRUE(form.Picked(AtomPick(m, 1)));
    EXPECT_FALSE(form.Picked({PickResult::BondHit, 0, &m}));
    EXPECT_EQ(w.scene.markers.size(), 2u);
    EXPECT_NE(form.Table().internal[0], "");
    // Turning the molecule: the values follow.
    const int before = shown;
    w.doc->AnnounceSceneMoved();
    EXPECT_GT(shown, before);
    form.Close();
    EXPECT_TRUE(w.scene.markers.empty());
    form.Open();
    EXPECT_EQ(form.GetMeasurement().Count(), 2);
    form.Clear();
    EXPECT_TRUE(w.scene.markers.empty());
    EXPECT_EQ(form.Table().cartesian[0][0], "");
}

// Deleting molecules while the window refers to them: what is left names
// only molecules still loaded (run under the sanitizers, a stale atom would
// be read after its molecule went).
TEST(MeasureForms, MoleculesDeletedUnderTheWindowsLeaveThemConsistent) {
    const struct {
        std::vector<int> deleted;  // list indices
        int left;                  // measured atoms
    } cases[] = {
        // Two measured atoms of 1ubi and one of 2hhb; the bond is 2hhb's, but
        // the view forgets it whenever molecules go.
        {{0}, 1},
        {{1}, 2},
        {{0, 1}, 0},
    };
    for (const auto& c : cases) {
        Loaded w({"1ubi.pdb", "2hhb.pdb"});
        MeasureForm measure(*w.doc, w.scene);
        TorsionForm torsion(*w.doc, w.scene);
        measure.Open();
        torsion.Open();
        Molecule& ubi = w.At(0);
        Molecule& hb = w.At(1);
        measure.Picked(AtomPick(ubi, 0));
        measure.Picked(AtomPick(ubi, 1));
        measure.Picked(AtomPick(hb, 0));
        const int ca = AtomNamed(hb, 87, "CA"), cb = AtomNamed(hb, 87, "CB");
        ASSERT_TRUE(torsion.Picked({PickResult::BondHit, BondOf(hb, ca, cb), &hb}));
        ASSERT_TRUE(torsion.SliderEnabled());
        ASSERT_TRUE(w.scene.torsion.Shown(&hb));
        w.doc->DeleteMolecules(c.deleted);
        const int left = c.left;
        EXPECT_EQ(measure.GetMeasurement().Count(), left);
        EXPECT_EQ(static_cast<int>(w.scene.markers.size()), left);
        for (int i = 0; i < measure.GetMeasurement().Count(); ++i)
            EXPECT_GE(w.doc->IndexOf(measure.GetMeasurement().At(i).molecule), 0);
        EXPECT_FALSE(torsion.Adjuster().Selected());
        EXPECT_FALSE(torsion.SliderEnabled());
        EXPECT_EQ(torsion.SliderPosition(), TorsionForm::kSliderMaximum);
        EXPECT_EQ(w.scene.torsion.molecule, nullptr);
        torsion.SliderMoved(100);  // nothing to turn, nothing read
        EXPECT_EQ(measure.Table().cartesian[0][0].empty(), left == 0);
    }
}

TEST(TorsionForm, SliderPositionsLabelsAndTheRingBond) {
    Loaded w({"1ubi.pdb"});
    TorsionForm form(*w.doc, w.scene);
    Molecule& m = w.At(0);
    form.Open();
    EXPECT_EQ(form.SliderPosition(), 360);  // nothing selected: at the end, disabled
    EXPECT_FALSE(form.SliderEnabled());
    EXPECT_EQ(form.Label(), "3.14");
    const int bond = BondOf(m, AtomNamed(m, 27, "CA"), AtomNamed(m, 27, "CB"));
    // A bond picked while closed is not taken.
    form.Close();
    EXPECT_FALSE(form.Picked({PickResult::BondHit, bond, &m}));
    form.Open();
    EXPECT_TRUE(form.Picked({PickResult::BondHit, bond, &m}));
    EXPECT_EQ(form.SliderPosition(), 180);
    EXPECT_TRUE(form.SliderEnabled());
    const struct {
        int position;
        int clamped;
        const char* label;
    } moves[] = {{240, 240, "1.05"}, {180, 180, "0"}, {0, 0, "-3.14"}, {400, 360, "3.14"}, {-5, 0, "-3.14"}};
    for (const auto& mv : moves) {
        form.SliderMoved(mv.position);
        EXPECT_EQ(form.SliderPosition(), mv.clamped);
        EXPECT_EQ(form.Label(), mv.label);
        EXPECT_FLOAT_EQ(form.Adjuster().Current(), static_cast<float>(mv.clamped - 180));
    }
    // Reopened, the slider shows the rotation applied.
    form.Close();
    form.Open();
    EXPECT_EQ(form.SliderPosition(), 0);
    const struct {
        float radians;
        int position;
    } angles[] = {{0.5f, 208}, {-3.1415927f, 0}, {3.2f, 180}, {-4.0f, 180}};
    for (const auto& a : angles) {
        form.SetAngle(a.radians);
        EXPECT_EQ(form.SliderPosition(), a.position) << a.radians;
    }
    // A ring bond: refused with the note, the slider disabled, no washer.
    EXPECT_TRUE(form.Picked({PickResult::BondHit, BondOf(m, AtomNamed(m, 4, "CG"), AtomNamed(m, 4, "CD1")), &m}));
    EXPECT_EQ(form.Note(), kRingBondText);
    EXPECT_FALSE(form.SliderEnabled());
    EXPECT_FALSE(w.scene.torsion.Shown(&m));
}
