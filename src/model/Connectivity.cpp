#include "model/Connectivity.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "model/Molecule.h"
#include "model/PdbFile.h"

namespace velm {

namespace {

// Neighbour offsets (dx, dy, dz) that, with the cell itself, meet every pair
// of adjacent cells exactly once.
constexpr int kOffsets[14][3] = {{0, 0, 0},  {1, 0, 0},  {0, 1, 0},  {0, 0, 1},  {1, 1, 0},
                                 {1, 0, 1},  {0, 1, 1},  {1, -1, 0}, {-1, 0, 1}, {0, -1, 1},
                                 {1, 1, 1},  {-1, 1, 1}, {1, -1, 1}, {-1, -1, 1}};

// No real atom has this many covalent partners; the cap bounds the work and
// memory that a file of coincident atoms could demand.
constexpr int kMaxPartners = 32;

struct GridAtom {
    double x, y, z, r;
    int model;
    int index;
};

Connectivity FromPairs(int n, const std::vector<std::pair<int, int>>& pairs) {
    Connectivity c;
    c.start.assign(static_cast<size_t>(n) + 1, 0);
    for (const auto& [a, b] : pairs) {
        ++c.start[a + 1];
        ++c.start[b + 1];
    }
    for (int i = 0; i < n; ++i) c.start[i + 1] += c.start[i];
    c.partners.resize(static_cast<size_t>(c.start[n]));
    std::vector<int> fill(c.start.begin(), c.start.end() - 1);
    for (const auto& [a, b] : pairs) {
        c.partners[fill[a]++] = b;
        c.partners[fill[b]++] = a;
    }
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

std::vector<std::vector<int>> ToLists(const Connectivity& c) {
    std::vector<std::vector<int>> lists(c.start.size() - 1);
    for (size_t i = 0; i + 1 < c.start.size(); ++i) {
        const auto p = c.Of(static_cast<int>(i));
        lists[i].assign(p.begin(), p.end());
    }
    return lists;
}

// Record indices of CONECT partner serials; absent serials are dropped.
std::vector<int> PartnerIndices(const PdbFile& file, const ConectEntry& e) {
    std::vector<int> out;
    out.reserve(e.partners.size());
    for (int serial : e.partners)
        if (int j = file.SerialLookup(serial); j >= 0) out.push_back(j);
    return out;
}

Connectivity FromFileEntries(const PdbFile& file) {
    std::vector<std::vector<int>> lists(file.atoms.size());
    for (const ConectEntry& e : file.conects) {
        const int i = file.SerialLookup(e.id);
        if (i < 0) continue;
        for (int j : PartnerIndices(file, e))
            if (std::find(lists[i].begin(), lists[i].end(), j) == lists[i].end()) lists[i].push_back(j);
    }
    Connectivity c = FromLists(lists);
    c.serialMode = true;
    return c;
}

// Derived bonds, with the CONECT entries of the file applied in atom order:
// an entry replaces the derived partners of its atom. An entry whose atom does
// not come up later in atom order ends the merging.
Connectivity MergeConect(const PdbFile& file, Connectivity derived) {
    auto lists = ToLists(derived);
    size_t cursor = 0;
    for (size_t i = 0; i < file.atoms.size() && cursor < file.conects.size(); ++i) {
        const ConectEntry& e = file.conects[cursor];
        if (file.atoms[i].serial != e.id) continue;
        ++cursor;
        const int self = static_cast<int>(i);
        for (int p : lists[i]) std::erase(lists[p], self);
        lists[i] = PartnerIndices(file, e);
        for (int q : lists[i])
            if (std::find(lists[q].begin(), lists[q].end(), self) == lists[q].end()) lists[q].push_back(self);
    }
    Connectivity c = FromLists(lists);
    c.serialMode = true;
    return c;
}

}  // namespace

double CovalentRadius(std::string_view name) {
    char c = name.empty() ? '\0' : name.back();
    for (char ch : name) {
        if (std::isalpha(static_cast<unsigned char>(ch))) {
            c = ch;
            break;
        }
    }
    switch (std::toupper(static_cast<unsigned char>(c))) {
    case 'H': return 0.455;
    case 'D': return 0.68;
    case 'P': return 0.975;
    case 'S': return 1.245;
    default: return 0.905;
    }
}

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
    for (int k = 0; k < 3; ++k) {
        const double span = hi[k] - lo[k];
        g.cell[k] = span >= 200.0 ? 0.02 * span : 4.0;
        const double cellsAlong = span / g.cell[k];  // NaN or huge for absurd spans: clamp before the cast
        g.count[k] = cellsAlong < 50.0 ? static_cast<int>(cellsAlong) + 1 : 51;
    }
    return g;
}

std::vector<std::pair<int, int>> DeriveBondsByDistance(std::span<const PdbAtomRecord> records) {
    std::vector<std::pair<int, int>> pairs;
    const int n = static_cast<int>(records.size());
    if (n == 0) return pairs;
    const BondGrid g = MakeBondGrid(records);
    const int nx = g.count[0], ny = g.count[1], nz = g.count[2];
    const size_t cells = static_cast<size_t>(nx) * ny * nz;

    // Atoms sorted by cell, in index order within a cell (a counting sort).
    auto axisCell = [](double v, double lo, double size, int count) {
        const double t = (v - lo) / size;
        return t >= 0.0 ? static_cast<int>(std::min(t, static_cast<double>(count - 1))) : 0;
    };
    std::vector<std::uint32_t> cellOf(static_cast<size_t>(n));
    std::vector<int> cellStart(cells + 1, 0);
    for (int i = 0; i < n; ++i) {
        const PdbAtomRecord& r = records[i];
        const int ix = axisCell(r.x, g.minimum.x, g.cell[0], nx);
        const int iy = axisCell(r.y, g.minimum.y, g.cell[1], ny);
        const int iz = axisCell(r.z, g.minimum.z, g.cell[2], nz);
        cellOf[i] = static_cast<std::uint32_t>(ix + nx * (iy + ny * iz));
        ++cellStart[cellOf[i] + 1];
    }
    for (size_t c = 0; c < cells; ++c) cellStart[c + 1] += cellStart[c];
    std::vector<GridAtom> sorted(static_cast<size_t>(n));
    {
        std::vector<int> fill(cellStart.begin(), cellStart.end() - 1);
        for (int i = 0; i < n; ++i) {
            const PdbAtomRecord& r = records[i];
            sorted[fill[cellOf[i]]++] = GridAtom{r.x, r.y, r.z, CovalentRadius(r.name), r.model, i};
        }
    }
    std::vector<std::uint8_t> degree(static_cast<size_t>(n), 0);
    pairs.reserve(static_cast<size_t>(n) + n / 8);

    for (int iz = 0; iz < nz; ++iz)
        for (int iy = 0; iy < ny; ++iy)
            for (int ix = 0; ix < nx; ++ix) {
                const size_t home = static_cast<size_t>(ix + nx * (iy + ny * iz));
                if (cellStart[home] == cellStart[home + 1]) continue;
                for (const auto& o : kOffsets) {
                    const int jx = ix + o[0], jy = iy + o[1], jz = iz + o[2];
                    if (jx < 0 || jx >= nx || jy < 0 || jy >= ny || jz >= nz) continue;
                    const size_t other = static_cast<size_t>(jx + nx * (jy + ny * jz));
                    const bool same = other == home;
                    for (int ia = cellStart[home]; ia < cellStart[home + 1]; ++ia) {
                        const GridAtom& a = sorted[ia];
                        for (int ib = same ? ia + 1 : cellStart[other]; ib < cellStart[other + 1]; ++ib) {
                            const GridAtom& b = sorted[ib];
                            if (a.model != b.model) continue;
                            const double reach = (a.r + b.r) * (a.r + b.r);
                            const double dx = a.x - b.x;
                            double d2 = dx * dx;
                            if (d2 >= reach) continue;
                            const double dy = a.y - b.y;
                            d2 += dy * dy;
                            if (d2 >= reach) continue;
                            const double dz = a.z - b.z;
                            d2 += dz * dz;
                            if (d2 >= reach) continue;
                            if (degree[a.index] >= kMaxPartners || degree[b.index] >= kMaxPartners) continue;
                            ++degree[a.index];
                            ++degree[b.index];
                            pairs.emplace_back(a.index, b.index);
                        }
                    }
                }
            }
    return pairs;
}

Connectivity ComputeConnectivity(const PdbFile& file) {
    const int n = static_cast<int>(file.atoms.size());
    if (n == 0 || file.conects.size() == file.atoms.size()) return FromFileEntries(file);
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

void ApplyConnectivity(Molecule& mol, const PdbFile& file, const Connectivity& c) {
    const int n = mol.AtomCount();
    mol.partnerStart.assign(static_cast<size_t>(n) + 1, 0);
    mol.partners.clear();
    mol.bonds.clear();
    // Only partners among the molecule's atoms count: with models read as a
    // trajectory, the records beyond the first model are frames.
    for (int i = 0; i < n; ++i) {
        for (int j : c.Of(i))
            if (j < n) mol.partners.push_back(j);
        mol.partnerStart[i + 1] = static_cast<int>(mol.partners.size());
    }
    for (int g = 0; g < n; ++g) {
        for (int h : mol.Partners(g)) {
            const bool first = c.serialMode ? (file.atoms[g].serial < file.atoms[h].serial ||
                                               (file.atoms[g].serial == file.atoms[h].serial && g < h))
                                            : g < h;
            if (!first) continue;
            Bond b;
            b.first = std::min(g, h);
            b.second = std::max(g, h);
            b.hetero = mol.atoms[g].hetero || mol.atoms[h].hetero ? 1 : 0;
            mol.bonds.push_back(b);
        }
    }
    for (int i = 0; i < n; ++i) {
        const std::string_view name = mol.atoms[i].Name();
        if (mol.Partners(i).empty() && !name.empty() && std::toupper(static_cast<unsigned char>(name[0])) == 'O')
            mol.atoms[i].hetero = 1;
    }
}

}  // namespace velm
