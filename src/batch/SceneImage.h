#pragma once
// The picture batch mode takes: the document's molecules drawn as the
// options say, in a view of the given size, written as a PNG or BMP file.
#include <optional>
#include <string>
#include <utility>

#include "core/Vec3.h"
#include "model/RenderMode.h"
#include "model/VelmSurface.h"
#include "render/ColourSchemes.h"
#include "render/GraphicsQuality.h"
#include "render/RadiusSchemes.h"
#include "render/ViewSettings.h"

namespace velm {

class CVelmDoc;
class UiHooks;
struct Scene;

struct ImageOptions {
    std::string path;             // empty: no picture
    int width = 800, height = 600;  // the view; the picture is all of it
    std::optional<RenderMode> mode;
    std::optional<ColourScheme> colour;
    std::optional<RadiusScheme> radius;
    // Unless given, the user's stored settings (or the built-in ones) hold.
    std::optional<GraphicsQuality> quality;
    int frame = 0;
    std::optional<ColourF> background;
    bool stereo = false, depthCue = true;
    bool labels = false, axes = false, solvent = false, monitors = false;
    Vec3 turn;        // degrees about the screen's x, then y, then z
    double zoom = 1;  // magnification of the fitted scene
    bool clip = false, showClipPlane = false;
    double clipDepth = 0;  // the plane's distance from the centre along its normal, view units
    std::optional<std::pair<int, int>> pick;  // window pixel, y down

    // Molecular surfaces of every molecule, built after the frame, colours
    // and radii are set.
    std::optional<SurfaceStyle> surface;
    std::optional<Rgba> surfaceColour;  // one colour instead of the nearest atoms'
    int surfaceAlpha = 255;             // with the atoms' colours
    float probeRadius = 0;
    std::optional<int> surfaceResolution;  // 0..100
    bool surfaceSolvent = false;
    bool hydrogenBonds = false;  // shown, and recomputed for the scene
    bool defaults = false;       // ignore the user's stored settings
};

// The document's molecules prepared as the options say, in a scene of the
// view's size.
// The user's stored settings are read (never written) unless options.defaults.
void PrepareScene(CVelmDoc& document, const ImageOptions& options, Scene& scene, UiHooks& ui);

// Draws the prepared scene off screen and writes the file; throws VelmError.
void WriteSceneImage(CVelmDoc& document, Scene& scene, const ImageOptions& options, UiHooks& ui);

// What lies under the pixel: "pick=atom serial= name= residue= path=",
// "pick=bond serials=A,B path=" or "pick=none".
std::string PickInScene(CVelmDoc& document, Scene& scene, int x, int y);

}  // namespace velm
