#pragma once
// Building a molecule's molecular surface: a smooth density summed from its
// atoms, sampled on a grid, contoured by marching cubes, welded, given
// normals and nearest atoms from the density, and oriented outwards.
#include <vector>

#include "core/Vec3.h"
#include "model/VelmSurface.h"

namespace velm {

class Molecule;
class UiHooks;

// The atoms hashed into cells of a box around them, for local density sums.
class AtomBox {
public:
    // From the positions of the frame the surface is built from; hetero atoms
    // are hashed too. Throws "NULL ptr in BuildAtomBox" without positions.
    AtomBox(const Molecule& molecule, const VelmSurface& options);

    bool Empty() const { return empty_; }
    const Vec3& Minimum() const { return minimum_; }
    const Vec3& Maximum() const { return maximum_; }
    // Cell of a point, -1 outside the box.
    long long CellOf(double x, double y, double z) const;

    // Sum of 1 / (s^3 + 1) over nearby atoms, s = |p - a|^2 / R^2, returned
    // as soon as it passes the early exit.
    float Density(double x, double y, double z) const;
    // Density gradient direction (unnormalised, pointing out of the atoms)
    // and the atom with the smallest scaled distance, searching 1 to 4 cells
    // out. Throws "Invalid color index in GradientAndColorIndex" when no atom
    // is that near.
    int GradientAndColorIndex(const float vertex[3], float normal[3]) const;

private:
    // An atom the density sums, with what the sums need, kept in cell order
    // so that a cell's atoms lie side by side in memory.
    struct CellAtom {
        double x, y, z;
        double r, r2;  // radius + probe, and its square
        int index;
    };

    VelmSurface options_;
    bool empty_ = true;
    Vec3 minimum_, maximum_;
    double edge_[3] = {}, inverse_[3] = {};
    long long n_[3] = {}, nxy_ = 0, total_ = 0;
    // Atoms of cell c: cellAtoms_[cellStart_[c] .. cellStart_[c + 1]), in atom
    // order. Atoms the density leaves out (hetero without solvent) are not
    // listed: they would be skipped at every visit.
    std::vector<int> cellStart_;
    std::vector<CellAtom> cellAtoms_;
};

// Builds the molecule's surface from its current frame with its surface
// options, reporting progress (0..200) through the UI hooks and stopping,
// unbuilt, when they report "Cancel" (returns false then, else true). The
// grid is sampled and contoured a few z layers at a time, so memory follows
// the mesh and one layer of the grid, not the box's volume. `threads` > 1
// shares each step among threads with exactly the serial result. A molecule
// without atoms builds nothing. Throws VelmError ("Out of memory", "Invalid
// color index in GradientAndColorIndex", ...); the surface then stays unbuilt.
bool BuildSurface(Molecule& molecule, UiHooks& ui, int threads = 0);

// Each atom's share of the mesh area: every triangle's area split equally
// among its three vertices' nearest atoms. Returns three times the triangle
// count. Throws "Can not compute surface area for invalid surface" for an
// unbuilt surface and "Invalid atom index in GetAtomSurfaceArea".
int GetAtomSurfaceArea(const VelmSurface& surface, std::vector<float>& areas, int atomCount);

// The Render > Surface commands on one molecule: without a surface, set the
// style and build; with one of another style, only change the style; with
// one of that style, discard it. A cancelled build leaves no surface.
void SurfaceStyleCommand(Molecule& molecule, SurfaceStyle style, UiHooks& ui);

}  // namespace velm
