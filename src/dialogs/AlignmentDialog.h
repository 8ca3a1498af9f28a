#pragma once
// "Select Alignment Atoms", modeless: it shows an AlignmentForm.
#include <QDialog>

#include <array>
#include <functional>

#include "dialogs/AlignmentForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace velm {

class CVelmDoc;

class CAlignmentDialog : public QDialog {
    Q_OBJECT
public:
    CAlignmentDialog(QWidget* parent, CVelmDoc& document);

    AlignmentForm& Form() { return form_; }
    // The form's state into the controls.
    void Refresh();
    // "Add ..." of a side: "Select Atoms" for it, its OK appended.
    void AddAtoms(int side);

    std::array<QComboBox*, 2> molecules{};
    std::array<QPushButton*, 2> add{}, remove{};
    QTableWidget* list;
    QPushButton *align, *rmsd, *cancel;
    QLabel* rmsdText;
    QCheckBox *massWeighting, *autoUpdate;

private:
    void DeleteAtoms(int side);

    AlignmentForm form_;
    bool refreshing_ = false;
};

}  // namespace velm
