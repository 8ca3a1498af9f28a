#pragma once
#include <vector>

#include "model/ResidueType.h"
#include "model/SecondaryStructureCode.h"

namespace velm {

struct Residue {
    ResidueType type = NonStandardResidue;
    SecondaryStructureCode secondaryStructure = UnknownStructure;  // until the assignment runs
    int number = -1;
    char insertionCode = ' ';
    int alphaCarbon = -1;     // atom index of "CA"
    int carbonylOxygen = -1;  // atom index of "O"
    // The backbone atom that traces, ribbons and tubes pass through (the
    // alpha carbon, or a nucleotide's phosphorus or C4'), and the one that
    // turns a ribbon's width (the carbonyl oxygen, or the sugar's C1'); -1
    // when the residue has none (an alpha-carbon model).
    int traceAtom = -1;
    int guideAtom = -1;
    bool nucleotide = false;
    double width = 1.0, thickness = 1.0;
    std::vector<int> atoms;  // member atom indices in file order
};

struct Chain {
    int model = -1;
    char id = ' ';
    std::vector<Residue> residues;
};

struct Bond {
    int first = 0, second = 0;  // atom indices, first < second
    int splitColour = 0;        // 1 when the two atoms are drawn in different colours
    int hetero = 0;             // 1 when either atom is hetero
};

}  // namespace velm
