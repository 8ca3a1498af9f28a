#pragma once
// The surface options sheet, modeless: the "Render" and "Color" pages over
// one SurfaceOptionsForm, with "Apply", "OK" and "Cancel" under them.
#include <QDialog>
#include <QPointer>

#include <array>
#include <functional>

#include "core/Rgba.h"
#include "dialogs/SurfaceOptionsForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QTabWidget;

namespace velm {

class CColourChooserDialog;

class CSurfOptProperty : public QWidget {
    Q_OBJECT
public:
    CSurfOptProperty(QWidget* parent, SurfaceOptionsForm& form);
    // Takes the fields into the form; false (focus on the field, message
    // shown) when the probe radius is not valid.
    bool Validate(UiHooks& ui);

    QSlider* resolution;
    QComboBox* method;
    QCheckBox* solvent;
    QLineEdit* probe;
    QPushButton* rebuild;

private:
    SurfaceOptionsForm& form_;
};

class CSurfColorProperty : public QWidget {
    Q_OBJECT
public:
    // changed: a value on the page changed (applied at once under "Automatic apply").
    CSurfColorProperty(QWidget* parent, SurfaceOptionsForm& form, std::function<void()> changed);
    void Enable();
    void ShowComponents();
    // The colour picker "Color ..." opened, if it is open.
    CColourChooserDialog* Picker() const;
    void ClosePicker();

    QRadioButton *byAtom, *userColour;
    QCheckBox* transparency;
    QSlider* alpha;
    QLabel* alphaText;
    std::array<QLineEdit*, 4> components{};
    QPushButton* chooseColour = nullptr;
    QCheckBox* automaticApply;

private:
    void ChooseColour();
    void Picked(Rgba colour);

    QPointer<CColourChooserDialog> picker_;
    SurfaceOptionsForm& form_;
    std::function<void()> changed_;
};

class CSurfDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { RenderPage = 0, ColorPage = 1 };
    CSurfDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui, Page page);

    CSurfOptProperty* renderPage;
    CSurfColorProperty* colorPage;
    QTabWidget* pages;
    QPushButton *apply, *ok, *cancel;

    const SurfaceOptionsForm& Form() const { return form_; }
    void reject() override;

private:
    bool Validate();
    void Apply();
    void Ok();
    void Rebuild();

    CVelmDoc& document_;
    UiHooks& ui_;
    SurfaceOptionsForm form_;
};

}  // namespace velm
