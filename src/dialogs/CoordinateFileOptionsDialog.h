#pragma once
// "Coordinate File Options": OK stores the four read options in the document.
#include <QDialog>

#include "dialogs/CoordinateFileOptions.h"

class QCheckBox;
class QButtonGroup;

namespace velm {

class CCoordinateFileOptionsDialog : public QDialog {
    Q_OBJECT
public:
    CCoordinateFileOptionsDialog(QWidget* parent, ReadOptions& options);
    void accept() override;

    QCheckBox* connectivity;
    QCheckBox* secondaryStructure;
    QCheckBox* multiple;
    QButtonGroup* readMode;  // ids Verbatim, ZeroCenterOfMass, Align

private:
    ReadOptions& options_;
};

// The three radio buttons of "Trajectory Read Options" in a group box, ids
// the read modes; shared with the trajectory dialog.
QWidget* MakeReadModeBox(QWidget* parent, QButtonGroup*& group, int mode);

}  // namespace velm
