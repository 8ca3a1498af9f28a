#pragma once
// A loaded structure: atoms of the reference frame, chains and residues,
// covalent bonds, trajectory frames and the values derived from them.
#include <algorithm>
#include <cmath>
#include <span>
#include <string>
#include <vector>

#include "core/List.h"
#include "core/Vec3.h"
#include "model/Atom.h"
#include "model/ColourTables.h"
#include "model/Frame.h"
#include "model/FrameList.h"
#include "model/Monitor.h"
#include "model/RadiusTable.h"
#include "model/RenderMode.h"
#include "model/Residue.h"
#include "model/Trackball.h"
#include "model/VelmSurface.h"

namespace velm {

struct BoundingBox {
    Vec3 minimum;
    Vec3 extent;       // maximum - minimum per axis
    double diagonal = 0;
    double reach = 0;  // the largest distance of an atom from the origin, in any frame
    Vec3 Maximum() const { return minimum + extent; }
};

// The ranges Molecule::UpdateValueRanges finds, taken atom by atom from the
// first: a load takes each atom as it makes it, while it is in the cache.
struct AtomValueRanges {
    explicit AtomValueRanges(const Atom& first)
        : maxTemperature(std::fabs(first.temperatureFactor)), minTemperature(maxTemperature),
          maxOccupancy(std::fabs(first.occupancy)), minOccupancy(maxOccupancy) {}
    void Take(const Atom& a) {
        const double t = std::fabs(a.temperatureFactor), o = std::fabs(a.occupancy);
        maxTemperature = std::max(maxTemperature, t);
        minTemperature = std::min(minTemperature, t);
        maxOccupancy = std::max(maxOccupancy, o);
        minOccupancy = std::min(minOccupancy, o);
    }
    double maxTemperature, minTemperature, maxOccupancy, minOccupancy;
};

class Molecule {
public:
    std::vector<Atom> atoms;
    std::vector<Chain> chains;
    std::vector<Bond> bonds;
    // Bonded partners of atom i: partners[partnerStart[i] .. partnerStart[i + 1]).
    std::vector<int> partnerStart;
    std::vector<int> partners;
    list<Monitor> monitors;

    FrameList frames;                // frame k >= 1 is frames[k - 1]
    std::vector<Vec3> frameCentres;  // centre each list frame had before it was centred
    int currentFrame = 0;            // 0: the atoms' own coordinates

    std::string path;
    BoundingBox box;
    int selected = 0;
    Trackball trackball;  // orientation and translation; trackball.free: moves with the mouse
    Vec3 displayOffset;
    Vec3 centreShift;  // translation applied to centre the structure on its centre of mass

    // Display state: the render pass reads it, display commands set it.
    RenderMode renderMode = WireFrame;
    int showWireFrame = 0;  // the wire frame under a ribbon or tube
    int showSolvent = 0;    // hetero atoms and bonds
    int showLabels = 0;     // serial numbers beside the atoms
    int showMonitors = 0;
    int showMonitorLabels = 0;
    RadiusTable radiusTable;
    VelmSurface surface;
    ColourScheme colourScheme = DefaultAtomColours;  // the last scheme applied to every atom

    // Largest and smallest magnitude of the temperature factors and occupancies as read.
    double maxTemperature = 1.0, minTemperature = 1.0;
    double maxOccupancy = 1.0, minOccupancy = 1.0;

    // Half the bounding-box diagonal.
    double Radius() const { return box.diagonal / 2; }
    int AtomCount() const { return static_cast<int>(atoms.size()); }
    int FrameCount() const { return frames.Count(); }
    int ResidueCount() const;
    int HeteroCount() const;

    std::span<const int> Partners(int atom) const;

    // Coordinates of atom i in frame k (0: the atoms themselves).
    Vec3 Position(int i, int frame) const;
    Vec3 Position(int i) const { return Position(i, currentFrame); }

    // Minimum and maximum over the atoms in the current frame.
    void CurrentFrameBounds(Vec3& minimum, Vec3& maximum) const;

    // The largest and smallest magnitude of the temperature factors and of
    // the occupancies over the atoms; nothing changes without atoms.
    void UpdateValueRanges();
    void SetValueRanges(const AtomValueRanges& ranges);

    // Split-colour flags of every bond from the atoms' current colours.
    void UpdateBondSplitColours();

    // Drops every atom, chain, bond, frame and monitor.
    void Release();
};

}  // namespace velm
