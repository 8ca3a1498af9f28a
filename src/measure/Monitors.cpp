#include "measure/Monitors.h"

#include <algorithm>

#include "measure/Measurement.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

int IndexOfPair(const Molecule& m, int a, int b) {
    int i = 0;
    for (const Monitor& monitor : m.monitors) {
        if ((monitor.atom1 == a && monitor.atom2 == b) || (monitor.atom1 == b && monitor.atom2 == a)) return i;
        ++i;
    }
    return -1;
}

}  // namespace

bool AddMonitor(CVelmDoc& document, Molecule& molecule, int a, int b) {
    if (a < 0 || b < 0 || a >= molecule.AtomCount() || b >= molecule.AtomCount() || a == b) return false;
    if (IndexOfPair(molecule, a, b) >= 0) return false;
    int label = 0;
    for (const Monitor& monitor : molecule.monitors) label = std::max(label, monitor.label);
    document.EditMolecule(molecule, DocumentChange::Display,
                          [&](Molecule& m) { m.monitors.Append(Monitor{label + 1, a, b, kMeasuredMonitorColour}); });
    return true;
}

bool RemoveMonitor(CVelmDoc& document, Molecule& molecule, int a, int b) {
    const int i = IndexOfPair(molecule, a, b);
    if (i < 0) return false;
    document.EditMolecule(molecule, DocumentChange::Display, [&](Molecule& m) { m.monitors.Remove(i); });
    return true;
}

void ClearMonitors(CVelmDoc& document, Molecule& molecule) {
    document.EditMolecule(molecule, DocumentChange::Display, [](Molecule& m) { m.monitors.Clear(); });
}

bool ToggleMonitorOfMeasurement(CVelmDoc& document, const Measurement& measurement) {
    if (measurement.Count() < 2) return false;
    const MeasuredAtom& a = measurement.At(0);
    const MeasuredAtom& b = measurement.At(1);
    if (a.molecule != b.molecule || !a.molecule) return false;
    return RemoveMonitor(document, *a.molecule, a.atom, b.atom) || AddMonitor(document, *a.molecule, a.atom, b.atom);
}

}  // namespace velm
