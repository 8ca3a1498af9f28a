#include "model/Connectivity.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <tuple>
#include <type_traits>

#include "core/WorkerThreads.h"
#include "model/BondSearch.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"

namespace velm {

namespace {

constexpr auto& kOffsets = kBondCellOffsets;

// No real atom has this many covalent partners; the cap bounds the work and
// memory that a file of coincident atoms could demand.
constexpr int kMaxPartners = 32;
// Nor is any real atom tested against this many others: the fine grid's
// neighbour cells hold some 25 atoms, and 4,096 would need 18 atoms to the
// cubic angstrom. Counting every pair an atom is tested in, bonded or not,
// keeps the search linear in atoms for any file (a crowd of atoms that
// cannot bond to one another, in one cell).
constexpr int kMaxTests = 4096;

struct GridAtom {
    double x, y, z, r;
    int model;
    int index;
    char altLoc;  // two different alternate locations are two versions of a place, never bonded
};

Connectivity FromPairs(int n, const std::vector<std::pair<int, int>>& pairs) {
    // Partners of atom i are counted in start[i + 2] and placed from
    // start[i + 1] on, which then ends as the start of atom i + 1.
    Connectivity c;
    c.start.assign(static_cast<size_t>(n) + 2, 0);
    for (const auto& [a, b] : pairs) {
        ++c.start[a + 2];
        ++c.start[b + 2];
    }
    for (size_t i = 2; i < c.start.size(); ++i) c.start[i] += c.start[i - 1];
    c.partners.resize(static_cast<size_t>(c.start[n + 1]));
    for (const auto& [a, b] : pairs) {
        c.partners[c.start[a + 1]++] = b;
        c.partners[c.start[b + 1]++] = a;
    }
    c.start.pop_back();
    return c;
}

Connectivity FromLists(const std::vector<std::vector<int>>& lists) {
    Connectivity c;
    c.start.reserve(lists.size() + 1);
    c.start.push_back(0);
    for (const auto& l : lists) {
        c.partners.insert(c.partners.end(), l.begin(), l.end());
        c.start.push_back(static_cast<int>(c.partners.size()));
    }
    return c;
}

// Record indices of CONECT partner serials; absent serials are dropped.
// Where serials repeat, a partner is the record of that serial nearest to
// the entry's own, so that no bond reaches into another copy of a molecule.
std::vector<int> PartnerIndices(const PdbFile& file, const ConectEntry& e, int self) {
    std::vector<int> out;
    out.reserve(e.partners.size());
    for (int serial : e.partners)
        if (int j = file.SerialNear(serial, self); j >= 0) out.push_back(j);
    return out;
}

Connectivity FromFileEntries(const PdbFile& file) {
    std::vector<std::vector<int>> lists(file.atoms.size());
    const std::vector<int> atoms = ConectEntryAtoms(file);
    for (size_t k = 0; k < file.conects.size(); ++k) {
        const ConectEntry& e = file.conects[k];
        const int i = atoms[k];
        if (i < 0) continue;
        for (int j : PartnerIndices(file, e, i))
            if (std::find(lists[i].begin(), lists[i].end(), j) == lists[i].end()) lists[i].push_back(j);
    }
    Connectivity c = FromLists(lists);
    c.serialMode = true;
    return c;
}

// Derived bonds, with the CONECT entries of the file applied in atom order:
// an entry replaces the derived partners of a hetero atom. An entry whose atom
// does not come up later in atom order ends the merging. Standard entries
// list every bond of a HETATM atom but only the links of an ATOM atom (to a
// ligand, a metal or a modified residue), so for an ATOM atom the entry adds
// its partners to the derived ones: replacing them would cut a protein's own
// bonds (N-CA of a capped residue, CG-OD1 of an aspartate bound to a metal).
Connectivity MergeConect(const PdbFile& file, Connectivity derived) {
    // Only the lists an entry touches are taken out of the flat arrays, each
    // on first touch: a file's few CONECT entries cost no list per atom.
    const int n = static_cast<int>(derived.start.size()) - 1;
    std::vector<int> slot(static_cast<size_t>(n), -1);
    std::vector<std::vector<int>> edited;
    const auto list = [&](int i) -> std::vector<int>& {
        if (slot[i] < 0) {
            slot[i] = static_cast<int>(edited.size());
            const auto p = derived.Of(i);
            edited.emplace_back(p.begin(), p.end());
        }
        return edited[static_cast<size_t>(slot[i])];
    };
    size_t cursor = 0;
    for (size_t i = 0; i < file.atoms.size() && cursor < file.conects.size(); ++i) {
        const ConectEntry& e = file.conects[cursor];
        if (file.atoms[i].serial != e.id) continue;
        ++cursor;
        const int self = static_cast<int>(i);
        const std::vector<int> listed = PartnerIndices(file, e, self);
        if (file.atoms[i].hetero && !file.conectsAddToBonds) {
            for (int p : std::vector<int>(list(self))) std::erase(list(p), self);
            list(self) = listed;
        } else {
            std::vector<int>& own = list(self);
            for (int q : listed)
                if (std::find(own.begin(), own.end(), q) == own.end()) own.push_back(q);
        }
        for (int q : listed) {
            std::vector<int>& other = list(q);
            if (std::find(other.begin(), other.end(), self) == other.end()) other.push_back(self);
        }
    }
    if (edited.empty()) {
        derived.serialMode = true;
        return derived;
    }
    Connectivity c;
    c.serialMode = true;
    c.start.reserve(static_cast<size_t>(n) + 1);
    c.partners.reserve(derived.partners.size() + file.conects.size() * 4);
    c.start.push_back(0);
    for (int i = 0; i < n; ++i) {
        const auto p = slot[i] < 0 ? derived.Of(i) : std::span<const int>(edited[static_cast<size_t>(slot[i])]);
        c.partners.insert(c.partners.end(), p.begin(), p.end());
        c.start.push_back(static_cast<int>(c.partners.size()));
    }
    return c;
}

}  // namespace

namespace {

// Places in kCovalentRadii.
enum RadiusKind { kHydrogenRadius, kDeuteriumRadius, kPhosphorusRadius, kSulfurRadius, kOtherRadius };

int RadiusKindOfElement(std::string_view element) {
    if (element == "H") return kHydrogenRadius;
    if (element == "D") return kDeuteriumRadius;
    if (element == "P") return kPhosphorusRadius;
    if (element == "S" || element == "SE") return kSulfurRadius;
    return kOtherRadius;
}

// The kind a name's first letter (or, without one, its last character) gives.
int RadiusKindOfLetter(char c) {
    switch (c) {
    case 'H': case 'h': return kHydrogenRadius;
    case 'D': case 'd': return kDeuteriumRadius;
    case 'P': case 'p': return kPhosphorusRadius;
    case 'S': case 's': return kSulfurRadius;
    default: return kOtherRadius;
    }
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

double CovalentRadius(std::string_view name, std::string_view element) {
    if (!element.empty()) return kCovalentRadii[RadiusKindOfElement(element)];
    char c = name.empty() ? '\0' : name.back();
    for (char ch : name) {
        if (IsLetter(ch)) {
            c = ch;
            break;
        }
    }
    return kCovalentRadii[RadiusKindOfLetter(c)];
}

int CovalentRadiusKind(const PdbAtomRecord& r) {
    // The fields end with a NUL within them: no length is measured.
    if (r.element[0] != '\0') return RadiusKindOfElement({r.element, r.element[1] == '\0' ? 1u : 2u});
    size_t k = 0;
    for (; k < sizeof r.name && r.name[k] != '\0'; ++k)
        if (IsLetter(r.name[k])) return RadiusKindOfLetter(r.name[k]);
    return RadiusKindOfLetter(k > 0 ? r.name[k - 1] : '\0');  // no letter: the name's last character
}

double CovalentRadius(const PdbAtomRecord& r) { return kCovalentRadii[CovalentRadiusKind(r)]; }

BondGrid MakeBondGrid(std::span<const PdbAtomRecord> records) {
    BondGrid g;
    if (records.empty()) return g;
    double lo[3] = {records[0].x, records[0].y, records[0].z};
    double hi[3] = {lo[0], lo[1], lo[2]};
    for (const PdbAtomRecord& r : records) {
        const double p[3] = {r.x, r.y, r.z};
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], p[k]);
            hi[k] = std::max(hi[k], p[k]);
        }
    }
    g.minimum = {lo[0], lo[1], lo[2]};
    g.maximum = {hi[0], hi[1], hi[2]};
    for (int k = 0; k < 3; ++k) {
        const double span = hi[k] - lo[k];
        g.cell[k] = span >= 200.0 ? 0.02 * span : 4.0;
        const double cellsAlong = span / g.cell[k];  // NaN or huge for absurd spans: clamp before the cast
        g.count[k] = cellsAlong < 50.0 ? static_cast<int>(cellsAlong) + 1 : 51;
    }
    return g;
}

