#pragma once
// "Molecule Selection", modeless: the molecule list with its five buttons,
// read again from the document after every change.
#include <QDialog>

#include "core/DocumentObserver.h"
#include "dialogs/MoleculeListForm.h"

class QPushButton;
class QTreeWidget;

namespace velm {

class CMoleculeListDialog : public QDialog, public DocumentObserver {
    Q_OBJECT
public:
    CMoleculeListDialog(QWidget* parent, CVelmDoc& document);
    ~CMoleculeListDialog() override;

    void DocumentChanged(DocumentChange what) override;
    void Refresh();
    // The chosen rows, in list order.
    std::vector<int> ChosenRows() const;

    QTreeWidget* list;
    QPushButton *deleteButton, *duplicateButton, *fixedFreeButton, *primaryButton, *selectionButton;

private:
    CVelmDoc& document_;
    MoleculeListForm form_;
};

}  // namespace velm
