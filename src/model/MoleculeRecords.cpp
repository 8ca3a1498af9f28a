#include "model/MoleculeRecords.h"

#include <algorithm>
#include <cmath>

#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

PdbFile MoleculeToPdbFile(const Molecule& mol, int serialOffset, bool normalise) {
    const int n = mol.AtomCount();
    PdbFile file(n);
    const double tmin = mol.minTemperature, tmax = mol.maxTemperature;
    // Where the molecule is shown: a saved superposition or a moved molecule keeps its place.
    const Placement place(mol.trackball);
    for (int i = 0; i < n; ++i) {
        const Atom& a = mol.atoms[i];
        PdbAtomRecord& r = file.atoms[i];
        const Vec3 p = place.Place(mol.Position(i));
        r.x = p.x;
        r.y = p.y;
        r.z = p.z;
        r.serial = serialOffset + a.serial;
        r.occupancy = a.occupancy;
        r.residueNumber = a.residueNumber;
        r.insertionCode = a.insertionCode;
        r.SetRecord(a.hetero ? "HETATM" : "ATOM");
        r.SetAtomName(a.Name());
        r.SetResName(a.ResidueName());
        r.model = a.model;
        r.chain = a.chain;
        if (normalise) {
            const double fraction = std::fabs(tmax - tmin) < 1e-6 ? 1.0 : (a.temperatureFactor - tmin) / (tmax - tmin);
            r.temperatureFactor = 99.8 * fraction + 0.01;
        } else {
            r.temperatureFactor = std::min(a.temperatureFactor, 99.9);
        }
    }
    if (n == 0) return file;

    const int model = mol.atoms[0].model;
    std::vector<int> entryOf(static_cast<size_t>(n), -1);
    for (int i = 0; i < n; ++i) {
        if (mol.atoms[i].model != model) continue;
        entryOf[i] = static_cast<int>(file.conects.size());
        file.conects.push_back(ConectEntry{file.atoms[i].serial, {}});
    }
    for (const Bond& b : mol.bonds) {
        if (entryOf[b.first] < 0) continue;
        file.conects[entryOf[b.first]].partners.push_back(file.atoms[b.second].serial);
        if (entryOf[b.second] >= 0) file.conects[entryOf[b.second]].partners.push_back(file.atoms[b.first].serial);
    }
    return file;
}

void WriteMolecule(std::FILE* out, const Molecule& mol, int serialOffset, int precision, bool writeConect,
                   bool normalise, const std::string& fileName) {
    try {
        MoleculeToPdbFile(mol, serialOffset, normalise).Write(out, precision, writeConect);
    } catch (const VelmError&) {
        throw VelmError("Error saving pdb file, " + fileName);
    } catch (const std::bad_alloc&) {
        throw VelmError("Error saving pdb file, " + fileName);
    }
}

}  // namespace velm
