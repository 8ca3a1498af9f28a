// Bridges between two chains (or within one), their ladders and the strand
// and bridge marks they leave.
#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/StrideRun.h"

namespace velm {

namespace {

constexpr float kAntiparallelThreshold = -240.0f;
constexpr float kParallelThreshold = -310.0f;
constexpr float kK3 = -0.2f, kK4 = 0.2f;

struct ResidueRef {
    int chain, residue;
};

struct BridgePattern {
    std::string_view name;
    int bond1 = -1, bond2 = -1;
    int i = 0, k = 0;         // residue i of the first chain and k of the second where it was found
    int lo1 = 0, hi1 = 0;     // residues touched on the first strand
    int lo2 = 0, hi2 = 0;     // and on the second
    int pair[2][2] = {};      // (first strand, second strand) residues of each bond
    int b1 = 0, b2 = 0;       // the bridge residues, the ones an isolated pattern marks
    bool closed = false;      // both bonds join the same two residues
    int link[2] = {-1, -1};   // neighbour before and after along the first strand
    bool active = true;
};

class BridgeSearch {
public:
    BridgeSearch(StrideRun& run, int c, int d, bool fullScan) : run_(run), c_(c), d_(d), fullScan_(fullScan) {}

    void Search() {
        const StrideChain& first = run_.chains[c_];
        const StrideChain& second = run_.chains[d_];
        const int n1 = first.Count(), n2 = second.Count();
        const bool s = c_ == d_;
        std::vector<int> partners;
        for (int i = 0; i < n1; ++i) {
            if (!Takes(first.residues[i])) continue;
            if (!(i + 2 < n1)) continue;
            if (!first.residues[i].HasZones() || !first.residues[i + 1].HasZones() ||
                !first.residues[i + 2].HasZones())
                continue;
            // Every recorded pattern has a bond between i and k, so only i's
            // bond partners are tried, in increasing order as a full scan would.
            partners.clear();
            if (fullScan_)
                for (int k = 0; k < n2; ++k) partners.push_back(k);
            for (int b : first.residues[i].donorBonds)
                if (run_.bonds[b].acceptorChain == d_) partners.push_back(run_.bonds[b].acceptorResidue);
            for (int b : first.residues[i].acceptorBonds)
                if (run_.bonds[b].donorChain == d_) partners.push_back(run_.bonds[b].donorResidue);
            std::sort(partners.begin(), partners.end());
            partners.erase(std::unique(partners.begin(), partners.end()), partners.end());
            for (int k : partners) {
                if (k < (s ? i + 1 : 0) || k >= n2 || !Takes(second.residues[k])) continue;
                TryPatterns(i, k, n1, n2, s);
            }
        }
    }

    void Mark() {
        std::vector<char> anti1(run_.chains[c_].Count(), 'C'), par1(anti1), anti2(run_.chains[d_].Count(), 'C'),
            par2(anti2);
        MarkList(antiparallel_, false, anti1, anti2);
        MarkList(parallel_, true, par1, par2);
        auto apply = [](StrideResidue& r, char anti, char par) {
            if (anti == 'N' || par == 'P')
                r.code = 'E';
            else if (anti == 'B' || par == 'B')
                r.code = 'B';
            else if (anti == 'b' || par == 'b')
                r.code = 'b';
        };
        auto& first = run_.chains[c_].residues;
        for (size_t r = 0; r < first.size(); ++r) apply(first[r], anti1[r], par1[r]);
        auto& second = run_.chains[d_].residues;
        for (size_t r = 0; r < second.size(); ++r)
            if (second[r].code != 'E') apply(second[r], anti2[r], par2[r]);
    }

private:
    void TryPatterns(int i, int k, int n1, int n2, bool s) {
        const int delta = k - i;
        if (!s || delta > 2) Link("1331", i, k, A(i), B(k), B(k), A(i), A(i), B(k), kAntiparallelThreshold, false);
        if (i + 2 < n1 && ((!s && k >= 2) || delta > 5))
            Link("3124", i, k, B(k), A(i), A(i + 2), B(k - 2), B(k - 1), A(i + 1), kAntiparallelThreshold, false);
        if ((!s && k >= 1) || delta > 5) {
            const bool no133A = i + 1 >= n1 || !Link133A(i, k, true);
            const bool no1BB1 = i == 0 || !Link("1-BB1", i, k, A(i - 1), B(k - 1), B(k - 1), A(i), B(k - 1), B(k - 1),
                                                kAntiparallelThreshold, true);
            if (no133A && no1BB1) Link13B1(i, k, false);
        }
        if (i + 1 < n1 && !(s && delta <= 5)) {
            if (!(!s && k == 0) && Link13B1(i, k, true)) {
            } else if (k + 1 >= n2 || !Link("A3+3A", i, k, A(i + 1), B(k + 1), B(k), A(i + 1), A(i + 1), A(i + 1),
                                             kAntiparallelThreshold, true)) {
                Link133A(i, k, false);
            }
        }
        if ((!s || std::abs(delta) > 3) && k + 2 < n2) {
            if (i + 2 < n1 && (!s || std::abs(i - k + 2) > 3))
                Link("3123", i, k, B(k), A(i), A(i + 2), B(k), B(k), A(i + 1), kParallelThreshold, false);
            if (!s || std::abs(k + 2 - i) > 3)
                Link("1341", i, k, A(i), B(k), B(k + 2), A(i), A(i), B(k + 1), kParallelThreshold, false);
        }
    }

