#include "analysis/AlphaCarbonFit.h"

#include <algorithm>

#include "analysis/Kabsch.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

std::vector<int> AlphaCarbons(const Molecule& m) {
    std::vector<int> out;
    for (const Chain& c : m.chains)
        for (const Residue& r : c.residues)
            if (r.alphaCarbon >= 0) out.push_back(r.alphaCarbon);
    return out;
}

AlphaCarbonFit SuperposeOnAlphaCarbons(CVelmDoc& doc, const Molecule& fixed, Molecule& moving) {
    std::vector<int> a = AlphaCarbons(fixed), b = AlphaCarbons(moving);
    const std::size_t n = std::min(a.size(), b.size());
    if (n < 3) throw VelmError("Please select at least three atoms from  each molecule");
    a.resize(n);
    b.resize(n);
    AlphaCarbonFit fit;
    fit.pairs = n;
    fit.rmsdBefore = computeRmsd(fixed, moving, a, b, true);
    doc.EditMolecule(moving, DocumentChange::Coordinates, [&](Molecule& m) { superpose(fixed, m, a, b, true); });
    fit.rmsdAfter = computeRmsd(fixed, moving, a, b, true);
    return fit;
}

}  // namespace velm
