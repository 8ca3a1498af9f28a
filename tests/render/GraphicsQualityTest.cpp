#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "render/GraphicsQuality.h"

using namespace velm;

TEST(GraphicsQuality, PresetsGiveTheirNumbersAndCustomKeepsTheCurrentOnes) {
    struct Case {
        GraphicsQuality level;
        const char* menu;
        int atom, bond, selection, spline, ribbon;
    };
    const Case cases[] = {
        {GraphicsQuality::High, "High", 25, 20, 20, 10, 10},
        {GraphicsQuality::Medium, "Medium", 15, 15, 20, 5, 5},
        {GraphicsQuality::Low, "Low", 8, 5, 20, 2, 3},
    };
    TessellationQuality quality;
    EXPECT_EQ(quality.Level(), GraphicsQuality::Medium);
    EXPECT_EQ(quality.Values(), *QualityPreset(GraphicsQuality::Medium));
    for (const Case& c : cases) {
        quality.SetCustom({40, 41, 42, 43, 44, 1.5f});
        quality.SetLevel(c.level);
        const Resolutions& v = quality.Values();
        EXPECT_EQ(quality.Level(), c.level);
        EXPECT_EQ(GraphicsQualityMenuText(c.level), c.menu);
        EXPECT_EQ(v.atom, c.atom) << c.menu;
        EXPECT_EQ(v.bond, c.bond) << c.menu;
        EXPECT_EQ(v.selection, c.selection) << c.menu;
        EXPECT_EQ(v.spline, c.spline) << c.menu;
        EXPECT_EQ(v.ribbon, c.ribbon) << c.menu;
        EXPECT_FLOAT_EQ(v.tension, 1.25f) << c.menu;

        const Resolutions before = quality.Values();
        quality.SetLevel(GraphicsQuality::Custom);
        EXPECT_EQ(quality.Level(), GraphicsQuality::Custom);
        EXPECT_EQ(quality.Values(), before) << c.menu;
    }
    EXPECT_EQ(GraphicsQualityMenuText(GraphicsQuality::Custom), "Custom ...");
    EXPECT_FALSE(QualityPreset(GraphicsQuality::Custom));
}

TEST(GraphicsQuality, EachValueSentTurnsTheLevelToCustomAndChangesOnlyItself) {
    struct Case {
        const char* name;
        void (*set)(TessellationQuality&);
        Resolutions expected;  // from High's 25, 20, 20, 10, 10, 1.25
    };
    const Case cases[] = {
        {"atom", [](TessellationQuality& q) { q.SetAtomResolution(30); }, {30, 20, 20, 10, 10, 1.25f}},
        {"bond", [](TessellationQuality& q) { q.SetBondResolution(7); }, {25, 7, 20, 10, 10, 1.25f}},
        {"selection", [](TessellationQuality& q) { q.SetSelectionResolution(3); }, {25, 20, 3, 10, 10, 1.25f}},
        {"spline", [](TessellationQuality& q) { q.SetSplineResolution(0); }, {25, 20, 20, 0, 10, 1.25f}},
        {"ribbon", [](TessellationQuality& q) { q.SetRibbonResolution(50); }, {25, 20, 20, 10, 50, 1.25f}},
        {"tension", [](TessellationQuality& q) { q.SetSplineTension(2.f); }, {25, 20, 20, 10, 10, 2.f}},
        // the same value again still means Custom
        {"same atom", [](TessellationQuality& q) { q.SetAtomResolution(25); }, {25, 20, 20, 10, 10, 1.25f}},
    };
    for (const Case& c : cases) {
        TessellationQuality quality;
        quality.SetLevel(GraphicsQuality::High);
        c.set(quality);
        EXPECT_EQ(quality.Level(), GraphicsQuality::Custom) << c.name;
        EXPECT_EQ(quality.Values(), c.expected) << c.name;
    }
}

TEST(GraphicsQuality, ValuesOutsideTheSlidersAreClampedIntoThem) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    TessellationQuality quality;
    quality.SetCustom({1, 0, 2, -1, 2, 0.5f});
    EXPECT_EQ(quality.Values(), (Resolutions{2, 2, 3, 0, 3, 1.f}));
    quality.SetCustom({76, 1000000, 76, 51, 51, 3.f});
    EXPECT_EQ(quality.Values(), (Resolutions{75, 75, 75, 50, 50, 2.f}));
    quality.SetSplineTension(nan);
    EXPECT_EQ(quality.Values().tension, 1.f);

    // Restored from a settings file: level kept, numbers clamped.
    const TessellationQuality restored(GraphicsQuality::Low, {8, 5, 1000, 2, 3, 1.25f});
    EXPECT_EQ(restored.Level(), GraphicsQuality::Low);
    EXPECT_EQ(restored.Values().selection, 75);
    EXPECT_FALSE(GraphicsQualityFromInt(4));
    EXPECT_FALSE(GraphicsQualityFromInt(-1));
    EXPECT_EQ(GraphicsQualityFromInt(3), GraphicsQuality::Custom);
}

TEST(GraphicsQuality, TensionSliderRunsOneToTwoInThirtySteps) {
    EXPECT_FLOAT_EQ(TensionFromSlider(0), 1.f);
    EXPECT_FLOAT_EQ(TensionFromSlider(15), 1.5f);
    EXPECT_FLOAT_EQ(TensionFromSlider(30), 2.f);
    EXPECT_EQ(TensionSliderPosition(1.25f), 7);  // 7.5 truncated
    EXPECT_EQ(TensionSliderPosition(1.f), 0);
    EXPECT_EQ(TensionSliderPosition(2.f), 30);
    EXPECT_EQ(TensionSliderPosition(1.5f), 15);
    EXPECT_EQ(TensionSliderPosition(0.f), 0);  // below the slider
    EXPECT_EQ(TensionSliderPosition(9.f), 30);
}
