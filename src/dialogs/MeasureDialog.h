#pragma once
// "Measure", modeless: the Cartesian coordinates of the picked atoms and the
// internal coordinates they define, as the form has them.
#include <QDialog>

#include <array>
#include <functional>

class QLabel;
class QPushButton;

namespace velm {

class MeasureForm;

class CMeasureDialog : public QDialog {
    Q_OBJECT
public:
    // redraw: the view shows the markers again.
    CMeasureDialog(QWidget* parent, MeasureForm& form, std::function<void()> redraw);
    ~CMeasureDialog() override;

    // Shows the form's table.
    void Refresh();

    std::array<std::array<QLabel*, 5>, 4> cartesian{};
    std::array<QLabel*, 6> internal{};
    QPushButton* clear;
    QPushButton* monitor;

private:
    MeasureForm& form_;
    std::function<void()> redraw_;
};

}  // namespace velm
