#pragma once
// What the lighting dialog shows and what its "Apply" does to the lights and
// the material, without the dialog.
#include <array>

#include "render/SceneLight.h"

namespace velm {

struct LightingControls {
    std::array<int, kSwitchedLights> on{};  // as SceneLighting::on
    int red = 255, green = 255, blue = 255;  // light colour, 0..255
    int shinyPercent = 0;                    // 100 is shininess 128
    int specularPercent = 0;                 // material specular red, green, blue x 100
};

// The controls as the dialog opens on these lights.
LightingControls ReadLightingControls(const SceneLighting& lighting);

// Copies the flags, colours the six solid lights (specular = colour, diffuse
// = half of it, no ambient) and the ambient light (a fifth of the colour),
// and sets shininess and the material's specular red, green and blue; alpha
// stays. Values outside the controls' ranges are clamped into them. The
// caller loads the lights into GL and redraws.
void ApplyLightingControls(const LightingControls& controls, SceneLighting& lighting);

}  // namespace velm
