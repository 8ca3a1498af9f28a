#pragma once
// The view's OpenGL lights: one line light that gives lines and points their
// full colour, six directional solid lights and an ambient light for 3D
// objects, the enable flags of the seven switchable ones and the material
// all 3D objects share.
#include <array>
#include <vector>

namespace velm {

// Hands out light numbers (0 for the first GL light) up to the GL
// implementation's maximum. One per view: a second view or an off-screen
// context gets its own lights, not what is left over from the first.
class LightIds {
public:
    explicit LightIds(int maximum = 8) : maximum_(maximum) {}
    // Throws VelmError "Ehausted supply of OpenGL lights!" past the maximum.
    int Take();

private:
    int next_ = 0;
    int maximum_;
};

using LightVector = std::array<float, 4>;

// A new light is all zeros.
class SceneLight {
public:
    explicit SceneLight(LightIds& ids) : id_(ids.Take()) {}
    LightVector ambient{}, diffuse{}, specular{};
    LightVector position{};  // w = 0: a direction, fixed relative to the eye
    int Id() const { return id_; }

private:
    int id_;
};

// The eight lights in id order.
enum SceneLightRole : int {
    LineLight = 0,
    FrontLight,   // solid light 0
    RightLight,   // solid light 1
    TopLight,     // solid light 2
    BackLight,    // solid light 3
    LeftLight,    // solid light 4
    BottomLight,  // solid light 5
    AmbientLight,
    kSceneLights
};
inline constexpr int kSolidLights = 6;
inline constexpr int kSwitchedLights = 7;  // lights 1..7; flag i belongs to light i + 1

struct Material {
    LightVector specular{0.3f, 0.3f, 0.3f, 0.3f};
    float shininess = 15;  // GL takes 0..128
};

class SceneLighting {
public:
    // Takes the eight light ids; throws VelmError when the GL implementation
    // has fewer than eight lights.
    explicit SceneLighting(int maximumLights = 8);

    std::vector<SceneLight> lights;  // kSceneLights, indexed by SceneLightRole
    std::array<int, kSwitchedLights> on{};
    Material material;

    SceneLight& Light(SceneLightRole role) { return lights[role]; }
    const SceneLight& Light(SceneLightRole role) const { return lights[role]; }
    bool IsOn(SceneLightRole role) const { return role > LineLight && role < kSceneLights && on[role - 1] != 0; }

    // The built-in colours, directions, flags and material.
    void SetDefaults();

private:
    LightIds ids_;
};

// GL calls on the current context, for the renderer.
// GL_MAX_LIGHTS, to build SceneLighting with.
int MaximumGlLights();
// Loads the eight lights and the front-and-back material. Positions go
// through the current model-view: call it under the view's base model-view,
// which has no rotation, so that the lights stay fixed relative to the eye.
void LoadSceneLights(const SceneLighting& lighting);
// Before 3D objects: the line light off, each switched-on light on.
void SwitchToSolidLights(const SceneLighting& lighting);
// After them, and for lines and points: the seven lights off, the line light on.
void SwitchToLineLight(const SceneLighting& lighting);

}  // namespace velm
