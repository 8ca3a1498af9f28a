#pragma once
// Least-squares superposition of one molecule onto another by a rigid
// rotation and translation (the Kabsch method), and the RMSD of paired atoms.
// Atoms pair by position in the two index lists, up to the shorter list;
// weights are the pair's mean mass or 1. Positions compared are the placed
// ones, p = M (x + t) with each molecule's trackball rotation M and translation t.
#include <span>
#include <vector>

#include "core/Vec3.h"

namespace velm {

class Molecule;

// m[row][column]
struct Matrix3 {
    double m[3][3] = {};
};

// The proper rotation U that best maps centred moving positions onto centred
// fixed ones, from their correlation R[i][j] = sum w fixed_i moving_j.
// Throws VelmError "Zero eigen values in kabsch: ..." for collinear sets and
// "kabsch:: Unable to diagonalize matrix" when no rotation comes out.
Matrix3 KabschRotation(const Matrix3& correlation);

// The same from positions already centred on their weighted centres, one
// weight per pair, up to the shortest of the three spans.
Matrix3 SuperpositionRotation(std::span<const Vec3> fixed, std::span<const Vec3> moving,
                              std::span<const double> weights);

// Moves B onto A: rewrites B's coordinates of its current frame (the atoms'
// own when it shows none) and B's translation, and gives B A's centring
// shift, the coordinates now being A's; B's orientation and A stay.
// Throws VelmError as KabschRotation, and std::out_of_range for an index
// outside a molecule; nothing has changed then.
void superpose(const Molecule& A, Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
               bool massWeighting);

// sqrt(sum w |pA - pB|^2 / sum w) over the pairs; NaN for empty lists.
double computeRmsd(const Molecule& A, const Molecule& B, const std::vector<int>& listA, const std::vector<int>& listB,
                   bool massWeighting);

// Rotates one trajectory frame (x, y, z per atom of `reference`) in place
// onto the reference atoms' own coordinates. Both must already be centred on
// their weighted centres; `weights` holds one per atom. Throws as superpose.
void superposeFrame(const Molecule& reference, float* frame, const double* weights);

}  // namespace velm
