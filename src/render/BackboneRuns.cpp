#include "render/BackboneRuns.h"

#include "model/Residue.h"
#include "render/DrawContext.h"

namespace velm {

std::vector<BackboneRun> BackboneRuns(const Chain& chain, const DrawnPositions& at) {
    std::vector<BackboneRun> runs;
    const int n = static_cast<int>(chain.residues.size());
    for (int k = 0; k < n; ++k) {
        const Residue& r = chain.residues[static_cast<size_t>(k)];
        bool joined = false;
        if (k > 0 && !runs.empty()) {
            const Residue& before = chain.residues[static_cast<size_t>(k - 1)];
            if (before.nucleotide == r.nucleotide) {
                const Vec3 d = at[r.traceAtom] - at[before.traceAtom];
                const double reach = r.nucleotide ? kMaxNucleotideStep : kMaxAlphaCarbonStep;
                joined = Dot(d, d) <= reach * reach;
            }
        }
        if (joined) ++runs.back().count;
        else runs.push_back({k, 1});
    }
    return runs;
}

}  // namespace velm
