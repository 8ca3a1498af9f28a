#pragma once
// The schemes that give every atom of a molecule its colour. Every function
// that changes colours also recomputes the bonds' split-colour flags.
#include <optional>
#include <string_view>

#include "core/Rgba.h"
#include "model/ColourTables.h"

namespace velm {

class Molecule;
struct Atom;

// Blue (0) through green (0.5) to red (1); values outside 0..1 saturate.
Rgba GradientColour(double x);
// (v - lo) / (hi - lo), or 1 when the range is empty.
double Normalised(double v, double lo, double hi);
// v / (hi - lo), or 1 when the range is empty.
double Scaled(double v, double lo, double hi);

// The smallest and largest absolute value of an atom field (temperature
// factor, occupancy) over the atoms a scheme is seen on, so that hidden
// waters do not stretch a protein's gradient: ShownRange over the atoms drawn
// (hetero atoms only with solvent shown), TraceRange over the trace atoms of
// the chains, which size the tubes. Either falls back to every atom when it
// has none. Saving normalises over every atom, with the molecule's own range.
struct ValueRange {
    double smallest = 1, largest = 1;
};
ValueRange ShownRange(const Molecule& molecule, double Atom::*field);
ValueRange TraceRange(const Molecule& molecule, double Atom::*field);

// What the colour dialog's "Apply" works from: the scheme and its controls.
struct ColourEdit {
    ColourScheme scheme = ColourByElement;
    Rgba colour;
    int element = 0;        // ElementType whose entry takes `colour`
    int structureCode = 0;  // SecondaryStructureCode whose entry takes `colour`
    int atomSerial = 0;
    int residueNumber = 0;
};

// Index of the first atom with that serial number, or -1.
int FindAtomBySerial(const Molecule& molecule, int serial);
// Index of the first atom of the first residue, in any chain, with that number, or -1.
int FindResidueAtom(const Molecule& molecule, int residueNumber);

void ColourAtomsByElement(Molecule& molecule, const ElementColours& table);
void ColourAtomsByTemperature(Molecule& molecule);
void ColourAtomsByOccupancy(Molecule& molecule);
// Atoms outside residues (hetero groups, solvent) keep their colours in the
// three residue schemes below.
void ColourAtomsByStructure(Molecule& molecule, const StructureColours& table);
void ColourAtomsByAminoAcid(Molecule& molecule, const AminoAcidColours& table);
// Residue l of a chain of n residues takes GradientColour(l / n).
void ColourAtomsBySequencePosition(Molecule& molecule);
// False, and nothing changes, when no atom or residue has the number.
bool ColourAtomBySerial(Molecule& molecule, int serial, Rgba colour);
bool ColourResiduesByNumber(Molecule& molecule, int residueNumber, Rgba colour);

// "Apply": stores the edited colour in the table the scheme addresses, then
// colours the molecule by that scheme.
void ApplyColourEdit(Molecule& molecule, ElementColours& elementColours, ColourTables& tables,
                     const ColourEdit& edit);
// Colours the molecule again by a table or a field, as after pasted values;
// the per-atom and per-residue schemes change nothing here.
void Recolour(Molecule& molecule, const ElementColours& elementColours, const ColourTables& tables,
              ColourScheme scheme);

// The scheme of a batch -color word: element, structure, aminoacid,
// temperature, occupancy or index; none for any other word.
std::optional<ColourScheme> ColourSchemeFromName(std::string_view name);

}  // namespace velm
