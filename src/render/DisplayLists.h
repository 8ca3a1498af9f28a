#pragma once
// The view's shared display lists 1 to 6: sphere caps, a disk, two cylinders
// and a cone, all of unit radius, that the representations scale into place.
// Display lists belong to one GL context; each context builds its own.
#include "render/GraphicsQuality.h"

namespace velm {

// The fixed list numbers. Build them before generating the label font's lists,
// so glGenLists never hands these numbers to the font.
enum SharedList : unsigned {
    kSelectionSphereList = 1,    // cap facing +z, selection resolution
    kAtomSphereList = 2,         // cap facing +z, atom resolution
    kDiskList = 3,               // disk of radius 1 at z = 0, facing +z
    kSelectionCylinderList = 4,  // radius 1, from z = 0 to z = 0.1
    kBondCylinderList = 5,       // radius 1, from z = 0 to z = 0.1, bond resolution
    kConeList = 6,               // base radius 1 at z = 0, apex at z = 0.1
};
inline constexpr unsigned kFirstSharedList = kSelectionSphereList;
inline constexpr int kSharedLists = 6;

// Height of lists 4 to 6: a representation scales z by 10 x length.
inline constexpr double kSharedListHeight = 0.1;

// Stacks of a full sphere of this many slices; the cap holds half of them.
int SphereCapStacks(int slices);

// Compiles a unit sphere cap facing +z into `list` of the current context:
// the triangles of a fan from the pole, then of quad strips out to about the
// equator, all wound counter-clockwise seen from outside. Each vertex is its
// own normal.
void BuildSphereCapList(unsigned list, int slices);

class DisplayLists {
public:
    // Compiles all six lists in the current context.
    explicit DisplayLists(const Resolutions& resolutions);

    // Recompiles, in the current context, only the lists whose number of
    // slices differs from what they were built with; returns how many.
    int Update(const Resolutions& resolutions);
    // Recompiles all six, e.g. for a new context.
    void Rebuild(const Resolutions& resolutions);

    // The slices a list was built with.
    int Slices(SharedList list) const { return slices_[list - kFirstSharedList]; }

private:
    void Build(SharedList list, int slices);

    int slices_[kSharedLists] = {};
};

// The slices each list takes from the resolutions.
int SlicesFor(SharedList list, const Resolutions& resolutions);

}  // namespace velm
