#include "model/RadiusSchemes.h"

#include "model/Molecule.h"
#include "model/ColourSchemes.h"

namespace velm {

void SizeAtomsByElement(Molecule& molecule, const ElementRadii& radii) {
    for (Atom& a : molecule.atoms) a.radius = radii[ClampElement(a.element)];
}

void SizeAtomsByTemperature(Molecule& molecule) {
    const ValueRange r = ShownRange(molecule, &Atom::temperatureFactor);
    for (Atom& a : molecule.atoms) a.radius = 3.0 * Scaled(a.temperatureFactor, r.smallest, r.largest);
}

void SizeAtomsByOccupancy(Molecule& molecule) {
    const ValueRange r = ShownRange(molecule, &Atom::occupancy);
    for (Atom& a : molecule.atoms) a.radius = 3.0 * Scaled(a.occupancy, r.smallest, r.largest);
}

bool SizeAtomBySerial(Molecule& molecule, int serial, double radius) {
    const int i = FindAtomBySerial(molecule, serial);
    if (i < 0) return false;
    molecule.atoms[i].radius = radius;
    return true;
}

void ApplyRadiusEdit(Molecule& molecule, RadiusTable& table, const RadiusEdit& edit) {
    switch (edit.scheme) {
    case DefaultRadius: table.radii = DefaultElementRadii(); break;
    case RadiusByElement: table.radii[ClampElement(edit.element)] = edit.radius; break;
    case RadiusByAtom: SizeAtomBySerial(molecule, edit.atomSerial, edit.radius); break;
    default: break;
    }
    if (edit.scheme >= DefaultRadius && edit.scheme < kRadiusSchemes) table.scheme = edit.scheme;
    ReapplyRadiusScheme(molecule, table);
}

void ReapplyRadiusScheme(Molecule& molecule, const RadiusTable& table) {
    switch (table.scheme) {
    case DefaultRadius:
    case RadiusByElement: SizeAtomsByElement(molecule, table.radii); break;
    case RadiusByTemperature: SizeAtomsByTemperature(molecule); break;
    case RadiusByOccupancy: SizeAtomsByOccupancy(molecule); break;
    default: break;
    }
}

std::optional<RadiusScheme> RadiusSchemeFromName(std::string_view name) {
    if (name == "default") return DefaultRadius;
    if (name == "temperature") return RadiusByTemperature;
    if (name == "occupancy") return RadiusByOccupancy;
    return std::nullopt;
}

}  // namespace velm
