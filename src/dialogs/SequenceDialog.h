#pragma once
// "Sequence Tool", modeless and resizable: the primary molecule's residues
// in a list, "Close" and "Color ..." under it. It shows a SequenceTool.
#include <QDialog>
#include <QPointer>

#include "model/SequenceTool.h"

class QPushButton;
class QTableView;

namespace velm {

class CColourChooserDialog;
class CVelmDoc;
class SequenceRowsModel;

class CSequenceDialog : public QDialog {
    Q_OBJECT
public:
    CSequenceDialog(QWidget* parent, CVelmDoc& document);
    ~CSequenceDialog() override;

    SequenceTool& Tool() { return tool_; }
    CColourChooserDialog* Chooser() const;
    // The rows again into the list, the tool's selection with them.
    void Refill();

    QTableView* list;
    QPushButton *close, *colour;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void ColourClicked();
    void SelectionChanged();
    void ShowSelection();

    SequenceTool tool_;
    SequenceRowsModel* model_;
    QPointer<CColourChooserDialog> chooser_;
    bool showing_ = false;  // the list's selection is being set from the tool
};

}  // namespace velm
