#pragma once
// Everything the render pass draws besides the molecules themselves: the
// view's settings and lights, and the overlays that measurement, torsion and
// hydrogen-bond tools hand to the view.
#include <functional>
#include <string>
#include <vector>

#include "core/List.h"
#include "core/Rgba.h"
#include "core/Vec3.h"
#include "model/DisplayHBond.h"
#include "model/Trackball.h"
#include "render/ClipPlane.h"
#include "render/SceneLight.h"
#include "render/ViewSettings.h"

namespace velm {

class Molecule;

// A picked atom of the measurement tool, already in scene coordinates.
struct MeasurementMarker {
    Vec3 position;
    Rgba colour;  // the atom's; drawn with alpha 150
};

// The bond chosen for torsion adjustment, drawn as a washer while the
// torsion tool is open.
struct TorsionSelection {
    const Molecule* molecule = nullptr;
    int atom1 = -1, atom2 = -1;
    std::vector<int> moving;  // atoms that turn with the torsion
    bool toolOpen = false;

    bool Shown(const Molecule* m) const { return toolOpen && molecule == m && atom1 >= 0 && atom2 >= 0 && !moving.empty(); }
    void Clear() { *this = TorsionSelection{}; }
};

struct Scene {
    ViewSettings settings;
    SceneLighting lighting;
    Trackball trackball;  // the whole scene's orientation
    ClipPlane clip;
    // The display offset of the only molecule when exactly one is loaded:
    // where the clipping plane's classification centres.
    Vec3 clipCentre;

    // Overlays, filled by their tools; empty ones draw nothing.
    std::vector<MeasurementMarker> markers;
    const list<DisplayHBond>* hydrogenBonds = nullptr;  // the document's, drawn while settings.showHBonds
    TorsionSelection torsion;
    // Told once per context when the shader path cannot be built and the
    // 1.1 path draws instead: the status bar, or stderr in batch.
    std::function<void(const std::string&)> fallbackNotice;

};

}  // namespace velm
