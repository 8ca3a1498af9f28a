#pragma once
// "Measure": the measurement of picked atoms, what its window shows, and its
// markers in the scene while the window is open. The measurement lives as
// long as the document (it keeps its atoms while the window is closed), so
// the form observes the document for its whole life: a molecule that goes
// takes its measured atoms with it.
#include <functional>

#include "core/DocumentObserver.h"
#include "measure/Measurement.h"
#include "measure/MeasurementTable.h"

namespace velm {

class CVelmDoc;
struct PickResult;
struct Scene;

class MeasureForm : public DocumentObserver {
public:
    MeasureForm(CVelmDoc& document, Scene& scene);
    ~MeasureForm() override;
    MeasureForm(const MeasureForm&) = delete;
    MeasureForm& operator=(const MeasureForm&) = delete;

    void Open();
    void Close();
    bool IsOpen() const { return open_; }

    // An atom picked in the view: joins or leaves the measurement while the
    // window is open. True when the measurement changed.
    bool Picked(const PickResult& hit);
    // "Clear".
    void Clear();
    // Atoms A and B as a monitor of their molecule, or the monitor removed
    // when there is one; false unless they are two atoms of one molecule.
    bool ToggleMonitor();

    MeasurementTable Table() const { return TabulateMeasurement(measurement_); }
    const Measurement& GetMeasurement() const { return measurement_; }

    // The window shows the table again.
    std::function<void()> changed;

    void DocumentChanged(DocumentChange what) override;
    void SceneMoved() override;

private:
    void Refresh();

    CVelmDoc& document_;
    Scene& scene_;
    Measurement measurement_;
    bool open_ = false;
};

}  // namespace velm