    ResidueRef A(int r) const { return {c_, r}; }
    ResidueRef B(int r) const { return {d_, r}; }

    bool Takes(const StrideResidue& r) const {
        if (r.donorBonds.empty() && r.acceptorBonds.empty()) return false;
        return c_ == d_ || r.interchain;
    }

    bool InRange(const ResidueRef& r) const {
        return r.residue >= 0 && r.residue < run_.chains[r.chain].Count();
    }

    bool Link13B1(int i, int k, bool testOnly) {
        return Link("13B1", i, k, A(i), B(k), B(k - 1), A(i), A(i), A(i), kAntiparallelThreshold, testOnly);
    }
    bool Link133A(int i, int k, bool testOnly) {
        return Link("133A", i, k, A(i), B(k), B(k), A(i + 1), B(k), B(k), kAntiparallelThreshold, testOnly);
    }

    // Two energy bonds donor1 -> acceptor1 and donor2 -> acceptor2, weighted by
    // the sheet propensity at one or two residues (conf2 == conf1: one).
    bool Link(std::string_view name, int i, int k, ResidueRef donor1, ResidueRef acceptor1, ResidueRef donor2,
              ResidueRef acceptor2, ResidueRef conf1, ResidueRef conf2, float threshold, bool testOnly) {
        // Every test must pass: the one most often failed, the first bond, comes first.
        if (!InRange(donor1) || !InRange(acceptor1)) return false;
        const int b1 = EnergyBond(run_, donor1.chain, donor1.residue, acceptor1.chain, acceptor1.residue);
        if (b1 < 0) return false;
        for (const ResidueRef& r : {donor2, acceptor2, conf1, conf2})
            if (!InRange(r)) return false;
        const int b2 = EnergyBond(run_, donor2.chain, donor2.residue, acceptor2.chain, acceptor2.residue);
        if (b2 < 0) return false;
        const StrideResidue& r1 = run_.Residue(conf1.chain, conf1.residue);
        const StrideResidue& r2 = run_.Residue(conf2.chain, conf2.residue);
        if (!r1.HasZones() || !r2.HasZones()) return false;
        const bool single = conf1.chain == conf2.chain && conf1.residue == conf2.residue;
        const float h = single ? SheetPropensity(r1.phiZone, r1.psiZone)
                               : (SheetPropensity(r1.phiZone, r1.psiZone) + SheetPropensity(r2.phiZone, r2.psiZone)) / 2;
        const float w = kK4 * h + kK3 + 1;
        if (!(w * run_.bonds[b1].energy < threshold && w * run_.bonds[b2].energy < threshold)) return false;
        if (testOnly) return true;
        Record(name, i, k, b1, b2);
        return true;
    }

    void Record(std::string_view name, int i, int k, int b1, int b2) {
        BridgePattern p;
        p.name = name;
        p.bond1 = b1;
        p.bond2 = b2;
        p.i = i;
        p.k = k;
        // The residues each bond joins, (first strand, second strand); the
        // first bond always joins i and k.
        int second[2] = {i, k};
        if (name == "3124") second[0] = i + 2, second[1] = k - 2;
        else if (name == "13B1") second[1] = k - 1;
        else if (name == "133A") second[0] = i + 1;
        else if (name == "3123") second[0] = i + 2;
        else if (name == "1341") second[1] = k + 2;
        p.pair[0][0] = i, p.pair[0][1] = k;
        p.pair[1][0] = second[0], p.pair[1][1] = second[1];
        p.lo1 = std::min(i, second[0]), p.hi1 = std::max(i, second[0]);
        p.lo2 = std::min(k, second[1]), p.hi2 = std::max(k, second[1]);
        p.closed = name == "1331";
        p.b1 = i + (name == "3124" || name == "133A" || name == "3123" ? 1 : 0);
        p.b2 = k + (name == "3124" ? -1 : name == "1341" ? 1 : 0);
        const bool parallel = name == "3123" || name == "1341";
        (parallel ? parallel_ : antiparallel_).push_back(p);
    }

