#include "model/ColourSchemes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/Molecule.h"

namespace velm {

namespace {
// Truncates towards zero into 0..255; clamping first keeps huge or NaN
// values (pasted numbers can be anything) away from an overflowing cast.
std::uint8_t Channel(double v) {
    if (!(v > 0)) return 0;
    if (v >= 255) return 255;
    return static_cast<std::uint8_t>(v);
}

int StructureIndex(int code) { return code >= 0 && code < kStructureColours ? code : kStructureColours - 1; }
int AminoAcidIndex(int type) { return type >= 0 && type < kAminoAcidColours ? type : kAminoAcidColours - 1; }

template <typename F>
void ForEachResidueAtom(Molecule& molecule, F colourOf) {
    for (const Chain& chain : molecule.chains) {
        const double n = static_cast<double>(chain.residues.size());
        for (size_t l = 0; l < chain.residues.size(); ++l) {
            const Residue& residue = chain.residues[l];
            const Rgba c = colourOf(residue, static_cast<double>(l) / n);
            for (int a : residue.atoms) molecule.atoms[a].colour = c;
        }
    }
    molecule.UpdateBondSplitColours();
}
}  // namespace

Rgba GradientColour(double x) {
    return {Channel(255.0 * x), Channel(x < 0.5 ? 510.0 * x : 510.0 * (1.0 - x)), Channel(255.0 * (1.0 - x)), 255};
}

double Normalised(double v, double lo, double hi) { return std::fabs(hi - lo) < 1e-6 ? 1.0 : (v - lo) / (hi - lo); }

double Scaled(double v, double lo, double hi) { return std::fabs(hi - lo) < 1e-6 ? 1.0 : v / (hi - lo); }

namespace {
// Over the atoms `forEach` visits, or every atom when it visits none.
template <typename Visit>
ValueRange RangeOver(const Molecule& m, double Atom::*field, Visit forEach) {
    ValueRange r;
    bool any = false;
    const auto take = [&](const Atom& a) {
        const double v = std::fabs(a.*field);
        r.smallest = any ? std::min(r.smallest, v) : v;
        r.largest = any ? std::max(r.largest, v) : v;
        any = true;
    };
    forEach(take);
    if (!any)
        for (const Atom& a : m.atoms) take(a);
    return r;
}
}  // namespace

ValueRange ShownRange(const Molecule& m, double Atom::*field) {
    return RangeOver(m, field, [&](const auto& take) {
        for (const Atom& a : m.atoms)
            if (!a.hetero || m.showSolvent) take(a);
    });
}

ValueRange TraceRange(const Molecule& m, double Atom::*field) {
    return RangeOver(m, field, [&](const auto& take) {
        for (const Chain& c : m.chains)
            for (const Residue& r : c.residues)
                if (r.traceAtom >= 0 && r.traceAtom < m.AtomCount()) take(m.atoms[static_cast<size_t>(r.traceAtom)]);
    });
}

int FindAtomBySerial(const Molecule& molecule, int serial) {
    for (int i = 0; i < molecule.AtomCount(); ++i)
        if (molecule.atoms[i].serial == serial) return i;
    return -1;
}

int FindResidueAtom(const Molecule& molecule, int residueNumber) {
    for (const Chain& chain : molecule.chains)
        for (const Residue& residue : chain.residues)
            if (residue.number == residueNumber && !residue.atoms.empty()) return residue.atoms.front();
    return -1;
}

void ColourAtomsByElement(Molecule& molecule, const ElementColours& table) {
    for (Atom& a : molecule.atoms) a.SetColourFromElement(table.data());
    molecule.UpdateBondSplitColours();
}

void ColourAtomsByTemperature(Molecule& molecule) {
    const ValueRange r = ShownRange(molecule, &Atom::temperatureFactor);
    for (Atom& a : molecule.atoms) a.colour = GradientColour(Normalised(a.temperatureFactor, r.smallest, r.largest));
    molecule.UpdateBondSplitColours();
}

void ColourAtomsByOccupancy(Molecule& molecule) {
    const ValueRange r = ShownRange(molecule, &Atom::occupancy);
    for (Atom& a : molecule.atoms) a.colour = GradientColour(Normalised(a.occupancy, r.smallest, r.largest));
    molecule.UpdateBondSplitColours();
}

void ColourAtomsByStructure(Molecule& molecule, const StructureColours& table) {
    ForEachResidueAtom(molecule, [&](const Residue& r, double) { return table[StructureIndex(r.secondaryStructure)]; });
}

void ColourAtomsByAminoAcid(Molecule& molecule, const AminoAcidColours& table) {
    ForEachResidueAtom(molecule, [&](const Residue& r, double) { return table[AminoAcidIndex(r.type)]; });
}

void ColourAtomsBySequencePosition(Molecule& molecule) {
    ForEachResidueAtom(molecule, [](const Residue&, double position) { return GradientColour(position); });
}

bool ColourAtomBySerial(Molecule& molecule, int serial, Rgba colour) {
    const int i = FindAtomBySerial(molecule, serial);
    if (i < 0) return false;
    molecule.atoms[i].colour = colour;
    molecule.UpdateBondSplitColours();
    return true;
}

bool ColourResiduesByNumber(Molecule& molecule, int residueNumber, Rgba colour) {
    bool found = false;
    for (const Chain& chain : molecule.chains)
        for (const Residue& residue : chain.residues) {
            if (residue.number != residueNumber) continue;
            for (int a : residue.atoms) molecule.atoms[a].colour = colour;
            found = true;
        }
    if (found) molecule.UpdateBondSplitColours();
    return found;
}

void ApplyColourEdit(Molecule& molecule, ElementColours& elementColours, ColourTables& tables,
                     const ColourEdit& edit) {
    switch (edit.scheme) {
    case ColourByElement:
        elementColours[ClampElement(edit.element)] = edit.colour;
        break;
    case ColourByAtom:
        ColourAtomBySerial(molecule, edit.atomSerial, edit.colour);
        return;
    case ColourByResidue:
        ColourResiduesByNumber(molecule, edit.residueNumber, edit.colour);
        return;
    case DefaultAtomColours:
        elementColours = DefaultElementColours();
        break;
    case ColourByStructure:
        // A code outside the table addresses no entry; the molecule is still recoloured.
        if (edit.structureCode >= 0 && edit.structureCode < kStructureColours)
            tables.structure[edit.structureCode] = edit.colour;
        break;
    default:
        break;
    }
    Recolour(molecule, elementColours, tables, edit.scheme);
}

void Recolour(Molecule& molecule, const ElementColours& elementColours, const ColourTables& tables,
              ColourScheme scheme) {
    if (scheme != ColourByAtom && scheme != ColourByResidue && scheme >= 0 && scheme < kColourSchemes)
        molecule.colourScheme = scheme;
    switch (scheme) {
    case ColourByElement:
    case DefaultAtomColours: ColourAtomsByElement(molecule, elementColours); break;
    case ColourByTemperature: ColourAtomsByTemperature(molecule); break;
    case ColourByOccupancy: ColourAtomsByOccupancy(molecule); break;
    case ColourByStructure: ColourAtomsByStructure(molecule, tables.structure); break;
    case AminoAcidProperties: ColourAtomsByAminoAcid(molecule, tables.aminoAcid); break;
    case ColourByAminoAcidIndex: ColourAtomsBySequencePosition(molecule); break;
    default: break;
    }
}

std::optional<ColourScheme> ColourSchemeFromName(std::string_view name) {
    struct Entry {
        std::string_view name;
        ColourScheme scheme;
    };
    static constexpr Entry kNames[] = {
        {"element", ColourByElement},         {"structure", ColourByStructure}, {"aminoacid", AminoAcidProperties},
        {"temperature", ColourByTemperature}, {"occupancy", ColourByOccupancy}, {"index", ColourByAminoAcidIndex},
    };
    for (const Entry& e : kNames)
        if (e.name == name) return e.scheme;
    return std::nullopt;
}

}  // namespace velm
