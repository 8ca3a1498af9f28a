#include "dialogs/TorsionDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include "dialogs/TorsionForm.h"

namespace velm {

CTorsionDialog::CTorsionDialog(QWidget* parent, TorsionForm& form, std::function<void()> redraw)
    : QDialog(parent), form_(form), redraw_(std::move(redraw)) {
    setWindowTitle(QStringLiteral("Adjust Torsion Angle"));
    setModal(false);
    slider = new QSlider(Qt::Horizontal, this);
    slider->setRange(TorsionForm::kSliderMinimum, TorsionForm::kSliderMaximum);
    slider->setTickInterval(TorsionForm::kTickInterval);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setMinimumWidth(300);
    label = new QLabel(this);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-0.000")));
    note = new QLabel(this);
    note->setWordWrap(true);
    // Room for the refusal's two lines, so that the window need not grow.
    note->setMinimumHeight(2 * note->fontMetrics().lineSpacing());
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(slider, &QSlider::valueChanged, this, [this](int position) {
        form_.SliderMoved(position);
        if (redraw_) redraw_();
    });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* row = new QHBoxLayout;
    row->addWidget(slider, 1);
    row->addWidget(label);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(note);
    layout->addLayout(buttons);

    form_.changed = [this] { Refresh(); };
    form_.Open();
    if (redraw_) redraw_();
}

CTorsionDialog::~CTorsionDialog() {
    form_.changed = nullptr;
    form_.Close();
    if (redraw_) redraw_();
}

void CTorsionDialog::Refresh() {
    // Positions set from the form are no user's movement.
    const QSignalBlocker quiet(slider);
    slider->setValue(form_.SliderPosition());
    slider->setEnabled(form_.SliderEnabled());
    label->setText(QString::fromStdString(form_.Label()));
    note->setText(QString::fromStdString(form_.Note()));
}

}  // namespace velm
