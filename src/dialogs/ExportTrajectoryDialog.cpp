#include "dialogs/ExportTrajectoryDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace velm {

CExportTrajectoryDialog::CExportTrajectoryDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui)
    : QDialog(parent), document_(document), ui_(ui) {
    setWindowTitle(QStringLiteral("Export Trajectory"));
    const ExportTrajectoryForm opened = ExportTrajectoryForm::For(document);
    name = new QLineEdit(this);
    name->setMinimumWidth(280);
    auto* browse = new QPushButton(QStringLiteral("Browse"), this);
    connect(browse, &QPushButton::clicked, this, &CExportTrajectoryDialog::Browse);
    auto* file = new QHBoxLayout;
    file->addWidget(name, 1);
    file->addWidget(browse);
    fileType = new QComboBox(this);
    fileType->addItem(QString::fromLatin1(ExportTrajectoryForm::kFileType));
    entire = new QCheckBox(QStringLiteral("Export entire trajectory"), this);
    entire->setChecked(opened.entire);
    // Any integer may be typed; the range checks say what is wrong with it.
    const auto number = [this](int value) {
        auto* box = new QSpinBox(this);
        box->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        box->setValue(value);
        box->setEnabled(false);
        return box;
    };
    start = number(opened.start);
    stop = number(opened.stop);
    connect(entire, &QCheckBox::toggled, this, [this](bool all) {
        start->setEnabled(!all);
        stop->setEnabled(!all);
    });

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Enter File Name"), file);
    form->addRow(QStringLiteral("File Type"), fileType);
    form->addRow(entire);
    form->addRow(QStringLiteral("Start"), start);
    form->addRow(QStringLiteral("Stop"), stop);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void CExportTrajectoryDialog::Browse() {
    QFileDialog dialog(this, QString::fromLatin1(ExportTrajectoryForm::kBrowseTitle), QDir::currentPath(),
                       QString::fromLatin1(ExportTrajectoryForm::kBrowseFilter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("pdb"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        name->setText(dialog.selectedFiles().front());
}

ExportTrajectoryForm CExportTrajectoryDialog::Form() const {
    ExportTrajectoryForm f;
    f.path = name->text().toStdString();
    f.entire = entire->isChecked();
    f.start = start->value();
    f.stop = stop->value();
    return f;
}

void CExportTrajectoryDialog::accept() {
    if (Form().Accept(document_, ui_)) QDialog::accept();
}

}  // namespace velm
