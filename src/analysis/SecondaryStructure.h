#pragma once
// The document's secondary-structure stage, plugged into loading.
#include "model/SecondaryStructureCode.h"

namespace velm {

class Molecule;
class UiHooks;

// Every run of consecutive chains
// of one model is assigned on its own. Returns 1, or 0 after showing "STRIDE
// is unable to assign the secondary structure!" when something other than a
// run's own failure stopped it.
int AssignSecondaryStructure(Molecule& molecule, UiHooks& ui);

}  // namespace velm
