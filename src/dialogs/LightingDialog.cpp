#include "dialogs/LightingDialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace velm {

CLightingDialog::CLightingDialog(QWidget* parent, const SceneLighting& lighting,
                                 std::function<void(const LightingControls&)> applied)
    : QDialog(parent), form_(lighting), apply_(std::move(applied)) {
    setWindowTitle(QString::fromLatin1(LightingForm::kTitle));
    setModal(false);

    // Laid out as they face the viewer: top row Front, Back; then Right,
    // Bottom; Top, Left; Ambient.
    auto* buttons = new QGridLayout;
    for (int i = 0; i < LightingForm::kButtons; ++i) {
        QPushButton* b = new QPushButton(QString::fromLatin1(LightingForm::kButtonTexts[i]), this);
        b->setCheckable(true);
        lights[static_cast<size_t>(i)] = b;
        buttons->addWidget(b, i / 2, i % 2);
        connect(b, &QPushButton::clicked, this, [this, i] { Changed(form_.Toggle(i)); });
    }

    auto* colour = new QGridLayout;
    const char* names[3] = {"R", "G", "B"};
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit(this);
        e->setMaximumWidth(60);
        channels[static_cast<size_t>(i)] = e;
        colour->addWidget(new QLabel(QString::fromLatin1(names[i]), this), i, 0);
        colour->addWidget(e, i, 1);
        // A value outside 0..255 is not taken: the edit shows the channel again.
        connect(e, &QLineEdit::editingFinished, this, [this, i, e] {
            if (!showing_) Changed(form_.TypeChannel(i, e->text().toStdString()));
        });
    }
    selectColour = new QPushButton(QStringLiteral("Select color"), this);
    connect(selectColour, &QPushButton::clicked, this, &CLightingDialog::SelectColour);
    colour->addWidget(selectColour, 3, 0, 1, 2);

    shiny = new QSlider(Qt::Horizontal, this);
    specular = new QSlider(Qt::Horizontal, this);
    shiny->setRange(0, 100);
    specular->setRange(0, 100);
    shinyText = new QLabel(this);
    specularText = new QLabel(this);
    connect(shiny, &QSlider::valueChanged, this, [this](int v) {
        if (!showing_) Changed(form_.SetShiny(v));
    });
    connect(specular, &QSlider::valueChanged, this, [this](int v) {
        if (!showing_) Changed(form_.SetSpecular(v));
    });
    auto* material = new QGridLayout;
    material->addWidget(shiny, 0, 0);
    material->addWidget(shinyText, 0, 1);
    material->addWidget(specular, 1, 0);
    material->addWidget(specularText, 1, 1);

    automaticApply = new QCheckBox(QStringLiteral("Automatic apply"), this);
    apply = new QPushButton(QStringLiteral("Apply"), this);
    ok = new QPushButton(QStringLiteral("OK"), this);
    close = new QPushButton(QStringLiteral("Close"), this);
    connect(automaticApply, &QCheckBox::toggled, this, [this](bool on) {
        form_.automaticApply = on;
        Show();
    });
    connect(apply, &QPushButton::clicked, this, [this] { apply_(form_.Controls()); });
    connect(ok, &QPushButton::clicked, this, [this] {
        apply_(form_.Controls());
        QDialog::close();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto* top = new QHBoxLayout;
    top->addLayout(buttons);
    top->addLayout(colour);
    auto* row = new QHBoxLayout;
    row->addWidget(automaticApply);
    row->addStretch(1);
    row->addWidget(apply);
    row->addWidget(ok);
    row->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(material);
    layout->addLayout(row);
    // Return in a colour edit takes the value, and closes nothing.
    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
    Show();
}

void CLightingDialog::Changed(bool applyNow) {
    Show();
    if (applyNow) apply_(form_.Controls());
}

void CLightingDialog::Show() {
    showing_ = true;
    for (int i = 0; i < LightingForm::kButtons; ++i) lights[static_cast<size_t>(i)]->setChecked(form_.IsOn(i));
    for (int i = 0; i < 3; ++i) channels[static_cast<size_t>(i)]->setText(QString::number(form_.Channel(i)));
    shiny->setValue(form_.Shiny());
    specular->setValue(form_.Specular());
    shinyText->setText(QString::fromStdString(form_.ShinyText()));
    specularText->setText(QString::fromStdString(form_.SpecularText()));
    apply->setEnabled(form_.ApplyEnabled());
    showing_ = false;
}

void CLightingDialog::SelectColour() {
    const QColor start(form_.Channel(0), form_.Channel(1), form_.Channel(2));
    const QColor chosen = QColorDialog::getColor(start, this, QStringLiteral("Select color"));
    if (!chosen.isValid()) return;
    Changed(form_.SetColour(Rgba{static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
                                 static_cast<std::uint8_t>(chosen.blue()), 255}));
}

}  // namespace velm
