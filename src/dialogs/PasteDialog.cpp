#include "dialogs/PasteDialog.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace velm {

CPasteDialog::CPasteDialog(QWidget* parent, PasteForm form, CVelmDoc& document, UiHooks& ui)
    : QDialog(parent), form_(std::move(form)), document_(document), ui_(ui) {
    setWindowTitle(QString::fromLatin1(PasteForm::kTitle));
    auto* layout = new QVBoxLayout(this);
    for (const std::string& count : {form_.AtomsText(), form_.AlphaCarbonsText(), form_.InputsText()})
        layout->addWidget(new QLabel(QString::fromStdString(count), this));

    auto* targets = new QGroupBox(this);
    auto* targetLayout = new QVBoxLayout(targets);
    for (size_t i = 0; i < target.size(); ++i) {
        target[i] = new QRadioButton(QString::fromLatin1(PasteForm::kTargets[i]), targets);
        targetLayout->addWidget(target[i]);
    }
    target[static_cast<size_t>(form_.options.target)]->setChecked(true);
    layout->addWidget(targets);

    // Any integer may be typed; the paste says what is wrong with it.
    const auto number = [this](int value) {
        auto* box = new QSpinBox(this);
        box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        box->setValue(value);
        return box;
    };
    serial = number(form_.options.serial);
    start = number(form_.options.start);
    stop = number(form_.options.stop);
    auto* modes = new QGroupBox(this);
    auto* modeLayout = new QFormLayout(modes);
    for (size_t i = 0; i < mode.size(); ++i) {
        mode[i] = new QRadioButton(QString::fromLatin1(PasteForm::kModes[i]), modes);
        connect(mode[i], &QRadioButton::toggled, this, &CPasteDialog::EnableFields);
    }
    modeLayout->addRow(mode[0]);
    modeLayout->addRow(mode[1], serial);
    modeLayout->addRow(mode[2]);
    modeLayout->addRow(QStringLiteral("Start"), start);
    modeLayout->addRow(QStringLiteral("Stop"), stop);
    modeLayout->addRow(mode[3]);
    mode[static_cast<size_t>(form_.options.mode)]->setChecked(true);
    layout->addWidget(modes);
    EnableFields();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

PasteForm CPasteDialog::Form() const {
    PasteForm f = form_;
    f.options.target = target[1]->isChecked() ? PasteTarget::Occupancy : PasteTarget::TemperatureFactor;
    for (size_t i = 0; i < mode.size(); ++i)
        if (mode[i]->isChecked()) f.options.mode = static_cast<PasteMode>(i);
    f.options.serial = serial->value();
    f.options.start = start->value();
    f.options.stop = stop->value();
    return f;
}

void CPasteDialog::EnableFields() {
    const PasteForm f = Form();
    serial->setEnabled(f.SerialEnabled());
    start->setEnabled(f.RangeEnabled());
    stop->setEnabled(f.RangeEnabled());
}

void CPasteDialog::accept() {
    if (Form().Accept(document_, ui_)) QDialog::accept();
}

}  // namespace velm
