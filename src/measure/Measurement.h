#pragma once
// Up to four picked atoms, A to D in pick order, with the geometry they
// define: their positions in the scene and the bond lengths, angles and
// torsion between them. Atoms of different molecules measure against each
// other where the scene shows them.
#include <memory>
#include <span>

#include "core/List.h"
#include "core/Rgba.h"

namespace velm {

class Molecule;

struct MeasuredAtom {
    int kind = 1;  // the pick's kind: 1 atom
    int atom = -1;
    Molecule* molecule = nullptr;  // not owned
    int serial = 0;
    int model = 0;

    bool SameAs(const MeasuredAtom& o) const { return kind == o.kind && atom == o.atom && molecule == o.molecule; }
};

class Measurement {
public:
    static constexpr int kMaxAtoms = 4;

    // A pick while measuring: the last or the first atom picked again leaves,
    // inner atoms stay, a fifth is ignored, any other joins at the end.
    // True when the list changed.
    bool AddOrRemovePicked(int kind, int atom, Molecule* molecule);

    // Positions from the molecules' current frames placed by their
    // trackballs, and the values derived from them.
    void Recompute();

    int Count() const { return atoms_.Count(); }
    const MeasuredAtom& At(int i) const;
    // Throw VelmError "x index out of bounds" etc. for an atom not listed,
    // "Bond index out of bounds" unless both ends are, "Angle index out of
    // bounds" unless all three are, "Torsion index out of bounds" unless four.
    float X(int i) const;
    float Y(int i) const;
    float Z(int i) const;
    int Id(int i) const;
    int Model(int i) const;
    float Bond(int i) const;
    float Angle(int i) const;  // radians
    float Torsion() const;     // radians, -pi..pi
    Rgba Colour(int i) const;  // "Index out of bounds"

    void Clear();
    // Drops the atoms of these molecules, before they go.
    void RemoveAtomsOf(std::span<const Molecule* const> molecules);
    // Drops the atoms whose molecule is not among these (any more) or whose
    // index no longer names an atom: what is left after molecules went.
    // True when any went.
    bool KeepAtomsOf(const list<std::unique_ptr<Molecule>>& molecules);

private:
    void Remove(int i);

    list<MeasuredAtom> atoms_;
    float x_[kMaxAtoms] = {}, y_[kMaxAtoms] = {}, z_[kMaxAtoms] = {};
    float bond_[kMaxAtoms - 1] = {};
    float angle_[kMaxAtoms - 2] = {};
    float torsion_ = 0;
};

// The dihedral angle p0-p1-p2-p3 in radians (-pi..pi), 0 when either end
// triple is collinear within 1e-7.
float TorsionAngle(const float p0[3], const float p1[3], const float p2[3], const float p3[3]);
// The angle at p1 between p0 and p2 in radians; 0 when an arm has no length.
float BondAngle(const float p0[3], const float p1[3], const float p2[3]);

}  // namespace velm
