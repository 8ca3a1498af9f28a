// The scene's lights as GL holds them: apart from the lights themselves, so
// that reading the stored settings needs no GL library.
#include <GL/gl.h>

#include "render/SceneLight.h"

namespace velm {

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
