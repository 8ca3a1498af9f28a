// Backbone hydrogen bonds of a run: N-H donors against C=O acceptors, scored
// by a GRID-type energy and by contact and plane criteria.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <span>
#include <system_error>
#include <thread>

#include "analysis/StrideRun.h"
#include "core/WorkerThreads.h"

namespace velm {

namespace {

constexpr double kMaxDistance = 6.0;
// Fewer donors are searched on one thread: a thread costs more than it saves.
constexpr int kDonorsPerThread = 2000;
// Donors a thread takes at a time.
constexpr int kDonorsPerRun = 64;
constexpr double kRadians = 0.01745329277777778;

// The cosine of the angle between u and v from their dot product and
// lengths, nudged off +-1.
double Cosine(double dot, double lengthU, double lengthV) { return Nudged(dot / (lengthU * lengthV)); }

// The angle (a, b, c) at b.
double CosAngle(const Vec3& a, const Vec3& b, const Vec3& c) {
    const Vec3 u = a - b, v = c - b;
    return Cosine(Dot(u, v), Length(u), Length(v));
}

// What an acceptor brings to every pair it is tried in: the normal of its
// plane (O, C, CA), that normal's length and the length of C=O. A pair
// computes the same numbers from them as from the atoms.
struct AcceptorPlane {
    Vec3 unit;
    double normalLength = 0, co = 0;

