#include "app/MeasureWindows.h"

#include "app/ViewController.h"
#include "dialogs/MeasureDialog.h"
#include "dialogs/TorsionDialog.h"
#include "render/Pick.h"

namespace velm {

MeasureWindows::MeasureWindows(QWidget* parent, CVelmDoc& document, ViewController& view)
    : parent_(parent), view_(view), measureForm_(document, view.scene), torsionForm_(document, view.scene) {}

MeasureWindows::~MeasureWindows() {
    // The windows are the frame's children, but they show these forms: they go first.
    delete measure_.data();
    delete torsion_.data();
}

void MeasureWindows::OpenMeasure() {
    if (!measure_) {
        measure_ = new CMeasureDialog(parent_, measureForm_, [this] { view_.Redraw(); });
        measure_->setAttribute(Qt::WA_DeleteOnClose);
        measure_->Refresh();
    }
    measure_->show();
    measure_->raise();
}

void MeasureWindows::OpenTorsion() {
    if (!torsion_) {
        torsion_ = new CTorsionDialog(parent_, torsionForm_, [this] { view_.Redraw(); });
        torsion_->setAttribute(Qt::WA_DeleteOnClose);
        torsion_->Refresh();
    }
    torsion_->show();
    torsion_->raise();
    view_.Redraw();
}

void MeasureWindows::Picked(const PickResult& hit) {
    measureForm_.Picked(hit);
    torsionForm_.Picked(hit);
}

}  // namespace velm
