#pragma once
// Batch mode's -measure and -torsion: atoms named by their serial numbers in
// the primary molecule.
#include <cstdio>
#include <vector>

namespace velm {

class CVelmDoc;

// Prints the "Measure" window's table of the atoms with these serials (2 to
// 4), in order. Throws VelmError for a serial no atom has.
void PrintMeasurement(CVelmDoc& document, const std::vector<int>& serials, std::FILE* out);

// Turns the smaller side of the bond between the atoms with serials a and b
// by `degrees`, in the frame shown. Throws VelmError when the atoms are not
// bonded, the bond lies in a ring, or nothing could turn.
void TurnTorsion(CVelmDoc& document, int a, int b, double degrees);

}  // namespace velm
