#include "dialogs/ExportImageDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

namespace velm {

CExportImageDialog::CExportImageDialog(QWidget* parent, const ExportImageForm& opened,
                                       std::function<bool(const ExportImageForm&)> ok)
    : QDialog(parent), ok_(std::move(ok)) {
    setWindowTitle(QString::fromLatin1(ExportImageForm::kTitle));
    // Any text may be typed; the form's checks say what is wrong with it.
    width = new QLineEdit(QString::fromStdString(opened.width), this);
    height = new QLineEdit(QString::fromStdString(opened.height), this);
    auto* group = new QGroupBox(QStringLiteral("Output dimensions (in pixels)"), this);
    auto* form = new QFormLayout(group);
    form->addRow(QStringLiteral("Width:"), width);
    form->addRow(QStringLiteral("Height:"), height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

ExportImageForm CExportImageDialog::Form() const { return {width->text().toStdString(), height->text().toStdString()}; }

void CExportImageDialog::accept() {
    if (ok_(Form())) QDialog::accept();
}

}  // namespace velm