    bool Encloses(const BridgePattern& p, const BridgePattern& q) const {
        if (!(p.lo1 <= q.lo1 && q.hi1 <= p.hi1 && p.lo2 <= q.lo2 && q.hi2 <= p.hi2)) return false;
        if (q.closed && !p.closed)
            for (const auto& pair : p.pair)
                if (pair[0] == q.lo1 && pair[1] == q.lo2) return false;
        return true;
    }

    // Gaps from p to a q that follows it along the first strand; false when q
    // does not follow p in the ladder's direction. Gaps run between bridge
    // residues, not bonded ends: from the ends, two lone bridges five residues
    // apart would join into one ladder, which the published assignments do not.
    static bool Follows(const BridgePattern& p, const BridgePattern& q, bool parallel, int& g1, int& g2) {
        g1 = q.b1 - p.b1;
        g2 = parallel ? q.b2 - p.b2 : p.b2 - q.b2;
        if (g1 < 0 || g2 < 0) return false;
        return (g1 <= 2 && g2 < 6) || (g1 <= 5 && g2 <= 2);
    }

    void MarkList(std::vector<BridgePattern>& list, bool parallel, std::vector<char>& marks1,
                  std::vector<char>& marks2) {
        const int count = static_cast<int>(list.size());
        // Patterns in order of a key on the first strand, to find the few that
        // can enclose or neighbour one pattern; candidates are then visited in
        // list order, as a scan of the whole list would.
        auto sortedBy = [&](auto key) {
            std::vector<std::pair<int, int>> v(count);
            for (int p = 0; p < count; ++p) v[p] = {key(list[p]), p};
            std::sort(v.begin(), v.end());
            return v;
        };
        auto within = [&](const std::vector<std::pair<int, int>>& v, int from, int to, std::vector<int>& out) {
            out.clear();
            if (fullScan_) {
                for (int p = 0; p < count; ++p) out.push_back(p);
                return;
            }
            for (auto it = std::lower_bound(v.begin(), v.end(), std::make_pair(from, -1));
                 it != v.end() && it->first <= to; ++it)
                out.push_back(it->second);
            std::sort(out.begin(), out.end());
        };
        std::vector<int> candidates;

        const auto byLo1 = sortedBy([](const BridgePattern& p) { return p.lo1; });
        for (int q = 0; q < count; ++q) {
            // An enclosing pattern spans at most three residues on the first strand.
            within(byLo1, list[q].hi1 - 2, list[q].lo1, candidates);
            for (int p : candidates)
                if (p != q && list[p].active && Encloses(list[p], list[q])) {
                    list[q].active = false;
                    break;
                }
        }

        const auto byB1 = sortedBy([](const BridgePattern& p) { return p.b1; });
        for (int p = 0; p < count; ++p) {
            if (!list[p].active) continue;
            for (int slot = 0; slot < 2; ++slot) {
                int best = -1, bestSmall = 0, bestLarge = 0;
                within(byB1, slot == 0 ? list[p].b1 - 5 : list[p].b1, slot == 0 ? list[p].b1 : list[p].b1 + 5,
                       candidates);
                for (int q : candidates) {
                    if (q == p || !list[q].active || (slot == 1 && q == list[p].link[0])) continue;
                    int g1 = 0, g2 = 0;
                    const bool ok = slot == 0 ? Follows(list[q], list[p], parallel, g1, g2)
                                              : Follows(list[p], list[q], parallel, g1, g2);
                    if (!ok) continue;
                    const int small = std::min(g1, g2), large = std::max(g1, g2);
                    if (best < 0 || small < bestSmall || (small == bestSmall && large < bestLarge)) {
                        best = q;
                        bestSmall = small;
                        bestLarge = large;
                    }
                }
                list[p].link[slot] = best;
            }
        }

        // Ladders: patterns joined by links, in either direction.
        std::vector<std::vector<int>> adjacent(count);
        for (int p = 0; p < count; ++p)
            for (int q : list[p].link)
                if (q >= 0) {
                    adjacent[p].push_back(q);
                    adjacent[q].push_back(p);
                }
        std::vector<int> ladder(count, -1);
        const char mark = parallel ? 'P' : 'N';
        for (int start = 0; start < count; ++start) {
            if (!list[start].active || adjacent[start].empty() || ladder[start] >= 0) continue;
            std::vector<int> members{start};
            ladder[start] = start;
            for (size_t m = 0; m < members.size(); ++m)
                for (int q : adjacent[members[m]])
                    if (ladder[q] < 0) {
                        ladder[q] = start;
                        members.push_back(q);
                    }
            MarkLadder(list, members, parallel, mark, marks1, marks2);
        }

        for (int p = 0; p < count; ++p)
            if (list[p].active && adjacent[p].empty()) MarkBridge(list[p], marks1, marks2);
    }

