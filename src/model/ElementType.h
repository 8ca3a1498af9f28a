#pragma once
// The fifteen element types the program tells apart, with their default
// masses, colours and display radii.
#include <string_view>

#include "core/Rgba.h"

namespace velm {

enum ElementType : int {
    Carbon = 0, Nitrogen, Oxygen, Sulfur, Hydrogen, Phosphorus, Chlorine, Zinc,
    Sodium, Iron, Magnesium, Potassium, Calcium, Iodine, UnknownElement
};
inline constexpr int kElementCount = 15;

struct ElementInfo {
    const char* name;
    double mass;
    Rgba colour;
    double radius;
};

// Table entry of an element index; an index outside 0..14 reads as Unknown.
const ElementInfo& GetElementInfo(int element);
inline int ClampElement(int element) { return element >= 0 && element < kElementCount ? element : UnknownElement; }

// Element from an atom name: the first letter decides (CL is chlorine, NA
// sodium); "CA" is the alpha carbon, so calcium is never chosen from a name.
ElementType ElementFromName(std::string_view name);

// A chemical element as a PDB file's element columns (77-78) name it: its
// symbol in capitals, its standard atomic weight and the element type that
// colours and sizes it (Unknown for those the program has no type of).
// Deuterium, "D", is hydrogen.
struct ChemicalElement {
    const char* symbol;
    double mass;
    ElementType type;
};
// The element of a symbol in any letter case, leading blanks allowed; null
// for text that names no element.
const ChemicalElement* FindChemicalElement(std::string_view symbol);
// The same for one or two characters (`second` NUL for one), quicker for capitals.
const ChemicalElement* FindChemicalElement(char first, char second);

}  // namespace velm
