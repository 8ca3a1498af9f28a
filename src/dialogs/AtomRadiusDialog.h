#pragma once
// "Atom Radius", modeless: shows an AtomRadiusForm; "Apply" sizes the
// primary molecule's atoms, OK also closes, "Cancel" closes.
#include <QDialog>

#include <array>

#include "core/DocumentObserver.h"
#include "dialogs/AtomRadiusForm.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace velm {

class CVelmDoc;
class UiHooks;

class CAtomRadiusDialog : public QDialog, public DocumentObserver {
    Q_OBJECT
public:
    CAtomRadiusDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui);
    ~CAtomRadiusDialog() override;

    const AtomRadiusForm& Form() const { return form_; }
    void DocumentChanged(DocumentChange what) override;

    std::array<QRadioButton*, kRadiusSchemes> schemes{};
    QListWidget* elements;
    QLineEdit *atomNumber, *radius;
    QPushButton *apply, *ok, *cancel;

private:
    void Show();

    CVelmDoc& document_;
    UiHooks& ui_;
    AtomRadiusForm form_;
    bool showing_ = false;
};

}  // namespace velm
