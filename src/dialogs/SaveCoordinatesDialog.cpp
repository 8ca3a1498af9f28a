#include "dialogs/SaveCoordinatesDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/FileNameRow.h"

namespace velm {

CSaveCoordinatesDialog::CSaveCoordinatesDialog(QWidget* parent, CVelmDoc& document, UiHooks& ui)
    : QDialog(parent), document_(document), ui_(ui) {
    setWindowTitle(QStringLiteral("Save Coordinates"));
    const SaveCoordinatesForm defaults;
    file = new FileNameRow(this, FileNameRow::Save);
    precision = new QComboBox(this);
    for (int p = SaveCoordinatesForm::kMinimumPrecision; p <= SaveCoordinatesForm::kMaximumPrecision; ++p)
        precision->addItem(QString::number(p), p);
    precision->setCurrentIndex(defaults.precision - SaveCoordinatesForm::kMinimumPrecision);
    fileType = new QComboBox(this);
    const auto& types = SaveCoordinatesForm::FileTypes();
    for (const FileTypeChoice& t : types) fileType->addItem(QString::fromLatin1(t.text), static_cast<int>(t.type));
    file->filter = QString::fromLatin1(types.front().filter);
    connect(fileType, &QComboBox::currentIndexChanged, this, [this, &types](int i) {
        if (i >= 0) file->filter = QString::fromLatin1(types[static_cast<size_t>(i)].filter);
    });
    conect = new QCheckBox(QStringLiteral("Write molecular connectivity (CONECT entries)"), this);
    conect->setChecked(defaults.writeConect);
    normalise = new QCheckBox(QStringLiteral("Normalize Temperature factors"), this);
    normalise->setChecked(defaults.normalise);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("File Name:"), file);
    form->addRow(QStringLiteral("File Precision"), precision);
    form->addRow(QStringLiteral("File Type"), fileType);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(conect);
    layout->addWidget(normalise);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

SaveCoordinatesForm CSaveCoordinatesDialog::Form() const {
    SaveCoordinatesForm f;
    f.path = file->name->text().toStdString();
    f.precision = precision->currentData().toInt();
    f.type = static_cast<FileType>(fileType->currentData().toInt());
    f.writeConect = conect->isChecked();
    f.normalise = normalise->isChecked();
    return f;
}

void CSaveCoordinatesDialog::accept() {
    if (Form().Accept(document_, ui_)) QDialog::accept();
}

}  // namespace velm
