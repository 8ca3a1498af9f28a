#include "dialogs/MeasureDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "dialogs/MeasureForm.h"

namespace velm {

namespace {
QLabel* ValueLabel(QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("-0000.000")));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}
}  // namespace

CMeasureDialog::CMeasureDialog(QWidget* parent, MeasureForm& form, std::function<void()> redraw)
    : QDialog(parent), form_(form), redraw_(std::move(redraw)) {
    setWindowTitle(QStringLiteral("Measure"));
    setModal(false);
    auto* cartesianBox = new QGroupBox(QStringLiteral("Cartesian"), this);
    auto* grid = new QGridLayout(cartesianBox);
    for (size_t c = 0; c < kCartesianColumns.size(); ++c)
        grid->addWidget(new QLabel(QString::fromLatin1(kCartesianColumns[c]), cartesianBox), 0, static_cast<int>(c) + 1,
                        Qt::AlignRight);
    for (size_t r = 0; r < kCartesianRows.size(); ++r) {
        grid->addWidget(new QLabel(QString::fromLatin1(kCartesianRows[r]), cartesianBox), static_cast<int>(r) + 1, 0);
        for (size_t c = 0; c < kCartesianColumns.size(); ++c) {
            cartesian[r][c] = ValueLabel(cartesianBox);
            grid->addWidget(cartesian[r][c], static_cast<int>(r) + 1, static_cast<int>(c) + 1);
        }
    }
    auto* internalBox = new QGroupBox(QStringLiteral("Internal"), this);
    auto* values = new QGridLayout(internalBox);
    for (size_t i = 0; i < kInternalRows.size(); ++i) {
        values->addWidget(new QLabel(QString::fromLatin1(kInternalRows[i]), internalBox), static_cast<int>(i), 0);
        internal[i] = ValueLabel(internalBox);
        values->addWidget(internal[i], static_cast<int>(i), 1);
    }
    clear = new QPushButton(QStringLiteral("Clear"), this);
    monitor = new QPushButton(QStringLiteral("Monitor A-B"), this);
    monitor->setToolTip(QStringLiteral("Add or remove a monitor between atoms A and B"));
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    connect(clear, &QPushButton::clicked, this, [this] {
        form_.Clear();
        if (redraw_) redraw_();
    });
    connect(monitor, &QPushButton::clicked, this, [this] { form_.ToggleMonitor(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(clear);
    buttons->addWidget(monitor);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cartesianBox);
    layout->addWidget(internalBox);
    layout->addLayout(buttons);

    form_.changed = [this] { Refresh(); };
    form_.Open();
    if (redraw_) redraw_();
}

CMeasureDialog::~CMeasureDialog() {
    form_.changed = nullptr;
    form_.Close();
    if (redraw_) redraw_();
}

void CMeasureDialog::Refresh() {
    const MeasurementTable t = form_.Table();
    for (size_t r = 0; r < cartesian.size(); ++r)
        for (size_t c = 0; c < cartesian[r].size(); ++c) cartesian[r][c]->setText(QString::fromStdString(t.cartesian[r][c]));
    for (size_t i = 0; i < internal.size(); ++i) internal[i]->setText(QString::fromStdString(t.internal[i]));
    const int n = form_.GetMeasurement().Count();
    monitor->setEnabled(n >= 2 && form_.GetMeasurement().At(0).molecule == form_.GetMeasurement().At(1).molecule);
}

}  // namespace velm
