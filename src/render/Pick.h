#pragma once
// What lies under the mouse: the scene drawn again in GL selection mode
// through a 10 x 10 pixel window around the point, every atom and bond
// midpoint a named point, the nearest hit winning; for scenes of spheres and
// sticks alone, rays against them instead (RayPick.h), which need no drawing.
#include <memory>
#include <span>
#include <string>

#include "core/List.h"

namespace velm {

class Molecule;
class OffscreenRenderer;
class SceneRenderer;
class UiHooks;

struct PickResult {
    enum Kind : int { None = 0, AtomHit = 1, BondHit = 2 };
    int kind = None;
    int index = -1;  // atom or bond index within the molecule
    Molecule* molecule = nullptr;
};

// Picks at window point (x, y), y running down from the top, in the current
// context with the renderer's scene. In stereo the half the point lies in
// picks in that eye's view. An overflowing selection buffer shows
// "WARNING: select buffer overflow!" and picks nothing; throws
// "Unable to allocate memory for selection!" when the buffer cannot be had.
PickResult Pick(SceneRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y, UiHooks& ui);
// The selection pass alone, through a pick window of `window` pixels square.
inline constexpr double kPickWindow = 10;
PickResult SelectionPick(SceneRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y,
                         UiHooks& ui, double window = kPickWindow);

// The hit records of a selection pass (count, minimum depth, maximum depth,
// names...) resolved to a molecule's atom or bond: the smallest minimum
// depth wins, a later record on a tie. Throws "Selection buffer underflow ->
// match not found!" and "Selection buffer overflow!" for records that name
// nothing in the buffer.
PickResult ResolveHits(std::span<const unsigned> buffer, int hits, const list<std::unique_ptr<Molecule>>& molecules);

// The same in the off-screen context, at the scene's view size.
PickResult PickOffscreen(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y,
                         UiHooks& ui);

// What the status bar's panes 1 to 3 show for a picked atom: its serial
// ("%d"), its name and its residue name and number ("%s%d").
struct PickedAtomText {
    std::string serial, name, residue;
};
PickedAtomText DescribePickedAtom(const Molecule& molecule, int atom);

// The hit in one line of key=value pairs: "pick=atom serial= name= residue=",
// "pick=bond serials=A,B" or "pick=none".
std::string PickResultLine(const PickResult& hit);

}  // namespace velm
