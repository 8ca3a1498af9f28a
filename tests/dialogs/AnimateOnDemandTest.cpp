// The "Animate" window over a trajectory read on demand: playing, the slider
// and the frame text as for frames held, each frame the one read whole.
#include <gtest/gtest.h>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/AnimateForm.h"
#include "model/VelmDoc.h"
#include "render/ViewSettings.h"
#include "support/TestData.h"

using namespace velm;

TEST(AnimateForm, PlaysATrajectoryReadOnDemand) {
    RecordingUiHooks ui;
    std::unique_ptr<CVelmDoc> docs[2];
    for (int onDemand = 0; onDemand < 2; ++onDemand) {
        docs[onDemand] = MakeDocument(ui);
        docs[onDemand]->options.framesOnDemand = onDemand == 1;
        ASSERT_EQ(docs[onDemand]->AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
        docs[onDemand]->ReadTrajectoryIntoPrimary(test::DataPath("1ubi_mda.xtc"), ZeroCenterOfMass);
    }
    CVelmDoc& held = *docs[0];
    CVelmDoc& doc = *docs[1];
    ASSERT_TRUE(doc.Primary()->frames.OnDemand());
    AnimationState a;
    AnimateForm form(doc, a, [] {});
    EXPECT_EQ(form.SliderMaximum(), 20);
    const auto same = [&] {
        held.SetFrame(doc.CurrentAnimationFrame());
        for (int i = 0; i < doc.Primary()->AtomCount(); i += 97)
            if (doc.Primary()->Position(i) != held.Primary()->Position(i)) return false;
        return true;
    };
    form.Forward();
    for (int step = 0; step < 25; ++step) doc.Step(a.playDirection);  // as the view does after each paint
    EXPECT_EQ(form.SliderPosition(), 25 % 21);
    EXPECT_EQ(form.FrameText(), "Frame: 4");
    EXPECT_TRUE(same());
    form.MoveSlider(17);
    EXPECT_FALSE(a.playing);
    EXPECT_EQ(form.FrameText(), "Frame: 17");
    EXPECT_TRUE(same());
    form.Reverse();
    for (int step = 0; step < 19; ++step) doc.Step(a.playDirection);
    EXPECT_EQ(form.FrameText(), "Frame: 19");  // through frame 0 and round
    EXPECT_TRUE(same());
    EXPECT_TRUE(ui.with("message:").empty());
}
