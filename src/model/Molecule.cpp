#include "model/Molecule.h"

#include <algorithm>
#include <cmath>

#include <algorithm>

namespace velm {

int Molecule::ResidueCount() const {
    int n = 0;
    for (const Chain& c : chains) n += static_cast<int>(c.residues.size());
    return n;
}

int Molecule::HeteroCount() const {
    return static_cast<int>(std::count_if(atoms.begin(), atoms.end(), [](const Atom& a) { return a.hetero != 0; }));
}

std::span<const int> Molecule::Partners(int atom) const {
    if (partnerStart.empty()) return {};
    return std::span<const int>(partners).subspan(partnerStart[atom], partnerStart[atom + 1] - partnerStart[atom]);
}

Vec3 Molecule::Position(int i, int frame) const {
    if (frame <= 0 || frame > frames.Count()) return atoms[i].Position();
    return frames[frame - 1].Position(i);
}

void Molecule::CurrentFrameBounds(Vec3& minimum, Vec3& maximum) const {
    minimum = maximum = Vec3{};
    for (int i = 0; i < AtomCount(); ++i) {
        const Vec3 p = Position(i);
        if (i == 0) {
            minimum = maximum = p;
            continue;
        }
        minimum = {std::min(minimum.x, p.x), std::min(minimum.y, p.y), std::min(minimum.z, p.z)};
        maximum = {std::max(maximum.x, p.x), std::max(maximum.y, p.y), std::max(maximum.z, p.z)};
    }
}

void Molecule::UpdateValueRanges() {
    if (atoms.empty()) return;
    // Both ranges in one walk: a million atoms do not stay in the caches between two.
    AtomValueRanges ranges(atoms[0]);
    for (const Atom& a : atoms) ranges.Take(a);
    SetValueRanges(ranges);
}

void Molecule::SetValueRanges(const AtomValueRanges& ranges) {
    maxTemperature = ranges.maxTemperature;
    minTemperature = ranges.minTemperature;
    maxOccupancy = ranges.maxOccupancy;
    minOccupancy = ranges.minOccupancy;
}

void Molecule::UpdateBondSplitColours() {
    for (Bond& b : bonds) b.splitColour = atoms[b.first].colour == atoms[b.second].colour ? 0 : 1;
}

void Molecule::Release() {
    surface.Discard();
    partnerStart.clear();
    partners.clear();
    frames.Clear();
    frameCentres.clear();
    monitors.Clear();
    bonds.clear();
    chains.clear();
    atoms.clear();
    currentFrame = 0;
    box = BoundingBox{};
    centreShift = Vec3{};
    path.clear();
}

}  // namespace velm
