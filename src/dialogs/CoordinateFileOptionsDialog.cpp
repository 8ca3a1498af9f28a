#include "dialogs/CoordinateFileOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velm {

QWidget* MakeReadModeBox(QWidget* parent, QButtonGroup*& group, int mode) {
    auto* box = new QGroupBox(QStringLiteral("Trajectory Read Options"), parent);
    auto* layout = new QVBoxLayout(box);
    group = new QButtonGroup(box);
    const char* texts[] = {"Verbatim", "Zero center of mass", "Align"};
    for (int id = Verbatim; id <= Align; ++id) {
        auto* button = new QRadioButton(QString::fromLatin1(texts[id]), box);
        group->addButton(button, id);
        layout->addWidget(button);
    }
    if (QAbstractButton* b = group->button(mode)) b->setChecked(true);
    else group->button(Verbatim)->setChecked(true);
    return box;
}

CCoordinateFileOptionsDialog::CCoordinateFileOptionsDialog(QWidget* parent, ReadOptions& options)
    : QDialog(parent), options_(options) {
    setWindowTitle(QStringLiteral("Coordinate File Options"));
    const CoordinateFileOptions now = CoordinateFileOptions::Of(options);
    connectivity = new QCheckBox(QStringLiteral("Compute Molecular Connectivity"), this);
    connectivity->setChecked(now.computeConnectivity);
    secondaryStructure = new QCheckBox(QStringLiteral("Compute Secondary Structure"), this);
    secondaryStructure->setChecked(now.computeSecondaryStructure);
    multiple = new QCheckBox(QStringLiteral("Interpret multiple structures as a trajectory"), this);
    multiple->setChecked(now.multipleAsTrajectory);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(connectivity);
    layout->addWidget(secondaryStructure);
    layout->addWidget(multiple);
    layout->addWidget(MakeReadModeBox(this, readMode, now.readMode));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void CCoordinateFileOptionsDialog::accept() {
    CoordinateFileOptions chosen{connectivity->isChecked(), secondaryStructure->isChecked(), multiple->isChecked(),
                                 readMode->checkedId()};
    chosen.Store(options_);
    QDialog::accept();
}

}  // namespace velm
