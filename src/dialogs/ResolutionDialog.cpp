#include "dialogs/ResolutionDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace velm {

CResolutionDialog::CResolutionDialog(QWidget* parent, TessellationQuality& quality, std::function<void()> sent)
    : QDialog(parent), form_(quality.Values()), quality_(quality), sent_(std::move(sent)) {
    setWindowTitle(QStringLiteral("Geometric Resolution/Polygon Count"));
    setModal(false);
    auto* grid = new QGridLayout;
    for (int i = 0; i < kResolutionSliders; ++i) {
        const auto which = static_cast<ResolutionSlider>(i);
        const ResolutionSliderSpec spec = SliderSpec(which);
        auto* slider = new QSlider(Qt::Horizontal, this);
        slider->setRange(spec.minimum, spec.maximum);
        slider->setValue(form_.Position(which));
        slider->setMinimumWidth(200);
        auto* value = new QLabel(QString::fromStdString(form_.ValueText(which)), this);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("0.0000")));
        grid->addWidget(new QLabel(QString::fromLatin1(spec.label), this), i, 0);
        grid->addWidget(slider, i, 1);
        grid->addWidget(value, i, 2);
        sliders[static_cast<size_t>(i)] = slider;
        values[static_cast<size_t>(i)] = value;
        connect(slider, &QSlider::valueChanged, this, [this, which](int v) { Moved(which, v); });
    }
    autoApply = new QCheckBox(QStringLiteral("Auto Apply"), this);
    apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(autoApply, &QCheckBox::toggled, this, [this](bool on) {
        form_.autoApply = on;
        apply->setEnabled(!on);
    });
    connect(apply, &QPushButton::clicked, this, [this] {
        form_.Apply(quality_);
        if (sent_) sent_();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(autoApply);
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void CResolutionDialog::Moved(ResolutionSlider which, int position) {
    form_.Move(which, position, quality_);
    values[static_cast<size_t>(which)]->setText(QString::fromStdString(form_.ValueText(which)));
    if (form_.autoApply && sent_) sent_();
}

}  // namespace velm
