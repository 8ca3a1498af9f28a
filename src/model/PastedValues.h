#pragma once
// Numbers from elsewhere (a spreadsheet's column, a script's output) put into
// the temperature factors or occupancies of a molecule's atoms.
#include <string_view>
#include <vector>

#include "model/ColourTables.h"

namespace velm {

class CVelmDoc;
class Molecule;
class UiHooks;

enum class PasteTarget : int { TemperatureFactor = 0, Occupancy = 1 };
enum class PasteMode : int { AllAtoms = 0, SingleAtom = 1, AtomRange = 2, AlphaCarbons = 3 };

struct PasteOptions {
    PasteTarget target = PasteTarget::TemperatureFactor;
    PasteMode mode = PasteMode::AllAtoms;
    int serial = 1;      // SingleAtom
    int start = 1;       // AtomRange: serials start .. stop - 1
    int stop = 0;        // 0: the atom count, as the dialog starts
};

// The numbers of a text split on blanks, tabs and line ends. Throws
// "Warning - non-numeric value found in clipboard" for a token that is no
// finite number; the first negative value shows "Warning - negative value
// found in clipboard" once.
std::vector<double> ParsePastedValues(std::string_view text, UiHooks& ui);

// Residues of every chain, each with its alpha carbon.
int AlphaCarbonCount(const Molecule& molecule);

// Stores the absolute values into the chosen field, as the mode says, then
// the molecule's value ranges. Throws, changing nothing, "Unable to paste
// data, number of inputs is less\nthan the number of atoms" (all atoms),
// "... alpha carbons" (alpha carbons) and "Invalid atom id, can't paste
// data" (a single atom that does not exist).
void ApplyPastedValues(Molecule& molecule, const std::vector<double>& values, const PasteOptions& options);

// After values changed a field: a molecule coloured by that field is
// coloured again, and its radius scheme applied again.
void RefreshAfterValuesChanged(Molecule& molecule, const ElementColours& elementColours, const ColourTables& tables,
                               PasteTarget target);

// Paste, below the clipboard: the numbers of the text into the primary
// molecule as the options say, its colours and radii following. Throws "The
// clipboard is empty - nothing to paste" for a text without numbers (and
// without a primary molecule), and the messages above; nothing changes then.
void PasteValues(CVelmDoc& document, std::string_view text, const PasteOptions& options, UiHooks& ui);
// The same with the numbers already read (the paste dialog shows their count first).
void PasteValues(CVelmDoc& document, const std::vector<double>& values, const PasteOptions& options);

}  // namespace velm
