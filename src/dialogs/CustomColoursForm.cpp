#include "dialogs/CustomColoursForm.h"

#include <charconv>
#include <cstdlib>

#include "core/UiHooks.h"
#include "dialogs/FieldText.h"
#include "dialogs/ColourForm.h"
#include "model/ColourSchemes.h"
#include "model/Molecule.h"
#include "model/SecondaryStructureCode.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

// The atom a typed number addresses in the primary molecule, or none.
const Atom* AtomOf(const CVelmDoc& doc, const std::string& text, int (*find)(const Molecule&, int)) {
    const Molecule* m = doc.Primary();
    int number = 0;
    if (!m || !ReadFieldInteger(text, number)) return nullptr;
    const int i = find(*m, number);
    return i < 0 ? nullptr : &m->atoms[static_cast<size_t>(i)];
}

}  // namespace

const char* CustomColoursForm::SchemeText(ColourScheme scheme) {
    static constexpr const char* kTexts[kColourSchemes] = {
        "Color by element",      "Color by atom",     "Color by residue",
        "Default atom colors",   "Color by PDB temperature field", "Color by PDB occupancy field",
        "Color by structure",    "Amino acid properties", "Color by amino acid index",
    };
    return scheme >= 0 && scheme < kColourSchemes ? kTexts[scheme] : "";
}

int CustomColoursForm::StructureCode(int row) {
    int seen = -1;
    for (int code = 0; code < kSecondaryStructureCodes; ++code)
        if (!SecondaryStructureLongName(code).empty() && ++seen == row) return code;
    return UnknownStructure;
}

CustomColoursForm::CustomColoursForm(const CVelmDoc& document) {
    const Molecule* m = document.Primary();
    if (m && m->colourScheme >= 0 && m->colourScheme < kColourSchemes) scheme_ = m->colourScheme;
    // Schemes without a colour of their own leave the edits as they are:
    // they start at the first element's, not blank.
    Show(document.elementColours[ClampElement(element_)]);
    Choose(scheme_, document);
}

int CustomColoursForm::AlphaPosition() const {
    int v = 0;
    return ReadByte(edits_[3], v) ? v : 0;
}

bool CustomColoursForm::Enabled(Control control) const {
    switch (control) {
    case ElementList: return scheme_ == ColourByElement;
    case StructureList: return scheme_ == ColourByStructure;
    case AtomNumber: return scheme_ == ColourByAtom;
    case ResidueNumber: return scheme_ == ColourByResidue;
    case ColourEdits:
        return scheme_ == ColourByElement || scheme_ == ColourByStructure || scheme_ == ColourByAtom ||
               scheme_ == ColourByResidue;
    }
    return false;
}

bool CustomColoursForm::ApplyEnabled(const CVelmDoc& document) const { return document.Primary() != nullptr; }

void CustomColoursForm::Show(std::optional<Rgba> c) {
    if (!c) {
        edits_.fill(kNoValue);
        return;
    }
    edits_ = {std::to_string(c->r), std::to_string(c->g), std::to_string(c->b), std::to_string(c->a)};
}

void CustomColoursForm::ShowCurrent(const CVelmDoc& doc) {
    switch (scheme_) {
    case ColourByElement: Show(doc.elementColours[ClampElement(element_)]); break;
    case ColourByStructure: Show(doc.colourTables.structure[StructureCode(structureRow_)]); break;
    case ColourByAtom: {
        const Atom* a = AtomOf(doc, atomText_, FindAtomBySerial);
        Show(a ? std::optional(a->colour) : std::nullopt);
        break;
    }
    case ColourByResidue: {
        const Atom* a = AtomOf(doc, residueText_, FindResidueAtom);
        Show(a ? std::optional(a->colour) : std::nullopt);
        break;
    }
    default: break;  // the edits are disabled and keep what they show
    }
}

void CustomColoursForm::Choose(ColourScheme scheme, const CVelmDoc& doc) {
    if (scheme < 0 || scheme >= kColourSchemes) return;
    scheme_ = scheme;
    ShowCurrent(doc);
}

void CustomColoursForm::SelectElement(int element, const CVelmDoc& doc) {
    element_ = ClampElement(element);
    ShowCurrent(doc);
}

void CustomColoursForm::SelectStructure(int row, const CVelmDoc& doc) {
    if (row < 0 || row >= kSecondaryStructureListCount) return;
    structureRow_ = row;
    ShowCurrent(doc);
}

void CustomColoursForm::TypeAtom(const std::string& text, const CVelmDoc& doc) {
    atomText_ = text;
    ShowCurrent(doc);
}

void CustomColoursForm::TypeResidue(const std::string& text, const CVelmDoc& doc) {
    residueText_ = text;
    ShowCurrent(doc);
}

void CustomColoursForm::TypeEdit(int channel, const std::string& text) { edits_[static_cast<size_t>(channel & 3)] = text; }

void CustomColoursForm::MoveAlpha(int position) { edits_[3] = std::to_string(position < 0 ? 0 : position > 255 ? 255 : position); }

void CustomColoursForm::SetEdits(Rgba colour) { Show(colour); }

bool CustomColoursForm::Apply(CVelmDoc& doc, UiHooks& ui) {
    Molecule* m = doc.Primary();
    if (!m) return true;
    ColourEdit edit;
    edit.scheme = scheme_;
    edit.element = element_;
    edit.structureCode = StructureCode(structureRow_);
    if (scheme_ == ColourByAtom && (!ReadFieldInteger(atomText_, edit.atomSerial) || FindAtomBySerial(*m, edit.atomSerial) < 0))
        return true;
    if (scheme_ == ColourByResidue &&
        (!ReadFieldInteger(residueText_, edit.residueNumber) || FindResidueAtom(*m, edit.residueNumber) < 0))
        return true;
    if (Enabled(ColourEdits)) {
        int v[4] = {};
        for (size_t i = 0; i < 4; ++i)
            if (!ReadByte(edits_[i], v[i])) {
                ui.Message(kByteProblem);
                return false;
            }
        edit.colour = {static_cast<std::uint8_t>(v[0]), static_cast<std::uint8_t>(v[1]), static_cast<std::uint8_t>(v[2]),
                       static_cast<std::uint8_t>(v[3])};
    }
    doc.EditMolecule(*m, DocumentChange::Display,
                     [&](Molecule& mol) { ApplyColourEdit(mol, doc.elementColours, doc.colourTables, edit); });
    return true;
}

bool CustomColoursForm::SaveColour(UiHooks& ui) {
    std::uint8_t v[4] = {};
    for (size_t i = 0; i < 4; ++i) {
        int n = 0;
        if (!ReadFieldInteger(edits_[i], n) || n < -255 || n > 255) {
            ui.Message(kByteProblem);
            return false;
        }
        v[i] = static_cast<std::uint8_t>(std::abs(n));
    }
    saved_ = Rgba{v[0], v[1], v[2], v[3]};
    return true;
}

bool CustomColoursForm::ApplyColour(CVelmDoc& doc, UiHooks& ui) {
    if (!saved_) return false;
    Show(*saved_);
    return Apply(doc, ui);
}

}  // namespace velm
