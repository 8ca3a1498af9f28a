#include "surface/HydrogenBonds.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
constexpr double kEnergyFactor = 27.888;  // 0.084 x 332 kcal/mol
constexpr double kBondEnergy = -0.5;
constexpr double kMaxHoDistance2 = 4.4099994;  // 2.1 A, as a float squares it
constexpr double kVirtualAngle = 1.2;          // rad
constexpr double kTiny = 1e-7;
constexpr double kCellEdge = 4.0;

struct Candidate {
    int molecule;
    int atom;
    bool acceptor;
};

// Each molecule's displayed positions in one frame of reference.
struct Scene {
    std::vector<const Molecule*> molecules;
    std::vector<std::vector<Vec3>> positions;
};

ElementType ElementOf(const Molecule& m, int i) { return m.atoms[static_cast<size_t>(i)].element; }

// The pair test for donor-side atom d and acceptor oxygen o.
bool Bonded(const Scene& s, const Candidate& d, const Candidate& o) {
    const Molecule& dm = *s.molecules[static_cast<size_t>(d.molecule)];
    const Molecule& om = *s.molecules[static_cast<size_t>(o.molecule)];
    const auto oPartners = om.Partners(o.atom);
    if (oPartners.size() != 1) return false;
    if (&dm == &om && dm.atoms[static_cast<size_t>(d.atom)].model != om.atoms[static_cast<size_t>(o.atom)].model) return false;
    const auto& dp = s.positions[static_cast<size_t>(d.molecule)];
    const auto& op = s.positions[static_cast<size_t>(o.molecule)];
    const Vec3 O = op[static_cast<size_t>(o.atom)], C = op[static_cast<size_t>(oPartners[0])];
    const auto dPartners = dm.Partners(d.atom);
    if (ElementOf(dm, d.atom) == Hydrogen) {
        const Vec3 H = dp[static_cast<size_t>(d.atom)], N = dp[static_cast<size_t>(dPartners[0])];
        return HydrogenBondEnergy(N, H, O, C) < kBondEnergy;
    }
    // A nitrogen: its own hydrogens are tested in its place.
    Vec3 partners[2];
    for (const int p : dPartners) {
        if (ElementOf(dm, p) == Hydrogen) return false;
    }
    const int count = static_cast<int>(dPartners.size());
    for (int k = 0; k < std::min(count, 2); ++k) partners[k] = dp[static_cast<size_t>(dPartners[static_cast<size_t>(k)])];
    const Vec3 N = dp[static_cast<size_t>(d.atom)];
    const auto H = VirtualHydrogen(N, partners, count, O);
    return H && HydrogenBondEnergy(N, *H, O, C) < kBondEnergy;
}

}  // namespace

double HydrogenBondEnergy(const Vec3& n, const Vec3& h, const Vec3& o, const Vec3& c) {
    const Vec3 ho = h - o;
    if (Dot(ho, ho) > kMaxHoDistance2) return 0.5;
    return kEnergyFactor * (1 / Length(h - c) + 1 / Length(n - o) - 1 / Length(ho) - 1 / Length(n - c));
}

std::optional<Vec3> VirtualHydrogen(const Vec3& n, const Vec3* partners, int count, const Vec3& acceptor) {
    if (count == 1) {
        const Vec3 pn = n - partners[0], no = acceptor - n;
        const double lpn = Length(pn), lno = Length(no);
        if (lpn < kTiny || lno < kTiny) return std::nullopt;
        const Vec3 v = pn * (1 / lpn), u = no * (1 / lno);
        Vec3 w = u - v * Dot(u, v);
        const double lw = Length(w);
        if (lw < kTiny) return std::nullopt;
        w = w * (1 / lw);
        return n + w * std::sin(kVirtualAngle) + v * std::cos(kVirtualAngle);
    }
    if (count == 2) {
        const Vec3 b = (n - partners[0]) + (n - partners[1]);
        const double lb = Length(b);
        if (lb < kTiny) return std::nullopt;
        return n + b * (1 / lb);
    }
    return std::nullopt;
}

