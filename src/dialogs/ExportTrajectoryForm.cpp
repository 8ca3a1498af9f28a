#include "dialogs/ExportTrajectoryForm.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
int ListFrames(const CVelmDoc& document) { return document.Primary() ? document.Primary()->FrameCount() : 0; }
}  // namespace

ExportTrajectoryForm ExportTrajectoryForm::For(const CVelmDoc& document) {
    ExportTrajectoryForm f;
    f.stop = ListFrames(document);
    return f;
}

std::string ExportTrajectoryForm::Problem(int frames) const {
    if (path.empty()) return "Please enter a file name.";
    if (entire) return {};
    if (start < 1) return "Invalid limit for trajectory start";
    if (stop > frames) return "Invalid limit for trajectory stop";
    return {};
}

bool ExportTrajectoryForm::Accept(CVelmDoc& document, UiHooks& ui) const {
    const int frames = ListFrames(document);
    if (const std::string p = Problem(frames); !p.empty()) {
        ui.Message(p);
        return false;
    }
    try {
        WaitCursor wait(ui);
        document.ExportTrajectory(path, First(), Last(frames));
        return true;
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
    }
    return false;
}

}  // namespace velm
