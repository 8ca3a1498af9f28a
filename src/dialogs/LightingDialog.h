#pragma once
// "Lighting", modeless: shows a LightingForm and hands its controls to the
// view on "Apply", on OK (which then closes) and, under "Automatic apply",
// on every change.
#include <QDialog>

#include <array>
#include <functional>

#include "dialogs/LightingForm.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace velm {

class CLightingDialog : public QDialog {
    Q_OBJECT
public:
    CLightingDialog(QWidget* parent, const SceneLighting& lighting, std::function<void(const LightingControls&)> applied);

    const LightingForm& Form() const { return form_; }

    std::array<QPushButton*, LightingForm::kButtons> lights{};
    std::array<QLineEdit*, 3> channels{};
    QSlider *shiny, *specular;
    QLabel *shinyText, *specularText;
    QPushButton *selectColour, *apply, *ok, *close;
    QCheckBox* automaticApply;

private:
    void Changed(bool applyNow);
    void Show();
    void SelectColour();

    LightingForm form_;
    std::function<void(const LightingControls&)> apply_;
    bool showing_ = false;
};

}  // namespace velm
