#pragma once
// What the render pass draws over the representations: atom labels,
// monitors, the torsion bond and axes in each molecule's model-view, and
// after all molecules the measurement markers and hydrogen bonds.
#include <span>

#include "core/List.h"
#include "model/DisplayHBond.h"

namespace velm {

class Molecule;
struct DrawContext;
struct MeasurementMarker;
struct TorsionSelection;

// Each shown atom's serial number at the atom, in its colour, unlit and
// without fog.
void DrawAtomLabels(const Molecule& molecule, const DrawContext& context);
// Spheres of 0.15 at both ends, a cylinder of 0.075 between them, and the
// label number at the middle when the molecule shows monitor labels.
void DrawMonitors(const Molecule& molecule, const DrawContext& context);
// A washer of radius 1 and thickness 0.1 at the middle of the selected bond,
// in the selection colour.
void DrawSelectedBond(const Molecule& molecule, const TorsionSelection& torsion, const DrawContext& context);
// Arrows along x, y and z from the molecule's origin, 0.3 x its radius long,
// with their letters, in the inverse of the background colour.
void DrawAxes(const Molecule& molecule, const DrawContext& context);

// In the scene's model-view scaled by 4 / SceneRadius.
// Translucent spheres of 0.4 at the markers, dashed lines between them.
void DrawMeasurementMarkers(std::span<const MeasurementMarker> markers, const DrawContext& context);
// Each bond as six dashes, starting at the acceptor, ends placed in the scene
// by their molecules' trackballs.
void DrawHydrogenBonds(const list<DisplayHBond>& bonds, const DrawContext& context);

}  // namespace velm
