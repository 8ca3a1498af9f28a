#include "dialogs/AlignmentDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <set>

#include "dialogs/SelectAtomsDialog.h"

namespace velm {

CAlignmentDialog::CAlignmentDialog(QWidget* parent, CVelmDoc& document)
    : QDialog(parent),
      list(new QTableWidget(0, 2, this)),
      align(new QPushButton(QStringLiteral("Align B to A"), this)),
      rmsd(new QPushButton(QStringLiteral("RMSD"), this)),
      cancel(new QPushButton(QStringLiteral("Cancel"), this)),
      rmsdText(new QLabel(this)),
      massWeighting(new QCheckBox(QStringLiteral("Use Mass Weighting"), this)),
      autoUpdate(new QCheckBox(QStringLiteral("Auto Update RMSD"), this)),
      form_(document, [this](bool rmsdOnly) {
          if (rmsdOnly) rmsdText->setText(QString::fromStdString(form_.RmsdText()));
          else Refresh();
      }) {
    setWindowTitle(QStringLiteral("Select Alignment Atoms"));
    setModal(false);
    auto* sides = new QGridLayout;
    for (int side = 0; side < 2; ++side) {
        const size_t s = static_cast<size_t>(side);
        molecules[s] = new QComboBox(this);
        add[s] = new QPushButton(QStringLiteral("Add ..."), this);
        remove[s] = new QPushButton(QStringLiteral("Delete"), this);
        sides->addWidget(new QLabel(side == 0 ? QStringLiteral("A") : QStringLiteral("B"), this), 0, 3 * side);
        sides->addWidget(molecules[s], 0, 3 * side + 1, 1, 2);
        sides->addWidget(add[s], 1, 3 * side + 1);
        sides->addWidget(remove[s], 1, 3 * side + 2);
        connect(molecules[s], &QComboBox::currentIndexChanged, this, [this, side](int index) {
            if (!refreshing_) form_.ChooseMolecule(side, index);
        });
        connect(add[s], &QPushButton::clicked, this, [this, side] { AddAtoms(side); });
        connect(remove[s], &QPushButton::clicked, this, [this, side] { DeleteAtoms(side); });
    }
    list->setHorizontalHeaderLabels({QStringLiteral("Selected Atoms"), QStringLiteral("Selected Atoms")});
    list->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    massWeighting->setChecked(form_.massWeighting);
    autoUpdate->setChecked(form_.autoUpdate);
    connect(massWeighting, &QCheckBox::toggled, this, [this](bool on) { form_.massWeighting = on; });
    connect(autoUpdate, &QCheckBox::clicked, this, [this] {
        form_.ToggleAutoUpdate();
        Refresh();
    });
    connect(align, &QPushButton::clicked, this, [this] { form_.AlignBToA(); });
    connect(rmsd, &QPushButton::clicked, this, [this] { form_.Rmsd(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);

    auto* commands = new QHBoxLayout;
    commands->addWidget(align);
    commands->addWidget(rmsd);
    commands->addWidget(rmsdText, 1);
    auto* checks = new QHBoxLayout;
    checks->addWidget(massWeighting);
    checks->addWidget(autoUpdate);
    checks->addStretch(1);
    checks->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sides);
    layout->addWidget(list, 1);
    layout->addLayout(commands);
    layout->addLayout(checks);
    resize(460, 380);
    form_.Show();
    Refresh();
}

void CAlignmentDialog::Refresh() {
    refreshing_ = true;
    const std::vector<std::string> entries = form_.MoleculeEntries();
    for (int side = 0; side < 2; ++side) {
        QComboBox* box = molecules[static_cast<size_t>(side)];
        box->clear();
        for (const std::string& e : entries) box->addItem(QString::fromStdString(e));
        box->setCurrentIndex(form_.MoleculeIndex(side));
    }
    list->clearContents();
    list->setRowCount(form_.RowCount());
    for (int row = 0; row < form_.RowCount(); ++row)
        for (int side = 0; side < 2; ++side)
            list->setItem(row, side, new QTableWidgetItem(QString::fromStdString(form_.Cell(row, side))));
    rmsdText->setText(QString::fromStdString(form_.RmsdText()));
    massWeighting->setChecked(form_.massWeighting);
    autoUpdate->setChecked(form_.autoUpdate);
    refreshing_ = false;
}

void CAlignmentDialog::AddAtoms(int side) {
    if (!form_.SideMolecule(side)) return;
    CSelectAtomsDialog chooser(this, form_, side);
    if (chooser.exec() == QDialog::Accepted) form_.AddAtoms(side, chooser.Chosen());
}

void CAlignmentDialog::DeleteAtoms(int side) {
    std::set<int> rows;
    for (const QModelIndex& index : list->selectionModel()->selectedIndexes()) rows.insert(index.row());
    form_.DeleteRows(side, {rows.begin(), rows.end()});
}

}  // namespace velm
