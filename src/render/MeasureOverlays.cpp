#include "render/MeasureOverlays.h"

#include "measure/Measurement.h"
#include "measure/TorsionAdjuster.h"
#include "render/Scene.h"

namespace velm {

void ShowMeasurementMarkers(Scene& scene, Measurement& measurement, bool windowOpen) {
    scene.markers.clear();
    if (!windowOpen || measurement.Count() == 0) return;
    measurement.Recompute();
    for (int i = 0; i < measurement.Count(); ++i)
        scene.markers.push_back({{measurement.X(i), measurement.Y(i), measurement.Z(i)}, measurement.Colour(i)});
}

void ShowTorsionSelection(Scene& scene, const TorsionAdjuster& torsion, bool windowOpen) {
    TorsionSelection& shown = scene.torsion;
    shown.toolOpen = windowOpen;
    shown.molecule = torsion.GetMolecule();
    shown.atom1 = torsion.AtomA();
    shown.atom2 = torsion.AtomB();
    shown.moving = torsion.Moving();
}

}  // namespace velm
