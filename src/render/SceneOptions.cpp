#include "render/SceneOptions.h"

#include "model/ColourSchemes.h"
#include "model/RadiusSchemes.h"
#include "model/VelmDoc.h"
#include "render/CameraControl.h"
#include "render/RenderCommands.h"
#include "render/Scene.h"
#include "surface/HydrogenBonds.h"
#include "surface/SurfaceBuild.h"

namespace velm {

void ApplySceneOptions(Scene& scene, CVelmDoc& doc, const SceneOptions& o, UiHooks& ui) {
    ViewSettings& s = scene.settings;
    if (o.quality) s.quality.SetLevel(*o.quality);
    if (o.background) s.backgroundColor = *o.background;
    if (o.stereo) s.stereo = 1;
    if (!o.depthCue) s.depthCue = false;
    if (!o.multisample) s.multisample = false;
    if (o.axes) s.showAxes = true;

    doc.EditSelected(DocumentChange::Display, [&](Molecule& m) {
        m.showLabels = o.labels;
        m.showSolvent = o.solvent;
        m.showMonitors = m.showMonitorLabels = o.monitors;
        if (o.colour) Recolour(m, doc.elementColours, doc.colourTables, *o.colour);
        if (o.radius) {
            RadiusEdit edit;
            edit.scheme = *o.radius;
            ApplyRadiusEdit(m, m.radiusTable, edit);
        }
    });
    ApplyRenderMode(s, doc, o.mode);
    if (o.zoom > 0) s.SceneRadius = static_cast<float>(s.SceneRadius / o.zoom);

    CameraControl camera(scene, doc.Molecules());
    camera.Turn({1, 0, 0}, o.turn.x);
    camera.Turn({0, 1, 0}, o.turn.y);
    camera.Turn({0, 0, 1}, o.turn.z);

    doc.EditSelected(DocumentChange::Display, [&](Molecule& m) {
        ApplySurfaceOptions(m.surface, o.surfaceOptions);
        if (o.surface) SurfaceStyleCommand(m, *o.surface, ui);
    });
    s.showHBonds = o.hydrogenBonds;
    if (o.hydrogenBonds) RecomputeHydrogenBonds(doc);

    s.clipView = o.clip;
    s.displayClipPlane = o.showClipPlane;
    scene.clip.SetPlane(scene.clip.Normal() * o.clipDepth, scene.clip.Normal(), false);
}

}  // namespace velm
