#pragma once
// Hydrogen bonds for display: polar hydrogens (or nitrogens without any) and
// singly bonded oxygens paired through a cell grid, kept when the
// electrostatic bond energy is below -0.5 kcal/mol and H...O is at most 2.1 A.
#include <optional>

#include "core/List.h"
#include "core/Vec3.h"
#include "model/DisplayHBond.h"

namespace velm {

class CVelmDoc;

// The bonds between the displayed positions of every molecule: its current
// frame, moved by its trackball when more than one molecule is loaded.
list<DisplayHBond> FindDisplayHydrogenBonds(const CVelmDoc& document);
// Refills the document's list with them.
void RecomputeHydrogenBonds(CVelmDoc& document);

// The bond energy in kcal/mol of hydrogen H on N with acceptor O on C;
// +0.5 (no bond) when H...O is longer than 2.1 A.
double HydrogenBondEnergy(const Vec3& n, const Vec3& h, const Vec3& o, const Vec3& c);

// Where a nitrogen's missing hydrogen would sit: with one partner p[0], 1 A
// from N in the plane p-N-O at 1.2 rad from the line p->N, towards the
// acceptor; with two, on their outer bisector. None otherwise, or for
// degenerate geometry.
std::optional<Vec3> VirtualHydrogen(const Vec3& n, const Vec3* partners, int count, const Vec3& acceptor);

}  // namespace velm
