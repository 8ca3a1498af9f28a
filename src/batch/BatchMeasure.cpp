#include "batch/BatchMeasure.h"

#include <algorithm>
#include <string>

#include "core/VelmError.h"
#include "measure/Measurement.h"
#include "measure/MeasurementTable.h"
#include "measure/TorsionAdjuster.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

Molecule& PrimaryMolecule(CVelmDoc& document) {
    if (!document.Primary()) throw VelmError("no molecule is loaded");
    return *document.Primary();
}

// The first atom with the serial: a file of several models repeats them, and
// the first model is the one shown.
int AtomWithSerial(const Molecule& m, int serial) {
    const auto at = std::find_if(m.atoms.begin(), m.atoms.end(), [serial](const Atom& a) { return a.serial == serial; });
    if (at == m.atoms.end()) throw VelmError("no atom has the serial number " + std::to_string(serial));
    return static_cast<int>(at - m.atoms.begin());
}

}  // namespace

void PrintMeasurement(CVelmDoc& document, const std::vector<int>& serials, std::FILE* out) {
    Molecule& m = PrimaryMolecule(document);
    Measurement measurement;
    for (size_t i = 0; i < serials.size(); ++i) {
        // A pick of a listed atom would take it out again.
        if (std::find(serials.begin(), serials.begin() + static_cast<long>(i), serials[i]) != serials.begin() + static_cast<long>(i))
            throw VelmError("-measure names the atom " + std::to_string(serials[i]) + " twice");
        measurement.AddOrRemovePicked(1, AtomWithSerial(m, serials[i]), &m);
    }
    std::fputs(MeasurementText(measurement).c_str(), out);
}

void TurnTorsion(CVelmDoc& document, int a, int b, double degrees) {
    Molecule& m = PrimaryMolecule(document);
    const int atomA = AtomWithSerial(m, a), atomB = AtomWithSerial(m, b);
    const auto partners = m.Partners(atomA);
    if (std::find(partners.begin(), partners.end(), atomB) == partners.end())
        throw VelmError("-torsion: the atoms " + std::to_string(a) + " and " + std::to_string(b) + " are not bonded");
    TorsionAdjuster torsion;
    torsion.SelectAtoms(m, atomA, atomB);
    if (torsion.InRing()) throw VelmError(kRingBondText);
    if (!torsion.CanTurn())
        throw VelmError("-torsion: nothing turns about the bond of the atoms " + std::to_string(a) + " and " +
                        std::to_string(b) + ": one of them ends the molecule");
    if (!torsion.RotateTo(document, static_cast<float>(degrees)))
        throw VelmError("-torsion: the atoms " + std::to_string(a) + " and " + std::to_string(b) + " lie in one place");
}

}  // namespace velm
