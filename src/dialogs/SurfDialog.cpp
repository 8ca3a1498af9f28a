#include "dialogs/SurfDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/UiHooks.h"
#include "dialogs/ColourChooserDialog.h"
#include "model/SequenceTool.h"

namespace velm {

CSurfOptProperty::CSurfOptProperty(QWidget* parent, SurfaceOptionsForm& form) : QWidget(parent), form_(form) {
    resolution = new QSlider(Qt::Horizontal, this);
    resolution->setRange(0, 100);
    resolution->setValue(form_.resolutionPosition);
    connect(resolution, &QSlider::valueChanged, this, [this](int v) { form_.SetResolution(v); });
    auto* marks = new QHBoxLayout;
    marks->addWidget(new QLabel(QStringLiteral("Low"), this));
    marks->addStretch(1);
    marks->addWidget(new QLabel(QStringLiteral("Med."), this));
    marks->addStretch(1);
    marks->addWidget(new QLabel(QStringLiteral("High"), this));
    method = new QComboBox(this);
    method->addItem(QString::fromLatin1(SurfaceOptionsForm::kMethod));
    solvent = new QCheckBox(QStringLiteral("Include solvent atoms in surface"), this);
    solvent->setChecked(form_.includeSolvent);
    connect(solvent, &QCheckBox::toggled, this, [this](bool on) { form_.includeSolvent = on; });
    probe = new QLineEdit(QString::fromStdString(form_.probeText), this);
    rebuild = new QPushButton(QStringLiteral("Rebuild Surface"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Surface Resolution:"), this));
    layout->addWidget(resolution);
    layout->addLayout(marks);
    layout->addWidget(method);
    layout->addWidget(solvent);
    auto* probeRow = new QFormLayout;
    probeRow->addRow(QStringLiteral("Probe Sphere Radius:"), probe);
    layout->addLayout(probeRow);
    layout->addWidget(rebuild);
    layout->addWidget(new QLabel(QString::fromLatin1(SurfaceOptionsForm::kNote), this));
    layout->addStretch(1);
}

bool CSurfOptProperty::Validate(UiHooks& ui) {
    form_.probeText = probe->text().toStdString();
    if (const std::string p = form_.ProbeProblem(); !p.empty()) {
        ui.Message(p);
        probe->setFocus();
        probe->selectAll();
        return false;
    }
    return true;
}

CSurfColorProperty::CSurfColorProperty(QWidget* parent, SurfaceOptionsForm& form, std::function<void()> changed)
    : QWidget(parent), form_(form), changed_(std::move(changed)) {
    byAtom = new QRadioButton(QStringLiteral("Color by atom"), this);
    userColour = new QRadioButton(QStringLiteral("User defined color"), this);
    auto* group = new QButtonGroup(this);
    group->addButton(byAtom);
    group->addButton(userColour);
    (form_.colourByAtom ? byAtom : userColour)->setChecked(true);
    transparency = new QCheckBox(QStringLiteral("Enable Surface Transparency"), this);
    transparency->setChecked(form_.transparency);
    alpha = new QSlider(Qt::Horizontal, this);
    alpha->setRange(0, 255);
    alpha->setValue(form_.alpha);
    alphaText = new QLabel(QString::fromStdString(form_.AlphaText()), this);
    auto* grid = new QGridLayout;
    const char* names[4] = {"R", "G", "B", "A"};
    for (int i = 0; i < 4; ++i) {
        auto* edit = new QLineEdit(this);
        edit->setMaximumWidth(50);
        components[static_cast<size_t>(i)] = edit;
        grid->addWidget(new QLabel(QString::fromLatin1(names[i]), this), 0, 2 * i);
        grid->addWidget(edit, 0, 2 * i + 1);
        connect(edit, &QLineEdit::editingFinished, this, [this, i, edit] {
            const bool taken = form_.SetComponent(i, edit->text().toStdString());
            edit->setText(QString::number(form_.Component(i)));  // a value outside 0..255 is not taken
            if (taken) changed_();
        });
    }
    ShowComponents();
    chooseColour = new QPushButton(QStringLiteral("Color ..."), this);
    connect(chooseColour, &QPushButton::clicked, this, &CSurfColorProperty::ChooseColour);
    automaticApply = new QCheckBox(QStringLiteral("Automatic apply"), this);
    automaticApply->setChecked(form_.automaticApply);

    connect(byAtom, &QRadioButton::toggled, this, [this](bool on) {
        form_.colourByAtom = on;
        Enable();
        changed_();
    });
    connect(transparency, &QCheckBox::toggled, this, [this](bool on) {
        form_.transparency = on;
        Enable();
        changed_();
    });
    connect(alpha, &QSlider::valueChanged, this, [this](int v) {
        form_.SetAlpha(v);
        alphaText->setText(QString::fromStdString(form_.AlphaText()));
        changed_();
    });
    connect(automaticApply, &QCheckBox::toggled, this, [this](bool on) { form_.automaticApply = on; });

    auto* alphaRow = new QHBoxLayout;
    alphaRow->addWidget(alpha, 1);
    alphaRow->addWidget(alphaText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(byAtom);
    layout->addWidget(transparency);
    layout->addLayout(alphaRow);
    layout->addWidget(userColour);
    layout->addLayout(grid);
    layout->addWidget(chooseColour);
    layout->addWidget(automaticApply);
    layout->addStretch(1);
    Enable();
}

void CSurfColorProperty::Enable() {
    transparency->setEnabled(form_.TransparencyEnabled());
    alpha->setEnabled(form_.AlphaEnabled());
    for (QLineEdit* e : components) e->setEnabled(form_.ComponentsEnabled());
    if (chooseColour) chooseColour->setEnabled(form_.ComponentsEnabled());
}

void CSurfColorProperty::ShowComponents() {
    for (int i = 0; i < 4; ++i) components[static_cast<size_t>(i)]->setText(QString::number(form_.Component(i)));
}

void CSurfColorProperty::ChooseColour() {
    // Its Apply (every change under "Automatic apply") and its OK both fill the four edits.
    if (!picker_) {
        const Rgba start{static_cast<std::uint8_t>(form_.Component(0)), static_cast<std::uint8_t>(form_.Component(1)),
                         static_cast<std::uint8_t>(form_.Component(2)), static_cast<std::uint8_t>(form_.Component(3))};
        picker_ = new CColourChooserDialog(this, start, [this](int code, Rgba c) {
            if (code == ChooserOk || code == ChooserApply) Picked(c);
            if (code != ChooserApply) ClosePicker();
        });
        picker_->setAttribute(Qt::WA_DeleteOnClose);
    }
    picker_->show();
    picker_->raise();
}

void CSurfColorProperty::Picked(Rgba c) {
    const int values[4] = {c.r, c.g, c.b, c.a};
    for (int i = 0; i < 4; ++i) form_.SetComponent(i, std::to_string(values[i]));
    ShowComponents();
    changed_();
}

CColourChooserDialog* CSurfColorProperty::Picker() const { return picker_.data(); }

void CSurfColorProperty::ClosePicker() {
    if (picker_) picker_->Dismiss();
}

CSurfDialog::CSurfDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui, Page page)
    : QDialog(parent), document_(document), ui_(ui), form_(document) {
    setWindowTitle(QStringLiteral("Surface Options"));
    setModal(false);
    pages = new QTabWidget(this);
    renderPage = new CSurfOptProperty(pages, form_);
    colorPage = new CSurfColorProperty(pages, form_, [this] { form_.ColourChanged(document_, ui_); });
    pages->addTab(renderPage, QStringLiteral("Render"));
    pages->addTab(colorPage, QStringLiteral("Color"));
    pages->setCurrentIndex(page);
    connect(renderPage->rebuild, &QPushButton::clicked, this, &CSurfDialog::Rebuild);

    apply = new QPushButton(QStringLiteral("Apply"), this);
    ok = new QPushButton(QStringLiteral("OK"), this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(apply, &QPushButton::clicked, this, &CSurfDialog::Apply);
    connect(ok, &QPushButton::clicked, this, &CSurfDialog::Ok);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pages);
    layout->addLayout(buttons);
}

bool CSurfDialog::Validate() {
    if (renderPage->Validate(ui_)) return true;
    pages->setCurrentWidget(renderPage);
    renderPage->probe->setFocus();
    return false;
}

void CSurfDialog::Apply() {
    if (Validate()) form_.Apply(document_, ui_);
}

void CSurfDialog::Ok() {
    if (!Validate()) return;
    colorPage->ClosePicker();
    if (form_.Ok(document_, ui_)) accept();
}

void CSurfDialog::reject() {
    colorPage->ClosePicker();
    QDialog::reject();
}

void CSurfDialog::Rebuild() {
    if (Validate()) form_.Rebuild(document_, ui_);
}

}  // namespace velm
