#pragma once
// The schemes that give every atom of a molecule its display radius from the
// molecule's radius table or its temperature factors and occupancies.
#include <optional>
#include <string_view>

#include "model/RadiusTable.h"

namespace velm {

class Molecule;

// What the radius dialog's "Apply" works from.
struct RadiusEdit {
    RadiusScheme scheme = DefaultRadius;
    int element = 0;     // ElementType whose entry takes `radius`
    int atomSerial = 0;
    double radius = 0;   // angstrom
};

void SizeAtomsByElement(Molecule& molecule, const ElementRadii& radii);
// 3 x value / (max - min): the value itself over the range, so equal values give 3 A.
void SizeAtomsByTemperature(Molecule& molecule);
void SizeAtomsByOccupancy(Molecule& molecule);
// False, and nothing changes, when no atom has the serial number.
bool SizeAtomBySerial(Molecule& molecule, int serial, double radius);

// "Apply": stores the edit in the table as the scheme says, records the
// scheme and sizes the atoms.
void ApplyRadiusEdit(Molecule& molecule, RadiusTable& table, const RadiusEdit& edit);
// Sizes the atoms again by the table's scheme, as after pasted values; a
// radius given to one atom stays as it is.
void ReapplyRadiusScheme(Molecule& molecule, const RadiusTable& table);

// The scheme of a batch -radius word: default, temperature or occupancy.
std::optional<RadiusScheme> RadiusSchemeFromName(std::string_view name);

}  // namespace velm
