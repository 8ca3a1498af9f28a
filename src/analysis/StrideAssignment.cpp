// Helices, turns and the write-back of a run, and the run itself.
#include <algorithm>
#include <cmath>
#include <exception>
#include <new>

#include "analysis/SecondaryStructure.h"
#include "analysis/StrideRun.h"
#include "core/WorkerThreads.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"

namespace velm {

namespace {
constexpr float kHelixThreshold = -230.0f;
constexpr float kHelixStart = 0.12f, kHelixEnd = 0.06f;
constexpr float kK1 = -1.0f, kK2 = 1.0f;

float Pm(const StrideResidue& r) { return HelixPropensity(r.phiZone, r.psiZone); }

bool IsOneOf(char c, const char* set) {
    for (; *set; ++set)
        if (c == *set) return true;
    return false;
}

}  // namespace

void AssignHelices(StrideRun& run, int c) {
    StrideChain& chain = run.chains[c];
    auto& rs = chain.residues;
    const int n = chain.Count();
    std::vector<float> score(n > 0 ? n : 0, 0.0f);
    for (int i = 0; i + 5 < n; ++i) {
        bool zones = true;
        for (int j = i; j <= i + 4; ++j) zones = zones && rs[j].HasZones();
        if (!zones) continue;
        const int bond = EnergyBond(run, c, i + 4, c, i);
        if (bond < 0) continue;
        score[i] = ((kK1 + 1) + kK2 * (Pm(rs[i]) + Pm(rs[i + 4])) / 2) * run.bonds[bond].energy;
    }
    for (int i = 0; i + 5 < n; ++i) {
        if (!(score[i] < kHelixThreshold && score[i + 1] < kHelixThreshold)) continue;
        for (int j = i + 1; j <= i + 4; ++j) rs[j].code = 'H';
        if (rs[i].HasZones() && Pm(rs[i]) > kHelixStart) rs[i].code = 'H';
        if (rs[i + 5].HasZones() && Pm(rs[i + 5]) > kHelixEnd) rs[i + 5].code = 'H';
    }

    for (int j = 0; j + 4 < n; ++j) {
        if (PlaneBond(run, c, j + 3, c, j) < 0 || PlaneBond(run, c, j + 4, c, j + 1) < 0) continue;
        if ((rs[j + 1].code != 'H' && rs[j + 2].code != 'H') || (rs[j + 2].code != 'H' && rs[j + 3].code != 'H'))
            for (int k = j + 1; k <= j + 3; ++k) rs[k].code = 'G';
    }

    for (int j = 0; j + 6 < n; ++j) {
        if (PlaneBond(run, c, j + 5, c, j) < 0 || PlaneBond(run, c, j + 6, c, j + 1) < 0) continue;
        bool coil = true;
        for (int k = j + 1; k <= j + 5; ++k) coil = coil && rs[k].code == 'C';
        if (coil)
            for (int k = j + 1; k <= j + 5; ++k) rs[k].code = 'I';
    }
}

void AssignBetaTurns(StrideRun& run, int c) {
    auto& rs = run.chains[c].residues;
    const int n = run.chains[c].Count();
    for (int i = 0; i + 4 < n; ++i) {
        if (IsOneOf(rs[i + 1].code, "HG") || IsOneOf(rs[i + 2].code, "HG") || rs[i + 1].code == 'I') continue;
        if (!rs[i].Has(Backbone::CA) || !rs[i + 3].Has(Backbone::CA)) continue;
        if (Length(rs[i].At(Backbone::CA) - rs[i + 3].At(Backbone::CA)) > 7.0) continue;
        for (int k = i; k <= i + 3; ++k)
            if (rs[k].code == 'C') rs[k].code = 'T';
    }
}

void AssignGammaTurns(StrideRun& run, int c) {
    auto& rs = run.chains[c].residues;
    const int n = run.chains[c].Count();
    for (int i = 0; i + 2 < n; ++i) {
        if (IsOneOf(rs[i + 1].code, "GHIT")) continue;
        if (PlaneBond(run, c, i + 2, c, i) < 0) continue;
        if (i > 0 && PlaneBond(run, c, i + 2, c, i - 1) >= 0) continue;
        if (i + 3 < n && PlaneBond(run, c, i + 3, c, i) >= 0) continue;
        const float phi = rs[i + 1].phi, psi = rs[i + 1].psi;
        if (!((phi > 0 && psi < 0) || (phi < 0 && psi > 0))) continue;
        for (int k = i; k <= i + 2; ++k)
            if (rs[k].code == 'C') rs[k].code = 'T';
    }
}

void WriteBack(const StrideRun& run, std::vector<Chain>& chains, int firstChain) {
    for (size_t c = 0; c < run.chains.size(); ++c) {
        auto& residues = chains[firstChain + c].residues;
        for (size_t r = 0; r < residues.size(); ++r)
            residues[r].secondaryStructure = SecondaryStructureFromCharacter(run.chains[c].residues[r].code);
    }
}

namespace {

// With this many residues or more on either side, a run's helices, bridges
// and turns are shared between two threads: fewer take less time than
// handing them over.
constexpr int kResiduesBeside = 1000;

// The helices, bridges and turns of one chain: bridges with itself and with
// the chains it shares a bond with (`bonded`, sorted), as every bridge
// pattern has a bond between its two chains.
void AssignChain(StrideRun& run, const std::vector<std::vector<int>>& bonded, int c) {
    AssignHelices(run, c);
    for (int d = 0; d < static_cast<int>(run.chains.size()); ++d)
        if (run.chains[d].valid && (d == c || std::binary_search(bonded[c].begin(), bonded[c].end(), d)))
            AssignBridges(run, c, d);
    AssignBetaTurns(run, c);
    AssignGammaTurns(run, c);
}

// Which of two sides each valid chain goes to (-1: none). Chains joined by
// bonds, directly or through others, go to one side: the work of a chain
// reads and writes its own residues and those of the chains it shares a
// bond with, so the sides never touch each other's, and each side taken in
// chain order gives what one loop over all chains gives. Groups go to the
// side with fewer residues, largest first; all to side 0 where side 1 would
// get fewer than kResiduesBeside.
std::vector<int> SidesOf(const StrideRun& run, const std::vector<std::vector<int>>& bonded) {
    const int count = static_cast<int>(run.chains.size());
    std::vector<int> root(count), side(count, -1);
    for (int c = 0; c < count; ++c) root[c] = c;
    auto find = [&](int c) {
        while (root[c] != c) c = root[c] = root[root[c]];
        return c;
    };
    for (int c = 0; c < count; ++c)
        for (int d : bonded[c])
            if (run.chains[c].valid && run.chains[d].valid) root[find(c)] = find(d);
    std::vector<int> residues(count, 0);
    for (int c = 0; c < count; ++c)
        if (run.chains[c].valid) residues[find(c)] += run.chains[c].Count();
    std::vector<int> groups;
    for (int c = 0; c < count; ++c)
        if (run.chains[c].valid && find(c) == c) groups.push_back(c);
    std::stable_sort(groups.begin(), groups.end(), [&](int a, int b) { return residues[a] > residues[b]; });
    int total[2] = {0, 0};
    std::vector<int> sideOfGroup(count, 0);
    for (int g : groups) {
        const int to = total[1] < total[0] ? 1 : 0;
        sideOfGroup[g] = to;
        total[to] += residues[g];
    }
    const bool split = std::min(total[0], total[1]) >= kResiduesBeside;
    for (int c = 0; c < count; ++c)
        if (run.chains[c].valid) side[c] = split ? sideOfGroup[find(c)] : 0;
    return side;
}

// Every valid chain's helices, bridges and turns; side 1 beside where it
// holds enough residues and a second CPU is free. A standby still busy
// (filling the atoms of a large load) takes longer than this, and a thread
// started would only take turns with it.
void AssignChains(StrideRun& run, const std::vector<std::vector<int>>& bonded) {
    const std::vector<int> side = SidesOf(run, bonded);
    auto assignSide = [&](int which) {
        for (int c = 0; c < static_cast<int>(run.chains.size()); ++c)
            if (side[c] == which) AssignChain(run, bonded, c);
    };
    std::exception_ptr failed;
    BesideWork beside;
    if (std::find(side.begin(), side.end(), 1) != side.end() && WorkerThreads() >= 2 && !StandbyBusy()) {
        try {
            beside = StartBeside([&](std::stop_token) {
                try {
                    assignSide(1);
                } catch (...) {
                    failed = std::current_exception();
                }
            });
        } catch (const std::exception&) {  // no thread to be had: both sides here
        }
    }
    assignSide(0);  // should it throw, the work beside is joined as the exception leaves
    if (!beside.Joinable()) {
        assignSide(1);
        return;
    }
    beside.Join();
    if (failed) std::rethrow_exception(failed);
}

}  // namespace

template <class Item>
void AssignChainRun(std::vector<Chain>& chains, const std::vector<Item>& atoms, int firstChain, int chainCount) {
    try {
        StrideRun run = BuildStrideRun(chains, atoms, firstChain, chainCount);
        MarkValidChains(run);
        ComputeBackboneAngles(run);
        AddAmideHydrogens(run);
        FindHydrogenBonds(run);
        RemoveDoubleBonds(run);
        ComputeZones(run);
        const int runChains = static_cast<int>(run.chains.size());
        std::vector<std::vector<int>> bonded(runChains);
        for (const HydrogenBond& b : run.bonds)
            if (b.donorChain != b.acceptorChain) {
                bonded[b.donorChain].push_back(b.acceptorChain);
                bonded[b.acceptorChain].push_back(b.donorChain);
            }
        for (auto& partners : bonded) {
            std::sort(partners.begin(), partners.end());
            partners.erase(std::unique(partners.begin(), partners.end()), partners.end());
        }
        AssignChains(run, bonded);
        WriteBack(run, chains, firstChain);
    } catch (const StrideError&) {
    } catch (const std::bad_alloc&) {
    }
}

template void AssignChainRun(std::vector<Chain>&, const std::vector<Atom>&, int, int);
template void AssignChainRun(std::vector<Chain>&, const std::vector<PdbAtomRecord>&, int, int);

}  // namespace velm
