#pragma once
// The schemes that give every atom of a molecule its display radius, and the
// per-molecule radius table they read.
#include <array>
#include <optional>
#include <string_view>

#include "model/ElementType.h"

namespace velm {

class Molecule;

using ElementRadii = std::array<double, kElementCount>;
ElementRadii DefaultElementRadii();

// The radio buttons of the radius dialog; the number is the molecule's radius scheme.
enum RadiusScheme : int {
    DefaultRadius = 0,
    RadiusByElement,
    RadiusByAtom,
    RadiusByTemperature,
    RadiusByOccupancy,
    kRadiusSchemes
};

// What each molecule keeps: its element radii and the scheme last applied.
struct RadiusTable {
    ElementRadii radii = DefaultElementRadii();
    RadiusScheme scheme = DefaultRadius;
};

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
