#pragma once
// "Select Atoms", modal: the atoms one side of the alignment may still take,
// filtered by three radio buttons whose choice the alignment keeps.
#include <QDialog>

#include <array>
#include <vector>

#include "dialogs/AlignmentForm.h"

class QListWidget;
class QRadioButton;

namespace velm {

class CSelectAtomsDialog : public QDialog {
    Q_OBJECT
public:
    CSelectAtomsDialog(QWidget* parent, AlignmentForm& form, int side);

    // The highlighted lines' atoms, in list order.
    std::vector<int> Chosen() const;

    QListWidget* list;
    std::array<QRadioButton*, 3> filters{};  // all, heavy, alpha carbons

private:
    void Fill();

    AlignmentForm& form_;
    int side_;
    std::vector<int> shown_;
};

}  // namespace velm
