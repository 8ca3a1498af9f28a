#include "measure/Measurement.h"

#include <algorithm>
#include <cmath>

#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

namespace {

constexpr float kPi = 3.1415927f;

float Dot3(const float a[3], const float b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
void Minus(const float a[3], const float b[3], float out[3]) {
    for (int k = 0; k < 3; ++k) out[k] = a[k] - b[k];
}

}  // namespace

float BondAngle(const float p0[3], const float p1[3], const float p2[3]) {
    float u[3], v[3];
    Minus(p2, p1, u);
    Minus(p1, p0, v);
    const float lengths = std::sqrt(Dot3(u, u)) * std::sqrt(Dot3(v, v));
    // Two atoms in one place (a molecule and its duplicate) make no angle.
    if (!(lengths > 0)) return 0;
    // Rounding may take a straight line's cosine just past 1.
    return kPi - std::acos(std::clamp(Dot3(u, v) / lengths, -1.0f, 1.0f));
}

float TorsionAngle(const float p0[3], const float p1[3], const float p2[3], const float p3[3]) {
    float b1[3], b2[3], b3[3];
    Minus(p1, p0, b1);
    Minus(p2, p1, b2);
    Minus(p3, p2, b3);
    const float s = Dot3(b2, b1), d = Dot3(b2, b2), e = Dot3(b1, b1) * d;
    if (std::fabs(s * s - e) < 1e-7f) return 0;
    const float f = Dot3(b2, b3), g = d * Dot3(b3, b3);
    if (std::fabs(f * f - g) < 1e-7f) return 0;
    const float c = std::clamp((s * f - d * Dot3(b1, b3)) / std::sqrt((g - f * f) * (e - s * s)), -1.0f, 1.0f);
    const float cross[3] = {b1[1] * b2[2] - b1[2] * b2[1], b1[2] * b2[0] - b1[0] * b2[2], b1[0] * b2[1] - b1[1] * b2[0]};
    return Dot3(b3, cross) >= 0 ? std::acos(c) : -std::acos(c);
}

bool Measurement::AddOrRemovePicked(int kind, int atom, Molecule* molecule) {
    if (!molecule || atom < 0 || atom >= molecule->AtomCount()) return false;
    const int n = Count();
    MeasuredAtom picked{kind, atom, molecule, 0, 0};
    if (n > 0 && picked.SameAs(atoms_[n - 1])) {
        Remove(n - 1);
        return true;
    }
    if (n > 0 && picked.SameAs(atoms_[0])) {
        Remove(0);
        return true;
    }
    if ((n > 2 && picked.SameAs(atoms_[1])) || (n > 3 && picked.SameAs(atoms_[2]))) return false;
    if (n == kMaxAtoms) return false;
    const Atom& a = molecule->atoms[static_cast<size_t>(atom)];
    picked.serial = a.serial;
    picked.model = a.model;
    atoms_.Append(picked);
    Recompute();
    return true;
}

void Measurement::Remove(int i) {
    atoms_.Remove(i);
    Recompute();
}

void Measurement::Recompute() {
    const int n = Count();
    float p[kMaxAtoms][3] = {};
    int i = 0;
    for (const MeasuredAtom& m : atoms_) {
        const Vec3 at = Placement(m.molecule->trackball).Place(m.molecule->Position(m.atom));
        p[i][0] = x_[i] = static_cast<float>(at.x);
        p[i][1] = y_[i] = static_cast<float>(at.y);
        p[i][2] = z_[i] = static_cast<float>(at.z);
        ++i;
    }
    for (i = 0; i + 1 < n; ++i) {
        float d[3];
        Minus(p[i + 1], p[i], d);
        bond_[i] = std::sqrt(Dot3(d, d));
    }
    for (i = 0; i + 2 < n; ++i) angle_[i] = BondAngle(p[i], p[i + 1], p[i + 2]);
    torsion_ = n == kMaxAtoms ? TorsionAngle(p[0], p[1], p[2], p[3]) : 0;
}

const MeasuredAtom& Measurement::At(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("Index out of bounds");
    return atoms_[i];
}

float Measurement::X(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("x index out of bounds");
    return x_[i];
}
float Measurement::Y(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("y index out of bounds");
    return y_[i];
}
float Measurement::Z(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("z index out of bounds");
    return z_[i];
}
int Measurement::Id(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("Id index out of bounds");
    return atoms_[i].serial;
}
int Measurement::Model(int i) const {
    if (i < 0 || i >= Count()) throw VelmError("Model index out of bounds");
    return atoms_[i].model;
}
float Measurement::Bond(int i) const {
    if (i < 0 || i + 1 >= Count()) throw VelmError("Bond index out of bounds");
    return bond_[i];
}
float Measurement::Angle(int i) const {
    if (i < 0 || i + 2 >= Count()) throw VelmError("Angle index out of bounds");
    return angle_[i];
}
float Measurement::Torsion() const {
    if (Count() != kMaxAtoms) throw VelmError("Torsion index out of bounds");
    return torsion_;
}
Rgba Measurement::Colour(int i) const {
    const MeasuredAtom& m = At(i);
    return m.molecule->atoms[static_cast<size_t>(m.atom)].colour;
}

void Measurement::Clear() {
    atoms_.Clear();
    Recompute();
}

void Measurement::RemoveAtomsOf(std::span<const Molecule* const> molecules) {
    bool removed = false;
    for (int i = Count() - 1; i >= 0; --i)
        if (std::find(molecules.begin(), molecules.end(), atoms_[i].molecule) != molecules.end()) {
            atoms_.Remove(i);
            removed = true;
        }
    if (removed) Recompute();
}

bool Measurement::KeepAtomsOf(const list<std::unique_ptr<Molecule>>& molecules) {
    bool removed = false;
    for (int i = Count() - 1; i >= 0; --i) {
        const MeasuredAtom& m = atoms_[i];
        bool kept = false;
        // Only addresses are compared: a molecule that went is never read.
        for (const auto& loaded : molecules)
            if (loaded.get() == m.molecule) kept = m.atom < loaded->AtomCount();
        if (!kept) {
            atoms_.Remove(i);
            removed = true;
        }
    }
    if (removed) Recompute();
    return removed;
}

}  // namespace velm
