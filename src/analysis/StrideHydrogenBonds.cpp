// Backbone hydrogen bonds of a run: N-H donors against C=O acceptors, scored
// by a GRID-type energy and by contact and plane criteria.
#include <algorithm>
#include <cmath>

#include "analysis/StrideRun.h"

namespace velm {

namespace {

constexpr double kMaxDistance = 6.0;
constexpr double kRadians = 0.01745329277777778;

struct Donor {
    int chain, residue;
    char id;
    Vec3 n, h, ca, cPrev;
};

struct Acceptor {
    int chain, residue;
    char id;
    Vec3 o, c, ca;
};

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vec3 AtomAt(const StrideResidue& r, int index) { return r.atoms[index].Position(); }

std::vector<Donor> CollectDonors(const StrideRun& run) {
    std::vector<Donor> donors;
    for (int c = 0; c < static_cast<int>(run.chains.size()); ++c) {
        const StrideChain& chain = run.chains[c];
        for (int i = 1; i < chain.Count(); ++i) {
            const StrideResidue& r = chain.residues[i];
            const int N = r.Find("N"), H = r.Find("H"), CA = r.Find("CA"), C = chain.residues[i - 1].Find("C");
            if (N < 0 || H < 0 || CA < 0 || C < 0) continue;
            donors.push_back({c, i, chain.id, AtomAt(r, N), AtomAt(r, H), AtomAt(r, CA),
                              AtomAt(chain.residues[i - 1], C)});
        }
    }
    return donors;
}

std::vector<Acceptor> CollectAcceptors(const StrideRun& run) {
    std::vector<Acceptor> acceptors;
    for (int c = 0; c < static_cast<int>(run.chains.size()); ++c) {
        const StrideChain& chain = run.chains[c];
        for (int i = 0; i + 1 < chain.Count(); ++i) {
            const StrideResidue& r = chain.residues[i];
            const int O = r.Find("O"), C = r.Find("C"), CA = r.Find("CA");
            if (O < 0 || C < 0 || CA < 0) continue;
            acceptors.push_back({c, i, chain.id, AtomAt(r, O), AtomAt(r, C), AtomAt(r, CA)});
        }
    }
    return acceptors;
}

// Neighbours along one chain never bond with each other.
bool Skipped(const Donor& d, const Acceptor& a) {
    return d.id == a.id && std::abs(d.residue - a.residue) <= 1;
}

bool Within(double angle) { return angle >= 90.0 && angle <= 180.0; }

double Folded(double torsion) {
    double v = std::fabs(torsion);
    if (v > 90.0 && v < 270.0) v = std::fabs(180.0 - v);
    return v;
}

class BondSearch {
public:
    BondSearch(StrideRun& run) : run_(run), donors_(CollectDonors(run)), acceptors_(CollectAcceptors(run)) {
        capacity_ = 3 * static_cast<size_t>(run.totalResidues);
    }

    void AllPairs() {
        for (int d = 0; d < static_cast<int>(donors_.size()); ++d)
            for (int a = 0; a < static_cast<int>(acceptors_.size()); ++a) {
                if (Skipped(donors_[d], acceptors_[a])) continue;
                if (run_.bonds.size() == capacity_) throw StrideError();
                Examine(donors_[d], acceptors_[a]);
            }
    }

