#pragma once
// "Select Alignment Atoms" without its window: two molecules of the document,
// the atoms chosen on each side, "Align B to A" and "RMSD" with their checks
// and messages, and the RMSD text that follows the scene while it is valid.
// It observes the document while it exists, so a side never keeps a molecule
// that left it.
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "core/DocumentObserver.h"
#include "dialogs/SelectAtomsForm.h"

namespace velm {

class CVelmDoc;
class Molecule;

class AlignmentForm : public DocumentObserver {
public:
    enum SideIndex : int { A = 0, B = 1 };

    // `changed` runs whenever the molecule lists, the atom lists or the RMSD
    // text may differ, so that the window shows them again; with true when
    // only the RMSD text may (the scene moved), which happens every frame
    // of a spin.
    explicit AlignmentForm(CVelmDoc& document, std::function<void(bool rmsdOnly)> changed = {});
    ~AlignmentForm() override;
    AlignmentForm(const AlignmentForm&) = delete;
    AlignmentForm& operator=(const AlignmentForm&) = delete;

    // First display: a side without a molecule takes the document's first.
    void Show();

    // "%d) %s" per document molecule: position from 1, file name without folders.
    std::vector<std::string> MoleculeEntries() const;
    // The side's molecule's position in the document; -1 for none.
    int MoleculeIndex(int side) const;
    const Molecule* SideMolecule(int side) const { return sides_[Slot(side)].molecule; }
    // Another molecule resets the side; the same one changes nothing.
    void ChooseMolecule(int side, int index);

    // The side's atom indices in the order chosen.
    const std::vector<int>& Atoms(int side) const { return sides_[Slot(side)].atoms; }
    // "Add ...": the atoms the chooser offers (not chosen yet, through the filter).
    std::vector<int> Candidates(int side) const;
    // What the chooser handed back, appended in its order; atoms already
    // chosen or outside the molecule are skipped.
    void AddAtoms(int side, const std::vector<int>& atoms);
    // "Delete": the side's atoms on the selected list rows; rows past the
    // side's end are ignored. No row: "Please select at least one atom for deletion".
    void DeleteRows(int side, const std::vector<int>& rows);

    // The list: as many rows as the longer side; a shorter side's cell is empty.
    int RowCount() const;
    std::string Cell(int row, int side) const;

    AtomFilter filter = AtomFilter::AllAtoms;  // kept across uses of the chooser
    bool massWeighting = true;                 // "Use Mass Weighting"
    bool autoUpdate = true;                    // "Auto Update RMSD": also gates the update on scene moves
    void ToggleAutoUpdate() { autoUpdate = !autoUpdate; }

    void AlignBToA();
    void Rmsd();
    const std::string& RmsdText() const { return rmsdText_; }
    bool RmsdValid() const { return rmsdValid_; }

    void DocumentChanged(DocumentChange what) override;
    void SceneMoved() override;

private:
    struct Side {
        Molecule* molecule = nullptr;
        std::vector<int> atoms;
        std::vector<char> chosen;  // one flag per atom of the molecule
    };
    static size_t Slot(int side) { return side == B ? 1 : 0; }
    void Reset(Side& side, Molecule* molecule);
    // The checks both commands share; the message shown, or false.
    bool Check(size_t minimum, const char* tooFew);
    void ShowRmsd();
    void Changed(bool rmsdOnly = false) const;

    CVelmDoc& document_;
    std::function<void(bool)> changed_;
    std::array<Side, 2> sides_;
    bool rmsdValid_ = false;
    std::string rmsdText_ = "RMSD = --";
};

}  // namespace velm
