#pragma once
// The bond picked for torsion adjustment: its two atoms, the atoms on its
// smaller side, which turn about it, and the rotation applied since it was
// picked. A bond inside a ring has no side that could turn alone.
#include <vector>

namespace velm {

class CVelmDoc;
class Molecule;

// What refuses a ring bond, in the window and in batch mode.
inline constexpr const char* kRingBondText = "This bond is part of a ring: its torsion angle cannot be adjusted";

class TorsionAdjuster {
public:
    // Picking the selected bond again deselects it; any other bond of the
    // molecule is selected with a rotation of 0. An index that names no
    // bond deselects. Throws VelmError "Out of memory".
    void SelectBond(Molecule& molecule, int bond);
    void SelectAtoms(Molecule& molecule, int atomA, int atomB);
    void Deselect();

    // Turns the moving atoms about the bond, in the molecule's current
    // frame, so that the rotation since selection is `degrees`; through the
    // document, which announces the coordinates. 0, and nothing changes,
    // without a turnable bond or when its atoms are closer than 1e-7.
    int RotateTo(CVelmDoc& document, float degrees);

    bool Selected() const { return molecule_ != nullptr; }
    // Selected, but inside a ring: nothing can turn. (A bond to an end atom
    // turns nothing either, but is no ring.)
    bool InRing() const { return molecule_ && ring_; }
    bool CanTurn() const { return molecule_ && !moving_.empty(); }
    Molecule* GetMolecule() const { return molecule_; }
    int AtomA() const { return atomA_; }
    int AtomB() const { return atomB_; }
    const std::vector<int>& Moving() const { return moving_; }
    float Current() const { return current_; }

private:
    int atomA_ = -1, atomB_ = -1;
    std::vector<int> moving_;  // ascending
    float current_ = 0;        // degrees
    bool ring_ = false;
    Molecule* molecule_ = nullptr;
};

}  // namespace velm
