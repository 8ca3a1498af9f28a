#pragma once
// The document's secondary-structure stage, plugged into loading.
#include <string>
#include <vector>

#include "model/SecondaryStructureCode.h"

namespace velm {

class Molecule;
class UiHooks;
struct Chain;
struct PdbAtomRecord;

// Every run of consecutive chains
// of one model is assigned on its own. Returns 1, or 0 after showing "STRIDE
// is unable to assign the secondary structure!" when something other than a
// run's own failure stopped it.
int AssignSecondaryStructure(Molecule& molecule, UiHooks& ui);

// The same on chains made from a file's records, before the atoms are
// filled from them, on any thread: what is to be shown (the text above), or
// nothing.
std::string AssignSecondaryStructureOnRecords(std::vector<Chain>& chains, const std::vector<PdbAtomRecord>& records);

}  // namespace velm
