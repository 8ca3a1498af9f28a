#include "dialogs/MeasureForm.h"

#include "measure/Monitors.h"
#include "model/VelmDoc.h"
#include "render/MeasureOverlays.h"
#include "render/Pick.h"
#include "render/Scene.h"

namespace velm {

MeasureForm::MeasureForm(CVelmDoc& document, Scene& scene) : document_(document), scene_(scene) {
    document_.AddObserver(*this);
}

MeasureForm::~MeasureForm() {
    document_.RemoveObserver(*this);
    scene_.markers.clear();
}

void MeasureForm::Open() {
    open_ = true;
    Refresh();
}

void MeasureForm::Close() {
    open_ = false;
    scene_.markers.clear();
}

bool MeasureForm::Picked(const PickResult& hit) {
    if (!open_ || hit.kind != PickResult::AtomHit) return false;
    if (!measurement_.AddOrRemovePicked(hit.kind, hit.index, hit.molecule)) return false;
    Refresh();
    return true;
}

void MeasureForm::Clear() {
    measurement_.Clear();
    Refresh();
}

bool MeasureForm::ToggleMonitor() { return ToggleMonitorOfMeasurement(document_, measurement_); }

void MeasureForm::DocumentChanged(DocumentChange what) {
    // Before anything reads an atom: the molecules that went take theirs along.
    const bool dropped = Any(what, DocumentChange::Molecules) && measurement_.KeepAtomsOf(document_.Molecules());
    const DocumentChange moved = DocumentChange::Frames | DocumentChange::CurrentFrame | DocumentChange::Coordinates |
                                 DocumentChange::Display;
    if (dropped || (open_ && measurement_.Count() > 0 && Any(what, moved))) Refresh();
}

void MeasureForm::SceneMoved() {
    if (open_ && measurement_.Count() > 0) Refresh();
}

void MeasureForm::Refresh() {
    ShowMeasurementMarkers(scene_, measurement_, open_);
    if (!open_) measurement_.Recompute();
    if (changed) changed();
}

}  // namespace velm
