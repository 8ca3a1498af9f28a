#pragma once
// What the "Measure" window shows of a measurement, as text: the Cartesian
// rows of the picked atoms and the internal coordinates they define, blank
// where an atom is missing. Batch mode prints the same.
#include <array>
#include <string>

namespace velm {

class Measurement;

inline constexpr std::array<const char*, 4> kCartesianRows = {"Atom A", "Atom B", "Atom C", "Atom D"};
inline constexpr std::array<const char*, 5> kCartesianColumns = {"X", "Y", "Z", "Atom #", "Model #"};
inline constexpr std::array<const char*, 6> kInternalRows = {"Bond AB",   "Bond BC",   "Bond CD",
                                                             "Angle ABC", "Angle BCD", "Torsion ABCD"};

struct MeasurementTable {
    std::array<std::array<std::string, 5>, 4> cartesian;  // "%.3f" x, y, z; "%d" serial and model
    std::array<std::string, 6> internal;                  // "%.3f", angles in radians
};

MeasurementTable TabulateMeasurement(const Measurement& measurement);

// The table as lines: "Cartesian" and its header, a row per picked atom,
// then "Internal" and a line per value known; columns split by blanks.
std::string MeasurementText(const Measurement& measurement);

}  // namespace velm