    // Acceptors binned in cells of the cut-off; each donor takes those of its
    // 27 cells in acceptor order, so bonds come out exactly as from AllPairs.
    void Grid() {
        if (acceptors_.empty() || donors_.empty()) return;
        Vec3 lo = acceptors_[0].o, hi = lo;
        for (const Acceptor& a : acceptors_) {
            lo.x = std::min(lo.x, a.o.x), lo.y = std::min(lo.y, a.o.y), lo.z = std::min(lo.z, a.o.z);
            hi.x = std::max(hi.x, a.o.x), hi.y = std::max(hi.y, a.o.y), hi.z = std::max(hi.z, a.o.z);
        }
        // Cells of at least the cut-off, no more of them than a few per acceptor.
        double size = kMaxDistance;
        auto cellsPerAxis = [&](double extent) { return static_cast<long long>(extent / size) + 1; };
        while (cellsPerAxis(hi.x - lo.x) * cellsPerAxis(hi.y - lo.y) * cellsPerAxis(hi.z - lo.z) >
               8 * static_cast<long long>(acceptors_.size()) + 64)
            size *= 2;
        const long long nx = cellsPerAxis(hi.x - lo.x), ny = cellsPerAxis(hi.y - lo.y), nz = cellsPerAxis(hi.z - lo.z);
        auto axisCell = [&](double v, double origin) { return static_cast<long long>(std::floor((v - origin) / size)); };
        auto index = [&](long long x, long long y, long long z) { return (x * ny + y) * nz + z; };
        // Counting sort keeps the acceptors of one cell in list order.
        std::vector<int> start(static_cast<size_t>(nx * ny * nz) + 1, 0), cellOf(acceptors_.size());
        for (size_t a = 0; a < acceptors_.size(); ++a) {
            const Vec3& o = acceptors_[a].o;
            cellOf[a] = static_cast<int>(index(axisCell(o.x, lo.x), axisCell(o.y, lo.y), axisCell(o.z, lo.z)));
            ++start[cellOf[a] + 1];
        }
        for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
        std::vector<int> sorted(acceptors_.size()), fill(start.begin(), start.end() - 1);
        for (size_t a = 0; a < acceptors_.size(); ++a) sorted[fill[cellOf[a]]++] = static_cast<int>(a);

        std::vector<int> near;
        for (int d = 0; d < static_cast<int>(donors_.size()); ++d) {
            const Vec3& n = donors_[d].n;
            const long long cx = axisCell(n.x, lo.x), cy = axisCell(n.y, lo.y), cz = axisCell(n.z, lo.z);
            near.clear();
            for (long long x = std::max(cx - 1, 0LL); x <= std::min(cx + 1, nx - 1); ++x)
                for (long long y = std::max(cy - 1, 0LL); y <= std::min(cy + 1, ny - 1); ++y)
                    for (long long z = std::max(cz - 1, 0LL); z <= std::min(cz + 1, nz - 1); ++z) {
                        const long long c = index(x, y, z);
                        near.insert(near.end(), sorted.begin() + start[c], sorted.begin() + start[c + 1]);
                    }
            std::sort(near.begin(), near.end());
            for (int a : near) {
                if (Skipped(donors_[d], acceptors_[a])) continue;
                Examine(donors_[d], acceptors_[a]);
                // The full enumeration stops at the next pair it would examine,
                // near or far, once the list is full.
                if (run_.bonds.size() == capacity_ && LaterPairExists(d, a)) throw StrideError();
            }
        }
    }

private:
    bool LaterPairExists(int d, int a) const {
        for (int b = a + 1; b < static_cast<int>(acceptors_.size()); ++b)
            if (!Skipped(donors_[d], acceptors_[b])) return true;
        for (int e = d + 1; e < static_cast<int>(donors_.size()); ++e)
            for (const Acceptor& b : acceptors_)
                if (!Skipped(donors_[e], b)) return true;
        return false;
    }

    void Examine(const Donor& d, const Acceptor& a) {
        const double distance = Length(d.n - a.o);
        if (distance > kMaxDistance) return;
        HydrogenBond b;
        b.donorChain = d.chain, b.donorResidue = d.residue;
        b.acceptorChain = a.chain, b.acceptorResidue = a.residue;
        b.distance = static_cast<float>(distance);
        ComputeBondEnergy(b, d.n, d.h, a.o, a.c, a.ca);
        b.energyAccepted = b.energy < -10.0f && std::fabs(b.et) > 1e-6f && std::fabs(b.ep) > 1e-6f;

        b.hoDistance = static_cast<float>(Length(d.h - a.o));
        b.angleNHO = static_cast<float>(Angle(d.n, d.h, a.o));
        b.angleCOH = static_cast<float>(Angle(a.c, a.o, d.h));
        b.contactAccepted = b.hoDistance <= 2.5f && Within(b.angleNHO) && Within(b.angleCOH);

        if (b.distance <= 3.5f) {
            b.angleNOC = static_cast<float>(Angle(d.n, a.o, a.c));
            b.angleONC = static_cast<float>(Angle(a.o, d.n, d.cPrev));
            b.donorPlane = static_cast<float>(Folded(Torsion(d.ca, d.n, d.cPrev, a.o)));
            b.acceptorPlane = static_cast<float>(Folded(Torsion(d.n, a.o, a.c, a.ca)));
            b.planeAccepted = Within(b.angleNOC) && Within(b.angleONC) && b.donorPlane <= 60.0f &&
                              b.acceptorPlane <= 90.0f;
        }
        if (!((b.energyAccepted && b.energy < 0) || b.planeAccepted || b.contactAccepted)) return;

        const int index = static_cast<int>(run_.bonds.size());
        run_.bonds.push_back(b);
        StrideResidue& donor = run_.Residue(d.chain, d.residue);
        StrideResidue& acceptor = run_.Residue(a.chain, a.residue);
        if (donor.donorBonds.size() < kStrideMaxBondsPerResidue) donor.donorBonds.push_back(index);
        if (acceptor.acceptorBonds.size() < kStrideMaxBondsPerResidue) acceptor.acceptorBonds.push_back(index);
        if (d.id != a.id) donor.interchain = acceptor.interchain = true;
    }

