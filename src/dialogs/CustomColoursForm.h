#pragma once
// "Custom Colors": the colour schemes of the primary molecule. A radio
// button per scheme; the element and structure-class lists, the atom and
// residue numbers and the R, G, B, "Alpha:" edits, each enabled only for the
// schemes that use it; "Apply", "Save Color" and "Apply Color".
#include <array>
#include <optional>
#include <string>

#include "core/Rgba.h"
#include "model/ColourTables.h"

namespace velm {

class CVelmDoc;
class UiHooks;

class CustomColoursForm {
public:
    static constexpr const char* kTitle = "Custom Colors";
    static constexpr const char* kNoValue = "--";  // each edit, for an atom or residue that does not exist
    // The radio button of a scheme, in ColourScheme order.
    static const char* SchemeText(ColourScheme scheme);
    // The structure list shows the long names in code order without the
    // one that has none: the code a row addresses.
    static int StructureCode(int row);

    enum Control { ElementList, StructureList, AtomNumber, ResidueNumber, ColourEdits };

    // Opens at the primary molecule's last scheme, the first element and
    // class, showing the colour that scheme addresses.
    explicit CustomColoursForm(const CVelmDoc& document);

    ColourScheme Scheme() const { return scheme_; }
    int Element() const { return element_; }
    int StructureRow() const { return structureRow_; }
    const std::string& AtomText() const { return atomText_; }
    const std::string& ResidueText() const { return residueText_; }
    // R, G, B and "Alpha:".
    const std::string& Edit(int channel) const { return edits_[static_cast<size_t>(channel & 3)]; }
    // The alpha slider follows the alpha edit; 0 while it holds no number.
    int AlphaPosition() const;

    bool Enabled(Control control) const;
    bool ApplyEnabled(const CVelmDoc& document) const;
    bool ApplyColourEnabled() const { return saved_.has_value(); }

    // Each of these shows the current colour of what the scheme addresses
    // in the edits (the element's or class's table entry, the atom's, the
    // residue's first atom's, or "--").
    void Choose(ColourScheme scheme, const CVelmDoc& document);
    void SelectElement(int element, const CVelmDoc& document);
    void SelectStructure(int row, const CVelmDoc& document);
    void TypeAtom(const std::string& text, const CVelmDoc& document);
    void TypeResidue(const std::string& text, const CVelmDoc& document);
    // Again, after the document changed.
    void ShowCurrent(const CVelmDoc& document);

    // The edits as typed; the alpha slider writes the alpha edit.
    void TypeEdit(int channel, const std::string& text);
    void MoveAlpha(int position);
    // "Select Color": the system chooser's colour into the edits.
    void SetEdits(Rgba colour);

    // "Apply" on the primary molecule. A colour that is not four whole
    // numbers 0..255 is shown (kByteProblem) and nothing changes; an atom or
    // residue number that nothing has changes nothing. False when refused.
    bool Apply(CVelmDoc& document, UiHooks& ui);
    // "Save Color": keeps the absolute values of the four edits; false with
    // the message when one is not a number up to 255.
    bool SaveColour(UiHooks& ui);
    // "Apply Color": the kept colour into the edits, then "Apply".
    bool ApplyColour(CVelmDoc& document, UiHooks& ui);

private:
    void Show(std::optional<Rgba> colour);

    ColourScheme scheme_ = ColourByElement;
    int element_ = 0;
    int structureRow_ = 0;
    std::string atomText_, residueText_;
    std::array<std::string, 4> edits_;
    std::optional<Rgba> saved_;
};

}  // namespace velm