    AcceptorPlane(const Vec3& o, const Vec3& c, const Vec3& ca) {
        const Vec3 normal = Cross(o - c, ca - c);
        normalLength = Length(normal);
        unit = normal * (1.0 / normalLength);
        co = Length(c - o);
    }
};

struct Donor {
    int chain, residue;
    char id;
    Vec3 n, h, ca, cPrev;
    double nh = Length(n - h), cn = Length(cPrev - n);  // N-H and C'-N
};

struct Acceptor {
    int chain, residue;
    char id;
    Vec3 o, c, ca;
    AcceptorPlane plane{o, c, ca};
};

// The lists are reserved for a donor and an acceptor a residue: growing them
// would copy each and touch twice the memory.
std::vector<Donor> CollectDonors(const StrideRun& run) {
    std::vector<Donor> donors;
    donors.reserve(static_cast<size_t>(run.totalResidues));
    for (int c = 0; c < static_cast<int>(run.chains.size()); ++c) {
        const StrideChain& chain = run.chains[c];
        for (int i = 1; i < chain.Count(); ++i) {
            const StrideResidue& r = chain.residues[i];
            const StrideResidue& before = chain.residues[i - 1];
            if (!r.Has(Backbone::N) || !r.Has(Backbone::H) || !r.Has(Backbone::CA) || !before.Has(Backbone::C)) continue;
            donors.push_back({c, i, chain.id, r.At(Backbone::N), r.At(Backbone::H), r.At(Backbone::CA),
                              before.At(Backbone::C)});
        }
    }
    return donors;
}

std::vector<Acceptor> CollectAcceptors(const StrideRun& run) {
    std::vector<Acceptor> acceptors;
    acceptors.reserve(static_cast<size_t>(run.totalResidues));
    for (int c = 0; c < static_cast<int>(run.chains.size()); ++c) {
        const StrideChain& chain = run.chains[c];
        for (int i = 0; i + 1 < chain.Count(); ++i) {
            const StrideResidue& r = chain.residues[i];
            if (!r.Has(Backbone::O) || !r.Has(Backbone::C) || !r.Has(Backbone::CA)) continue;
            acceptors.push_back({c, i, chain.id, r.At(Backbone::O), r.At(Backbone::C), r.At(Backbone::CA)});
        }
    }
    return acceptors;
}

// Neighbours along one chain never bond with each other.
bool Skipped(const Donor& d, const Acceptor& a) {
    return d.id == a.id && std::abs(d.residue - a.residue) <= 1;
}

double Folded(double torsion) {
    double v = std::fabs(torsion);
    if (v > 90.0 && v < 270.0) v = std::fabs(180.0 - v);
    return v;
}

// An angle lies in [90, 180] degrees.
bool Obtuse(double cosine) { return cosine <= 0; }

// The energy's terms from cosines alone: the search computes them for every
// pair within the cut-off, and the angles themselves only for bonds it keeps.
struct EnergyTerms {
    double er = 0, et = 0, ep = 0;
    double cosPOC = 0, cosTo = 0, cosP = 0;  // angles (P', O, C), (H, O, P'), (N, H, O)
};

// `cosNHO` is the cosine of (N, H, O), `ho` the length of H...O.
EnergyTerms Terms(const Vec3& h, const Vec3& o, const Vec3& c, const AcceptorPlane& plane, double cosNHO, double ho,
                  double d) {
    EnergyTerms t;
    const double r2 = (3.0 / d) * (3.0 / d), r6 = r2 * r2 * r2;
    t.er = 8.4 * r6 * r2 - 11.2 * r6;
    // The projection is divided by |n| once more, as the method defines it.
    const Vec3 projected = h - plane.unit * (Dot(plane.unit, h - o) / plane.normalLength);
    const Vec3 po = projected - o;
    const double poLength = Length(po);
    t.cosPOC = Cosine(Dot(po, c - o), poLength, plane.co);
    t.cosTo = Cosine(Dot(h - o, po), ho, poLength);
    t.cosP = cosNHO;
    // ti = 180 - angle(P', O, C): below 90 when that cosine is negative, below
    // 110 while it is under cos 70; sin 2ti = -2 sin cos of the angle itself.
    static const double cos70 = std::cos(70 * kRadians), cos110 = std::cos(110 * kRadians);
    const double cti = t.cosPOC;
    if (cti < 0) {
        t.et = (0.9 + 0.1 * (-2 * cti * std::sqrt(1 - cti * cti))) * t.cosTo;
    } else if (cti < cos70) {
        const double c2 = cos110 * cos110, d2 = c2 - cti * cti;
        t.et = (0.9 / (c2 * c2 * c2)) * d2 * d2 * d2 * t.cosTo;
    }
    if (t.cosP < 0) t.ep = t.cosP * t.cosP;
    return t;
}

void StoreTerms(HydrogenBond& bond, const EnergyTerms& t) {
    bond.er = static_cast<float>(t.er);
    bond.et = static_cast<float>(t.et);
    bond.ep = static_cast<float>(t.ep);
    bond.energy = static_cast<float>(t.er * t.et * t.ep * 1000.0);
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
        // Positions that are not finite are never within the cut-off of anything.
        auto finite = [](const Vec3& p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); };
        bool any = false;
        Vec3 lo, hi;
        for (const Acceptor& a : acceptors_) {
            if (!finite(a.o)) continue;
            if (!any) lo = hi = a.o, any = true;
            lo.x = std::min(lo.x, a.o.x), lo.y = std::min(lo.y, a.o.y), lo.z = std::min(lo.z, a.o.z);
            hi.x = std::max(hi.x, a.o.x), hi.y = std::max(hi.y, a.o.y), hi.z = std::max(hi.z, a.o.z);
        }
        if (!any || donors_.empty()) return;
        // Cells of at least the cut-off, no more of them than a few per acceptor.
        double size = kMaxDistance;
        auto cellsPerAxis = [&](double extent) { return std::floor(extent / size) + 1; };
        while (cellsPerAxis(hi.x - lo.x) * cellsPerAxis(hi.y - lo.y) * cellsPerAxis(hi.z - lo.z) >
               32.0 * static_cast<double>(acceptors_.size()) + 4096)
            size *= 2;
        const long long nx = static_cast<long long>(cellsPerAxis(hi.x - lo.x)),
                        ny = static_cast<long long>(cellsPerAxis(hi.y - lo.y)),
                        nz = static_cast<long long>(cellsPerAxis(hi.z - lo.z));
        // Clamped to one cell beyond the grid, so that far donors find nothing.
        auto axisCell = [&](double v, double origin, long long cells) {
            const double c = std::clamp(std::floor((v - origin) / size), -2.0, static_cast<double>(cells) + 1);
            return static_cast<long long>(c);
        };
        auto index = [&](long long x, long long y, long long z) { return (x * ny + y) * nz + z; };
        // Counting sort keeps the acceptors of one cell in list order.
        std::vector<int> start(static_cast<size_t>(nx * ny * nz) + 1, 0), cellOf(acceptors_.size(), -1);
        for (size_t a = 0; a < acceptors_.size(); ++a) {
            const Vec3& o = acceptors_[a].o;
            if (!finite(o)) continue;
            cellOf[a] = static_cast<int>(index(axisCell(o.x, lo.x, nx), axisCell(o.y, lo.y, ny), axisCell(o.z, lo.z, nz)));
            ++start[cellOf[a] + 1];
        }
        for (size_t c = 1; c < start.size(); ++c) start[c] += start[c - 1];
        std::vector<int> sorted(acceptors_.size()), fill(start.begin(), start.end() - 1);
        for (size_t a = 0; a < acceptors_.size(); ++a)
            if (cellOf[a] >= 0) sorted[fill[cellOf[a]]++] = static_cast<int>(a);
        std::vector<Vec3> sortedO(acceptors_.size());
        for (size_t k = 0; k < acceptors_.size(); ++k) sortedO[k] = acceptors_[sorted[k]].o;

