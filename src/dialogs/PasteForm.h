#pragma once
// "Paste ASCII Text": the numbers on the clipboard into the temperature
// factors or occupancies of the primary molecule's atoms, all of them, one,
// a range of serials or one value per residue.
#include <optional>
#include <string>
#include <vector>

#include "model/PastedValues.h"

namespace velm {

class CVelmDoc;
class UiHooks;

// What the clipboard offers, as the window reads it.
struct ClipboardText {
    bool anyFormat = false;  // something is on the clipboard at all
    bool hasText = false;    // plain text among it
    std::string text;
};

struct PasteForm {
    static constexpr const char* kTitle = "Paste ASCII Text";
    static constexpr const char* kTargets[2] = {"Temperature Factor", "Occupancy"};
    static constexpr const char* kModes[4] = {"All atoms", "Single atom", "Range of atoms (inclusive)",
                                              "All alpha carbons"};

    std::vector<double> values;
    PasteOptions options;
    int atoms = 0, alphaCarbons = 0;

    // The dialog for the clipboard's numbers and the primary molecule, or
    // none when there is nothing to paste: the reason is shown through ui
    // ("Sorry -- only ASCII text can be pasted!", "The clipboard is empty -
    // nothing to paste", "Warning - non-numeric value found in clipboard").
    static std::optional<PasteForm> Open(const CVelmDoc& document, const ClipboardText& clipboard, UiHooks& ui);

    bool SerialEnabled() const { return options.mode == PasteMode::SingleAtom; }
    bool RangeEnabled() const { return options.mode == PasteMode::AtomRange; }
    std::string AtomsText() const;         // "Number of atoms: %d"
    std::string AlphaCarbonsText() const;  // "Number of alpha carbons: %d"
    std::string InputsText() const;        // "Number of inputs on clipboad: %d"

    // OK: the values stored. A refusal (too few values, no such atom) is
    // shown through ui and changes nothing; the dialog then stays open.
    bool Accept(CVelmDoc& document, UiHooks& ui) const;
};

}  // namespace velm
