#include "render/SceneLight.h"

#include "core/VelmError.h"

namespace velm {

int LightIds::Take() {
    if (next_ >= maximum_) throw VelmError("Ehausted supply of OpenGL lights!");
    return next_++;
}

SceneLighting::SceneLighting(int maximumLights) : ids_(maximumLights) {
    lights.reserve(kSceneLights);
    for (int i = 0; i < kSceneLights; ++i) lights.emplace_back(ids_);
    SetDefaults();
}

void SceneLighting::SetDefaults() {
    constexpr LightVector zero{};
    constexpr LightVector directions[kSceneLights] = {
        {1, 0, 0, 0},  {0, 0, 1, 0},  {1, 0, 0, 0}, {0, 1, 0, 0},
        {0, 0, -1, 0}, {-1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0},
    };
    for (int i = 0; i < kSceneLights; ++i) {
        SceneLight& light = lights[i];
        light.position = directions[i];
        light.ambient = light.diffuse = light.specular = zero;
        if (i >= FrontLight && i <= BottomLight) {
            light.diffuse = {0.5f, 0.5f, 0.5f, 0};
            light.specular = {1, 1, 1, 0};
        }
    }
    lights[LineLight].ambient = {1, 1, 1, 0};
    lights[AmbientLight].ambient = {0.2f, 0.2f, 0.2f, 0};
    on = {1, 0, 0, 0, 0, 0, 1};  // the front light and the ambient light
    material = Material{};
}

}  // namespace velm
