#include "dialogs/FileNameRow.h"

#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace velm {

FileNameRow::FileNameRow(QWidget* parent, Purpose purpose) : QWidget(parent), purpose_(purpose) {
    name = new QLineEdit(this);
    name->setMinimumWidth(280);
    auto* browse = new QPushButton(QStringLiteral("Browse ..."), this);
    connect(browse, &QPushButton::clicked, this, &FileNameRow::Browse);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(name, 1);
    layout->addWidget(browse);
}

void FileNameRow::Browse() {
    // Starting in the current directory, as the program's file dialogs do.
    const QString start = name->text().isEmpty() ? QDir::currentPath() : name->text();
    const QString chosen = purpose_ == Open ? QFileDialog::getOpenFileName(this, QString(), start, filter)
                                            : QFileDialog::getSaveFileName(this, QString(), start, filter);
    if (!chosen.isEmpty()) name->setText(chosen);
}

}  // namespace velm
