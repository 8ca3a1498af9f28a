#pragma once
// "Open Coordiante and Trajectory": a coordinate file and a trajectory read
// together into a new molecule. A refused or failed read keeps it open.
#include <QDialog>

#include "dialogs/DocumentForms.h"

class QButtonGroup;
class QComboBox;

namespace velm {

class FileNameRow;

class COpenCoordinatesAndTrajectoryDialog : public QDialog {
    Q_OBJECT
public:
    COpenCoordinatesAndTrajectoryDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui);
    void accept() override;
    CoordinateAndTrajectoryForm Form() const;

    QComboBox* coordinateType;
    FileNameRow* coordinates;
    QComboBox* trajectoryType;
    FileNameRow* trajectory;
    QButtonGroup* readMode;

private:
    CVelmDoc& document_;
    UiHooks& ui_;
};

}  // namespace velm
