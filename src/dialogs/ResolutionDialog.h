#pragma once
// "Geometric Resolution/Polygon Count", modeless: the sliders of the custom
// graphics quality.
#include <QDialog>

#include <array>
#include <functional>

#include "dialogs/ResolutionForm.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace velm {

class CResolutionDialog : public QDialog {
    Q_OBJECT
public:
    // sent: the view's values changed; it rebuilds its lists and redraws.
    CResolutionDialog(QWidget* parent, TessellationQuality& quality, std::function<void()> sent);

    std::array<QSlider*, kResolutionSliders> sliders{};
    std::array<QLabel*, kResolutionSliders> values{};
    QCheckBox* autoApply;
    QPushButton* apply;

private:
    void Moved(ResolutionSlider slider, int position);

    ResolutionForm form_;
    TessellationQuality& quality_;
    std::function<void()> sent_;
};

}  // namespace velm
