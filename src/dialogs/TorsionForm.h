#pragma once
// "Adjust Torsion Angle": the bond picked while the window is open, and the
// slider that turns its smaller side. The slider runs 0..360, its position
// the rotation in degrees plus 180; the label shows the rotation in radians.
// A bond in a ring is refused: the slider stays disabled and the note says why.
#include <functional>
#include <string>

#include "core/DocumentObserver.h"
#include "measure/TorsionAdjuster.h"

namespace velm {

class CVelmDoc;
struct PickResult;
struct Scene;

class TorsionForm : public DocumentObserver {
public:
    static constexpr int kSliderMinimum = 0, kSliderMaximum = 360, kTickInterval = 20;

    TorsionForm(CVelmDoc& document, Scene& scene);
    ~TorsionForm() override;
    TorsionForm(const TorsionForm&) = delete;
    TorsionForm& operator=(const TorsionForm&) = delete;

    void Open();
    void Close();
    bool IsOpen() const { return open_; }

    // A bond picked in the view while the window is open: selected (or, the
    // selected one, deselected) with the slider in the middle. True when taken.
    bool Picked(const PickResult& hit);
    // The user moved the slider: the bond turns to position - 180 degrees.
    void SliderMoved(int position);
    // The angle set from code, in radians: outside -pi..pi it becomes 0.
    void SetAngle(float radians);

    int SliderPosition() const { return position_; }
    bool SliderEnabled() const { return adjuster_.CanTurn(); }
    // (position - 180) in radians, "%.3g".
    std::string Label() const;
    // Why nothing can turn, when a ring bond was picked; empty otherwise.
    std::string Note() const { return adjuster_.InRing() ? kRingBondText : ""; }

    const TorsionAdjuster& Adjuster() const { return adjuster_; }

    // The window shows the slider, label and note again.
    std::function<void()> changed;

    void DocumentChanged(DocumentChange what) override;

private:
    void Show();

    CVelmDoc& document_;
    Scene& scene_;
    TorsionAdjuster adjuster_;
    int position_ = kSliderMaximum;
    bool open_ = false;
};

}  // namespace velm
