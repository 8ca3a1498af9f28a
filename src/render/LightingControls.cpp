#include "render/LightingControls.h"

#include <algorithm>

namespace velm {

namespace {
// Truncation, but a value a hair below a whole number reads as that number:
// 57% stored as 0.57f is 56.99999... x 100, and the dialog would otherwise
// lose one step every time it is opened and applied.
int Truncated(double v) { return static_cast<int>(v + 1e-3); }

int ByteOf(float channel) { return std::clamp(Truncated(channel * 255.0), 0, 255); }
}  // namespace

LightingControls ReadLightingControls(const SceneLighting& lighting) {
    LightingControls c;
    c.on = lighting.on;
    const LightVector& s = lighting.Light(FrontLight).specular;
    c.red = ByteOf(s[0]);
    c.green = ByteOf(s[1]);
    c.blue = ByteOf(s[2]);
    c.shinyPercent = std::clamp(Truncated(lighting.material.shininess * 0.78125), 0, 100);
    c.specularPercent = std::clamp(Truncated(lighting.material.specular[0] * 100.0), 0, 100);
    return c;
}

void ApplyLightingControls(const LightingControls& controls, SceneLighting& lighting) {
    for (int i = 0; i < kSwitchedLights; ++i) lighting.on[i] = controls.on[i] != 0;
    auto unit = [](int byte) { return static_cast<float>(std::clamp(byte, 0, 255) / 255.0); };
    const float r = unit(controls.red), g = unit(controls.green), b = unit(controls.blue);
    for (int i = FrontLight; i <= BottomLight; ++i) {
        SceneLight& light = lighting.lights[i];
        light.specular = {r, g, b, light.specular[3]};
        light.diffuse = {r / 2, g / 2, b / 2, light.diffuse[3]};
        light.ambient = {0, 0, 0, light.ambient[3]};
    }
    LightVector& ambient = lighting.Light(AmbientLight).ambient;
    ambient = {0.2f * r, 0.2f * g, 0.2f * b, ambient[3]};

    const int shiny = std::clamp(controls.shinyPercent, 0, 100);
    const float specular = static_cast<float>(std::clamp(controls.specularPercent, 0, 100) * 0.01);
    lighting.material.shininess = static_cast<float>(shiny * 1.28);
    lighting.material.specular[0] = lighting.material.specular[1] = lighting.material.specular[2] = specular;
}

}  // namespace velm
