#include "dialogs/SurfaceAreaCommand.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

bool CanReportSurfaceArea(const CVelmDoc& document) {
    return document.Primary() && document.Primary()->AtomCount() > 0;
}

bool ReportSurfaceArea(CVelmDoc& document, AreaReportKind kind, UiHooks& ui, AreaReport& report) {
    if (!CanReportSurfaceArea(document)) return false;
    try {
        // A surface built for the report is gone again afterwards; the edit
        // still tells the view, which may have drawn the progress meanwhile.
        document.EditMolecule(*document.Primary(), DocumentChange::Display,
                              [&](Molecule& m) { report = SurfaceAreaReport(m, kind, ui); });
    } catch (const VelmError& e) {
        ui.ProgressEnd();
        ui.Message(e.shownText());
        return false;
    }
    return !report.cancelled;
}

}  // namespace velm