    StrideRun& run_;
    std::vector<Donor> donors_;
    std::vector<Acceptor> acceptors_;
    size_t capacity_ = 0;
};

int FindBond(const StrideRun& run, int donorChain, int donor, int acceptorChain, int acceptor, bool plane) {
    const StrideResidue& d = run.chains[donorChain].residues[donor];
    const StrideResidue& a = run.chains[acceptorChain].residues[acceptor];
    for (int index : d.donorBonds) {
        const HydrogenBond& b = run.bonds[index];
        if (!(plane ? b.planeAccepted : b.energyAccepted)) continue;
        if (std::find(a.acceptorBonds.begin(), a.acceptorBonds.end(), index) != a.acceptorBonds.end()) return index;
    }
    return -1;
}

}  // namespace

void ComputeBondEnergy(HydrogenBond& bond, const Vec3& n, const Vec3& h, const Vec3& o, const Vec3& c,
                       const Vec3& ca) {
    double d = bond.distance;
    if (d < 3.0) {
        d = 3.0;
        bond.distance = 3.0f;
    }
    const double r2 = (3.0 / d) * (3.0 / d), r6 = r2 * r2 * r2;
    const double er = 8.4 * r6 * r2 - 11.2 * r6;
    const Vec3 normal = Cross(o - c, ca - c);
    const double length = Length(normal);
    const Vec3 unit = normal * (1.0 / length);
    // The projection is divided by |n| once more, as the method defines it.
    const Vec3 projected = h - unit * (Dot(unit, h - o) / length);
    const double ti = std::fabs(180.0 - Angle(projected, o, c));
    const double to = Angle(h, o, projected);
    const double p = Angle(n, h, o);
    double et = 0;
    if (ti >= 0 && ti < 90)
        et = (0.9 + 0.1 * std::sin(2 * ti * kRadians)) * std::cos(to * kRadians);
    else if (ti >= 90 && ti < 110) {
        const double c110 = std::cos(110 * kRadians), cti = std::cos(ti * kRadians);
        et = (0.9 / std::pow(c110, 6)) * std::pow(c110 * c110 - cti * cti, 3) * std::cos(to * kRadians);
    }
    double ep = 0;
    if (p > 90 && p < 270) ep = std::pow(std::cos(p * kRadians), 2);
    bond.er = static_cast<float>(er);
    bond.et = static_cast<float>(et);
    bond.ep = static_cast<float>(ep);
    bond.ti = static_cast<float>(ti);
    bond.to = static_cast<float>(to);
    bond.p = static_cast<float>(p);
    bond.energy = static_cast<float>(er * et * ep * 1000.0);
}

void FindHydrogenBonds(StrideRun& run, bool allPairs) {
    BondSearch search(run);
    if (allPairs)
        search.AllPairs();
    else
        search.Grid();
    if (run.bonds.empty()) throw StrideError();
}

void RemoveDoubleBonds(StrideRun& run) {
    // Bonds of one donor are neighbours in the list (donors are the outer loop).
    auto& bonds = run.bonds;
    for (size_t begin = 0; begin < bonds.size();) {
        size_t end = begin + 1;
        while (end < bonds.size() && bonds[end].donorChain == bonds[begin].donorChain &&
               bonds[end].donorResidue == bonds[begin].donorResidue)
            ++end;
        for (size_t i = begin; i < end; ++i)
            for (size_t j = i + 1; j < end; ++j) {
                HydrogenBond& earlier = bonds[i];
                HydrogenBond& later = bonds[j];
                if (!earlier.energyAccepted || !later.energyAccepted) continue;
                if (5 * later.energy > earlier.energy)
                    later.energyAccepted = false;
                else if (later.energy < 5 * earlier.energy)
                    earlier.energyAccepted = false;
            }
        begin = end;
    }
}

int EnergyBond(const StrideRun& run, int donorChain, int donor, int acceptorChain, int acceptor) {
    return FindBond(run, donorChain, donor, acceptorChain, acceptor, false);
}

int PlaneBond(const StrideRun& run, int donorChain, int donor, int acceptorChain, int acceptor) {
    return FindBond(run, donorChain, donor, acceptorChain, acceptor, true);
}

}  // namespace velm
