#include "dialogs/ColourChooserDialog.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

#include "model/SequenceTool.h"

namespace velm {

CColourChooserDialog::CColourChooserDialog(QWidget* parent, Rgba colour, std::function<void(int, Rgba)> told)
    : QDialog(parent), told_(std::move(told)) {
    setWindowTitle(QStringLiteral("Color"));
    setModal(false);
    auto* grid = new QGridLayout;
    const char* names[4] = {"Red", "Green", "Blue", "Alpha"};
    for (size_t i = 0; i < 4; ++i) {
        sliders[i] = new QSlider(Qt::Horizontal, this);
        sliders[i]->setRange(0, 255);
        sliders[i]->setMinimumWidth(160);
        edits[i] = new QSpinBox(this);
        edits[i]->setRange(0, 255);
        connect(sliders[i], &QSlider::valueChanged, edits[i], &QSpinBox::setValue);
        connect(edits[i], &QSpinBox::valueChanged, sliders[i], &QSlider::setValue);
        const int row = static_cast<int>(i);
        grid->addWidget(new QLabel(QString::fromLatin1(names[i]), this), row, 0);
        grid->addWidget(sliders[i], row, 1);
        grid->addWidget(edits[i], row, 2);
    }
    ok = new QPushButton(QStringLiteral("OK"), this);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    apply = new QPushButton(QStringLiteral("Apply"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { told_(ChooserOk, Colour()); });
    connect(cancel, &QPushButton::clicked, this, [this] { told_(ChooserCancel, Colour()); });
    connect(apply, &QPushButton::clicked, this, [this] { told_(ChooserApply, Colour()); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    SetColour(colour);
}

Rgba CColourChooserDialog::Colour() const {
    const auto byte = [this](size_t i) { return static_cast<std::uint8_t>(edits[i]->value()); };
    return Rgba{byte(0), byte(1), byte(2), byte(3)};
}

void CColourChooserDialog::SetColour(Rgba colour) {
    const int values[4] = {colour.r, colour.g, colour.b, colour.a};
    for (size_t i = 0; i < 4; ++i) edits[i]->setValue(values[i]);
}

void CColourChooserDialog::Dismiss() {
    dismissed_ = true;
    close();
}

void CColourChooserDialog::closeEvent(QCloseEvent* event) {
    // The close box is Cancel; a close the owner asked for tells it nothing.
    if (!dismissed_) {
        dismissed_ = true;
        told_(ChooserCancel, Colour());
    }
    event->accept();
}

}  // namespace velm
