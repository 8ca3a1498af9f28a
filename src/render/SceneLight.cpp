#include "render/SceneLight.h"

#include <GL/gl.h>

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

int MaximumGlLights() {
    GLint n = 0;
    glGetIntegerv(GL_MAX_LIGHTS, &n);
    return n;
}

void LoadSceneLights(const SceneLighting& lighting) {
    for (const SceneLight& light : lighting.lights) {
        const GLenum id = static_cast<GLenum>(GL_LIGHT0 + light.Id());
        glLightfv(id, GL_POSITION, light.position.data());
        glLightfv(id, GL_AMBIENT, light.ambient.data());
        glLightfv(id, GL_DIFFUSE, light.diffuse.data());
        glLightfv(id, GL_SPECULAR, light.specular.data());
    }
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, lighting.material.specular.data());
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, lighting.material.shininess);
}

void SwitchToSolidLights(const SceneLighting& lighting) {
    glDisable(static_cast<GLenum>(GL_LIGHT0 + lighting.Light(LineLight).Id()));
    for (int role = FrontLight; role < kSceneLights; ++role) {
        const GLenum id = static_cast<GLenum>(GL_LIGHT0 + lighting.lights[role].Id());
        if (lighting.IsOn(static_cast<SceneLightRole>(role))) glEnable(id);
        else glDisable(id);
    }
}

void SwitchToLineLight(const SceneLighting& lighting) {
    for (int role = FrontLight; role < kSceneLights; ++role)
        glDisable(static_cast<GLenum>(GL_LIGHT0 + lighting.lights[role].Id()));
    glEnable(static_cast<GLenum>(GL_LIGHT0 + lighting.Light(LineLight).Id()));
}

}  // namespace velm
