#pragma once
// The picture batch mode takes: the document's molecules drawn as the
// options say, in a view of the given size, written as a PNG or BMP file.
#include <optional>
#include <string>

#include "model/RenderMode.h"
#include "render/ColourSchemes.h"
#include "render/GraphicsQuality.h"
#include "render/RadiusSchemes.h"
#include "render/ViewSettings.h"

namespace velm {

class CVelmDoc;

struct ImageOptions {
    std::string path;             // empty: no picture
    int width = 800, height = 600;  // the view; the picture is all of it
    std::optional<RenderMode> mode;
    std::optional<ColourScheme> colour;
    std::optional<RadiusScheme> radius;
    GraphicsQuality quality = GraphicsQuality::Medium;
    int frame = 0;
    ColourF background{0, 0, 0, 1};
    bool stereo = false, depthCue = true;
    bool labels = false, axes = false, solvent = false, monitors = false;
};

// Applies the options to every molecule, draws the scene off screen and
// writes the file; throws VelmError.
void WriteSceneImage(CVelmDoc& document, const ImageOptions& options);

}  // namespace velm
