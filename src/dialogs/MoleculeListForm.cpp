#include "dialogs/MoleculeListForm.h"

#include <algorithm>

#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

const std::array<MoleculeColumn, 5>& MoleculeColumns() {
    static const std::array<MoleculeColumn, 5> columns{{
        {"Molecule", "Molecule", 3.5},
        {"Status", "Status", 2.5},
        {"Selected", "X", 1.1},
        {"Atoms", "Atoms", 1.1},
        {"Frames", "Frames", 1.0},
    }};
    return columns;
}

std::vector<MoleculeRow> MoleculeListForm::Rows() const {
    std::vector<MoleculeRow> rows;
    int n = 0;
    for (const auto& m : document_.Molecules()) {
        MoleculeRow r;
        r.primary = m.get() == document_.Primary();
        r.molecule = std::to_string(++n) + ") " + m->path;
        const char* freedom = m->trackball.free ? "Free" : "Fixed";
        r.status = r.primary ? std::string("Primary, ") + freedom : std::string(freedom);
        r.selected = m->selected ? "X" : " ";
        r.atoms = std::to_string(m->AtomCount());
        r.frames = std::to_string(m->FrameCount());
        rows.push_back(std::move(r));
    }
    return rows;
}

int MoleculeListForm::PrimaryRow() const { return document_.IndexOf(document_.Primary()); }

std::vector<int> MoleculeListForm::Valid(const std::vector<int>& rows) const {
    std::vector<int> valid;
    for (int r : rows)
        if (r >= 0 && r < document_.MoleculeCount() && std::find(valid.begin(), valid.end(), r) == valid.end())
            valid.push_back(r);
    return valid;
}

void MoleculeListForm::Delete(const std::vector<int>& rows) {
    const std::vector<int> valid = Valid(rows);
    if (!valid.empty()) document_.DeleteMolecules(valid);
}

void MoleculeListForm::Duplicate(const std::vector<int>& rows) {
    const std::vector<int> valid = Valid(rows);
    if (!valid.empty()) document_.DuplicateMolecules(valid);
}

void MoleculeListForm::ToggleFixedFree(const std::vector<int>& rows) {
    const std::vector<int> valid = Valid(rows);
    if (!valid.empty()) document_.ToggleFixedFree(valid);
}

void MoleculeListForm::MakePrimary(const std::vector<int>& rows) {
    const std::vector<int> valid = Valid(rows);
    if (!valid.empty()) document_.MakePrimary(valid.front());
}

void MoleculeListForm::ToggleSelection(const std::vector<int>& rows) {
    const std::vector<int> valid = Valid(rows);
    if (!valid.empty()) document_.ToggleSelection(valid);
}

}  // namespace velm
