#pragma once
// The surface-area reports: a molecule's surface area per residue or per
// atom as text, with the total.
#include <string>

namespace velm {

class Molecule;
class UiHooks;

enum class AreaReportKind { ByResidue, ByAtom };

struct AreaReport {
    std::string caption;  // "Residue Surface Areas (in Angstrom^2)" or "Atomic Surface Areas (in Angstrom^2)"
    std::string text;     // "%d\t%f\r\n" rows, then the total line
    bool cancelled = false;  // the build for the report was stopped: no report
};

// Uses the molecule's surface, or builds one with its options and current
// frame for the report and discards it afterwards, so the display is as it
// was. Throws the build's VelmError; a build the user stops gives an empty,
// cancelled report.
AreaReport SurfaceAreaReport(Molecule& molecule, AreaReportKind kind, UiHooks& ui);

}  // namespace velm
