#include "model/SequenceTool.h"

#include <algorithm>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ResidueColouring.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
bool SameRow(const SequenceRow& a, const SequenceRow& b) {
    return a.chain == b.chain && a.model == b.model && a.residue == b.residue && a.structure == b.structure;
}
}  // namespace

SequenceTool::SequenceTool(CVelmDoc& document, std::function<void()> refilled)
    : document_(document), refilled_(std::move(refilled)) {
    Fill();
    document_.AddObserver(*this);
}

SequenceTool::~SequenceTool() { document_.RemoveObserver(*this); }

bool SequenceTool::Fill() {
    const Molecule* primary = document_.Primary();
    std::vector<SequenceRow> rows = primary ? SequenceRows(*primary) : std::vector<SequenceRow>{};
    const bool sameMolecule = primary == shown_ && rows.size() == rows_.size();
    const bool same = sameMolecule && std::equal(rows.begin(), rows.end(), rows_.begin(), SameRow);
    if (same) return false;
    // Only the structure column changed (a new assignment): the rows still
    // address the residues they did.
    const bool sameResidues =
        sameMolecule && std::equal(rows.begin(), rows.end(), rows_.begin(), [](const auto& a, const auto& b) {
            return a.chain == b.chain && a.model == b.model && a.residue == b.residue;
        });
    shown_ = primary;
    if (!sameResidues) selection_.clear();
    rows_ = std::move(rows);
    return true;
}

void SequenceTool::Select(std::vector<int> rows) {
    const int n = static_cast<int>(rows_.size());
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
    if (Any(what, DocumentChange::Molecules | DocumentChange::Display | DocumentChange::Coordinates) && Fill() &&
        refilled_)
        refilled_();
}

}  // namespace velm
