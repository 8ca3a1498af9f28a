#pragma once
// Atom-pair monitors made from measured atoms, kept with their molecule like
// the ones its file named. Every change goes through the document, which
// announces it as a display change.
#include "core/Rgba.h"

namespace velm {

class CVelmDoc;
class Measurement;
class Molecule;

// The colour a monitor made here takes (the selection colour's yellow).
inline constexpr Rgba kMeasuredMonitorColour{255, 255, 0, 255};

// A monitor between atoms a and b labelled one more than the highest label
// the molecule has; the same pair, in either order, is not added twice.
// False when nothing was added (a bad index, a = b, already there).
bool AddMonitor(CVelmDoc& document, Molecule& molecule, int a, int b);
// The monitor between a and b, in either order; false when there is none.
bool RemoveMonitor(CVelmDoc& document, Molecule& molecule, int a, int b);
void ClearMonitors(CVelmDoc& document, Molecule& molecule);

// The measured atoms A and B as a monitor, added or, when there is one
// already, removed; false when A and B are not two atoms of one molecule.
bool ToggleMonitorOfMeasurement(CVelmDoc& document, const Measurement& measurement);

}  // namespace velm
