#include "batch/SceneImage.h"

#include <cstdio>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "output/ImageExport.h"
#include "output/RenderToDib.h"
#include "batch/IniSettingsFile.h"
#include "output/SettingsTable.h"
#include "render/CameraControl.h"
#include "surface/HydrogenBonds.h"
#include "surface/SurfaceBuild.h"
#include "render/OffscreenContext.h"
#include "render/Pick.h"
#include "render/RenderCommands.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"

namespace velm {

namespace {
constexpr const char* kSource = "SceneImage";
}

void PrepareScene(CVelmDoc& doc, const ImageOptions& o, Scene& scene, UiHooks& ui) {
    if (o.frame >= doc.AnimationFrames())
        VELM_THROW("-frame " + std::to_string(o.frame) + ": the trajectory has frames 0 to " +
                   std::to_string(doc.AnimationFrames() - 1));
    doc.SetFrame(o.frame);

    ViewSettings& s = scene.settings;
    s.width = o.width;
    s.height = o.height;
    if (!o.defaults) {
        const IniSettingsFile store = IniSettingsFile::UserSettings();
        LoadSettings({scene.settings, scene.lighting}, store);
    }
    if (o.quality) s.quality.SetLevel(*o.quality);
    if (o.background) s.backgroundColor = *o.background;
    if (o.stereo) s.stereo = 1;
    if (!o.depthCue) s.depthCue = false;
    if (o.axes) s.showAxes = true;

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
    if (o.zoom > 0) s.SceneRadius = static_cast<float>(s.SceneRadius / o.zoom);

    CameraControl camera(scene, doc.molecules);
    camera.Turn({1, 0, 0}, o.turn.x);
    camera.Turn({0, 1, 0}, o.turn.y);
    camera.Turn({0, 0, 1}, o.turn.z);

    // The surface options hold for any surface, the one drawn or one built
    // for an area report.
    for (auto& m : doc.molecules) {
        VelmSurface& surface = m->surface;
        surface.colourByAtom = !o.surfaceColour;
        if (o.surfaceColour) surface.userColour = *o.surfaceColour;
        surface.transparencyAlpha = static_cast<std::uint8_t>(o.surfaceAlpha);
        surface.probeRadius = o.probeRadius;
        surface.cellSize = o.probeRadius * o.probeRadius + 3;
        if (o.surfaceResolution) surface.spacing = SpacingFromResolutionPosition(*o.surfaceResolution, surface.spacing);
        surface.includeSolvent = o.surfaceSolvent;
        if (o.surface) SurfaceStyleCommand(*m, *o.surface, ui);
    }
    s.showHBonds = o.hydrogenBonds;
    if (o.hydrogenBonds) RecomputeHydrogenBonds(doc);
    scene.hydrogenBonds = &doc.hydrogenBonds;

    s.clipView = o.clip;
    s.displayClipPlane = o.showClipPlane;
    scene.clip.SetPlane(scene.clip.Normal() * o.clipDepth, scene.clip.Normal(), false);
}

void WriteSceneImage(CVelmDoc& doc, Scene& scene, const ImageOptions& o, UiHooks& ui) {
    const ImageFormat format = ImageFormatOfPath(o.path);
    if (format == ImageFormat::PostScript) {
        ExportPostScript(scene, doc.molecules, o.path, ui);
        return;
    }
    const Dib dib = RenderToDib(scene, doc.molecules, o.width, o.height, kNoMemoryLimit);
    WriteImageFile(o.path, format, dib, doc.primary ? doc.primary->path : std::string());
}

}  // namespace velm

namespace velm {

std::string PickInScene(CVelmDoc& doc, Scene& scene, int x, int y) {
    const ViewSettings& s = scene.settings;
    OffscreenContext context(s.width, s.height);
    PickResult hit;
    {
        SceneRenderer renderer(scene);
        renderer.Initialise();
        renderer.SetProjection();
        hit = Pick(renderer, doc.molecules, x, y, doc.Ui());
    }
    context.Release();
    if (!hit.molecule) return "pick=none";
    const Molecule& m = *hit.molecule;
    char line[256];
    if (hit.kind == PickResult::AtomHit) {
        const Atom& a = m.atoms[static_cast<size_t>(hit.index)];
        const std::string name(a.Name()), residue(a.ResidueName());
        std::snprintf(line, sizeof line, "pick=atom serial=%d name=%s residue=%s%d", a.serial, name.c_str(),
                      residue.c_str(), a.residueNumber);
    } else {
        const Bond& b = m.bonds[static_cast<size_t>(hit.index)];
        std::snprintf(line, sizeof line, "pick=bond serials=%d,%d", m.atoms[static_cast<size_t>(b.first)].serial,
                      m.atoms[static_cast<size_t>(b.second)].serial);
    }
    return line;
}

}  // namespace velm
