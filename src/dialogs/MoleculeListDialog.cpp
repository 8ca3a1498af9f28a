#include "dialogs/MoleculeListDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "model/VelmDoc.h"

namespace velm {

CMoleculeListDialog::CMoleculeListDialog(QWidget* parent, CVelmDoc& document)
    : QDialog(parent), document_(document), form_(document) {
    setWindowTitle(QStringLiteral("Molecule Selection"));
    setModal(false);
    list = new QTreeWidget(this);
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    const auto& columns = MoleculeColumns();
    QStringList headings;
    for (const MoleculeColumn& c : columns) headings << QString::fromLatin1(c.heading);
    list->setHeaderLabels(headings);
    const QFontMetrics metrics = list->header()->fontMetrics();
    int width = 0;
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        const MoleculeColumn& c = columns[static_cast<size_t>(i)];
        // Narrow headings still show whole, with the header's margins.
        const int w = std::max(static_cast<int>(metrics.horizontalAdvance(QString::fromLatin1(c.measured)) * c.factor),
                               metrics.horizontalAdvance(QString::fromLatin1(c.heading)) + 16);
        list->setColumnWidth(i, w);
        width += w;
    }
    list->setMinimumWidth(width + 8);

    deleteButton = new QPushButton(QStringLiteral("Delete"), this);
    duplicateButton = new QPushButton(QStringLiteral("Duplicate"), this);
    fixedFreeButton = new QPushButton(QStringLiteral("Toggle Fixed/Free"), this);
    primaryButton = new QPushButton(QStringLiteral("Make Primary"), this);
    selectionButton = new QPushButton(QStringLiteral("Toggle Selection"), this);
    connect(deleteButton, &QPushButton::clicked, this, [this] { form_.Delete(ChosenRows()); });
    connect(duplicateButton, &QPushButton::clicked, this, [this] { form_.Duplicate(ChosenRows()); });
    connect(fixedFreeButton, &QPushButton::clicked, this, [this] { form_.ToggleFixedFree(ChosenRows()); });
    connect(primaryButton, &QPushButton::clicked, this, [this] { form_.MakePrimary(ChosenRows()); });
    connect(selectionButton, &QPushButton::clicked, this, [this] { form_.ToggleSelection(ChosenRows()); });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {deleteButton, duplicateButton, fixedFreeButton, primaryButton, selectionButton})
        buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(buttons);
    Refresh();
    document_.AddObserver(*this);
}

CMoleculeListDialog::~CMoleculeListDialog() { document_.RemoveObserver(*this); }

void CMoleculeListDialog::DocumentChanged(DocumentChange what) {
    // What the columns show; playback alone leaves the user's rows chosen.
    if (Any(what, DocumentChange::Molecules | DocumentChange::Frames | DocumentChange::Selection)) Refresh();
}

void CMoleculeListDialog::Refresh() {
    list->clear();
    const int primary = form_.PrimaryRow();
    int n = 0;
    for (const MoleculeRow& r : form_.Rows()) {
        auto* item = new QTreeWidgetItem(list);
        item->setText(0, QString::fromStdString(r.molecule));
        item->setText(1, QString::fromStdString(r.status));
        item->setText(2, QString::fromStdString(r.selected));
        item->setText(3, QString::fromStdString(r.atoms));
        item->setText(4, QString::fromStdString(r.frames));
        if (n++ == primary) {
            item->setSelected(true);
            list->setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
        }
    }
}

std::vector<int> CMoleculeListDialog::ChosenRows() const {
    std::vector<int> rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->isSelected()) rows.push_back(i);
    return rows;
}

}  // namespace velm
