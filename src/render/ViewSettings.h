#pragma once
// The view's scene settings with their built-in values; the settings store
// may override them at start-up. Lights and material are SceneLighting's;
// the trackballs and the clipping plane are kept with camera control.
#include <array>
#include <cstdint>

#include "render/GlyphFont.h"
#include "render/GraphicsQuality.h"
#include "render/RendererChoice.h"

namespace velm {

// Scene colours as GL takes them, components 0..1.
using ColourF = std::array<float, 4>;
using RgbF = std::array<float, 3>;

struct AnimationState {
    bool animating = false;  // redraw continuously
    bool playing = false;    // trajectory playing
    int playDirection = 0;   // 0 forward, 1 reverse
    bool spinning = false;   // momentum
};

struct ViewSettings {
    ColourF backgroundColor{0, 0, 0, 1};  // also the fog colour
    ColourF selectionColor{0, 0.9f, 0, 0.6f};
    RgbF hBondColor{1, 0, 0};
    ColourF clipPlaneColor{0.5f, 0.5f, 0.5f, 0.5f};
    bool depthCue = true;
    bool lineAlias = true;
    bool smooth3D = true;
    bool multisample = true;  // pictures and the window multisampled where the context offers it
    float fogDensity = 0.25f;  // inert with linear fog, passed on all the same
    float fieldOfView = 60;    // degrees, vertical
    float SceneRadius = 1;     // the model scale is 4 / SceneRadius
    int stereo = 0;
    float stereoHalfAngle = 3.5f;  // degrees about the vertical axis, per eye
    bool scaleToFit = true;
    TessellationQuality quality;  // Medium
    DrawingPath drawingPath = DrawingPath::Shader;  // the faster, where the context runs it
    // Megabytes of trajectory frames held in memory before they are read on
    // demand; 0: a quarter of the machine's memory. Handed to the document.
    int trajectoryMemory = 0;
    float lineWidth = 2;
    // Until a stick command sets them, the Sticks values, so that a molecule
    // already in a stick mode draws sensibly.
    float stickBondRadius = 0.175f;
    float stickAtomRadius = 0.175f;
    bool clipView = false;          // clip the whole scene
    bool clipSurface = false;       // clip only the molecular surface
    bool displayClipPlane = false;  // draw the plane as a disk
    bool showAxes = false;
    bool showHBonds = false;
    bool momentum = false;
    LabelFontDescription font;  // "Arial", character height 18, weight 700
    int fontScaleNumerator = 82;  // output to another device changes the ratio
    int fontScaleDenominator = 82;
    int printColorDepth = 16;    // bits per pixel of printed and copied pictures: 16 or 24
    int printMemoryLimit = -1;   // KB; -1: use system memory as needed
    int colourBits = 16;
    int depthBits = 16;
    int width = 0, height = 0;  // from the last resize
    AnimationState animation;
    std::int64_t nowMs = 0, lastFrameMs = 0;
};

}  // namespace velm