        // Donors in runs of kDonorsPerRun, taken in turn by this thread and,
        // for many donors, one beside it: whichever is free takes the next, so
        // that a thread the processor gives no time to (a bond search beside)
        // holds up nothing. Each run's bonds are kept in donor order and filed
        // in the order of the runs: the list comes out as from one loop. The
        // search stops once more bonds are found than the list may hold: it
        // is then over full, and filing throws before it runs out of them.
        struct Found {
            int donor, acceptor;
            HydrogenBond bond;
        };
        const int donorCount = static_cast<int>(donors_.size());
        const int runs = (donorCount + kDonorsPerRun - 1) / kDonorsPerRun;
        std::vector<std::vector<Found>> found(static_cast<size_t>(runs));
        std::atomic<int> nextRun{0};
        std::atomic<size_t> foundCount{0};
        std::atomic<bool> overfull{false};
        // Within the cut-off, sqrt(d2) <= 6 exactly when d2 <= 36 (the root
        // of the next double above 36 rounds up): no root is taken. About a
        // quarter of the acceptors in the cells are near, at random, so they
        // are written down without a branch and counted.
        static_assert(kMaxDistance * kMaxDistance == 36.0);
        // A run's bonds are gathered apart and counted once the run is done:
        // the lists of neighbouring runs, and one count bumped for every
        // bond, would share cache lines between the threads.
        auto searchRun = [&](int run, std::vector<int>& near) {
            std::vector<Found> out;
            const int first = run * kDonorsPerRun, last = std::min(donorCount, first + kDonorsPerRun);
            // Room for more bonds a donor than a protein makes.
            out.reserve(static_cast<size_t>(last - first) * 4);
            for (int d = first; d < last; ++d) {
                const Vec3& n = donors_[d].n;
                if (!finite(n)) continue;
                const long long cx = axisCell(n.x, lo.x, nx), cy = axisCell(n.y, lo.y, ny),
                                cz = axisCell(n.z, lo.z, nz);
                // The cells of one row along z lie next to each other in the
                // sorted list: each row of three is one stretch of it.
                const long long zLow = std::max(cz - 1, 0LL), zHigh = std::min(cz + 1, nz - 1);
                if (zLow > zHigh) continue;
                size_t count = 0;
                for (long long x = std::max(cx - 1, 0LL); x <= std::min(cx + 1, nx - 1); ++x)
                    for (long long y = std::max(cy - 1, 0LL); y <= std::min(cy + 1, ny - 1); ++y) {
                        const int end = start[index(x, y, zHigh) + 1];
                        for (int k = start[index(x, y, zLow)]; k < end; ++k) {
                            const Vec3 v = n - sortedO[k];
                            near[count] = sorted[k];
                            count += Dot(v, v) <= 36.0;
                        }
                    }
                std::sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(count));
                for (int a : std::span(near.data(), count)) {
                    if (Skipped(donors_[d], acceptors_[a])) continue;
                    Found f{d, a, {}};
                    if (!Evaluate(donors_[d], acceptors_[a], f.bond)) continue;
                    out.push_back(f);
                    if (out.size() > capacity_) break;
                }
                if (out.size() > capacity_) break;
            }
            if (foundCount.fetch_add(out.size(), std::memory_order_relaxed) + out.size() > capacity_)
                overfull.store(true, std::memory_order_relaxed);
            found[static_cast<size_t>(run)] = std::move(out);
        };
        auto search = [&] {
            std::vector<int> near(acceptors_.size());
            for (int run; !overfull.load(std::memory_order_relaxed) &&
                          (run = nextRun.fetch_add(1, std::memory_order_relaxed)) < runs;)
                searchRun(run, near);
        };
        std::exception_ptr failedBeside;
        BesideWork beside;
        if (donorCount >= kDonorsPerThread && WorkerThreads() >= 2) {
            try {
                beside = StartBeside([&](std::stop_token) {
                    try {
                        search();
                    } catch (...) {
                        failedBeside = std::current_exception();
                        overfull.store(true, std::memory_order_relaxed);  // the others stop too
                    }
                });
            } catch (const std::exception&) {  // no thread to be had: the runs are searched here
            }
        }
        std::exception_ptr failedHere;
        try {
            search();
        } catch (...) {
            failedHere = std::current_exception();
            overfull.store(true, std::memory_order_relaxed);
        }
        beside.Join();
        if (failedHere) std::rethrow_exception(failedHere);
        if (failedBeside) std::rethrow_exception(failedBeside);
        size_t total = 0;
        for (const std::vector<Found>& part : found) total += part.size();
        run_.bonds.reserve(run_.bonds.size() + std::min(total, capacity_ + 1));
        for (const std::vector<Found>& part : found)
            for (const Found& f : part) {
                File(donors_[f.donor], acceptors_[f.acceptor], f.bond);
                // The full enumeration stops at the next pair it would examine,
                // near or far, once the list is full.
                if (run_.bonds.size() == capacity_ && LaterPairExists(f.donor, f.acceptor)) throw StrideError();
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
        HydrogenBond b;
        if (Evaluate(d, a, b)) File(d, a, b);
    }

