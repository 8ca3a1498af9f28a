#include "model/SequenceTool.h"

#include <algorithm>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ResidueColouring.h"
#include "model/VelmDoc.h"

namespace velm {

SequenceTool::SequenceTool(CVelmDoc& document, std::function<void()> refilled)
    : document_(document), refilled_(std::move(refilled)) {
    Fill();
    document_.AddObserver(*this);
}

SequenceTool::~SequenceTool() { document_.RemoveObserver(*this); }

std::vector<SequenceTool::RowKey> SequenceTool::Keys(const Molecule* molecule) {
    std::vector<RowKey> keys;
    if (!molecule) return keys;
    keys.reserve(static_cast<size_t>(molecule->ResidueCount()));
    for (const Chain& c : molecule->chains)
        for (const Residue& r : c.residues)
            keys.push_back({c.model, r.number, r.secondaryStructure, r.atoms.empty() ? -1 : r.atoms.front(), c.id,
                            r.insertionCode});
    return keys;
}

bool SequenceTool::Fill() {
    const Molecule* primary = document_.Primary();
    std::vector<RowKey> keys = Keys(primary);
    const bool sameMolecule = primary == shown_ && keys.size() == keys_.size();
    if (sameMolecule && keys == keys_) return false;
    // Only the structure column changed (a new assignment): the rows still
    // address the residues they did.
    const bool sameResidues = sameMolecule && std::equal(keys.begin(), keys.end(), keys_.begin(),
                                                         [](const RowKey& a, const RowKey& b) { return a.SameResidue(b); });
    shown_ = primary;
    if (!sameResidues) selection_.clear();
    keys_ = std::move(keys);
    index_.reset();
    if (primary) index_.emplace(*primary);
    return true;
}

void SequenceTool::Select(std::vector<int> rows) {
    const int n = RowCount();
    std::erase_if(rows, [n](int r) { return r < 0 || r >= n; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    selection_ = std::move(rows);
}

void SequenceTool::ColourButton() {
    if (chooserOpen_) return;
    if (selection_.empty()) {
        chooserColour_ = Rgba{255, 255, 255, 255};
        chooserOpen_ = true;
        return;
    }
    const Molecule* primary = document_.Primary();
    try {
        if (!primary) throw VelmError("NULL mol pointer in sequence dialog!");
        chooserColour_ = SequenceRowColour(*primary, selection_.front());
        chooserOpen_ = true;
    } catch (const VelmError& e) {
        document_.Ui().Message(e.shownText());
    }
}

void SequenceTool::ChooserNotification(int code, Rgba colour) {
    if (code == ChooserOk || code == ChooserCancel) chooserOpen_ = false;
    if (code == ChooserOk || code == ChooserApply) Apply(colour);
}

void SequenceTool::Apply(Rgba colour) {
    if (selection_.empty()) return;
    try {
        Molecule* primary = document_.Primary();
        if (!primary) throw VelmError("NULL mol pointer in sequence dialog!");
        ColourSequenceRows(document_, *primary, selection_, colour);
    } catch (const VelmError& e) {
        document_.Ui().Message(e.shownText());
    }
}

void SequenceTool::DocumentChanged(DocumentChange what) {
    // A molecule that left may have its successor at the same address.
    if (Any(what, DocumentChange::Molecules)) {
        selection_.clear();
        shown_ = nullptr;
    }
    // Coordinates and frames change nothing a row shows.
    if (Any(what, DocumentChange::Molecules | DocumentChange::Display) && Fill() && refilled_) refilled_();
}

}  // namespace velm
