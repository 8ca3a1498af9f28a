#include "render/SceneColours.h"

#include <algorithm>

namespace velm {

namespace {
// A byte stored as byte / 255 in a float comes back a hair below itself
// when multiplied out: the small margin keeps it from losing one step on
// every open.
std::uint8_t Byte(float v) { return static_cast<std::uint8_t>(std::clamp(v * 255.0 + 1e-3, 0.0, 255.0)); }
float Unit(std::uint8_t b) { return static_cast<float>(b / 255.0); }
}  // namespace

bool SceneColourHasAlpha(SceneColour which) {
    return which == SceneColour::Selection || which == SceneColour::ClipPlane;
}

Rgba SceneColourBytes(const ViewSettings& s, SceneColour which) {
    const float* c = nullptr;
    switch (which) {
    case SceneColour::Background: c = s.backgroundColor.data(); break;
    case SceneColour::Selection: c = s.selectionColor.data(); break;
    case SceneColour::HydrogenBonds: c = s.hBondColor.data(); break;
    case SceneColour::ClipPlane: c = s.clipPlaneColor.data(); break;
    }
    return {Byte(c[0]), Byte(c[1]), Byte(c[2]), SceneColourHasAlpha(which) ? Byte(c[3]) : std::uint8_t{255}};
}

void SetSceneColour(ViewSettings& s, SceneColour which, Rgba colour) {
    const ColourF rgba{Unit(colour.r), Unit(colour.g), Unit(colour.b), Unit(colour.a)};
    switch (which) {
    case SceneColour::Background: s.backgroundColor = {rgba[0], rgba[1], rgba[2], 1}; break;
    case SceneColour::Selection: s.selectionColor = rgba; break;
    case SceneColour::HydrogenBonds: s.hBondColor = {rgba[0], rgba[1], rgba[2]}; break;
    case SceneColour::ClipPlane: s.clipPlaneColor = rgba; break;
    }
}

}  // namespace velm