namespace {

GridAtom MakeGridAtom(const PdbAtomRecord& r, int index) {
    return GridAtom{r.x, r.y, r.z, CovalentRadius(r), r.model, index, r.altLoc ? r.altLoc : ' '};
}

// Atoms of a grid in cell order (index order within a cell): a counting sort.
struct CellOrder {
    std::vector<int> start;  // atoms of cell c: order[start[c] .. start[c + 1])
    std::vector<int> order;  // atom indices
    std::vector<int> slot;   // per atom: its place in `order`

    CellOrder(const std::vector<std::uint32_t>& cellOf, size_t cells) : start(cells + 1, 0) {
        const int n = static_cast<int>(cellOf.size());
        for (std::uint32_t c : cellOf) ++start[c + 1];
        for (size_t c = 0; c < cells; ++c) start[c + 1] += start[c];
        order.resize(static_cast<size_t>(n));
        slot.resize(static_cast<size_t>(n));
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (int i = 0; i < n; ++i) {
            slot[i] = fill[cellOf[i]]++;
            order[slot[i]] = i;
        }
    }
    int Size(size_t c) const { return start[c + 1] - start[c]; }
};

// Coarse cell of every atom.
std::vector<std::uint32_t> CoarseCells(std::span<const PdbAtomRecord> records, const BondGrid& g) {
    const int nx = g.count[0], ny = g.count[1], nz = g.count[2];
    auto axisCell = [](double v, double lo, double size, int count) {
        const double t = (v - lo) / size;  // NaN-safe: a comparison, then the cast
        return t >= 0.0 ? static_cast<int>(std::min(t, static_cast<double>(count - 1))) : 0;
    };
    std::vector<std::uint32_t> cellOf(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        const PdbAtomRecord& r = records[i];
        const int ix = axisCell(r.x, g.minimum.x, g.cell[0], nx);
        const int iy = axisCell(r.y, g.minimum.y, g.cell[1], ny);
        const int iz = axisCell(r.z, g.minimum.z, g.cell[2], nz);
        cellOf[i] = static_cast<std::uint32_t>(ix + nx * (iy + ny * iz));
    }
    return cellOf;
}

// Calls visit(homeCell, offsetIndex, otherCell) for every cell pair of the
// walk: cells with z slowest and x fastest, neighbours in the order of kOffsets.
template <class F>
void WalkCellPairs(const BondGrid& g, const CellOrder& cells, F&& visit) {
    const int nx = g.count[0], ny = g.count[1], nz = g.count[2];
    for (int iz = 0; iz < nz; ++iz)
        for (int iy = 0; iy < ny; ++iy)
            for (int ix = 0; ix < nx; ++ix) {
                const size_t home = static_cast<size_t>(ix + nx * (iy + ny * iz));
                if (cells.Size(home) == 0) continue;
                for (int k = 0; k < 14; ++k) {
                    const int jx = ix + kOffsets[k][0], jy = iy + kOffsets[k][1], jz = iz + kOffsets[k][2];
                    if (jx < 0 || jx >= nx || jy < 0 || jy >= ny || jz >= nz) continue;
                    visit(home, k, static_cast<size_t>(jx + nx * (jy + ny * jz)));
                }
            }
}

// Tests the atoms sorted[aBegin, aEnd) against sorted[bBegin, bEnd) (the
// same run: each pair once); stops early for atoms whose partners are full
// or whose tests are used up.
// Degrees are kept by place in `sorted`, where neighbours are near. The
// distance is summed in full rather than axis by axis: the same value, and
// no branch to mispredict.
template <class F>
void TestRuns(const std::vector<GridAtom>& sorted, int aBegin, int aEnd, int bBegin, int bEnd, bool same,
              std::vector<std::uint8_t>& degree, std::vector<std::uint16_t>& tests, F&& found) {
    for (int ia = aBegin; ia < aEnd; ++ia) {
        const GridAtom& a = sorted[ia];
        int partners = degree[ia];
        const int first = same ? ia + 1 : bBegin;
        const int last = std::min(bEnd, first + (kMaxTests - tests[ia]));
        tests[ia] = static_cast<std::uint16_t>(tests[ia] + std::max(0, last - first));
        for (int ib = first; ib < last && partners < kMaxPartners; ++ib) {
            const GridAtom& b = sorted[ib];
            const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
            const double reach = (a.r + b.r) * (a.r + b.r);
            const double d2 = dx * dx + dy * dy + dz * dz;
            if (!(d2 < reach) || a.model != b.model || degree[ib] >= kMaxPartners) continue;
            if (a.altLoc != b.altLoc && a.altLoc != ' ' && b.altLoc != ' ') continue;
            ++partners;
            ++degree[ib];
            found(a.index, b.index);
        }
        degree[ia] = static_cast<std::uint8_t>(partners);
    }
}

// The walk over the coarse cells itself.
std::vector<std::pair<int, int>> DeriveOnCoarseGrid(std::span<const PdbAtomRecord> records, const BondGrid& g,
                                                    const CellOrder& cells) {
    std::vector<GridAtom> sorted(records.size());
    for (size_t k = 0; k < sorted.size(); ++k) sorted[k] = MakeGridAtom(records[cells.order[k]], cells.order[k]);
    std::vector<std::uint8_t> degree(records.size(), 0);
    std::vector<std::uint16_t> tests(records.size(), 0);
    std::vector<std::pair<int, int>> pairs;
    pairs.reserve(records.size());
    WalkCellPairs(g, cells, [&](size_t home, int, size_t other) {
        TestRuns(sorted, cells.start[home], cells.start[home + 1], cells.start[other], cells.start[other + 1],
                 home == other, degree, tests, [&](int a, int b) { pairs.emplace_back(a, b); });
    });
    return pairs;
}

constexpr double kFine = 2.5;  // above the longest bond the radii allow (S-S, 2.49 A)

// A cell of the fine grid: per axis the cell number floor(v / kFine), or,
// from 2^62 cells on (bit k of `huge` set), the coordinate's own bits: there
// neighbouring doubles lie farther apart than any bond, so only atoms with the
// same coordinate on that axis can bond.
struct FineCell {
    std::int64_t c[3];
    std::uint8_t huge;
};

FineCell MakeFineCell(double x, double y, double z) {
    constexpr double kLimit = 4611686018427387904.0;  // 2^62
    FineCell f{{0, 0, 0}, 0};
    const double v[3] = {x, y, z};
    for (int k = 0; k < 3; ++k) {
        const double t = std::floor(v[k] / kFine);
        if (t > -kLimit && t < kLimit) {
            f.c[k] = static_cast<std::int64_t>(t);
        } else {
            f.c[k] = std::bit_cast<std::int64_t>(v[k]);
            f.huge = static_cast<std::uint8_t>(f.huge | (1 << k));
        }
    }
    return f;
}

// Runs of the fine grid are ordered by cell, then model.
struct RunKey {
    std::int64_t c[3];  // dense: {cell index, 0, 0}; sparse: z, y, x
    std::uint8_t huge;
    int model;
    auto operator<=>(const RunKey&) const = default;
};

// The same pairs, in the same order, for grids whose cells are crowded. From
// 200 A on the cells grow to 1/50 of the span, so a large system puts dozens
// of atoms into each; one stray atom far away (dummy atoms at 9999 A occur in
// real files) puts a whole protein into a few cells; and the atoms of many
// models lie over one another. Pairs are found on a fine grid whose cells
// hold the atoms of one model each (dense where it fits in memory, else
// sparse, so that atoms however far apart never share a cell), then ordered
// by where the walk over the coarse cells would meet them.
std::vector<std::pair<int, int>> DeriveOnFineGrid(std::span<const PdbAtomRecord> records, const BondGrid& g,
                                                  const std::vector<std::uint32_t>& coarseCell,
                                                  const CellOrder& coarse) {
    const int n = static_cast<int>(records.size());
    // The cells are worked out twice rather than kept: a large system's peak
    // memory is made here.
    bool huge = false;
    std::int64_t lo[3] = {INT64_MAX, INT64_MAX, INT64_MAX}, hi[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
    for (const PdbAtomRecord& r : records) {
        const FineCell c = MakeFineCell(r.x, r.y, r.z);
        huge = huge || c.huge != 0;
        for (int k = 0; k < 3; ++k) {
            lo[k] = std::min(lo[k], c.c[k]);
            hi[k] = std::max(hi[k], c.c[k]);
        }
    }
    // Dense when every product of the extents is small: cells within 2^62 of
    // zero differ by less than 2^63, and each step is checked.
    std::int64_t dims[3] = {1, 1, 1}, cells = 1;
    bool dense = !huge;
    for (int k = 0; k < 3 && dense; ++k)
        dense = !__builtin_sub_overflow(hi[k], lo[k], &dims[k]) && !__builtin_add_overflow(dims[k], 1, &dims[k]) &&
                !__builtin_mul_overflow(cells, dims[k], &cells) && cells <= 2 * static_cast<std::int64_t>(n) + (1 << 20);

    // Atoms sorted by fine cell and model (a counting sort on a dense grid,
    // which reads the records in order), and the runs of atoms that share
    // both: on a dense grid by cell index and model, else by whole keys.
    std::vector<GridAtom> sorted(static_cast<size_t>(n));
    std::vector<int> runStart;
    std::vector<std::int64_t> runCell;  // dense
    std::vector<int> runModel;          // dense
    std::vector<RunKey> runKey;         // sparse
    std::vector<int> runOfCell;         // dense: the first run of each cell, -1 when empty
    if (dense) {
        std::vector<int> start(static_cast<size_t>(cells) + 1, 0);
        std::vector<std::int64_t> index(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const PdbAtomRecord& r = records[i];
            const FineCell c = MakeFineCell(r.x, r.y, r.z);
            index[i] = (c.c[0] - lo[0]) + dims[0] * ((c.c[1] - lo[1]) + dims[1] * (c.c[2] - lo[2]));
            ++start[index[i] + 1];
        }
        for (size_t c = 0; c + 1 < start.size(); ++c) start[c + 1] += start[c];
        {
            std::vector<int> fill(start.begin(), start.end() - 1);
            for (int i = 0; i < n; ++i) sorted[fill[index[i]]++] = MakeGridAtom(records[i], i);
        }
        std::vector<std::int64_t>().swap(index);
        runOfCell.assign(static_cast<size_t>(cells), -1);
        for (std::int64_t c = 0; c < cells; ++c) {
            const auto b = sorted.begin() + start[c], e = sorted.begin() + start[c + 1];
            if (b == e) continue;
            if (std::any_of(b, e, [&](const GridAtom& a) { return a.model != b->model; }))
                std::stable_sort(b, e, [](const GridAtom& x, const GridAtom& y) { return x.model < y.model; });
            runOfCell[c] = static_cast<int>(runCell.size());
            for (auto it = b; it != e; ++it) {
                if (it == b || it->model != (it - 1)->model) {
                    runCell.push_back(c);
                    runModel.push_back(it->model);
                    runStart.push_back(static_cast<int>(it - sorted.begin()));
                }
            }
        }
    } else {
        std::vector<std::pair<RunKey, int>> byCell(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            const PdbAtomRecord& r = records[i];
            const FineCell c = MakeFineCell(r.x, r.y, r.z);
            byCell[i] = {RunKey{{c.c[2], c.c[1], c.c[0]}, c.huge, r.model}, i};
        }
        std::sort(byCell.begin(), byCell.end());
        for (int i = 0; i < n; ++i) {
            sorted[i] = MakeGridAtom(records[byCell[i].second], byCell[i].second);
            if (i == 0 || byCell[i].first != byCell[i - 1].first) {
                runKey.push_back(byCell[i].first);
                runStart.push_back(i);
            }
        }
    }
    const size_t runs = runStart.size();
    runStart.push_back(n);
    // The run of model `model` in the neighbour at offset o of run `run`; -1 when none.
    // The run of run's model in a dense cell that several models share: runs
    // are in (cell, model) order.
    auto otherModel = [&](int first, std::int64_t cell, size_t run) -> int {
        const int model = runModel[run];
        size_t a = static_cast<size_t>(first), b = runs;
        while (a < b) {
            const size_t m = a + (b - a) / 2;
            if (runCell[m] < cell || (runCell[m] == cell && runModel[m] < model)) a = m + 1;
            else b = m;
        }
        return a < runs && runCell[a] == cell && runModel[a] == model ? static_cast<int>(a) : -1;
    };
    // The neighbouring run on a sparse grid. Where an axis holds a
    // coordinate's bits, only equal coordinates can bond.
    auto sparse = [&](size_t run, const int (&o)[3]) -> int {
        RunKey k = runKey[run];
        for (int a = 0; a < 3; ++a) {
            if (o[a] == 0) continue;
            if (k.huge & (1 << a)) return -1;
            k.c[2 - a] += o[a];
        }
        const auto it = std::lower_bound(runKey.begin(), runKey.end(), k);
        return it != runKey.end() && *it == k ? static_cast<int>(it - runKey.begin()) : -1;
    };
    // `home`: the run's cell coordinates on a dense grid.
    auto neighbour = [&](size_t run, const std::int64_t (&home)[3],
                         const int (&o)[3]) __attribute__((always_inline)) -> int {
        if (dense) {
            const std::int64_t at[3] = {home[0] + o[0], home[1] + o[1], home[2] + o[2]};
            for (int k = 0; k < 3; ++k)
                if (at[k] < 0 || at[k] >= dims[k]) return -1;
            const std::int64_t cell = at[0] + dims[0] * (at[1] + dims[1] * at[2]);
            const int first = runOfCell[cell];
            if (first < 0 || runModel[first] == runModel[run]) return first;
            return otherModel(first, cell, run);
        }
        return sparse(run, o);
    };

    std::vector<std::uint8_t> degree(static_cast<size_t>(n), 0);
    std::vector<std::uint16_t> tests(static_cast<size_t>(n), 0);
    std::vector<std::pair<int, int>> found;
    found.reserve(static_cast<size_t>(n));
    for (size_t run = 0; run < runs; ++run) {
        std::int64_t home[3] = {0, 0, 0};
        if (dense) {
            const std::int64_t c = runCell[run];
            home[0] = c % dims[0];
            home[1] = (c / dims[0]) % dims[1];
            home[2] = c / (dims[0] * dims[1]);
        }
        for (const auto& o : kOffsets) {
            const bool same = o[0] == 0 && o[1] == 0 && o[2] == 0;
            const int other = same ? static_cast<int>(run) : neighbour(run, home, o);
            if (other < 0) continue;
            TestRuns(sorted, runStart[run], runStart[run + 1], runStart[other], runStart[other + 1], same, degree,
                     tests, [&](int a, int b) { found.emplace_back(a, b); });
        }
    }

    // Order: home cell of the coarse walk, neighbour offset, then the two
    // atoms' places in the coarse cell order.
    const int nx = g.count[0], ny = g.count[1];
    auto coords = [&](std::uint32_t c) {
        const int ci = static_cast<int>(c);
        return std::array<int, 3>{ci % nx, (ci / nx) % ny, ci / (nx * ny)};
    };
    auto offsetIndex = [](int dx, int dy, int dz) {
        for (int k = 0; k < 14; ++k)
            if (kOffsets[k][0] == dx && kOffsets[k][1] == dy && kOffsets[k][2] == dz) return k;
        return -1;
    };
    struct Keyed {
        int offset, slotA, slotB;
        bool operator<(const Keyed& o) const {
            return std::tie(offset, slotA, slotB) < std::tie(o.offset, o.slotA, o.slotB);
        }
    };
    // Bucketed by home cell (a counting sort); a bucket holds a few dozen pairs.
    std::vector<int> bucket(coarse.start.size(), 0);
    std::vector<std::uint32_t> homeOf(found.size());
    for (size_t i = 0; i < found.size(); ++i) {
        auto& [a, b] = found[i];
        const std::uint32_t ca = coarseCell[a], cb = coarseCell[b];
        if (ca == cb ? coarse.slot[a] > coarse.slot[b] : offsetIndex(coords(cb)[0] - coords(ca)[0],
                                                                      coords(cb)[1] - coords(ca)[1],
                                                                      coords(cb)[2] - coords(ca)[2]) < 0)
            std::swap(a, b);
        homeOf[i] = coarseCell[a];
        ++bucket[homeOf[i] + 1];
    }
    for (size_t c = 0; c + 1 < bucket.size(); ++c) bucket[c + 1] += bucket[c];
    std::vector<Keyed> keyed(found.size());
    {
        std::vector<int> fill(bucket.begin(), bucket.end() - 1);
        for (size_t i = 0; i < found.size(); ++i) {
            const auto [a, b] = found[i];
            const auto pa = coords(coarseCell[a]), pb = coords(coarseCell[b]);
            keyed[fill[homeOf[i]]++] =
                Keyed{offsetIndex(pb[0] - pa[0], pb[1] - pa[1], pb[2] - pa[2]), coarse.slot[a], coarse.slot[b]};
        }
    }
    std::vector<std::pair<int, int>>().swap(found);
    for (size_t c = 0; c + 1 < bucket.size(); ++c) std::sort(keyed.begin() + bucket[c], keyed.begin() + bucket[c + 1]);
    std::vector<std::pair<int, int>> pairs;
    pairs.reserve(keyed.size());
    for (const Keyed& k : keyed) pairs.emplace_back(coarse.order[k.slotA], coarse.order[k.slotB]);
    return pairs;
}

}  // namespace

std::vector<std::pair<int, int>> DeriveBondsByDistance(std::span<const PdbAtomRecord> records,
                                                       std::int64_t directWorkLimit) {
    const int n = static_cast<int>(records.size());
    if (n == 0) return {};
    const BondGrid g = MakeBondGrid(records);
    const std::vector<std::uint32_t> cellOf = CoarseCells(records, g);
    const size_t coarseCells = static_cast<size_t>(g.count[0]) * g.count[1] * g.count[2];
    const bool chosen = directWorkLimit >= 0;  // the caller picks the walk itself

    // Pair tests the walk over the coarse cells would make. The fine grid
    // tests some 25 pairs an atom and then sorts what it found; 4 A cells of
    // water need about 90 tests an atom. The most tests one atom would make
    // there decide whether the walk's limit could cut any atom short.
    std::vector<int> sizes(coarseCells, 0);
    int fullest = 0;
    for (std::uint32_t c : cellOf) fullest = std::max(fullest, ++sizes[c]);
    if (directWorkLimit < 0) directWorkLimit = 64 * static_cast<std::int64_t>(n) + 100000;
    const int nx = g.count[0], ny = g.count[1], nz = g.count[2];
    // Where a cell has all its neighbours, they lie at fixed distances in the array.
    std::ptrdiff_t step[std::size(kOffsets)];
    for (size_t k = 0; k < std::size(kOffsets); ++k) step[k] = kOffsets[k][0] + nx * (kOffsets[k][1] + ny * kOffsets[k][2]);
    // The most tests of one atom and, when asked, the tests of all up to the
    // limit: the usual load needs only the first.
    std::int64_t work = 0, mostTests = 0;
    const auto estimate = [&](auto all) {
        for (int iz = 0; iz < nz; ++iz)
            for (int iy = 0; iy < ny; ++iy)
                for (int ix = 0; ix < nx; ++ix) {
                    const size_t home = static_cast<size_t>(ix + nx * (iy + ny * iz));
                    const std::int64_t a = sizes[home];
                    if (a == 0) continue;
                    std::int64_t tests = 0;
                    const auto take = [&](size_t k, std::int64_t b) {
                        tests += b;
                        if constexpr (all())
                            if (work <= directWorkLimit) work += k == 0 ? a * (a - 1) / 2 : a * b;  // stops short of overflow
                    };
                    if (ix > 0 && ix + 1 < nx && iy > 0 && iy + 1 < ny && iz + 1 < nz) {
                        for (size_t k = 0; k < std::size(kOffsets); ++k)
                            take(k, sizes[static_cast<size_t>(static_cast<std::ptrdiff_t>(home) + step[k])]);
                    } else {
                        for (size_t k = 0; k < std::size(kOffsets); ++k) {
                            const int jx = ix + kOffsets[k][0], jy = iy + kOffsets[k][1], jz = iz + kOffsets[k][2];
                            if (jx < 0 || jx >= nx || jy < 0 || jy >= ny || jz >= nz) continue;
                            take(k, sizes[static_cast<size_t>(jx + nx * (jy + ny * jz))]);
                        }
                    }
                    mostTests = std::max(mostTests, tests);
                }
    };
    // An atom meets the atoms of 14 cells at most: below the limit while no
    // cell is that full, and then the walk over them is not needed to tell.
    if (14LL * fullest < kMaxTests) mostTests = 14LL * fullest;
    else estimate(std::false_type{});
    bool workKnown = false;
    const auto coarseWalk = [&] {
        if (!workKnown) estimate(std::true_type{});
        workKnown = true;
        return work <= directWorkLimit;
    };

    // The same pairs in the same order from cells of the bond reach, unless
    // an atom could meet the limits of the walk within its work limit.
    if (!chosen && (mostTests < kMaxTests || !coarseWalk()))
        if (auto pairs = BondsOnReachCells(records, g, cellOf, kMaxPartners, kMaxTests, WorkerThreads()))
            return std::move(*pairs);
    const bool coarse = coarseWalk();
    std::vector<int>().swap(sizes);
    const CellOrder cells(cellOf, coarseCells);
    return coarse ? DeriveOnCoarseGrid(records, g, cells) : DeriveOnFineGrid(records, g, cellOf, cells);
}

std::vector<int> ConectEntryAtoms(const PdbFile& file) {
    // Without entries there is nothing to place: no serial index is built.
    if (file.conects.empty()) return {};
    std::vector<int> out(file.conects.size(), -1);
    const bool repeats = file.SerialsRepeat();
    int last = -1;
    for (size_t k = 0; k < file.conects.size(); ++k) {
        const ConectEntry& e = file.conects[k];
        if (!repeats) {
            out[k] = file.SerialLookup(e.id);
            continue;
        }
        // Entries come in atom order, each after the atoms it names: the next
        // record of that serial after the last entry's, else the nearest before it.
        const int limit = e.atomsBefore < 0 ? static_cast<int>(file.atoms.size()) : e.atomsBefore;
        const std::span<const int> found = file.RecordsWithSerial(e.id);
        int pick = -1;
        for (int i : found) {
            if (i >= limit) break;
            pick = i;
            if (i > last) break;
        }
        out[k] = pick;
        if (pick >= 0) last = pick;
    }
    return out;
}

Connectivity ComputeConnectivity(const PdbFile& file) {
    const int n = static_cast<int>(file.atoms.size());
    if (n == 0 || (file.conects.size() == file.atoms.size() && !file.conectsAddToBonds)) return FromFileEntries(file);
    const auto derive = [&] { return FromPairs(n, DeriveBondsByDistance(file.atoms)); };
    if (file.conects.empty()) return derive();

    const int firstModel = file.atoms.front().model;
    const bool multiModel = std::any_of(file.atoms.begin(), file.atoms.end(),
                                        [&](const PdbAtomRecord& r) { return r.model != firstModel; });
    if (multiModel) return derive();

    const bool missing = std::any_of(file.conects.begin(), file.conects.end(), [&](const ConectEntry& e) {
        return std::any_of(e.partners.begin(), e.partners.end(), [&](int s) { return file.SerialLookup(s) < 0; });
    });
    if (missing) {
        Connectivity c = derive();
        c.serialMode = true;
        return c;
    }
    return MergeConect(file, derive());
}

void ApplyConnectivity(Molecule& mol, const PdbFile& file, Connectivity c) {
    const int n = mol.AtomCount();
    mol.bonds.clear();
    // Only partners among the molecule's atoms count: with models read as a
    // trajectory, the records beyond the first model are frames. Where every
    // record is an atom, the arrays become the molecule's as they stand.
    if (c.start.size() == static_cast<size_t>(n) + 1 && file.atoms.size() == static_cast<size_t>(n)) {
        mol.partnerStart = std::move(c.start);
        mol.partners = std::move(c.partners);
    } else {
        mol.partnerStart.assign(static_cast<size_t>(n) + 1, 0);
        mol.partners.clear();
        // Reserved, not grown: each growth would copy the array and touch twice its memory.
        mol.partners.reserve(c.partners.size());
        for (int i = 0; i < n; ++i) {
            for (int j : c.Of(i))
                if (j < n) mol.partners.push_back(j);
            mol.partnerStart[i + 1] = static_cast<int>(mol.partners.size());
        }
    }
    mol.bonds.reserve(mol.partners.size() / 2);
    const int* start = mol.partnerStart.data();
    const int* partners = mol.partners.data();
    for (int g = 0; g < n; ++g) {
        for (const int* p = partners + start[g]; p != partners + start[g + 1]; ++p) {
            const int h = *p;
            const bool first = c.serialMode ? (file.atoms[g].serial < file.atoms[h].serial ||
                                               (file.atoms[g].serial == file.atoms[h].serial && g < h))
                                            : g < h;
            if (!first) continue;
            Bond b;
            b.first = std::min(g, h);
            b.second = std::max(g, h);
            b.hetero = mol.atoms[g].hetero || mol.atoms[h].hetero ? 1 : 0;
            b.splitColour = mol.atoms[g].colour == mol.atoms[h].colour ? 0 : 1;
            mol.bonds.push_back(b);
        }
    }
    for (int i = 0; i < n; ++i) {
        if (start[i] != start[i + 1]) continue;
        const std::string_view name = mol.atoms[i].Name();
        if (!name.empty() && (name[0] == 'O' || name[0] == 'o')) mol.atoms[i].hetero = 1;
    }
}

}  // namespace velm
