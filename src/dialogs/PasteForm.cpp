#include "dialogs/PasteForm.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
constexpr const char* kEmpty = "The clipboard is empty - nothing to paste";
}

std::optional<PasteForm> PasteForm::Open(const CVelmDoc& doc, const ClipboardText& clipboard, UiHooks& ui) {
    if (clipboard.anyFormat && !clipboard.hasText) {
        ui.Message("Sorry -- only ASCII text can be pasted!");
        return std::nullopt;
    }
    PasteForm f;
    try {
        f.values = ParsePastedValues(clipboard.text, ui);
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
        return std::nullopt;
    }
    const Molecule* primary = doc.Primary();
    if (f.values.empty() || !primary) {
        ui.Message(kEmpty);
        return std::nullopt;
    }
    f.atoms = primary->AtomCount();
    f.alphaCarbons = AlphaCarbonCount(*primary);
    f.options.stop = f.atoms;
    return f;
}

std::string PasteForm::AtomsText() const { return "Number of atoms: " + std::to_string(atoms); }
std::string PasteForm::AlphaCarbonsText() const { return "Number of alpha carbons: " + std::to_string(alphaCarbons); }
std::string PasteForm::InputsText() const { return "Number of inputs on clipboad: " + std::to_string(values.size()); }

bool PasteForm::Accept(CVelmDoc& doc, UiHooks& ui) const {
    try {
        PasteValues(doc, values, options);
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
        return false;
    }
    return true;
}

}  // namespace velm
