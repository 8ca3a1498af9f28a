#pragma once
// "Custom Colors", modeless: shows a CustomColoursForm and follows the
// document while it is open.
#include <QDialog>

#include <array>

#include "core/DocumentObserver.h"
#include "dialogs/CustomColoursForm.h"

class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSlider;

namespace velm {

class CVelmDoc;
class UiHooks;

class CCustomColoursDialog : public QDialog, public DocumentObserver {
    Q_OBJECT
public:
    CCustomColoursDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui);
    ~CCustomColoursDialog() override;

    const CustomColoursForm& Form() const { return form_; }
    void DocumentChanged(DocumentChange what) override;

    std::array<QRadioButton*, kColourSchemes> schemes{};
    QListWidget *elements, *structures;
    QLineEdit *atomNumber, *residueNumber;
    std::array<QLineEdit*, 4> edits{};  // R, G, B, "Alpha:"
    QSlider* alpha;
    QPushButton *selectColour, *apply, *saveColour, *applyColour, *close;

private:
    void Show();
    void SelectColour();

    CVelmDoc& document_;
    UiHooks& ui_;
    CustomColoursForm form_;
    bool showing_ = false;  // the controls are being set from the form
};

}  // namespace velm
