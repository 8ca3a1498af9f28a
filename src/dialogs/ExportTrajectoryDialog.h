#pragma once
// "Export Trajectory", modal: the file, its type and the range of frames.
#include <QDialog>

#include "dialogs/ExportTrajectoryForm.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace velm {

class CExportTrajectoryDialog : public QDialog {
    Q_OBJECT
public:
    CExportTrajectoryDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui);
    ExportTrajectoryForm Form() const;
    void accept() override;

    QLineEdit* name;
    QComboBox* fileType;
    QCheckBox* entire;
    QSpinBox *start, *stop;

private:
    void Browse();

    CVelmDoc& document_;
    UiHooks& ui_;
};

}  // namespace velm
