#pragma once
// "Save Coordinates": every molecule into one file. A refused or failed
// write keeps it open.
#include <QDialog>

#include "dialogs/DocumentForms.h"

class QCheckBox;
class QComboBox;

namespace velm {

class FileNameRow;

class CSaveCoordinatesDialog : public QDialog {
    Q_OBJECT
public:
    CSaveCoordinatesDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui);
    void accept() override;
    SaveCoordinatesForm Form() const;

    FileNameRow* file;
    QComboBox* precision;
    QComboBox* fileType;
    QCheckBox* conect;
    QCheckBox* normalise;

private:
    CVelmDoc& document_;
    UiHooks& ui_;
};

}  // namespace velm
