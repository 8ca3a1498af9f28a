// The molecule list, the animation control, the trajectory export, the
// surface options and the area report command, without any window.
#include <gtest/gtest.h>

#include <cstdio>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/AnimateForm.h"
#include "dialogs/ExportTrajectoryForm.h"
#include "dialogs/MoleculeListForm.h"
#include "dialogs/SurfaceAreaCommand.h"
#include "dialogs/SurfaceOptionsForm.h"
#include "model/VelmDoc.h"
#include "render/ViewSettings.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

// `models` models of `atoms` carbon atoms 1.5 apart, read as a trajectory of models - 1 frames.
std::string Models(int atoms, int models = 1) {
    std::string text;
    for (int k = 0; k < models; ++k) {
        if (models > 1) text += "MODEL " + std::to_string(k + 1) + "\n";
        for (int i = 0; i < atoms; ++i) {
            char line[100];
            std::snprintf(line, sizeof line, "ATOM  %5d  C%-2d LIG A   1    %8.3f%8.3f%8.3f  1.00 10.00\n", i + 1,
                          i % 10, 1.5 * i + 0.1 * k, 0.0, 0.0);
            text += line;
        }
        if (models > 1) text += "ENDMDL\n";
    }
    return text;
}

struct Loaded {
    explicit Loaded(std::vector<std::pair<int, int>> molecules) : doc(MakeDocument(ui)) {
        doc->options.multipleAsTrajectory = 1;
        int n = 0;
        for (auto [atoms, frames] : molecules) {
            const std::string name = "m" + std::to_string(++n) + ".pdb";
            EXPECT_EQ(doc->AddMoleculeFromFile(dir.Write(name, Models(atoms, frames + 1))), 1);
        }
    }
    TempDir dir;
    RecordingUiHooks ui;
    std::unique_ptr<CVelmDoc> doc;
};

}  // namespace

TEST(MoleculeListForm, RowsFollowTheDocumentAndStaleRowsChangeNothing) {
    Loaded l({{3, 0}, {5, 2}, {2, 0}});  // the last read is primary
    MoleculeListForm form(*l.doc);
    l.doc->ToggleFixedFree({0});
    auto rows = form.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].molecule, "1) " + l.dir.File("m1.pdb"));
    EXPECT_EQ(rows[0].status, "Fixed");
    EXPECT_EQ(rows[1].status, "Free");
    EXPECT_EQ(rows[2].status, "Primary, Free");
    EXPECT_EQ(rows[1].atoms, "5");
    EXPECT_EQ(rows[1].frames, "2");
    EXPECT_EQ(form.PrimaryRow(), 2);
    EXPECT_EQ(rows[2].selected, "X");
    EXPECT_EQ(rows[0].selected, " ");

    // Toggle Selection on the primary leaves it selected; the others flip.
    form.ToggleSelection({0, 2});
    rows = form.Rows();
    EXPECT_EQ(rows[0].selected + rows[1].selected + rows[2].selected, "X X");

    // Make Primary takes the first chosen row and deselects the rest.
    form.MakePrimary({1, 0});
    EXPECT_EQ(form.PrimaryRow(), 1);
    rows = form.Rows();
    EXPECT_EQ(rows[0].selected + rows[1].selected + rows[2].selected, " X ");

    // Deleting the primary: the first molecule becomes primary and selected;
    // the frame count follows the molecules that are left.
    EXPECT_EQ(l.doc->AnimationFrames(), 3);
    form.Delete({1});
    rows = form.Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].status, "Primary, Fixed");
    EXPECT_EQ(rows[0].selected, "X");
    EXPECT_EQ(rows[1].molecule, "2) " + l.dir.File("m3.pdb"));
    EXPECT_EQ(l.doc->AnimationFrames(), 1);

    // Rows a window still shows after the molecules went name nothing.
    for (const std::vector<int>& stale : std::initializer_list<std::vector<int>>{{2}, {5, -1}, {}}) {
        form.Delete(stale);
        form.Duplicate(stale);
        form.MakePrimary(stale);
        form.ToggleFixedFree(stale);
        form.ToggleSelection(stale);
        EXPECT_EQ(l.doc->MoleculeCount(), 2);
        EXPECT_EQ(form.PrimaryRow(), 0);
    }
    // A row chosen twice is one molecule.
    form.Duplicate({1, 1});
    EXPECT_EQ(l.doc->MoleculeCount(), 3);
    form.Delete({0, 1, 2});
    EXPECT_TRUE(form.Rows().empty());
    EXPECT_EQ(form.PrimaryRow(), -1);
}

