#pragma once
// The sequence tool without its window: the rows of the document's primary
// molecule, which of them are selected, and the colour chooser it opens for
// them. It follows the document while it exists; the window only shows it.
#include <functional>
#include <optional>
#include <vector>

#include "core/DocumentObserver.h"
#include "core/Rgba.h"
#include "model/SequenceRows.h"

namespace velm {

class CVelmDoc;
class Molecule;

// What the colour chooser tells its owner.
enum ColourChooserCode : int { ChooserOk = 1, ChooserCancel = 2, ChooserApply = 4 };

class SequenceTool : public DocumentObserver {
public:
    // Fills at once and refills on the document's changes; `refilled` runs
    // after each refill that changed the rows.
    explicit SequenceTool(CVelmDoc& document, std::function<void()> refilled = {});
    ~SequenceTool() override;
    SequenceTool(const SequenceTool&) = delete;
    SequenceTool& operator=(const SequenceTool&) = delete;

    // The rows are read from the primary molecule as they are shown.
    int RowCount() const { return index_ ? index_->RowCount() : 0; }
    SequenceRow Row(int row) const { return index_ ? index_->Row(row) : SequenceRow{}; }
    // The rows again from the primary molecule; whether they differ. The
    // selection stays while the rows do: another molecule, or other
    // residues, clear it, so no row ever addresses a residue it did not show.
    bool Fill();

    // Rows outside the list are dropped; the rest kept ascending, once each.
    void Select(std::vector<int> rows);
    const std::vector<int>& Selection() const { return selection_; }

    // "Color ...": opens the chooser at the first selected residue's colour,
    // opaque white with none selected; nothing while it is open. Problems are
    // shown through the document's UiHooks.
    void ColourButton();
    bool ChooserOpen() const { return chooserOpen_; }
    Rgba ChooserColour() const { return chooserColour_; }
    // OK: close and apply; Cancel: close; Apply: apply and stay open.
    void ChooserNotification(int code, Rgba colour);
    // The selected residues' atoms take the colour.
    void Apply(Rgba colour);
    // "Close": the chooser goes with the tool.
    void Close() { chooserOpen_ = false; }

    void DocumentChanged(DocumentChange what) override;

private:
    // What a row shows, without its texts: a refill that changes nothing
    // compares these and builds no strings.
    struct RowKey {
        int model, number, code, firstAtom;
        char chain, insertion;
        bool SameResidue(const RowKey& o) const {
            return model == o.model && number == o.number && firstAtom == o.firstAtom && chain == o.chain &&
                   insertion == o.insertion;
        }
        friend bool operator==(const RowKey&, const RowKey&) = default;
    };
    static std::vector<RowKey> Keys(const Molecule* molecule);

    CVelmDoc& document_;
    std::function<void()> refilled_;
    std::optional<SequenceIndex> index_;
    std::vector<RowKey> keys_;
    const void* shown_ = nullptr;  // the molecule the rows were read from, compared only
    std::vector<int> selection_;
    bool chooserOpen_ = false;
    Rgba chooserColour_;
};

}  // namespace velm
