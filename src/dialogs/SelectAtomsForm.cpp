#include "dialogs/SelectAtomsForm.h"

#include <strings.h>

#include "core/PrintableText.h"
#include "model/Molecule.h"

namespace velm {

const char* AtomFilterText(AtomFilter filter) {
    switch (filter) {
        case AtomFilter::HeavyAtoms: return "Show Only Heavy Atoms";
        case AtomFilter::AlphaCarbons: return "Show Only Alpha Carbons";
        default: return "Show All Atoms";
    }
}

std::vector<int> AtomChoices(const Molecule& molecule, const std::vector<char>& chosen, AtomFilter filter) {
    std::vector<int> out;
    const int n = std::min(molecule.AtomCount(), static_cast<int>(chosen.size()));
    for (int i = 0; i < n; ++i) {
        if (chosen[static_cast<size_t>(i)]) continue;
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (filter == AtomFilter::HeavyAtoms && a.element == Hydrogen) continue;
        if (filter == AtomFilter::AlphaCarbons && (a.element != Carbon || a.Name().size() != 2 ||
                                                  strncasecmp(a.Name().data(), "CA", 2) != 0))
            continue;
        out.push_back(i);
    }
    return out;
}

std::string AtomLine(const Molecule& molecule, int atom) {
    if (atom < 0 || atom >= molecule.AtomCount()) return {};
    const Atom& a = molecule.atoms[static_cast<size_t>(atom)];
    return std::to_string(a.serial) + ':' + EscapedText(a.Name()) + ':' + EscapedText(a.ResidueName()) +
           std::to_string(a.residueNumber);
}

}  // namespace velm