    // The bond between a donor and an acceptor, when it is kept on any ground.
    static bool Evaluate(const Donor& d, const Acceptor& a, HydrogenBond& b) {
        const Vec3 no = d.n - a.o;
        const double length = Length(no);
        if (length > kMaxDistance) return false;
        b.donorChain = d.chain, b.donorResidue = d.residue;
        b.acceptorChain = a.chain, b.acceptorResidue = a.residue;
        const double distance = std::max(length, 3.0);
        b.distance = static_cast<float>(distance);
        // With the N-H...O angle at most 90 degrees Ep is 0 and so is the energy.
        const Vec3 oh = a.o - d.h, co = a.c - a.o;
        const double ho = Length(oh);
        const double cosNHO = Cosine(Dot(d.n - d.h, oh), d.nh, ho);
        if (cosNHO < 0) {
            StoreTerms(b, Terms(d.h, a.o, a.c, a.plane, cosNHO, ho, distance));
            b.energyAccepted = b.energy < -10.0f && std::fabs(b.et) > 1e-6f && std::fabs(b.ep) > 1e-6f;
        }

        // The angles (C, O, H), (N, O, C) and (O, N, C').
        b.contactAccepted = static_cast<float>(ho) <= 2.5f && Obtuse(cosNHO) &&
                            Obtuse(Cosine(Dot(co, d.h - a.o), a.plane.co, ho));

        auto plane = [](const Vec3& p1, const Vec3& p2, const Vec3& p3, const Vec3& p4) {
            return static_cast<float>(Folded(Torsion(p1, p2, p3, p4)));
        };
        b.planeAccepted = b.distance <= 3.5f && Obtuse(Cosine(Dot(no, co), length, a.plane.co)) &&
                          Obtuse(Cosine(Dot(a.o - d.n, d.cPrev - d.n), length, d.cn)) &&
                          plane(d.ca, d.n, d.cPrev, a.o) <= 60.0f && plane(d.n, a.o, a.c, a.ca) <= 90.0f;
        return (b.energyAccepted && b.energy < 0) || b.planeAccepted || b.contactAccepted;
    }

    void File(const Donor& d, const Acceptor& a, const HydrogenBond& b) {
        const int index = static_cast<int>(run_.bonds.size());
        run_.bonds.push_back(b);
        StrideResidue& donor = run_.Residue(d.chain, d.residue);
        StrideResidue& acceptor = run_.Residue(a.chain, a.residue);
        if (!donor.donorBonds.full()) donor.donorBonds.push_back(index);
        if (!acceptor.acceptorBonds.full()) acceptor.acceptorBonds.push_back(index);
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
        if (b.acceptorChain != acceptorChain || b.acceptorResidue != acceptor) continue;
        // The bond counts only where the acceptor's list holds it too; a list
        // with room left holds every bond of its residue.
        if (!a.acceptorBonds.full() ||
            std::find(a.acceptorBonds.begin(), a.acceptorBonds.end(), index) != a.acceptorBonds.end())
            return index;
    }
    return -1;
}

}  // namespace

void ComputeBondEnergy(HydrogenBond& bond, const Vec3& n, const Vec3& h, const Vec3& o, const Vec3& c,
                       const Vec3& ca) {
    if (bond.distance < 3.0f) bond.distance = 3.0f;
    StoreTerms(bond, Terms(h, o, c, AcceptorPlane(o, c, ca), CosAngle(n, h, o), Length(o - h), bond.distance));
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