list<DisplayHBond> FindDisplayHydrogenBonds(const CVelmDoc& doc) {
    list<DisplayHBond> found;
    if (doc.Molecules().Empty()) return found;

    Scene s;
    const bool several = doc.Molecules().Count() > 1;
    for (const auto& m : doc.Molecules()) {
        s.molecules.push_back(m.get());
        std::vector<Vec3> p(m->atoms.size());
        const Placement place(m->trackball);
        for (int i = 0; i < m->AtomCount(); ++i) p[static_cast<size_t>(i)] = several ? place.Place(m->Position(i)) : m->Position(i);
        s.positions.push_back(std::move(p));
    }

    // Candidates and the box around every atom.
    std::vector<Candidate> candidates;
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    for (size_t k = 0; k < s.molecules.size(); ++k) {
        const Molecule& m = *s.molecules[k];
        for (int i = 0; i < m.AtomCount(); ++i) {
            const Vec3& p = s.positions[k][static_cast<size_t>(i)];
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            const auto partners = m.Partners(i);
            switch (ElementOf(m, i)) {
            case Hydrogen:
                if (partners.size() == 1 && (ElementOf(m, partners[0]) == Nitrogen || ElementOf(m, partners[0]) == Oxygen))
                    candidates.push_back({static_cast<int>(k), i, false});
                break;
            case Nitrogen: candidates.push_back({static_cast<int>(k), i, false}); break;
            case Oxygen:
                if (partners.size() == 1) candidates.push_back({static_cast<int>(k), i, true});
                break;
            default: break;
            }
        }
    }
    if (candidates.empty() || !(hi.x >= lo.x)) return found;

    const double extent[3] = {hi.x - lo.x, hi.y - lo.y, hi.z - lo.z};
    double edge[3];
    long long n[3];
    for (int a = 0; a < 3; ++a) {
        edge[a] = extent[a] >= 200 ? 0.02 * extent[a] : kCellEdge;
        n[a] = static_cast<long long>(extent[a] / edge[a]) + 1;
    }
    const long long cells = n[0] * n[1] * n[2];
    std::vector<long long> cellOf(candidates.size());
    std::vector<int> start(static_cast<size_t>(cells) + 1, 0);
    for (size_t c = 0; c < candidates.size(); ++c) {
        const Vec3& p = s.positions[static_cast<size_t>(candidates[c].molecule)][static_cast<size_t>(candidates[c].atom)];
        const long long ix = static_cast<long long>((p.x - lo.x) / edge[0]);
        const long long iy = static_cast<long long>((p.y - lo.y) / edge[1]);
        const long long iz = static_cast<long long>((p.z - lo.z) / edge[2]);
        cellOf[c] = ix + iy * n[0] + iz * n[0] * n[1];
        ++start[static_cast<size_t>(cellOf[c]) + 1];
    }
    for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
    std::vector<int> members(candidates.size());
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (size_t c = 0; c < candidates.size(); ++c) members[static_cast<size_t>(fill[static_cast<size_t>(cellOf[c])]++)] = static_cast<int>(c);
    }

    static constexpr int kHalfShell[14][3] = {{0, 0, 0},  {1, 0, 0},  {0, 1, 0},  {0, 0, 1},  {1, 1, 0},
                                              {1, 0, 1},  {0, 1, 1},  {1, -1, 0}, {-1, 0, 1}, {0, -1, 1},
                                              {1, 1, 1},  {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}};
    const auto add = [&](const Candidate& d, const Candidate& o) {
        if (Bonded(s, d, o))
            found.Append({s.molecules[static_cast<size_t>(d.molecule)], s.molecules[static_cast<size_t>(o.molecule)], d.atom, o.atom});
    };
    for (long long z = 0; z < n[2]; ++z)
        for (long long y = 0; y < n[1]; ++y)
            for (long long x = 0; x < n[0]; ++x) {
                const long long first = x + y * n[0] + z * n[0] * n[1];
                if (start[static_cast<size_t>(first)] == start[static_cast<size_t>(first) + 1]) continue;
                for (const auto& off : kHalfShell) {
                    const long long X = x + off[0], Y = y + off[1], Z = z + off[2];
                    if (X < 0 || Y < 0 || Z < 0 || X >= n[0] || Y >= n[1] || Z >= n[2]) continue;
                    const long long second = X + Y * n[0] + Z * n[0] * n[1];
                    // Donors here with acceptors there, then, for another
                    // cell, acceptors here with donors there.
                    for (int pass = 0; pass < (second == first ? 1 : 2); ++pass)
                        for (int a = start[static_cast<size_t>(first)]; a < start[static_cast<size_t>(first) + 1]; ++a) {
                            const Candidate& ca = candidates[static_cast<size_t>(members[static_cast<size_t>(a)])];
                            if (ca.acceptor != (pass == 1)) continue;
                            for (int b = start[static_cast<size_t>(second)]; b < start[static_cast<size_t>(second) + 1]; ++b) {
                                const Candidate& cb = candidates[static_cast<size_t>(members[static_cast<size_t>(b)])];
                                if (cb.acceptor == ca.acceptor) continue;
                                if (pass == 0) add(ca, cb);
                                else add(cb, ca);
                            }
                        }
                }
            }
    return found;
}

void RecomputeHydrogenBonds(CVelmDoc& doc) { doc.SetHydrogenBonds(FindDisplayHydrogenBonds(doc)); }

}  // namespace velm