TEST(AnimateForm, ButtonsSetPlaybackAndTheSliderShowsItsFrame) {
    Loaded l({{2, 4}, {2, 2}});
    AnimationState a;
    int redraws = 0;
    AnimateForm form(*l.doc, a, [&] { ++redraws; });
    EXPECT_EQ(form.SliderMaximum(), 4);  // F = 5: frames 0..4
    EXPECT_EQ(form.FrameText(), "Frame: 0");

    form.Reverse();
    EXPECT_TRUE(a.playing && a.animating);
    EXPECT_EQ(a.playDirection, 1);
    l.doc->Step(a.playDirection);
    EXPECT_EQ(form.SliderPosition(), 4);  // reverse from 0 wraps to F - 1
    EXPECT_EQ(form.FrameText(), "Frame: 4");
    EXPECT_EQ(l.doc->Molecules()[1]->currentFrame, 1);  // 4 mod (2 + 1)

    // Stop keeps repainting while the scene spins.
    a.spinning = true;
    form.Stop();
    EXPECT_FALSE(a.playing);
    EXPECT_TRUE(a.animating);
    a.spinning = false;
    form.Forward();
    EXPECT_EQ(a.playDirection, 0);

    // The slider stops playback and shows its frame, clamped to the range.
    const struct { int position, frame; } moves[] = {{2, 2}, {9, 4}, {-3, 0}};
    for (const auto& m : moves) {
        form.Forward();
        form.MoveSlider(m.position);
        EXPECT_FALSE(a.playing || a.animating);
        EXPECT_EQ(l.doc->CurrentAnimationFrame(), m.frame) << m.position;
    }
    EXPECT_EQ(redraws, 9);

    // Deleting the molecule with the most frames shrinks the range.
    form.MoveSlider(3);
    l.doc->DeleteMolecules({0});
    EXPECT_EQ(form.SliderMaximum(), 2);
    EXPECT_EQ(form.SliderPosition(), 0);
}

