#include "render/TraceStickImpostors.h"

#include "model/Molecule.h"
#include "render/BackboneRuns.h"
#include "render/DrawContext.h"
#include "render/Impostors.h"
#include "render/UndrawnEntries.h"

namespace velm {

TraceStickImpostors::TraceStickImpostors() = default;
TraceStickImpostors::~TraceStickImpostors() = default;

bool TraceStickImpostors::Draw(ImpostorRenderer& impostors, const Molecule& m, const DrawContext& context) {
    Entry& entry = entries_[&m];
    entry.drawn = true;
    if (!entry.trace) entry.trace = std::make_unique<Molecule>();
    Molecule& trace = *entry.trace;
    trace.atoms.clear();
    trace.bonds.clear();
    trace.showSolvent = 1;  // the trace is drawn whatever the atoms' hetero flags
    const DrawnPositions at(m);
    for (const Chain& chain : m.chains) {
        if (chain.residues.size() < 2) continue;
        for (const BackboneRun& run : BackboneRuns(chain, at)) {
            for (int k = run.first; k < run.first + run.count; ++k) {
                const int source = chain.residues[static_cast<size_t>(k)].traceAtom;
                Atom a;
                const Vec3 p = at[source];
                a.x = p.x, a.y = p.y, a.z = p.z;
                a.colour = m.atoms[static_cast<size_t>(source)].colour;
                if (k > run.first) trace.bonds.push_back({trace.AtomCount() - 1, trace.AtomCount(), 0, 0});
                trace.atoms.push_back(a);
            }
        }
    }
    return impostors.DrawSticks(trace, context);
}

void TraceStickImpostors::EndFrame() {
    DropUndrawnEntries(entries_, [](Entry&) {});
}

}  // namespace velm
