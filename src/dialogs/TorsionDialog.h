#pragma once
// "Adjust Torsion Angle", modeless: the slider that turns the picked bond,
// its label, and the note of a refused ring bond.
#include <QDialog>

#include <functional>

class QLabel;
class QSlider;

namespace velm {

class TorsionForm;

class CTorsionDialog : public QDialog {
    Q_OBJECT
public:
    // redraw: the view shows the bond or the turned atoms again.
    CTorsionDialog(QWidget* parent, TorsionForm& form, std::function<void()> redraw);
    ~CTorsionDialog() override;

    void Refresh();

    QSlider* slider;
    QLabel* label;
    QLabel* note;

private:
    TorsionForm& form_;
    std::function<void()> redraw_;
};

}  // namespace velm
