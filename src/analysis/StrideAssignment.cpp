// Helices, turns and the write-back of a run, and the run itself.
#include <algorithm>
#include <cmath>
#include <new>

#include "analysis/SecondaryStructure.h"
#include "analysis/StrideRun.h"
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
        // Every bridge pattern has a bond between its two chains: pairs of
        // chains without one have nothing to find.
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
        for (int c = 0; c < runChains; ++c) {
            if (!run.chains[c].valid) continue;
            AssignHelices(run, c);
            for (int d = 0; d < runChains; ++d)
                if (run.chains[d].valid &&
                    (d == c || std::binary_search(bonded[c].begin(), bonded[c].end(), d)))
                    AssignBridges(run, c, d);
            AssignBetaTurns(run, c);
            AssignGammaTurns(run, c);
        }
        WriteBack(run, chains, firstChain);
    } catch (const StrideError&) {
    } catch (const std::bad_alloc&) {
    }
}

template void AssignChainRun(std::vector<Chain>&, const std::vector<Atom>&, int, int);
template void AssignChainRun(std::vector<Chain>&, const std::vector<PdbAtomRecord>&, int, int);

}  // namespace velm
