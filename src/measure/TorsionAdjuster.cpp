#include "measure/TorsionAdjuster.h"

#include <cmath>
#include <new>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {

// Marks every atom reachable from `start` without passing `blocked`. With an
// explicit stack: a chain of 100,000 atoms is too deep to recurse.
void Flood(const Molecule& m, int start, int blocked, std::vector<char>& mark, std::vector<int>& stack) {
    mark[static_cast<size_t>(blocked)] = 1;
    mark[static_cast<size_t>(start)] = 1;
    stack.assign(1, start);
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        for (int j : m.Partners(i))
            if (!mark[static_cast<size_t>(j)]) {
                mark[static_cast<size_t>(j)] = 1;
                stack.push_back(j);
            }
    }
    mark[static_cast<size_t>(blocked)] = 0;
    mark[static_cast<size_t>(start)] = 0;
}

}  // namespace

void TorsionAdjuster::SelectBond(Molecule& molecule, int bond) {
    if (bond < 0 || bond >= static_cast<int>(molecule.bonds.size())) {
        Deselect();
        return;
    }
    const Bond& b = molecule.bonds[static_cast<size_t>(bond)];
    SelectAtoms(molecule, b.first, b.second);
}

void TorsionAdjuster::SelectAtoms(Molecule& molecule, int atomA, int atomB) {
    if (&molecule == molecule_ && ((atomA == atomA_ && atomB == atomB_) || (atomA == atomB_ && atomB == atomA_))) {
        Deselect();
        return;
    }
    const int n = molecule.AtomCount();
    if (atomA < 0 || atomB < 0 || atomA >= n || atomB >= n || atomA == atomB) {
        Deselect();
        return;
    }
    Deselect();
    try {
        std::vector<char> sideA(static_cast<size_t>(n)), sideB(static_cast<size_t>(n));
        std::vector<int> stack;
        Flood(molecule, atomA, atomB, sideA, stack);
        Flood(molecule, atomB, atomA, sideB, stack);
        // In a ring the two sides meet: each reaches the other's atoms around
        // the bond. (Equal sides alone would miss a ring with a chain on it.)
        size_t countA = 0, countB = 0;
        bool ring = false;
        for (size_t i = 0; i < sideA.size(); ++i) {
            countA += sideA[i] != 0;
            countB += sideB[i] != 0;
            ring = ring || (sideA[i] && sideB[i]);
        }
        std::vector<int> moving;
        if (!ring) {
            // The ends themselves stay: they lie on the axis.
            const std::vector<char>& side = countB < countA ? sideB : sideA;
            moving.reserve(countB < countA ? countB : countA);
            for (size_t i = 0; i < side.size(); ++i)
                if (side[i]) moving.push_back(static_cast<int>(i));
        }
        moving_ = std::move(moving);
        ring_ = ring;
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }
    molecule_ = &molecule;
    atomA_ = atomA;
    atomB_ = atomB;
    current_ = 0;
}

void TorsionAdjuster::Deselect() {
    atomA_ = atomB_ = -1;
    moving_.clear();
    current_ = 0;
    ring_ = false;
    molecule_ = nullptr;
}

int TorsionAdjuster::RotateTo(CVelmDoc& document, float degrees) {
    if (!CanTurn()) return 0;
    Molecule& m = *molecule_;
    const Vec3 a = m.Position(atomA_), axis = m.Position(atomB_) - a;
    const double length = Length(axis);
    if (length < 1e-7) return 0;
    const Vec3 u = axis * (1 / length);
    const double delta = static_cast<double>(degrees - current_) * 0.0174532925;
    const double c = std::cos(delta), s = std::sin(delta), t = 1 - c;
    // Rodrigues: R = c I + t u u^T + s [u]x.
    const double r[3][3] = {{c + t * u.x * u.x, t * u.x * u.y - s * u.z, t * u.x * u.z + s * u.y},
                            {t * u.x * u.y + s * u.z, c + t * u.y * u.y, t * u.y * u.z - s * u.x},
                            {t * u.x * u.z - s * u.y, t * u.y * u.z + s * u.x, c + t * u.z * u.z}};
    const auto turn = [&](const Vec3& p) {
        const Vec3 v = p - a;
        return a + Vec3{r[0][0] * v.x + r[0][1] * v.y + r[0][2] * v.z, r[1][0] * v.x + r[1][1] * v.y + r[1][2] * v.z,
                        r[2][0] * v.x + r[2][1] * v.y + r[2][2] * v.z};
    };
    document.EditMolecule(m, DocumentChange::Coordinates, [&](Molecule& edited) {
        if (edited.currentFrame > 0 && edited.currentFrame <= edited.FrameCount()) {
            Frame& frame = edited.frames[edited.currentFrame - 1];
            for (int i : moving_) frame.SetPosition(static_cast<size_t>(i), turn(frame.Position(static_cast<size_t>(i))));
        } else {
            for (int i : moving_) {
                Atom& atom = edited.atoms[static_cast<size_t>(i)];
                const Vec3 p = turn(atom.Position());
                atom.x = p.x;
                atom.y = p.y;
                atom.z = p.z;
            }
        }
    });
    current_ = degrees;
    return 1;
}

}  // namespace velm
