#pragma once
// The frame's measuring tools: the "Measure" and "Adjust Torsion Angle"
// windows, one of each, with the forms that outlive them (the measurement
// keeps its atoms while its window is closed), and the picks of the view
// handed to whichever is open.
#include <QPointer>

#include <memory>

#include "dialogs/MeasureDialog.h"
#include "dialogs/MeasureForm.h"
#include "dialogs/TorsionDialog.h"
#include "dialogs/TorsionForm.h"

class QWidget;

namespace velm {

class CVelmDoc;
class ViewController;
struct PickResult;

class MeasureWindows {
public:
    MeasureWindows(QWidget* parent, CVelmDoc& document, ViewController& view);
    ~MeasureWindows();
    MeasureWindows(const MeasureWindows&) = delete;
    MeasureWindows& operator=(const MeasureWindows&) = delete;

    // Opens the window unless it is open already; raises it either way.
    void OpenMeasure();
    void OpenTorsion();
    // A pick of the view: an atom for the measurement, a bond for the torsion.
    void Picked(const PickResult& hit);

    CMeasureDialog* Measure() const { return measure_.data(); }
    CTorsionDialog* Torsion() const { return torsion_.data(); }
    MeasureForm& GetMeasureForm() { return measureForm_; }
    TorsionForm& GetTorsionForm() { return torsionForm_; }

private:
    QWidget* parent_;
    ViewController& view_;
    MeasureForm measureForm_;
    TorsionForm torsionForm_;
    QPointer<CMeasureDialog> measure_;
    QPointer<CTorsionDialog> torsion_;
};

}  // namespace velm
