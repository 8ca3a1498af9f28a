#include "dialogs/AboutDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace velm {

CAboutDialog::CAboutDialog(QWidget* parent, const AboutFacts& facts) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About Velm"));
    setMinimumWidth(420);
    auto* layout = new QVBoxLayout(this);
    for (const std::string& line : AboutLines(facts)) {
        auto* label = new QLabel(QString::fromStdString(line), this);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

}  // namespace velm
