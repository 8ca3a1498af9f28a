#pragma once
// Measure > Surface Area: the primary molecule's report by residue or by
// atom, for the text report window.
#include "surface/AreaReport.h"

namespace velm {

class CVelmDoc;
class UiHooks;

// Whether the items are enabled: a primary molecule with atoms.
bool CanReportSurfaceArea(const CVelmDoc& document);

// The report; false (with the build's failure shown) when there is none to
// show: no primary molecule, a failed build, or one the user cancelled.
bool ReportSurfaceArea(CVelmDoc& document, AreaReportKind kind, UiHooks& ui, AreaReport& report);

}  // namespace velm
