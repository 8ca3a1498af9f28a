#include "model/BondSearch.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <system_error>
#include <thread>

#include "core/Divider.h"
#include "model/Connectivity.h"
#include "model/PdbFile.h"

namespace velm {

namespace {

constexpr double kReachCell = 2.5;  // above the longest bond the radii allow (S-S, 2.49 A)

// An atom's place as the pair test reads it.
struct Place {
    double x, y, z;
};

// The atoms in cell order: places, and what the rarer tests read.
struct CellAtoms {
    std::vector<Place> place;
    std::vector<std::uint8_t> kind;  // of covalent radius: a place in kCovalentRadii
    std::vector<int> model, index;
    std::vector<char> altLoc;
    std::vector<int> start;  // atoms of cell c: [start[c], start[c + 1])
    long long dims[3] = {1, 1, 1};
};

// Tests the atoms of the cells of z-planes [z0, z1) against those of their
// half of the neighbourhood: the next cell along x, and the three cells
// across of the next row along y and of the rows (y - 1 .. y + 1) of the
// next plane. Neighbours along x are neighbours in memory, so each row is
// one run of atoms.
void SearchSlab(const CellAtoms& a, long long z0, long long z1, std::vector<std::pair<int, int>>& found) {
    const long long nx = a.dims[0], ny = a.dims[1], nz = a.dims[2];
    // Read through locals: the pairs stored could alias anything else.
    const Place* place = a.place.data();
    const std::uint8_t* kind = a.kind.data();
    const int* model = a.model.data();
    // The squared reach of every two kinds, as the walk over the coarse
    // cells works it out for every pair: the same number.
    double reachOf[5][5];
    for (int p = 0; p < 5; ++p)
        for (int q = 0; q < 5; ++q)
            reachOf[p][q] = (kCovalentRadii[p] + kCovalentRadii[q]) * (kCovalentRadii[p] + kCovalentRadii[q]);
    const char* altLoc = a.altLoc.data();
    for (long long iz = z0; iz < z1; ++iz)
        for (long long iy = 0; iy < ny; ++iy) {
            const long long rowBase = nx * (iy + ny * iz);
            if (a.start[rowBase] == a.start[rowBase + nx]) continue;  // a row without atoms
            for (long long ix = 0; ix < nx; ++ix) {
                const long long home = ix + rowBase;
                const int hBegin = a.start[home], hEnd = a.start[home + 1];
                if (hBegin == hEnd) continue;
                // The candidates as runs of atoms: the home cell's and the
                // next cell's (one run), then a run of three cells from each
                // row. An atom of the home cell meets those after it.
                int runBegin[4], runEnd[4], runs = 0;
                const int homeEnd = a.start[home + (ix + 1 < nx ? 2 : 1)];
                const long long x0 = ix > 0 ? ix - 1 : 0, x1 = ix + 1 < nx ? ix + 1 : ix;
                const auto row = [&](long long y, long long z) {
                    if (y < 0 || y >= ny || z >= nz) return;
                    const long long base = nx * (y + ny * z);
                    runBegin[runs] = a.start[base + x0];
                    runEnd[runs] = a.start[base + x1 + 1];
                    runs += runBegin[runs] < runEnd[runs];
                };
                row(iy + 1, iz);
                row(iy - 1, iz + 1);
                row(iy, iz + 1);
                row(iy + 1, iz + 1);
                for (int i = hBegin; i < hEnd; ++i) {
                    const Place pi = place[i];
                    const double* reachOfI = reachOf[kind[i]];
                    const auto meet = [&](int begin, int end) {
                        for (int j = begin; j < end; ++j) {
                            // The same arithmetic as the walk over the coarse cells: the same pairs.
                            const Place& pj = place[j];
                            const double dx = pi.x - pj.x, dy = pi.y - pj.y, dz = pi.z - pj.z;
                            const double reach = reachOfI[kind[j]];
                            const double d2 = dx * dx + dy * dy + dz * dz;
                            if (!(d2 < reach)) [[likely]] continue;
                            if (model[i] != model[j]) continue;
                            if (altLoc[i] != altLoc[j] && altLoc[i] != ' ' && altLoc[j] != ' ') continue;
                            found.emplace_back(a.index[i], a.index[j]);
                        }
                    };
                    meet(i + 1, homeEnd);
                    for (int r = 0; r < runs; ++r) meet(runBegin[r], runEnd[r]);
                }
            }
        }
}

}  // namespace

std::optional<std::vector<std::pair<int, int>>> BondsOnReachCells(std::span<const PdbAtomRecord> records,
                                                                  const BondGrid& grid,
                                                                  std::span<const std::uint32_t> coarseCell,
                                                                  int maxPartners, int maxTests, int threads) {
    const size_t n = records.size();
    if (n == 0) return std::vector<std::pair<int, int>>{};
    if (n >= (size_t{1} << 30)) return std::nullopt;  // record indices are packed in 30 bits below

    // The box of the grid: an infinite coordinate makes it infinite, and a
    // NaN one it passes over is met below.
    const double lo[3] = {grid.minimum.x, grid.minimum.y, grid.minimum.z};
    const double hi[3] = {grid.maximum.x, grid.maximum.y, grid.maximum.z};
    for (int k = 0; k < 3; ++k)
        if (!std::isfinite(lo[k]) || !std::isfinite(hi[k])) return std::nullopt;
    CellAtoms a;
    double cells = 1;
    for (int k = 0; k < 3; ++k) {
        const double along = std::floor((hi[k] - lo[k]) / kReachCell) + 1;
        cells *= along;
        if (!(cells <= 2.0 * static_cast<double>(n) + (1 << 20))) return std::nullopt;
        a.dims[k] = static_cast<long long>(along);
    }

    // A counting sort by cell, which keeps record order within a cell. The
    // atoms of cell c are counted in start[c + 2] and placed from start[c + 1]
    // on, which then ends as the start of cell c + 1: no copy of the starts.
    std::vector<std::uint32_t> cellOf(n);
    a.start.assign(static_cast<size_t>(cells) + 2, 0);
    int fullest = 0;
    for (size_t i = 0; i < n; ++i) {
        const PdbAtomRecord& r = records[i];
        long long c[3];
        const double p[3] = {r.x, r.y, r.z};
        for (int k = 0; k < 3; ++k) {
            const double t = (p[k] - lo[k]) / kReachCell;
            if (!(t >= 0)) return std::nullopt;  // NaN
            c[k] = std::min(static_cast<long long>(t), a.dims[k] - 1);
        }
        cellOf[i] = static_cast<std::uint32_t>(c[0] + a.dims[0] * (c[1] + a.dims[1] * c[2]));
        fullest = std::max(fullest, ++a.start[cellOf[i] + 2]);
    }
    // The walk over cells of the same size placed otherwise tests an atom
    // against the atoms of at most 64 of these cells: below the test limit
    // while no cell is this full.
    if (64LL * fullest >= maxTests) return std::nullopt;
    for (size_t c = 2; c < a.start.size(); ++c) a.start[c] += a.start[c - 1];
    a.place.resize(n);
    a.kind.resize(n);
    a.model.resize(n), a.index.resize(n), a.altLoc.resize(n);
    for (size_t i = 0; i < n; ++i) {
        const PdbAtomRecord& r = records[i];
        const int at = a.start[cellOf[i] + 1]++;
        a.place[at] = {r.x, r.y, r.z};
        a.kind[at] = static_cast<std::uint8_t>(CovalentRadiusKind(r));
        a.model[at] = r.model;
        a.index[at] = static_cast<int>(i);
        a.altLoc[at] = r.altLoc ? r.altLoc : ' ';
    }
    a.start.pop_back();
    std::vector<std::uint32_t>().swap(cellOf);

    // Slabs of z-planes with about the same number of atoms each.
    const long long planes = a.dims[2], plane = a.dims[0] * a.dims[1];
    const int parts = static_cast<int>(std::clamp<long long>(threads, 1, planes));
    std::vector<long long> cut(static_cast<size_t>(parts) + 1, planes);
    cut[0] = 0;
    for (int p = 1; p < parts; ++p) {
        const long long want = static_cast<long long>(n) * p / parts;
        long long z = cut[p - 1];
        while (z < planes && a.start[static_cast<size_t>(z * plane)] < want) ++z;
        cut[p] = z;
    }
    std::vector<std::vector<std::pair<int, int>>> found(static_cast<size_t>(parts));
    {
        // A worker's failure (memory) is thrown here, after every worker ended.
        std::vector<std::exception_ptr> failed(static_cast<size_t>(parts));
        std::vector<std::thread> workers;
        workers.reserve(static_cast<size_t>(parts));
        auto search = [&](int p) {
            try {
                // Gathered apart from the other workers' lists: their ends
                // would otherwise share a cache line, which every pair found
                // would pass between the CPUs.
                std::vector<std::pair<int, int>> mine;
                mine.reserve(n / static_cast<size_t>(parts) * 5 / 4 + 16);  // about one bond an atom
                SearchSlab(a, cut[p], cut[p + 1], mine);
                found[p] = std::move(mine);
            } catch (...) {
                failed[p] = std::current_exception();
            }
        };
        for (int p = 1; p < parts; ++p) {
            try {
                workers.emplace_back(search, p);
            } catch (const std::system_error&) {
                search(p);  // no thread to be had: the slab is searched here
            }
        }
        search(0);
        for (std::thread& t : workers) t.join();
        for (const std::exception_ptr& e : failed)
            if (e) std::rethrow_exception(e);
    }
    a = CellAtoms{};

    // Into the walk's order: each pair from the side whose cell is the home
    // cell of the walk, bucketed by that cell (a counting sort), then within a
    // bucket by offset and the two record indices, packed in one number.
    const int nx = grid.count[0], ny = grid.count[1];
    const size_t coarseCells = static_cast<size_t>(nx) * ny * grid.count[2];
    int offsetOf[27];
    std::fill(std::begin(offsetOf), std::end(offsetOf), -1);
    for (int k = 0; k < 14; ++k)
        offsetOf[(kBondCellOffsets[k][0] + 1) + 3 * (kBondCellOffsets[k][1] + 1) + 9 * (kBondCellOffsets[k][2] + 1)] = k;
    size_t total = 0;
    for (const auto& f : found) total += f.size();
    std::vector<std::uint8_t> degree(n, 0);
    std::vector<std::uint32_t> homeOf(total);
    std::vector<std::uint64_t> key(total);
    std::vector<int> bucket(coarseCells + 2, 0);  // counted and filled as the cells' starts
    // A coarse cell's coordinates are found for most pairs: without divisions.
    const Divider byRow(static_cast<std::uint32_t>(nx)), byPlane(static_cast<std::uint32_t>(nx) * ny);
    const auto coords = [&](int c, int (&xyz)[3]) {
        const int row = static_cast<int>(byRow(static_cast<std::uint32_t>(c)));
        xyz[2] = static_cast<int>(byPlane(static_cast<std::uint32_t>(c)));
        xyz[1] = row - xyz[2] * ny;
        xyz[0] = c - row * nx;
    };
    size_t at = 0;
    for (const auto& part : found)
        for (auto [p, q] : part) {
            if (++degree[p] >= maxPartners || ++degree[q] >= maxPartners) return std::nullopt;
            const int cp = static_cast<int>(coarseCell[p]), cq = static_cast<int>(coarseCell[q]);
            int k = 0;
            if (cp == cq) {
                if (p > q) std::swap(p, q);
            } else {
                int atP[3], atQ[3];
                coords(cp, atP);
                coords(cq, atQ);
                const int d[3] = {atQ[0] - atP[0], atQ[1] - atP[1], atQ[2] - atP[2]};
                const bool near = std::abs(d[0]) <= 1 && std::abs(d[1]) <= 1 && std::abs(d[2]) <= 1;
                if (!near) return std::nullopt;  // cells smaller than a bond: the walk misses such pairs
                k = offsetOf[(d[0] + 1) + 3 * (d[1] + 1) + 9 * (d[2] + 1)];
                if (k < 0) {
                    std::swap(p, q);
                    k = offsetOf[(1 - d[0]) + 3 * (1 - d[1]) + 9 * (1 - d[2])];
                }
            }
            homeOf[at] = coarseCell[p];
            key[at] = static_cast<std::uint64_t>(k) << 60 | static_cast<std::uint64_t>(p) << 30 |
                      static_cast<std::uint64_t>(q);
            ++bucket[homeOf[at] + 2];
            ++at;
        }
    found.clear();
    found.shrink_to_fit();
    for (size_t c = 2; c < bucket.size(); ++c) bucket[c] += bucket[c - 1];
    std::vector<std::uint64_t> sorted(total);
    for (size_t i = 0; i < total; ++i) sorted[bucket[homeOf[i] + 1]++] = key[i];
    std::vector<std::uint64_t>().swap(key);
    std::vector<std::pair<int, int>> pairs(total);
    for (size_t c = 0; c < coarseCells; ++c) {
        const auto b = sorted.begin() + bucket[c], e = sorted.begin() + bucket[c + 1];
        std::sort(b, e);
        for (auto it = b; it != e; ++it)
            pairs[static_cast<size_t>(it - sorted.begin())] = {static_cast<int>((*it >> 30) & 0x3fffffff),
                                                               static_cast<int>(*it & 0x3fffffff)};
    }
    return pairs;
}

}  // namespace velm
