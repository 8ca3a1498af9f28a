#pragma once
// A scene set up in one go: the representation, colours, radii and display
// toggles of every selected molecule, the view's quality, background, stereo
// and fog, a turn and a zoom, the clipping plane, surfaces and hydrogen
// bonds. Batch mode takes them from its command line.
#include <optional>

#include "core/Vec3.h"
#include "model/ColourTables.h"
#include "model/RadiusTable.h"
#include "model/RenderMode.h"
#include "model/VelmSurface.h"
#include "render/GraphicsQuality.h"
#include "render/ViewSettings.h"
#include "surface/SurfaceOptions.h"

namespace velm {

class CVelmDoc;
class UiHooks;
struct Scene;

struct SceneOptions {
    RenderMode mode = WireFrame;
    std::optional<ColourScheme> colour;
    std::optional<RadiusScheme> radius;
    // Unless given, the scene's own settings hold.
    std::optional<GraphicsQuality> quality;
    std::optional<ColourF> background;
    bool stereo = false, depthCue = true, multisample = true;
    bool labels = false, axes = false, solvent = false, monitors = false;
    Vec3 turn;        // degrees about the screen's x, then y, then z
    double zoom = 1;  // magnification of the fitted scene
    bool clip = false, showClipPlane = false;
    double clipDepth = 0;  // the plane's distance from the centre along its normal, view units
    // Surfaces: the options hold for any surface built later too (an area
    // report's); `surface` builds and draws one in that style.
    SurfaceOptions surfaceOptions;
    std::optional<SurfaceStyle> surface;
    bool hydrogenBonds = false;  // shown, and found for the scene
};

// Applies the options to the scene and the document's selected molecules.
// Throws VelmError from a surface build.
void ApplySceneOptions(Scene& scene, CVelmDoc& document, const SceneOptions& options, UiHooks& ui);

}  // namespace velm
