#include <gtest/gtest.h>

#include "dialogs/ResolutionForm.h"

using namespace velm;

TEST(ResolutionForm, OpensAtTheViewsNumbersClampsMovesAndSendsOneOrAll) {
    // Tension 1.25 opens at (1.25 - 1) x 30 = 7.5, truncated to 7; values out
    // of a slider's range open at its end.
    const ResolutionForm opened(Resolutions{90, 1, 20, 5, 5, 1.25f});
    EXPECT_EQ(opened.Position(ResolutionSlider::Tension), 7);
    EXPECT_EQ(opened.ValueText(ResolutionSlider::Tension), "1.233");
    EXPECT_EQ(opened.Position(ResolutionSlider::Atom), 75);
    EXPECT_EQ(opened.Position(ResolutionSlider::Bond), 2);

    const struct {
        ResolutionSlider slider;
        int position, expected;
    } moves[] = {
        {ResolutionSlider::Atom, 1, 2},       {ResolutionSlider::Atom, 30, 30},
        {ResolutionSlider::Selection, 2, 3},  {ResolutionSlider::Spline, 0, 0},
        {ResolutionSlider::Spline, 51, 50},   {ResolutionSlider::Ribbon, 2, 3},
        {ResolutionSlider::Tension, 31, 30},  {ResolutionSlider::Tension, -1, 0},
    };
    for (const auto& m : moves) {
        ResolutionForm form(Resolutions{});
        TessellationQuality quality;
        form.Move(m.slider, m.position, quality);
        EXPECT_EQ(form.Position(m.slider), m.expected);
        // Without Auto Apply nothing reaches the view until "Apply".
        EXPECT_EQ(quality.Level(), GraphicsQuality::Medium);
    }

    // Auto Apply sends the moved value alone, turning the level Custom.
    ResolutionForm form(Resolutions{});
    TessellationQuality quality;
    quality.SetLevel(GraphicsQuality::Low);
    form.autoApply = true;
    form.Move(ResolutionSlider::Atom, 40, quality);
    EXPECT_EQ(quality.Level(), GraphicsQuality::Custom);
    EXPECT_EQ(quality.Values().atom, 40);
    EXPECT_EQ(quality.Values().bond, 5);  // still Low's
    form.Move(ResolutionSlider::Tension, 30, quality);
    EXPECT_FLOAT_EQ(quality.Values().tension, 2.0f);

    // "Apply" sends all six.
    form.Apply(quality);
    EXPECT_EQ(quality.Values(), (Resolutions{40, 15, 20, 5, 5, 2.0f}));
}
