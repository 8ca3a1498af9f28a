#include "analysis/SecondaryStructure.h"

#include <exception>

#include "analysis/StrideRun.h"
#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"

namespace velm {

namespace {

constexpr const char* kUnable = "STRIDE is unable to assign the secondary structure!";

template <class Item>
bool AssignRuns(std::vector<Chain>& chains, const std::vector<Item>& atoms) {
    try {
        const int count = static_cast<int>(chains.size());
        for (int first = 0; first < count;) {
            int run = 1;
            while (first + run < count && chains[first + run].model == chains[first].model) ++run;
            AssignChainRun(chains, atoms, first, run);
            first += run;
        }
    } catch (...) {
        return false;
    }
    return true;
}

}  // namespace

int AssignSecondaryStructure(Molecule& molecule, UiHooks& ui) {
    if (AssignRuns(molecule.chains, molecule.atoms)) return 1;
    ui.Message(kUnable);
    return 0;
}

std::string AssignSecondaryStructureOnRecords(std::vector<Chain>& chains, const std::vector<PdbAtomRecord>& records) {
    return AssignRuns(chains, records) ? std::string() : kUnable;
}

}  // namespace velm
