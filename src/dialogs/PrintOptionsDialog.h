#pragma once
// "Printing/Clip board Options", modal: the memory a picture may take and
// the colour depth of printed and copied pictures.
#include <QDialog>

#include "dialogs/PrintOptionsForm.h"

class QComboBox;
class QLineEdit;
class QRadioButton;

namespace velm {

class UiHooks;

class CPrintOptionsDialog : public QDialog {
    Q_OBJECT
public:
    CPrintOptionsDialog(QWidget* parent, ViewSettings& settings, UiHooks& ui);
    PrintOptionsForm Form() const;
    void accept() override;

    QRadioButton *asNeeded, *limited;
    QLineEdit* limitKb;
    QComboBox* depth;

private:
    ViewSettings& settings_;
    UiHooks& ui_;
};

}  // namespace velm
