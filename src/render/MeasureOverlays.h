#pragma once
// What the measurement and torsion tools show in the scene: the markers of
// the measured atoms while the "Measure" window is open, and the selected
// bond while the "Adjust Torsion Angle" window is open and it can turn.
namespace velm {

class Measurement;
class TorsionAdjuster;
struct Scene;

// Recomputes the measurement first: the markers sit where the atoms are drawn now.
void ShowMeasurementMarkers(Scene& scene, Measurement& measurement, bool windowOpen);
void ShowTorsionSelection(Scene& scene, const TorsionAdjuster& torsion, bool windowOpen);

}  // namespace velm
