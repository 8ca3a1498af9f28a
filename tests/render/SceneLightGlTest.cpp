#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "render/LightingControls.h"
#include "render/OffscreenContext.h"
#include "render/SceneLight.h"

using namespace velm;

namespace {

class SceneLightGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(8, 8);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    std::unique_ptr<OffscreenContext> context_;
};

std::string Light(int id, GLenum what) {
    GLfloat v[4] = {};
    glGetLightfv(static_cast<GLenum>(GL_LIGHT0 + id), what, v);
    char text[96];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f %.3f", v[0], v[1], v[2], v[3]);
    return text;
}

std::string EnabledLights() {
    std::string s;
    for (int id = 0; id < 8; ++id) s += glIsEnabled(static_cast<GLenum>(GL_LIGHT0 + id)) ? '1' : '0';
    return s;
}

}  // namespace

TEST_F(SceneLightGl, LoadsTheAppliedLightsAndMaterial) {
    ASSERT_GE(MaximumGlLights(), 8);
    SceneLighting lighting(MaximumGlLights());
    LightingControls controls = ReadLightingControls(lighting);
    controls.red = 51;
    controls.green = 102;
    controls.blue = 255;
    controls.shinyPercent = 100;
    controls.specularPercent = 50;
    ApplyLightingControls(controls, lighting);
    LoadSceneLights(lighting);
    EXPECT_EQ(Light(0, GL_AMBIENT), "1.000 1.000 1.000 0.000");
    EXPECT_EQ(Light(0, GL_POSITION), "1.000 0.000 0.000 0.000");
    EXPECT_EQ(Light(4, GL_POSITION), "0.000 0.000 -1.000 0.000");
    EXPECT_EQ(Light(3, GL_DIFFUSE), "0.100 0.200 0.500 0.000");
    EXPECT_EQ(Light(6, GL_SPECULAR), "0.200 0.400 1.000 0.000");
    EXPECT_EQ(Light(7, GL_AMBIENT), "0.040 0.080 0.200 0.000");
    for (GLenum face : {GL_FRONT, GL_BACK}) {
        GLfloat shininess = 0, specular[4] = {};
        glGetMaterialfv(face, GL_SHININESS, &shininess);
        glGetMaterialfv(face, GL_SPECULAR, specular);
        EXPECT_FLOAT_EQ(shininess, 128);  // the largest GL takes
        EXPECT_FLOAT_EQ(specular[0], 0.5f);
        EXPECT_FLOAT_EQ(specular[2], 0.5f);
        EXPECT_FLOAT_EQ(specular[3], 0.3f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SceneLightGl, SwitchesBetweenLineAndSolidLights) {
    SceneLighting lighting;
    const struct {
        std::array<int, kSwitchedLights> on;
        const char* solid;
    } cases[] = {
        {{1, 0, 0, 0, 0, 0, 1}, "01000001"},
        {{0, 1, 1, 0, 0, 1, 0}, "00110010"},
        {{0, 0, 0, 0, 0, 0, 0}, "00000000"},  // lines keep the line light only
        {{1, 1, 1, 1, 1, 1, 1}, "01111111"},
    };
    for (const auto& c : cases) {
        lighting.on = c.on;
        SwitchToSolidLights(lighting);
        EXPECT_EQ(EnabledLights(), c.solid);
        SwitchToLineLight(lighting);
        EXPECT_EQ(EnabledLights(), "10000000");
    }
}
