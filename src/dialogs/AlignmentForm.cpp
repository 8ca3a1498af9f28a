#include "dialogs/AlignmentForm.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "analysis/Kabsch.h"
#include "core/PrintableText.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

AlignmentForm::AlignmentForm(CVelmDoc& document, std::function<void(bool)> changed)
    : document_(document), changed_(std::move(changed)) {
    document_.AddObserver(*this);
}

AlignmentForm::~AlignmentForm() { document_.RemoveObserver(*this); }

void AlignmentForm::Changed(bool rmsdOnly) const {
    if (changed_) changed_(rmsdOnly);
}

void AlignmentForm::Reset(Side& side, Molecule* molecule) {
    side.molecule = molecule;
    side.atoms.clear();
    side.chosen.assign(molecule ? static_cast<size_t>(molecule->AtomCount()) : 0, 0);
}

void AlignmentForm::Show() {
    Molecule* first = document_.MoleculeCount() > 0 ? document_.Molecules().begin()->get() : nullptr;
    for (Side& side : sides_)
        if (!side.molecule) Reset(side, first);
    Changed();
}

std::vector<std::string> AlignmentForm::MoleculeEntries() const {
    std::vector<std::string> entries;
    int n = 0;
    for (const auto& m : document_.Molecules()) {
        const std::string& path = m->path;
        const size_t slash = path.find_last_of("\\/");
        entries.push_back(std::to_string(++n) + ") " +
                          EscapedText(slash == std::string::npos ? path : path.substr(slash + 1)));
    }
    return entries;
}

int AlignmentForm::MoleculeIndex(int side) const {
    const Molecule* m = sides_[Slot(side)].molecule;
    return m ? document_.IndexOf(m) : -1;
}

void AlignmentForm::ChooseMolecule(int side, int index) {
    if (index < 0 || index >= document_.MoleculeCount()) return;
    Molecule* chosen = document_.Molecules()[index].get();
    Side& s = sides_[Slot(side)];
    if (chosen == s.molecule) return;
    Reset(s, chosen);
    Changed();
}

std::vector<int> AlignmentForm::Candidates(int side) const {
    const Side& s = sides_[Slot(side)];
    return s.molecule ? AtomChoices(*s.molecule, s.chosen, filter) : std::vector<int>{};
}

void AlignmentForm::AddAtoms(int side, const std::vector<int>& atoms) {
    Side& s = sides_[Slot(side)];
    for (int atom : atoms) {
        if (atom < 0 || static_cast<size_t>(atom) >= s.chosen.size() || s.chosen[static_cast<size_t>(atom)]) continue;
        s.chosen[static_cast<size_t>(atom)] = 1;
        s.atoms.push_back(atom);
    }
    Changed();
}

void AlignmentForm::DeleteRows(int side, const std::vector<int>& rows) {
    if (rows.empty()) {
        document_.Ui().Message("Please select at least one atom for deletion");
        return;
    }
    Side& s = sides_[Slot(side)];
    std::vector<char> drop(s.atoms.size(), 0);
    for (int row : rows)
        if (row >= 0 && static_cast<size_t>(row) < s.atoms.size()) drop[static_cast<size_t>(row)] = 1;
    std::vector<int> kept;
    for (size_t i = 0; i < s.atoms.size(); ++i) {
        if (drop[i]) s.chosen[static_cast<size_t>(s.atoms[i])] = 0;
        else kept.push_back(s.atoms[i]);
    }
    s.atoms = std::move(kept);
    Changed();
}

int AlignmentForm::RowCount() const {
    return static_cast<int>(std::max(sides_[0].atoms.size(), sides_[1].atoms.size()));
}

std::string AlignmentForm::Cell(int row, int side) const {
    const Side& s = sides_[Slot(side)];
    if (!s.molecule || row < 0 || static_cast<size_t>(row) >= s.atoms.size()) return {};
    return AtomLine(*s.molecule, s.atoms[static_cast<size_t>(row)]);
}

bool AlignmentForm::Check(size_t minimum, const char* tooFew) {
    const char* problem = nullptr;
    if (!sides_[0].molecule || sides_[0].molecule == sides_[1].molecule) problem = "Please select two DIFFERENT molecules!";
    else if (sides_[0].atoms.size() != sides_[1].atoms.size())
        problem = "Please select the same number of atoms from both molecules";
    else if (sides_[0].atoms.size() < minimum) problem = tooFew;
    if (problem) document_.Ui().Message(problem);
    return problem == nullptr;
}

void AlignmentForm::ShowRmsd() {
    const double rmsd = computeRmsd(*sides_[0].molecule, *sides_[1].molecule, sides_[0].atoms, sides_[1].atoms,
                                    massWeighting);
    char text[64];
    std::snprintf(text, sizeof text, "RMSD = %.3f", rmsd);
    rmsdText_ = text;
    rmsdValid_ = true;
}

void AlignmentForm::AlignBToA() {
    rmsdValid_ = false;
    if (!Check(3, "Please select at least three atoms from  each molecule")) return;
    try {
        const Molecule& a = *sides_[0].molecule;
        document_.EditMolecule(*sides_[1].molecule, DocumentChange::Coordinates, [&](Molecule& b) {
            superpose(a, b, sides_[0].atoms, sides_[1].atoms, massWeighting);
        });
        ShowRmsd();
    } catch (const VelmError& e) {
        document_.Ui().Message(e.shownText());
    } catch (const std::exception&) {
        document_.Ui().Message("Yiikes! An unspecified error has occured while performing the alignment");
    }
    Changed();
}

void AlignmentForm::Rmsd() {
    rmsdValid_ = false;
    if (!Check(1, "Please select at least one atom from  each molecule")) return;
    ShowRmsd();
    Changed();
}

void AlignmentForm::DocumentChanged(DocumentChange what) {
    if (Any(what, DocumentChange::Molecules)) {
        Molecule* first = document_.MoleculeCount() > 0 ? document_.Molecules().begin()->get() : nullptr;
        for (Side& side : sides_) {
            // A molecule that left, or one in its place with other atoms, is
            // never read through the old lists.
            const bool gone = side.molecule && (document_.IndexOf(side.molecule) < 0 ||
                                                side.molecule->AtomCount() != static_cast<int>(side.chosen.size()));
            if (!first || gone || !side.molecule) {
                Reset(side, first);
                rmsdValid_ = false;
            }
        }
        Changed();
    }
    if (Any(what, DocumentChange::Coordinates | DocumentChange::CurrentFrame)) SceneMoved();
}

void AlignmentForm::SceneMoved() {
    if (!rmsdValid_ || !autoUpdate) return;
    // Quietly: the lists were valid when the figure was, and a side reset
    // clears the flag.
    if (!sides_[0].molecule || !sides_[1].molecule || sides_[0].atoms.size() != sides_[1].atoms.size() ||
        sides_[0].atoms.empty()) {
        rmsdValid_ = false;
        return;
    }
    ShowRmsd();
    Changed(true);
}

}  // namespace velm
