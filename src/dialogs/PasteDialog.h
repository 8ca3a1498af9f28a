#pragma once
// "Paste ASCII Text", modal: where the clipboard's numbers go.
#include <QDialog>

#include <array>

#include "dialogs/PasteForm.h"

class QRadioButton;
class QSpinBox;

namespace velm {

class CPasteDialog : public QDialog {
    Q_OBJECT
public:
    CPasteDialog(QWidget* parent, PasteForm form, CVelmDoc& document, UiHooks& ui);
    PasteForm Form() const;
    void accept() override;

    std::array<QRadioButton*, 2> target{};
    std::array<QRadioButton*, 4> mode{};
    QSpinBox *serial, *start, *stop;

private:
    void EnableFields();

    PasteForm form_;
    CVelmDoc& document_;
    UiHooks& ui_;
};

}  // namespace velm
