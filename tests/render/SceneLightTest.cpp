#include <gtest/gtest.h>

#include <string>

#include "core/VelmError.h"
#include "render/LightingControls.h"
#include "render/SceneLight.h"

using namespace velm;

namespace {
std::string Show(const LightVector& v) {
    char text[96];
    std::snprintf(text, sizeof text, "%.4f %.4f %.4f %.4f", v[0], v[1], v[2], v[3]);
    return text;
}
}  // namespace

TEST(SceneLight, DefaultLights) {
    const SceneLighting lighting;
    const struct {
        SceneLightRole role;
        const char* position;
        const char* ambient;
        const char* diffuse;
        const char* specular;
        bool on;
    } cases[] = {
        {LineLight, "1.0000 0.0000 0.0000 0.0000", "1.0000 1.0000 1.0000 0.0000", "0.0000 0.0000 0.0000 0.0000",
         "0.0000 0.0000 0.0000 0.0000", false},
        {FrontLight, "0.0000 0.0000 1.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", true},
        {RightLight, "1.0000 0.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", false},
        {TopLight, "0.0000 1.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", false},
        {BackLight, "0.0000 0.0000 -1.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", false},
        {LeftLight, "-1.0000 0.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", false},
        {BottomLight, "0.0000 -1.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "1.0000 1.0000 1.0000 0.0000", false},
        {AmbientLight, "0.0000 0.0000 1.0000 0.0000", "0.2000 0.2000 0.2000 0.0000", "0.0000 0.0000 0.0000 0.0000",
         "0.0000 0.0000 0.0000 0.0000", true},
    };
    ASSERT_EQ(lighting.lights.size(), 8u);
    for (const auto& c : cases) {
        const SceneLight& light = lighting.Light(c.role);
        EXPECT_EQ(light.Id(), c.role);
        EXPECT_EQ(Show(light.position), c.position) << c.role;
        EXPECT_EQ(Show(light.ambient), c.ambient) << c.role;
        EXPECT_EQ(Show(light.diffuse), c.diffuse) << c.role;
        EXPECT_EQ(Show(light.specular), c.specular) << c.role;
        EXPECT_EQ(lighting.IsOn(c.role), c.on) << c.role;
    }
    EXPECT_EQ(Show(lighting.material.specular), "0.3000 0.3000 0.3000 0.3000");
    EXPECT_FLOAT_EQ(lighting.material.shininess, 15);
}

TEST(SceneLight, IdsRunOutPastTheMaximum) {
    LightIds ids(2);
    const SceneLight a(ids), b(ids);
    EXPECT_EQ(a.Id(), 0);
    EXPECT_EQ(b.Id(), 1);
    EXPECT_EQ(Show(a.ambient), "0.0000 0.0000 0.0000 0.0000");
    EXPECT_EQ(Show(a.position), "0.0000 0.0000 0.0000 0.0000");
    try {
        SceneLight c(ids);
        FAIL() << "a third light from two";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Ehausted supply of OpenGL lights!");
    }
    EXPECT_THROW(SceneLighting(7), VelmError);
    // Each view numbers its own lights from the first.
    const SceneLighting first, second;
    EXPECT_EQ(second.Light(AmbientLight).Id(), 7);
}

TEST(SceneLight, DefaultsComeBackAfterChanges) {
    SceneLighting lighting;
    lighting.Light(TopLight).diffuse = {0.1f, 0.1f, 0.1f, 0};
    lighting.on = {0, 1, 1, 1, 1, 1, 0};
    lighting.material.shininess = 100;
    lighting.SetDefaults();
    const SceneLighting fresh;
    EXPECT_EQ(Show(lighting.Light(TopLight).diffuse), Show(fresh.Light(TopLight).diffuse));
    EXPECT_EQ(lighting.on, fresh.on);
    EXPECT_FLOAT_EQ(lighting.material.shininess, 15);
}

TEST(LightingControls, OpeningOnTheDefaults) {
    const LightingControls c = ReadLightingControls(SceneLighting());
    EXPECT_EQ(c.red, 255);
    EXPECT_EQ(c.green, 255);
    EXPECT_EQ(c.blue, 255);
    EXPECT_EQ(c.shinyPercent, 11);  // 15 x 0.78125 = 11.72
    EXPECT_EQ(c.specularPercent, 30);
    EXPECT_EQ(c.on, (std::array<int, 7>{1, 0, 0, 0, 0, 0, 1}));
}

TEST(LightingControls, ApplyColoursFlagsAndMaterial) {
    const struct {
        int r, g, b, shiny, specular;
        const char *solidSpecular, *solidDiffuse, *ambient;
        float shininess;
        const char* material;
    } cases[] = {
        // White gives back the default light colours.
        {255, 255, 255, 11, 30, "1.0000 1.0000 1.0000 0.0000", "0.5000 0.5000 0.5000 0.0000",
         "0.2000 0.2000 0.2000 0.0000", 14.08f, "0.3000 0.3000 0.3000 0.3000"},
        {51, 102, 255, 100, 100, "0.2000 0.4000 1.0000 0.0000", "0.1000 0.2000 0.5000 0.0000",
         "0.0400 0.0800 0.2000 0.0000", 128, "1.0000 1.0000 1.0000 0.3000"},
        {0, 0, 0, 0, 0, "0.0000 0.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000", "0.0000 0.0000 0.0000 0.0000",
         0, "0.0000 0.0000 0.0000 0.3000"},
        // Out of range edits are clamped as the controls would.
        {300, -5, 255, 150, -20, "1.0000 0.0000 1.0000 0.0000", "0.5000 0.0000 0.5000 0.0000",
         "0.2000 0.0000 0.2000 0.0000", 128, "0.0000 0.0000 0.0000 0.3000"},
    };
    for (const auto& c : cases) {
        SceneLighting lighting;
        LightingControls controls;
        controls.on = {0, 1, 0, 0, 0, 1, 0};
        controls.red = c.r;
        controls.green = c.g;
        controls.blue = c.b;
        controls.shinyPercent = c.shiny;
        controls.specularPercent = c.specular;
        ApplyLightingControls(controls, lighting);
        for (int role = FrontLight; role <= BottomLight; ++role) {
            const SceneLight& light = lighting.lights[role];
            EXPECT_EQ(Show(light.specular), c.solidSpecular) << c.r << " " << role;
            EXPECT_EQ(Show(light.diffuse), c.solidDiffuse) << c.r << " " << role;
            EXPECT_EQ(Show(light.ambient), "0.0000 0.0000 0.0000 0.0000") << role;
        }
        EXPECT_EQ(Show(lighting.Light(AmbientLight).ambient), c.ambient) << c.r;
        EXPECT_EQ(Show(lighting.Light(LineLight).ambient), "1.0000 1.0000 1.0000 0.0000");
        EXPECT_FLOAT_EQ(lighting.material.shininess, c.shininess) << c.shiny;
        EXPECT_EQ(Show(lighting.material.specular), c.material) << c.specular;
        EXPECT_FALSE(lighting.IsOn(FrontLight));
        EXPECT_TRUE(lighting.IsOn(RightLight));
        EXPECT_TRUE(lighting.IsOn(BottomLight));
        EXPECT_FALSE(lighting.IsOn(AmbientLight));
        EXPECT_FALSE(lighting.IsOn(LineLight));
    }
}

TEST(LightingControls, ReopeningShowsWhatWasApplied) {
    // Every slider and colour value survives apply and reopen unchanged.
    for (int v = 0; v <= 255; ++v) {
        SceneLighting lighting;
        LightingControls controls;
        controls.red = v;
        controls.green = 255 - v;
        controls.blue = v / 2;
        controls.shinyPercent = v % 101;
        controls.specularPercent = (v * 7) % 101;
        ApplyLightingControls(controls, lighting);
        const LightingControls back = ReadLightingControls(lighting);
        EXPECT_EQ(back.red, controls.red);
        EXPECT_EQ(back.green, controls.green);
        EXPECT_EQ(back.blue, controls.blue);
        EXPECT_EQ(back.shinyPercent, controls.shinyPercent) << v;
        EXPECT_EQ(back.specularPercent, controls.specularPercent) << v;
    }
    // Values between the steps still truncate.
    SceneLighting lighting;
    lighting.material.shininess = 127;  // 99.2%
    lighting.material.specular[0] = 0.555f;
    lighting.Light(FrontLight).specular[0] = 0.5f;  // 127.5
    const LightingControls c = ReadLightingControls(lighting);
    EXPECT_EQ(c.shinyPercent, 99);
    EXPECT_EQ(c.specularPercent, 55);
    EXPECT_EQ(c.red, 127);
}
