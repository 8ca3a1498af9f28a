#pragma once
// The pieces of a chain's backbone drawn as one line, ribbon or tube: runs
// of consecutive residues whose trace atoms lie within bonding reach of one
// another. A gap (a loop missing from a crystal structure) ends a run, so no
// straight rod bridges it; so does a step between an amino acid and a
// nucleotide.
#include <vector>

namespace velm {

struct Chain;
class DrawnPositions;

// Farther apart than these, consecutive trace atoms are not bonded: alpha
// carbons of a peptide bond lie 3.8 A apart (2.9 in a cis bond), the
// phosphorus atoms of stacked nucleotides 5.5 to 7.5.
inline constexpr double kMaxAlphaCarbonStep = 4.2;
inline constexpr double kMaxNucleotideStep = 8.0;

struct BackboneRun {
    int first = 0;  // residue index in the chain
    int count = 0;
};

// Every run of the chain in order, single residues included, at the
// positions drawn (the current frame).
std::vector<BackboneRun> BackboneRuns(const Chain& chain, const DrawnPositions& at);

}  // namespace velm
