#include "dialogs/SelectAtomsDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QRadioButton>
#include <QVBoxLayout>

#include "model/Molecule.h"

namespace velm {

CSelectAtomsDialog::CSelectAtomsDialog(QWidget* parent, AlignmentForm& form, int side)
    : QDialog(parent), list(new QListWidget(this)), form_(form), side_(side) {
    setWindowTitle(QStringLiteral("Select Atoms"));
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
    auto* radios = new QHBoxLayout;
    for (size_t i = 0; i < filters.size(); ++i) {
        const auto filter = static_cast<AtomFilter>(i);
        filters[i] = new QRadioButton(QString::fromLatin1(AtomFilterText(filter)), this);
        filters[i]->setChecked(form_.filter == filter);
        radios->addWidget(filters[i]);
        connect(filters[i], &QRadioButton::toggled, this, [this, filter](bool on) {
            if (!on) return;
            form_.filter = filter;
            Fill();
        });
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list);
    layout->addLayout(radios);
    layout->addWidget(buttons);
    resize(420, 400);
    Fill();
}

void CSelectAtomsDialog::Fill() {
    list->clear();
    shown_ = form_.Candidates(side_);
    const Molecule* m = form_.SideMolecule(side_);
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(shown_.size()));
    for (int atom : shown_) lines << QString::fromStdString(AtomLine(*m, atom));
    list->addItems(lines);
}

std::vector<int> CSelectAtomsDialog::Chosen() const {
    std::vector<int> out;
    for (int row = 0; row < list->count(); ++row)
        if (list->item(row)->isSelected() && static_cast<size_t>(row) < shown_.size())
            out.push_back(shown_[static_cast<size_t>(row)]);
    return out;
}

}  // namespace velm
