#include <gtest/gtest.h>

#include "model/RenderMode.h"

using namespace velm;

TEST(RenderMode, NamesRoundTripWithoutLetterCase) {
    for (int m = 0; m < kRenderModes; ++m) {
        const auto mode = static_cast<RenderMode>(m);
        std::string lower(RenderModeName(mode));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(RenderModeFromName(lower), mode) << lower;
    }
    EXPECT_EQ(RenderModeFromName("BALLANDSTICK"), BallAndStick);
    EXPECT_FALSE(RenderModeFromName("Ribbon").has_value());
    EXPECT_FALSE(RenderModeFromName("").has_value());
    EXPECT_TRUE(IsRibbonMode(Tube));
    EXPECT_FALSE(IsRibbonMode(TraceSpline));
}