    void MarkLadder(const std::vector<BridgePattern>& list, const std::vector<int>& members, bool parallel, char mark,
                    std::vector<char>& marks1, std::vector<char>& marks2) const {
        int lo1 = list[members[0]].lo1, hi1 = list[members[0]].hi1;
        int lo2 = list[members[0]].lo2, hi2 = list[members[0]].hi2;
        for (int m : members) {
            lo1 = std::min(lo1, list[m].lo1), hi1 = std::max(hi1, list[m].hi1);
            lo2 = std::min(lo2, list[m].lo2), hi2 = std::max(hi2, list[m].hi2);
        }
        auto closedAt = [&](int r1, int r2) {
            for (int m : members)
                if (list[m].closed && list[m].lo1 == r1 && list[m].lo2 == r2) return true;
            return false;
        };
        // Whether the pattern that reaches this end of a strand touches the strand at one residue only.
        auto singleAt = [&](int end, bool firstStrand, bool low) {
            for (int m : members) {
                const BridgePattern& p = list[m];
                const int lo = firstStrand ? p.lo1 : p.lo2, hi = firstStrand ? p.hi1 : p.hi2;
                if ((low ? lo : hi) == end && lo == hi) return true;
            }
            return false;
        };
        // An end not closed by a two-bond pair ends one residue inside the outer bond.
        const int a1 = lo1, a2 = parallel ? lo2 : hi2;
        const int e1 = hi1, e2 = parallel ? hi2 : lo2;
        int from1 = lo1, to1 = hi1, from2 = lo2, to2 = hi2;
        if (!closedAt(a1, a2)) {
            if (!singleAt(a1, true, true)) from1 = lo1 + 1;
            if (parallel) {
                if (!singleAt(a2, false, true)) from2 = lo2 + 1;
            } else if (!singleAt(a2, false, false)) {
                to2 = hi2 - 1;
            }
        }
        if (!closedAt(e1, e2)) {
            if (!singleAt(e1, true, false)) to1 = hi1 - 1;
            if (parallel) {
                if (!singleAt(e2, false, false)) to2 = hi2 - 1;
            } else if (!singleAt(e2, false, true)) {
                from2 = lo2 + 1;
            }
        }
        if (from1 > to1 || from2 > to2) return;
        for (int r = from1; r <= to1; ++r) marks1[r] = mark;
        for (int r = from2; r <= to2; ++r) marks2[r] = mark;
    }

    void MarkBridge(const BridgePattern& p, std::vector<char>& marks1, std::vector<char>& marks2) const {
        const bool s = c_ == d_;
        const int i = p.i, k = p.k;
        int r1 = -1, r2 = -1;
        char mark = 'B';
        if (p.name == "1331") {
            r1 = i, r2 = k;
        } else if (p.name == "3124") {
            r1 = i + 1, r2 = k - 1;
        } else if (p.name == "13B1") {
            if (s && (std::abs(k - i) < 5 || std::abs(k - 1 - i) < 5)) return;
            r1 = i, r2 = k;
        } else if (p.name == "133A") {
            if (s && (std::abs(k - i) < 5 || std::abs(k - i - 1) < 5)) return;
            r1 = i + 1, r2 = k, mark = 'b';
        } else if (p.name == "3123") {
            if (run_.chains[c_].id != run_.chains[d_].id) return;
            if (s && (std::abs(k - i) <= 3 || std::abs(i + 2 - k) <= 3)) return;
            r1 = i + 1, r2 = k;
        } else {
            if (s && (std::abs(k - i) <= 3 || std::abs(k + 2 - i) <= 3)) return;
            r1 = i, r2 = k + 1;
        }
        if (marks1[r1] == 'C') marks1[r1] = mark;
        if (marks2[r2] == 'C') marks2[r2] = mark;
    }

    StrideRun& run_;
    int c_, d_;
    bool fullScan_;
    std::vector<BridgePattern> antiparallel_, parallel_;
};

}  // namespace

void AssignBridges(StrideRun& run, int chain1, int chain2, bool fullScan) {
    BridgeSearch search(run, chain1, chain2, fullScan);
    search.Search();
    search.Mark();
}

}  // namespace velm
