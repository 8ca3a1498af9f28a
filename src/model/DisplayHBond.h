#pragma once
// A hydrogen bond shown in the scene: the donor-side atom (a hydrogen, or a
// nitrogen that carries none) of one molecule and an acceptor oxygen of the
// same or another molecule.
namespace velm {

class Molecule;

struct DisplayHBond {
    const Molecule* donorMolecule = nullptr;
    const Molecule* acceptorMolecule = nullptr;
    int donor = -1;
    int acceptor = -1;
};

}  // namespace velm
