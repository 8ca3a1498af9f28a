#include "dialogs/PrintOptionsDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/UiHooks.h"

namespace velm {

CPrintOptionsDialog::CPrintOptionsDialog(QWidget* parent, ViewSettings& settings, UiHooks& ui)
    : QDialog(parent), settings_(settings), ui_(ui) {
    setWindowTitle(QString::fromLatin1(PrintOptionsForm::kTitle));
    const PrintOptionsForm opened = PrintOptionsForm::For(settings);
    auto* group = new QGroupBox(QStringLiteral("Print Job/Copy Memory Usage"), this);
    asNeeded = new QRadioButton(QStringLiteral("Use system memory as needed"), group);
    limited = new QRadioButton(QStringLiteral("Limit system memory to"), group);
    limitKb = new QLineEdit(QString::fromStdString(opened.limitKb), group);
    (opened.limitMemory ? limited : asNeeded)->setChecked(true);
    auto* grid = new QGridLayout(group);
    grid->addWidget(asNeeded, 0, 0, 1, 3);
    grid->addWidget(limited, 1, 0);
    grid->addWidget(limitKb, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Kb"), group), 1, 2);
    depth = new QComboBox(this);
    for (const char* d : PrintOptionsForm::kDepths) depth->addItem(QString::fromLatin1(d));
    depth->setCurrentIndex(opened.depthIndex);
    auto* depthRow = new QHBoxLayout;
    depthRow->addWidget(new QLabel(QStringLiteral("Image color depth:"), this));
    depthRow->addWidget(depth, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(depthRow);
    layout->addWidget(buttons);
}

PrintOptionsForm CPrintOptionsDialog::Form() const {
    PrintOptionsForm f;
    f.limitMemory = limited->isChecked();
    f.limitKb = limitKb->text().toStdString();
    f.depthIndex = depth->currentIndex();
    return f;
}

void CPrintOptionsDialog::accept() {
    const PrintOptionsForm f = Form();
    if (const std::string p = f.Problem(); !p.empty()) {
        ui_.Message(p);
        return;
    }
    f.Accept(settings_);
    QDialog::accept();
}

}  // namespace velm
