#pragma once
// "Animate", modeless: the slider and the three buttons, following the
// document's current frame as the view plays.
#include <QDialog>

#include "core/DocumentObserver.h"
#include "dialogs/AnimateForm.h"

class QLabel;
class QPushButton;
class QSlider;

namespace velm {

class CAnimateDialog : public QDialog, public DocumentObserver {
    Q_OBJECT
public:
    CAnimateDialog(QWidget* parent, CVelmDoc& document, AnimationState& animation, std::function<void()> redraw);
    ~CAnimateDialog() override;

    void DocumentChanged(DocumentChange what) override;
    void Refresh();

    QSlider* slider;
    QPushButton *forward, *stop, *reverse;
    QLabel* frame;

private:
    CVelmDoc& document_;
    AnimateForm form_;
};

}  // namespace velm
