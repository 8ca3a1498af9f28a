#include "analysis/SecondaryStructure.h"

#include <exception>

#include "analysis/StrideRun.h"
#include "core/UiHooks.h"
#include "model/Molecule.h"

namespace velm {

int AssignSecondaryStructure(Molecule& molecule, UiHooks& ui) {
    try {
        const int chains = static_cast<int>(molecule.chains.size());
        for (int first = 0; first < chains;) {
            int count = 1;
            while (first + count < chains && molecule.chains[first + count].model == molecule.chains[first].model)
                ++count;
            AssignChainRun(molecule, first, count);
            first += count;
        }
    } catch (...) {
        ui.Message("STRIDE is unable to assign the secondary structure!");
        return 0;
    }
    return 1;
}

}  // namespace velm
