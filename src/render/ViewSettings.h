#pragma once
// The view's scene settings with their built-in values; the settings store
// may override them at start-up. Lights and material are SceneLighting's;
// the trackballs and the clipping plane are kept with camera control.
#include <array>
#include <cstdint>
#include <string>

#include "render/GraphicsQuality.h"

namespace velm {

using Rgba = std::array<float, 4>;
using Rgb = std::array<float, 3>;

struct LabelFont {
    int height = -18;  // negative: character height, as font descriptions store it
    int weight = 700;
    std::string face = "Arial";
};

struct AnimationState {
    bool animating = false;  // redraw continuously
    bool playing = false;    // trajectory playing
    int playDirection = 0;   // 0 forward, 1 reverse
    bool spinning = false;   // momentum
};

struct ViewSettings {
    Rgba backgroundColor{0, 0, 0, 1};  // also the fog colour
    Rgba selectionColor{0, 0.9f, 0, 0.6f};
    Rgb hBondColor{1, 0, 0};
    Rgba clipPlaneColor{0.5f, 0.5f, 0.5f, 0.5f};
    bool depthCue = true;
    bool lineAlias = true;
    bool smooth3D = true;
    float fogDensity = 0.25f;  // inert with linear fog, passed on all the same
    float fieldOfView = 60;    // degrees, vertical
    float SceneRadius = 1;     // the model scale is 4 / SceneRadius
    int stereo = 0;
    float stereoHalfAngle = 3.5f;  // degrees about the vertical axis, per eye
    bool scaleToFit = true;
    TessellationQuality quality;  // Medium
    float lineWidth = 2;
    // Until a stick command sets them, the Sticks values, so that a molecule
    // already in a stick mode draws sensibly.
    float stickBondRadius = 0.175f;
    float stickAtomRadius = 0.175f;
    bool showAxes = false;
    bool showHBonds = false;
    bool momentum = false;
    LabelFont font;
    int fontScaleNumerator = 82;  // output to another device changes the ratio
    int fontScaleDenominator = 82;
    int colourBits = 16;
    int depthBits = 16;
    int width = 0, height = 0;  // from the last resize
    AnimationState animation;
    std::int64_t nowMs = 0, lastFrameMs = 0;
};

}  // namespace velm
