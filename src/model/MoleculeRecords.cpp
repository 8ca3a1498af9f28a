#include "model/MoleculeRecords.h"

#include <algorithm>
#include <cmath>

#include "core/VelmError.h"
#include "model/Connectivity.h"
#include "model/Molecule.h"

namespace velm {

namespace {

// Whether the distance rule finds the bond again when the file is read back.
bool DistanceRuleFinds(const Molecule& mol, const Bond& b) {
    const Atom& a = mol.atoms[static_cast<size_t>(b.first)];
    const Atom& c = mol.atoms[static_cast<size_t>(b.second)];
    if (a.model != c.model) return false;
    const double reach = CovalentRadius(a.Name(), a.ElementSymbol()) + CovalentRadius(c.Name(), c.ElementSymbol());
    const Vec3 d = mol.Position(b.first) - mol.Position(b.second);
    return Dot(d, d) < reach * reach;
}

bool SerialsUnique(const Molecule& mol) {
    std::vector<int> serials(mol.atoms.size());
    for (size_t i = 0; i < serials.size(); ++i) serials[i] = mol.atoms[i].serial;
    if (std::is_sorted(serials.begin(), serials.end()) &&
        std::adjacent_find(serials.begin(), serials.end()) == serials.end())
        return std::find(serials.begin(), serials.end(), kNoSerial) == serials.end();
    std::sort(serials.begin(), serials.end());
    return std::adjacent_find(serials.begin(), serials.end()) == serials.end() &&
           (serials.empty() || serials.front() != kNoSerial);
}

}  // namespace

PdbFile MoleculeToPdbFile(const Molecule& mol, int serialOffset, int modelOffset, bool normalise) {
    const int n = mol.AtomCount();
    PdbFile file(n);
    const double tmin = mol.minTemperature, tmax = mol.maxTemperature;
    // Where the molecule is shown: a saved superposition or a moved molecule
    // keeps its place; the centring on load is undone, so that a molecule
    // nobody moved is written where its file had it.
    const Placement place(mol.trackball);
    // Serials that repeat (written modulo 100,000) or are missing would make
    // the CONECT records ambiguous: such atoms are numbered in order.
    const bool renumber = !SerialsUnique(mol);
    int models = 0, lastModel = 0;
    for (int i = 0; i < n; ++i) {
        const Atom& a = mol.atoms[i];
        PdbAtomRecord& r = file.atoms[i];
        const Vec3 p = place.Place(mol.Position(i)) - mol.centreShift;
        r.x = p.x;
        r.y = p.y;
        r.z = p.z;
        r.serial = serialOffset + (renumber ? i + 1 : a.serial);
        r.occupancy = a.occupancy;
        r.residueNumber = a.residueNumber;
        r.insertionCode = a.insertionCode;
        r.SetRecord(a.hetero ? "HETATM" : "ATOM");
        r.SetAtomName(a.Name());
        r.altLoc = a.altLoc;
        r.SetResName(a.ResidueName());
        // Models numbered on from 1 over every molecule of the file.
        if (i == 0 || a.model != lastModel) ++models;
        lastModel = a.model;
        r.model = modelOffset + models;
        r.chain = a.chainAsRead;
        const std::string_view symbol = a.ElementSymbol();
        symbol.copy(r.element, symbol.size());
        r.element[symbol.size()] = '\0';
        if (normalise) {
            const double fraction = std::fabs(tmax - tmin) < 1e-6 ? 1.0 : (a.temperatureFactor - tmin) / (tmax - tmin);
            r.temperatureFactor = 99.8 * fraction + 0.01;
        } else {
            r.temperatureFactor = a.temperatureFactor;
        }
    }
    if (n == 0) return file;

    // CONECT records where the file had them, and for bonds that the
    // distance rule would not find again (links of hetero groups, long
    // bonds); every other bond comes back from the distances.
    const int model = mol.atoms[0].model;
    std::vector<char> listed(static_cast<size_t>(n), 0);
    for (int i = 0; i < n; ++i) listed[i] = mol.atoms[i].hadConect && mol.atoms[i].model == model;
    for (const Bond& b : mol.bonds) {
        if (DistanceRuleFinds(mol, b)) continue;
        if (mol.atoms[b.first].model == model) listed[b.first] = 1;
        if (mol.atoms[b.second].model == model) listed[b.second] = 1;
    }
    for (int i = 0; i < n; ++i) {
        if (!listed[i] || mol.Partners(i).empty()) continue;
        ConectEntry e{file.atoms[i].serial, {}};
        for (int j : mol.Partners(i)) e.partners.push_back(file.atoms[static_cast<size_t>(j)].serial);
        file.conects.push_back(std::move(e));
    }
    return file;
}

int WriteMolecule(std::FILE* out, const Molecule& mol, int serialOffset, int modelOffset, int precision,
                  bool writeConect, bool normalise, const std::string& fileName) {
    try {
        const PdbFile file = MoleculeToPdbFile(mol, serialOffset, modelOffset, normalise);
        file.Write(out, precision, writeConect);
        return file.atoms.empty() ? modelOffset : file.atoms.back().model;
    } catch (const PdbColumnOverflow& e) {
        throw VelmError("Error saving pdb file, " + fileName + ": " + e.text());
    } catch (const VelmError&) {
        throw VelmError("Error saving pdb file, " + fileName);
    } catch (const std::bad_alloc&) {
        throw VelmError("Error saving pdb file, " + fileName);
    }
}

}  // namespace velm
