#pragma once
// "Color": red, green, blue and alpha from 0 to 255 over a ColourForm,
// modeless or run modally. Its owner hears OK, Cancel and Apply with the
// colour shown ("Automatic apply" sends Apply on every change); the dialog
// itself stays until the owner closes it.
#include <QDialog>

#include <array>
#include <functional>

#include "core/Rgba.h"
#include "dialogs/ColourForm.h"

class QCheckBox;
class QSlider;
class QSpinBox;
class QPushButton;

namespace velm {

class CColourChooserDialog : public QDialog {
    Q_OBJECT
public:
    // told(code, colour): 1 OK, 2 Cancel (also the window's close box), 4 Apply.
    CColourChooserDialog(QWidget* parent, Rgba colour, std::function<void(int, Rgba)> told, bool alphaUsed = true);

    Rgba Colour() const { return form_.Colour(); }
    void SetColour(Rgba colour);
    // Closes without telling the owner, for an owner that is closing itself.
    void Dismiss();
    // Cancel, Escape and the close box tell the owner Cancel, once.
    void reject() override;

    std::array<QSlider*, 4> sliders{};
    std::array<QSpinBox*, 4> edits{};
    QPushButton *ok, *cancel, *apply;
    QCheckBox* automaticApply;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Moved(int channel, int value);
    void Show();
    void TellCancel();

    ColourForm form_;
    std::function<void(int, Rgba)> told_;
    bool dismissed_ = false;
    bool showing_ = false;
};

}  // namespace velm
