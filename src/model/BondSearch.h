#pragma once
// The bond search on cells just over the longest bond: every atom meets only
// the atoms of its own and the neighbouring cells, atoms sorted by cell, the
// cells split in slabs among threads; the pairs found are then put in the
// order the walk over the coarse bond grid gives them.
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace velm {

struct PdbAtomRecord;
struct BondGrid;

// Neighbour offsets (dx, dy, dz) that, with the cell itself, meet every pair
// of adjacent cells exactly once; a walk over cells takes them in this order.
inline constexpr int kBondCellOffsets[14][3] = {{0, 0, 0},  {1, 0, 0},  {0, 1, 0},  {0, 0, 1},  {1, 1, 0},
                                                {1, 0, 1},  {0, 1, 1},  {1, -1, 0}, {-1, 0, 1}, {0, -1, 1},
                                                {1, 1, 1},  {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}};

// Every pair of `records` within bonding reach, in the order of the walk over
// the coarse cells of `grid` (`coarseCell`: each record's): home cell with z
// slowest and x fastest, neighbour offset, then the two atoms in record order.
// That walk stops an atom at `maxPartners` partners or `maxTests` pair tests,
// which only crowds of coincident atoms reach; where a cell is that crowded,
// an atom has that many partners, or the grid of small cells would not fit
// in memory, nothing comes back and the walk itself has to be made.
std::optional<std::vector<std::pair<int, int>>> BondsOnReachCells(std::span<const PdbAtomRecord> records,
                                                                  const BondGrid& grid,
                                                                  std::span<const std::uint32_t> coarseCell,
                                                                  int maxPartners, int maxTests, int threads);

}  // namespace velm
