#pragma once
// One atom of a molecule's reference structure (frame 0).
#include <cstdint>
#include <cstring>
#include <string_view>

#include "core/Rgba.h"
#include "core/Vec3.h"
#include "model/ElementType.h"

namespace velm {

struct Atom {
    double radius = 1.0;
    double mass = 1.0;
    double x = 0, y = 0, z = 0;
    double temperatureFactor = 0;
    double occupancy = 1.0;
    int residueNumber = 0;
    int serial = -1;
    int model = 1;
    ElementType element = UnknownElement;
    Rgba colour;
    int hetero = 0;
    char chain = ' ';
    char chainAsRead = ' ';    // the file's letter, which saving writes back
    char altLoc = ' ';         // PDB column 17: which of the atom's alternate places
    char insertionCode = ' ';  // PDB column 27; blank when none
    bool hadConect = false;    // the file listed its bonds in a CONECT record

    // Stores the name (at most 7 characters, as the PDB reader gives them)
    // and sets the element from it.
    void SetName(std::string_view name);
    std::string_view Name() const { return name_; }
    // The name's first four bytes as one number, zero past its end: a key
    // for names compared by their first four characters.
    std::uint32_t NameHead() const {
        std::uint32_t head;
        std::memcpy(&head, name_, sizeof head);
        return head;
    }
    void SetResidueName(std::string_view name);  // at most 5 characters
    std::string_view ResidueName() const { return residueName_; }
    // The element symbol the file gave (columns 77-78), which then decides
    // the element; empty when it gave none.
    void SetElementSymbol(std::string_view symbol);
    std::string_view ElementSymbol() const { return elementSymbol_; }
    // The three at once from the fields of a file's record, each ended by a
    // NUL or by its end: as SetName, SetResidueName and, when the symbol is
    // not empty, SetElementSymbol would store them.
    void SetNames(const char (&name)[8], const char (&residueName)[6], const char (&elementSymbol)[3]);

    Vec3 Position() const { return {x, y, z}; }
    void SetColourFromElement(const Rgba table[kElementCount]) { colour = table[ClampElement(element)]; }
    // Blue (0) through green to red (1).
    void SetColourFromValue(double t);

private:
    // The element found for a symbol (its symbol kept), or none (the symbol
    // cleared, the element left); whether there was one.
    bool TakeElement(const ChemicalElement* e);

    char name_[8] = {};
    char residueName_[6] = {};
    char elementSymbol_[3] = {};
};

}  // namespace velm
