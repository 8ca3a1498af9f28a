#include "batch/SceneImage.h"

#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "output/ImageExport.h"
#include "output/RenderToDib.h"
#include "render/RenderCommands.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"

namespace velm {

namespace {
constexpr const char* kSource = "SceneImage";
}

void WriteSceneImage(CVelmDoc& doc, const ImageOptions& o) {
    const ImageFormat format = ImageFormatOfPath(o.path);
    if (o.frame >= doc.AnimationFrames())
        VELM_THROW("-frame " + std::to_string(o.frame) + ": the trajectory has frames 0 to " +
                   std::to_string(doc.AnimationFrames() - 1));
    doc.SetFrame(o.frame);

    Scene scene;
    ViewSettings& s = scene.settings;
    s.width = o.width;
    s.height = o.height;
    s.quality.SetLevel(o.quality);
    s.backgroundColor = o.background;
    s.stereo = o.stereo ? 1 : 0;
    s.depthCue = o.depthCue;
    s.showAxes = o.axes;

    for (auto& m : doc.molecules) {
        m->selected = 1;
        m->showLabels = o.labels;
        m->showSolvent = o.solvent;
        m->showMonitors = m->showMonitorLabels = o.monitors;
        if (o.colour) Recolour(*m, doc.elementColours, doc.colourTables, *o.colour);
        if (o.radius) {
            RadiusEdit edit;
            edit.scheme = *o.radius;
            ApplyRadiusEdit(*m, m->radiusTable, edit);
        }
    }
    ApplyRenderMode(s, doc.molecules, o.mode.value_or(WireFrame));
    OnDocumentChanged(scene, doc);

    const Dib dib = RenderToDib(scene, doc.molecules, o.width, o.height, kNoMemoryLimit);
    WriteImageFile(o.path, format, dib, doc.primary ? doc.primary->path : std::string());
}

}  // namespace velm
