#include "dialogs/TrajectoryProgressDialog.h"

#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velm {

CTrajectoryProgressDialog::CTrajectoryProgressDialog(QWidget* parent, const QString& title, int steps)
    : QDialog(parent) {
    setWindowTitle(title);
    setModal(true);
    bar = new QProgressBar(this);
    bar->setRange(0, steps);
    bar->setValue(0);
    bar->setMinimumWidth(300);
    cancel = new QPushButton(QStringLiteral("Cancel"), this);
    connect(cancel, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addLayout(row);
}

void CTrajectoryProgressDialog::SetPosition(int position) { bar->setValue(position); }

}  // namespace velm
