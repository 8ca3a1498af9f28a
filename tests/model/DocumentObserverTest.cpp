#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis/AlphaCarbonFit.h"
#include "analysis/MakeDocument.h"
#include "core/DocumentObserver.h"
#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/PastedValues.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;

namespace {

using Change = DocumentChange;

struct Recorder : DocumentObserver {
    std::vector<Change> seen;
    int moved = 0;
    void DocumentChanged(Change what) override { seen.push_back(what); }
    void SceneMoved() override { ++moved; }
};

}  // namespace

// Every operation tells its observers once, with everything it changed.
TEST(DocumentObserver, EachOperationIsAnnouncedOnceWithWhatItChanged) {
    RecordingUiHooks ui;
    const auto made = MakeDocument(ui);
    CVelmDoc& doc = *made;
    Recorder r;
    doc.AddObserver(r);
    const std::string ubi = DataPath("1ubi.pdb");
    std::string values;  // one per atom of ubiquitin
    for (int i = 0; i < 683; ++i) values += "1\n";
    list<DisplayHBond> bond;
    bond.Append({});
    const struct {
        const char* name;
        std::function<void()> operation;
        Change expected;
    } cases[] = {
        {"load", [&] { doc.AddMoleculeFromFile(ubi); }, Change::Molecules | Change::Selection},
        {"load again", [&] { doc.AddMoleculeFromFile(ubi); }, Change::Molecules | Change::Selection},
        {"trajectory", [&] { doc.ReadTrajectoryIntoPrimary(DataPath("1ubi_20frames_le.dcd"), Verbatim); },
         Change::Frames | Change::Title},
        {"frame", [&] { doc.SetFrame(3); }, Change::CurrentFrame},
        {"step", [&] { doc.Step(1); }, Change::CurrentFrame},
        {"title", [&] { doc.SetTitle("t"); }, Change::Title},
        {"selection", [&] { doc.ToggleSelection({0}); }, Change::Selection},
        {"fixed", [&] { doc.ToggleFixedFree({0}); }, Change::Selection},
        {"primary", [&] { doc.MakePrimary(0); }, Change::Molecules | Change::Selection},
        {"duplicate", [&] { doc.DuplicateMolecules({1}); }, Change::Molecules},
        {"hydrogen bonds", [&] { doc.SetHydrogenBonds(bond); }, Change::HydrogenBonds},
        {"delete", [&] { doc.DeleteMolecules({2}); },
         Change::Molecules | Change::Selection | Change::HydrogenBonds},
        {"superpose", [&] { SuperposeOnAlphaCarbons(doc, *doc.Molecules()[0], *doc.Molecules()[1]); },
         Change::Coordinates},
        {"paste", [&] { PasteValues(doc, values, {}, ui); }, Change::Display},
        {"edit", [&] { doc.EditSelected(Change::Display, [](Molecule& m) { m.showLabels = 1; }); }, Change::Display},
        {"open both", [&] {
             doc.OpenCoordinatesAndTrajectory(ubi, PdbType, DataPath("1ubi_20frames_le.dcd"), DcdType, Verbatim);
         }, Change::Molecules | Change::Selection | Change::Title},
    };
    for (const auto& c : cases) {
        r.seen.clear();
        c.operation();
        EXPECT_EQ(r.seen, std::vector<Change>{c.expected}) << c.name;
    }

    // Failures: what was changed is announced, and nothing else.
    r.seen.clear();
    EXPECT_THROW(doc.AddMoleculeFromFile(DataPath("absent.pdb")), VelmError);
    EXPECT_TRUE(r.seen.empty());
    EXPECT_THROW(doc.ReadTrajectoryIntoPrimary(DataPath("2hhb_20frames_le.dcd"), Verbatim), VelmError);
    EXPECT_EQ(r.seen, std::vector<Change>{Change::Frames});
    r.seen.clear();
    EXPECT_THROW(doc.EditSelected(Change::Display, [](Molecule&) { throw VelmError("no"); }), VelmError);
    EXPECT_EQ(r.seen, std::vector<Change>{Change::Display});

    doc.AnnounceSceneMoved();
    EXPECT_EQ(r.moved, 1);
    doc.RemoveObserver(r);
    doc.SetTitle("gone");
    EXPECT_EQ(r.seen.size(), 1u);
}

// An observer that leaves, or adds another, while it is told.
TEST(DocumentObserver, ObserversMayComeAndGoWhileBeingTold) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    Recorder late;
    struct Leaving : DocumentObserver {
        CVelmDoc* doc;
        Recorder* late;
        int told = 0;
        void DocumentChanged(Change) override {
            ++told;
            doc->RemoveObserver(*this);
            doc->AddObserver(*late);
        }
    } leaving;
    leaving.doc = &doc;
    leaving.late = &late;
    Recorder after;
    doc.AddObserver(leaving);
    doc.AddObserver(after);
    doc.SetTitle("one");
    doc.SetTitle("two");
    EXPECT_EQ(leaving.told, 1);
    EXPECT_EQ(after.seen.size(), 2u);
    EXPECT_EQ(late.seen.size(), 1u);  // from the second change on
}
