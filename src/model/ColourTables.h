#pragma once
// The document's editable colour tables besides the element colours: one
// entry per secondary-structure class and one per amino-acid type.
#include <array>

#include "core/Rgba.h"
#include "model/ElementType.h"
#include "model/ResidueType.h"

namespace velm {

inline constexpr int kStructureColours = 18;             // codes 0..17 of Residue::secondaryStructure
inline constexpr int kAminoAcidColours = NonStandardResidue + 1;  // ResidueType 0..20

using ElementColours = std::array<Rgba, kElementCount>;
using StructureColours = std::array<Rgba, kStructureColours>;
using AminoAcidColours = std::array<Rgba, kAminoAcidColours>;

ElementColours DefaultElementColours();
StructureColours DefaultStructureColours();
AminoAcidColours DefaultAminoAcidColours();

// How a molecule was last coloured: the radio buttons of the colour
// dialog, in its order.
enum ColourScheme : int {
    ColourByElement = 0,
    ColourByAtom,
    ColourByResidue,
    DefaultAtomColours,
    ColourByTemperature,
    ColourByOccupancy,
    ColourByStructure,
    AminoAcidProperties,
    ColourByAminoAcidIndex,
    kColourSchemes
};

struct ColourTables {
    StructureColours structure = DefaultStructureColours();
    AminoAcidColours aminoAcid = DefaultAminoAcidColours();
};

}  // namespace velm
