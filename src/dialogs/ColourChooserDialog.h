#pragma once
// "Color": red, green, blue and alpha from 0 to 255, modeless. Its owner
// hears OK, Cancel and Apply with the colour shown; the dialog itself stays
// until the owner closes it.
#include <QDialog>

#include <array>
#include <functional>

#include "core/Rgba.h"

class QSlider;
class QSpinBox;
class QPushButton;

namespace velm {

class CColourChooserDialog : public QDialog {
    Q_OBJECT
public:
    // told(code, colour): 1 OK, 2 Cancel (also the window's close box), 4 Apply.
    CColourChooserDialog(QWidget* parent, Rgba colour, std::function<void(int, Rgba)> told);

    Rgba Colour() const;
    void SetColour(Rgba colour);
    // Closes without telling the owner, for an owner that is closing itself.
    void Dismiss();

    std::array<QSlider*, 4> sliders{};
    std::array<QSpinBox*, 4> edits{};
    QPushButton *ok, *cancel, *apply;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void(int, Rgba)> told_;
    bool dismissed_ = false;
};

}  // namespace velm