TEST(ExportTrajectoryForm, RangeChecksAndTheExport) {
    Loaded l({{3, 4}});
    const std::string out = l.dir.File("out.pdb");
    const struct {
        std::string path;
        bool entire;
        int start, stop;
        const char* message;  // empty: written
    } cases[] = {
        {"", true, 1, 4, "Please enter a file name."},
        {out, false, 0, 4, "Invalid limit for trajectory start"},
        {out, false, 1, 5, "Invalid limit for trajectory stop"},
        {out, false, 3, 2, "Invalid starting step"},  // the export's own check
        {out, true, -7, 99, ""},                      // the whole range, whatever the fields hold
        {out, false, 2, 4, ""},
    };
    for (const auto& c : cases) {
        RecordingUiHooks ui;
        ExportTrajectoryForm f = ExportTrajectoryForm::For(*l.doc);
        EXPECT_EQ(f.stop, 4);
        f.path = c.path;
        f.entire = c.entire;
        f.start = c.start;
        f.stop = c.stop;
        std::remove(out.c_str());
        const bool written = f.Accept(*l.doc, ui);
        EXPECT_EQ(written, *c.message == 0) << c.message;
        EXPECT_EQ(ui.with("message:"), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
        EXPECT_EQ(std::fopen(out.c_str(), "r") != nullptr, written);
    }
    // Without frames there is nothing to export.
    l.doc->DeleteMolecules({0});
    RecordingUiHooks ui;
    ExportTrajectoryForm f = ExportTrajectoryForm::For(*l.doc);
    f.path = out;
    EXPECT_FALSE(f.Accept(*l.doc, ui));
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Cannot export a zero length trajectory"});
}

TEST(SurfaceOptionsForm, ProbeAndColourChecksAndWhatApplySets) {
    Loaded l({{4, 0}, {4, 0}});
    l.doc->SelectAll();
    SurfaceOptionsForm form(*l.doc);
    EXPECT_EQ(form.resolutionPosition, 70);  // the default 0.595 A
    EXPECT_EQ(form.probeText, "0");

    const struct { const char* text, *problem; } probes[] = {
        {"0", ""}, {"3", ""}, {" 1.4 ", ""}, {"3.01", "Please enter a number between 0 and 3."},
        {"-0.5", "Please enter a number between 0 and 3."}, {"abc", "Please enter a number."},
        {"", "Please enter a number."}, {"1.4x", "Please enter a number."}, {"nan", "Please enter a number."},
    };
    for (const auto& p : probes) {
        form.probeText = p.text;
        EXPECT_EQ(form.ProbeProblem(), p.problem) << p.text;
    }
    // An invalid probe applies nothing.
    RecordingUiHooks ui;
    form.resolutionPosition = 0;
    EXPECT_FALSE(form.Apply(*l.doc, ui));
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Please enter a number."});
    EXPECT_FLOAT_EQ(l.doc->Primary()->surface.spacing, 0.595f);

    const struct { int component; const char* text; bool taken; int value; } typed[] = {
        {0, "255", true, 255}, {1, "0", true, 0}, {2, "256", false, 128}, {3, "-1", false, 255},
        {0, "12a", false, 255}, {1, "", false, 0}, {4, "1", false, 0},
    };
    for (const auto& t : typed) {
        EXPECT_EQ(form.SetComponent(t.component, t.text), t.taken) << t.text;
        if (t.component < 4) {
            EXPECT_EQ(form.Component(t.component), t.value) << t.text;
        }
    }

    // Colour by atom: the alpha only with transparency on; user colour: the four edits.
    form.probeText = "1.5";
    form.SetAlpha(300);
    EXPECT_EQ(form.AlphaText(), "Alpha = 255");
    form.SetAlpha(100);
    EXPECT_FALSE(form.AlphaEnabled());
    EXPECT_TRUE(form.Apply(*l.doc, ui));
    for (const auto& m : l.doc->Molecules()) {
        EXPECT_EQ(m->surface.transparencyAlpha, 255);
        EXPECT_FLOAT_EQ(m->surface.spacing, 1.75f);
        EXPECT_FLOAT_EQ(m->surface.cellSize, 1.5f * 1.5f + 3);
    }
    form.transparency = true;
    EXPECT_TRUE(form.AlphaEnabled());
    form.ColourChanged(*l.doc, ui);  // automatic apply
    EXPECT_EQ(l.doc->Molecules()[0]->surface.transparencyAlpha, 100);
    form.colourByAtom = false;
    EXPECT_FALSE(form.TransparencyEnabled() || form.AlphaEnabled());
    form.automaticApply = false;
    form.ColourChanged(*l.doc, ui);
    EXPECT_TRUE(l.doc->Molecules()[1]->surface.colourByAtom);
    EXPECT_TRUE(form.Ok(*l.doc, ui));
    EXPECT_FALSE(l.doc->Molecules()[1]->surface.colourByAtom);
    EXPECT_EQ(l.doc->Molecules()[1]->surface.userColour, (Rgba{255, 0, 128, 255}));

    // A second sheet opens on what the first applied.
    const SurfaceOptionsForm again(*l.doc);
    EXPECT_EQ(again.probeText, "1.5");
    EXPECT_EQ(again.resolutionPosition, 0);
    EXPECT_FALSE(again.colourByAtom);
    EXPECT_FALSE(again.transparency);
}

TEST(SurfaceOptionsForm, RebuildBuildsEverySelectedMoleculeAndStopsWhenCancelled) {
    Loaded l({{4, 0}, {6, 0}, {5, 0}});
    l.doc->ToggleSelection({0});  // 0 and the primary 2
    SurfaceOptionsForm form(*l.doc);
    RecordingUiHooks ui;
    EXPECT_TRUE(form.Rebuild(*l.doc, ui));
    const auto& ms = l.doc->Molecules();
    EXPECT_TRUE(ms[0]->surface.built && ms[2]->surface.built);
    EXPECT_FALSE(ms[1]->surface.built);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_EQ(ui.with("progress-begin:").size(), 2u);

    // "Cancel" during the first build stops there, that molecule unbuilt.
    RecordingUiHooks cancel;
    cancel.cancelAt = 1;
    EXPECT_FALSE(form.Rebuild(*l.doc, cancel));
    EXPECT_FALSE(ms[0]->surface.built);
    EXPECT_TRUE(ms[2]->surface.built);  // not reached
    EXPECT_EQ(cancel.waitDepth, 0);
}

TEST(SurfaceAreaCommand, ReportsLeaveTheDisplayAsItWasAndNeedAPrimaryWithAtoms) {
    Loaded l({{4, 0}});
    RecordingUiHooks ui;
    AreaReport report;
    ASSERT_TRUE(CanReportSurfaceArea(*l.doc));
    ASSERT_TRUE(ReportSurfaceArea(*l.doc, AreaReportKind::ByAtom, ui, report));
    EXPECT_EQ(report.caption, "Atomic Surface Areas (in Angstrom^2)");
    EXPECT_EQ(report.text.substr(0, 2), "1\t");
    EXPECT_NE(report.text.find("# Total Surface Area = "), std::string::npos);
    EXPECT_FALSE(l.doc->Primary()->surface.built);  // built for the report only

    RecordingUiHooks cancel;
    cancel.cancelAt = 1;
    EXPECT_FALSE(ReportSurfaceArea(*l.doc, AreaReportKind::ByResidue, cancel, report));
    EXPECT_TRUE(cancel.with("message:").empty());

    l.doc->DeleteMolecules({0});
    EXPECT_FALSE(CanReportSurfaceArea(*l.doc));
    EXPECT_FALSE(ReportSurfaceArea(*l.doc, AreaReportKind::ByAtom, ui, report));
}
