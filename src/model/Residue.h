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
