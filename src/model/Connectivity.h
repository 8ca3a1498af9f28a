#pragma once
// Covalent bonds: derived from interatomic distances on a uniform grid, and
// merged with the file's CONECT records where those can be trusted.
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "core/Vec3.h"

namespace velm {

struct PdbAtomRecord;
class PdbFile;
struct PdbAtomRecord;
class Molecule;

// Covalent radius in angstrom from the first letter of an atom name, or from
// the element when the file gives one (so that mercury, "HG", is no hydrogen):
// H 0.455, D 0.68, P 0.975, S (and Se, which bonds as sulfur) 1.245, any other 0.905.
double CovalentRadius(std::string_view name, std::string_view element = {});
// The same of a file's record, read from its fields as they stand.
double CovalentRadius(const PdbAtomRecord& record);
// The radii above, in that order: a record's is kCovalentRadii[CovalentRadiusKind(record)].
inline constexpr double kCovalentRadii[5] = {0.455, 0.68, 0.975, 1.245, 0.905};
int CovalentRadiusKind(const PdbAtomRecord& record);

struct BondGrid {
    Vec3 minimum, maximum;  // the records' box
    double cell[3] = {4, 4, 4};
    int count[3] = {1, 1, 1};
};
// The grid for a set of records: 4 A cells, or 1/50 of the span from 200 A on.
BondGrid MakeBondGrid(std::span<const PdbAtomRecord> records);

// Bonded pairs (a, b) of record indices in the order the grid finds them.
// When the grid's cells are crowded (more pair tests than directWorkLimit;
// negative: a limit that ordinary structures stay far below) the same pairs
// are found on a finer grid and put in the same order.
std::vector<std::pair<int, int>> DeriveBondsByDistance(std::span<const PdbAtomRecord> records,
                                                       std::int64_t directWorkLimit = -1);

// Bonded partners of every atom record, as record indices.
struct Connectivity {
    bool serialMode = false;  // the file's CONECT entries took part: bonds are ordered by serial
    std::vector<int> start;   // partners of record i: partners[start[i] .. start[i + 1])
    std::vector<int> partners;
    std::span<const int> Of(int record) const {
        return std::span<const int>(partners).subspan(start[record], start[record + 1] - start[record]);
    }
};

// The record each CONECT entry belongs to (-1: none). Where serials repeat,
// entries are taken in atom order, each naming a record before it.
std::vector<int> ConectEntryAtoms(const PdbFile& file);

// Distance bonds combined with the file's CONECT entries.
Connectivity ComputeConnectivity(const PdbFile& file);

// Partner arrays and bond array of the molecule's atoms (the first `atoms`
// records), taking the arrays of `connectivity` where they fit whole; an
// atom named O... without partners is flagged hetero, as water. Each bond's
// split colour is taken from its atoms' colours as they stand.
void ApplyConnectivity(Molecule& molecule, const PdbFile& file, Connectivity connectivity);

}  // namespace velm
