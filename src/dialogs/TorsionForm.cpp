#include "dialogs/TorsionForm.h"

#include <algorithm>
#include <cstdio>

#include "model/VelmDoc.h"
#include "render/MeasureOverlays.h"
#include "render/Pick.h"
#include "render/Scene.h"

namespace velm {

TorsionForm::TorsionForm(CVelmDoc& document, Scene& scene) : document_(document), scene_(scene) {
    document_.AddObserver(*this);
}

TorsionForm::~TorsionForm() {
    document_.RemoveObserver(*this);
    scene_.torsion.Clear();
}

void TorsionForm::Open() {
    open_ = true;
    position_ = adjuster_.CanTurn() ? static_cast<int>(std::lround(adjuster_.Current())) + 180 : kSliderMaximum;
    Show();
}

void TorsionForm::Close() {
    open_ = false;
    Show();
}

bool TorsionForm::Picked(const PickResult& hit) {
    if (!open_ || hit.kind != PickResult::BondHit || !hit.molecule) return false;
    adjuster_.SelectBond(*hit.molecule, hit.index);
    position_ = 180;
    Show();
    return true;
}

void TorsionForm::SliderMoved(int position) {
    position_ = std::clamp(position, kSliderMinimum, kSliderMaximum);
    if (adjuster_.CanTurn()) adjuster_.RotateTo(document_, static_cast<float>(position_ - 180));
    if (changed) changed();
}

void TorsionForm::SetAngle(float radians) {
    if (!(radians >= -3.1415927f && radians <= 3.1415927f)) radians = 0;
    position_ = static_cast<int>(radians * 57.29577791868204 + 180);
    if (changed) changed();
}

std::string TorsionForm::Label() const {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", (position_ - 180) * 0.017453293);
    return text;
}

void TorsionForm::DocumentChanged(DocumentChange what) {
    // The view forgets the bond when molecules or trajectories come or go:
    // the molecule it names may be gone.
    if (!Any(what, DocumentChange::Molecules | DocumentChange::Frames) || !adjuster_.Selected()) return;
    adjuster_.Deselect();
    position_ = kSliderMaximum;
    Show();
}

void TorsionForm::Show() {
    ShowTorsionSelection(scene_, adjuster_, open_);
    if (changed) changed();
}

}  // namespace velm
