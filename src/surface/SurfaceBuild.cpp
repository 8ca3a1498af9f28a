#include "surface/SurfaceBuild.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <thread>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "surface/MarchingCubes.h"

namespace velm {

namespace {
constexpr int kProgressRange = 200;

// A triangle of the marching cubes before welding: three corners with the
// vertex index each is given (-1 until then).
struct RawTriangle {
    float p[3][3];
    int index[3] = {-1, -1, -1};
};

struct Grid {
    long long n[3] = {};
    std::vector<float> x, y, z;  // coordinates by repeated single-precision addition
    std::vector<float> value;
    float At(long long i, long long j, long long k) const { return value[static_cast<size_t>((k * n[1] + j) * n[0] + i)]; }
};

int ThreadCount(int requested) {
    if (requested > 0) return requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Runs work(first, last) over [0, count) in `threads` contiguous slabs, in
// parallel; after each slab, in order, report(done) on the calling thread.
template <typename Work, typename Report>
void Slabs(long long count, int threads, Work work, Report report) {
    if (count <= 0) return;
    threads = static_cast<int>(std::min<long long>(threads, count));
    if (threads <= 1) {
        work(0, count);
        report(count);
        return;
    }
    std::vector<std::thread> pool;
    std::vector<long long> bounds(static_cast<size_t>(threads) + 1);
    for (int t = 0; t <= threads; ++t) bounds[static_cast<size_t>(t)] = count * t / threads;
    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&, t] {
            try {
                work(bounds[static_cast<size_t>(t)], bounds[static_cast<size_t>(t) + 1]);
            } catch (...) {
                errors[static_cast<size_t>(t)] = std::current_exception();
            }
        });
    for (int t = 0; t < threads; ++t) {
        pool[static_cast<size_t>(t)].join();
        report(bounds[static_cast<size_t>(t) + 1]);
    }
    for (const auto& e : errors)
        if (e) std::rethrow_exception(e);
}

std::vector<float> Steps(float start, float step, long long count) {
    std::vector<float> out(static_cast<size_t>(count));
    float v = start;
    for (long long i = 0; i < count; ++i) {
        out[static_cast<size_t>(i)] = v;
        v += step;
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------------------
// AtomBox

AtomBox::AtomBox(const Molecule& m, const VelmSurface& options) : molecule_(m), options_(options) {
    const int frame = options.frameIndex;
    if (frame >= m.FrameCount() || frame < -1) throw VelmError("NULL ptr in BuildAtomBox");
    if (m.atoms.empty()) return;
    const Frame* f = frame >= 0 ? &m.frames[frame] : nullptr;
    if (f && f->AtomCount() < m.atoms.size()) throw VelmError("NULL ptr in BuildAtomBox");
    positions_.resize(m.atoms.size());
    for (size_t i = 0; i < m.atoms.size(); ++i) positions_[i] = f ? f->Position(i) : m.atoms[i].Position();

    minimum_ = maximum_ = positions_[0];
    for (const Vec3& p : positions_) {
        minimum_ = {std::min(minimum_.x, p.x), std::min(minimum_.y, p.y), std::min(minimum_.z, p.z)};
        maximum_ = {std::max(maximum_.x, p.x), std::max(maximum_.y, p.y), std::max(maximum_.z, p.z)};
    }
    const double pad = 2.0 * options.probeRadius + options.cellSize;
    minimum_ -= Vec3{pad, pad, pad};
    maximum_ += Vec3{pad, pad, pad};
    const double extent[3] = {maximum_.x - minimum_.x, maximum_.y - minimum_.y, maximum_.z - minimum_.z};
    for (int a = 0; a < 3; ++a) {
        edge_[a] = extent[a] >= options.largeExtent ? extent[a] / options.maxCells : options.cellSize;
        if (!(edge_[a] > 0) || !std::isfinite(extent[a])) throw VelmError("Out of memory");
        inverse_[a] = 1 / edge_[a];
        n_[a] = static_cast<long long>(extent[a] / edge_[a]) + 1;
    }
    nxy_ = n_[0] * n_[1];
    total_ = nxy_ * n_[2];
    if (total_ > 64LL * 1024 * 1024) throw VelmError("Out of memory");

    // Atom indices per cell, in atom order.
    try {
        std::vector<long long> cellOf(positions_.size());
        cellStart_.assign(static_cast<size_t>(total_) + 1, 0);
        for (size_t i = 0; i < positions_.size(); ++i) {
            cellOf[i] = CellOf(positions_[i].x, positions_[i].y, positions_[i].z);
            ++cellStart_[static_cast<size_t>(cellOf[i]) + 1];
        }
        for (size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
        cellAtoms_.resize(positions_.size());
        std::vector<int> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (size_t i = 0; i < positions_.size(); ++i)
            cellAtoms_[static_cast<size_t>(fill[static_cast<size_t>(cellOf[i])]++)] = static_cast<int>(i);
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }
}

long long AtomBox::CellOf(double x, double y, double z) const {
    const double p[3] = {x - minimum_.x, y - minimum_.y, z - minimum_.z};
    long long c[3];
    for (int a = 0; a < 3; ++a) {
        const double v = p[a] * inverse_[a];
        if (!(v >= 0) || v >= static_cast<double>(n_[a])) return -1;
        c[a] = static_cast<long long>(v);
    }
    return c[0] + c[1] * n_[0] + c[2] * nxy_;
}

bool AtomBox::Takes(int atom) const { return options_.includeSolvent || !molecule_.atoms[static_cast<size_t>(atom)].hetero; }

float AtomBox::Density(double x, double y, double z) const {
    const long long cell = CellOf(x, y, z);
    if (cell < 0) return 0;
    float sum = 0;
    for (int dz = -1; dz <= 1; ++dz)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const long long c = cell + dx + dy * n_[0] + dz * nxy_;
                if (c < 0 || c >= total_) continue;
                for (int k = cellStart_[static_cast<size_t>(c)]; k < cellStart_[static_cast<size_t>(c) + 1]; ++k) {
                    const int atom = cellAtoms_[static_cast<size_t>(k)];
                    if (!Takes(atom)) continue;
                    const Vec3& a = positions_[static_cast<size_t>(atom)];
                    const double r = molecule_.atoms[static_cast<size_t>(atom)].radius + options_.probeRadius;
                    const double d2 = (x - a.x) * (x - a.x) + (y - a.y) * (y - a.y) + (z - a.z) * (z - a.z);
                    const double s = d2 / (r * r);
                    sum += static_cast<float>(1 / (s * s * s + 1));
                    if (sum > options_.earlyExit) return sum;
                }
            }
    return sum;
}

int AtomBox::GradientAndColorIndex(const float v[3], float normal[3]) const {
    normal[0] = normal[1] = normal[2] = 0;
    const double p[3] = {v[0] - minimum_.x, v[1] - minimum_.y, v[2] - minimum_.z};
    long long c[3];
    for (int a = 0; a < 3; ++a) c[a] = std::clamp<long long>(static_cast<long long>(std::floor(p[a] * inverse_[a])), 0, n_[a] - 1);
    for (int s = 1; s <= 4; ++s) {
        int nearest = -1;
        double best = 0;
        double sum[3] = {0, 0, 0};
        for (long long z = std::max(0LL, c[2] - s); z <= std::min(n_[2] - 1, c[2] + s); ++z)
            for (long long y = std::max(0LL, c[1] - s); y <= std::min(n_[1] - 1, c[1] + s); ++y)
                for (long long x = std::max(0LL, c[0] - s); x <= std::min(n_[0] - 1, c[0] + s); ++x) {
                    const long long cell = x + y * n_[0] + z * nxy_;
                    for (int k = cellStart_[static_cast<size_t>(cell)]; k < cellStart_[static_cast<size_t>(cell) + 1]; ++k) {
                        const int atom = cellAtoms_[static_cast<size_t>(k)];
                        if (!Takes(atom)) continue;
                        const Vec3& a = positions_[static_cast<size_t>(atom)];
                        const double r = molecule_.atoms[static_cast<size_t>(atom)].radius + options_.probeRadius;
                        const double u[3] = {(v[0] - a.x) / r, (v[1] - a.y) / r, (v[2] - a.z) / r};
                        const double q = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
                        if (nearest < 0 || q < best) nearest = atom, best = q;
                        const double w = q / (q * q * q + 1);
                        const double f = w * w / r;
                        for (int i = 0; i < 3; ++i) sum[i] += f * u[i];
                    }
                }
        if (nearest >= 0) {
            for (int i = 0; i < 3; ++i) normal[i] = static_cast<float>(sum[i]);
            return nearest;
        }
    }
    throw VelmError("Invalid color index in GradientAndColorIndex");
}

// ---------------------------------------------------------------------------
// Build

namespace {
// Marching cubes over the cube layers [first, last) (cube z index 1 + layer).
void Contour(const Grid& g, float iso, long long first, long long last, std::vector<RawTriangle>& out) {
    const MarchingCubesTables& tables = GetMarchingCubesTables();
    float value[8];
    float corner[8][3];
    for (long long layer = first; layer < last; ++layer) {
        const long long k = layer + 1;
        for (long long j = 1; j <= g.n[1] - 2; ++j)
            for (long long i = 1; i <= g.n[0] - 2; ++i) {
                int cube = 0;
                for (int c = 0; c < 8; ++c) {
                    const long long ci = i + kCubeCorners[c][0], cj = j + kCubeCorners[c][1], ck = k + kCubeCorners[c][2];
                    value[c] = g.At(ci, cj, ck);
                    if (value[c] <= iso) cube |= 1 << c;
                }
                const unsigned edges = tables.edges[static_cast<size_t>(cube)];
                if (edges == 0) continue;
                for (int c = 0; c < 8; ++c) {
                    corner[c][0] = g.x[static_cast<size_t>(i + kCubeCorners[c][0])];
                    corner[c][1] = g.y[static_cast<size_t>(j + kCubeCorners[c][1])];
                    corner[c][2] = g.z[static_cast<size_t>(k + kCubeCorners[c][2])];
                }
                float crossing[12][3];
                for (int e = 0; e < 12; ++e) {
                    if (!(edges & (1u << e))) continue;
                    const int a = kCubeEdgeCorners[e][0], b = kCubeEdgeCorners[e][1];
                    const float f1 = value[a], f2 = value[b];
                    const float mu = f1 == f2 ? 0.5f : (iso - f1) / (f2 - f1);
                    for (int d = 0; d < 3; ++d) crossing[e][d] = corner[a][d] + mu * (corner[b][d] - corner[a][d]);
                }
                const auto& list = tables.triangles[static_cast<size_t>(cube)];
                for (int t = 0; t < 15 && list[static_cast<size_t>(t)] >= 0; t += 3) {
                    RawTriangle tri;
                    for (int v = 0; v < 3; ++v)
                        std::copy(crossing[list[static_cast<size_t>(t + v)]], crossing[list[static_cast<size_t>(t + v)]] + 3, tri.p[v]);
                    out.push_back(tri);
                }
            }
    }
}

// Gives corners that lie within half a grid step of one another one vertex.
int Weld(std::vector<RawTriangle>& triangles, float spacing) {
    if (triangles.empty()) return 0;
    float lo[3], hi[3];
    for (int d = 0; d < 3; ++d) lo[d] = hi[d] = triangles[0].p[0][d];
    for (const RawTriangle& t : triangles)
        for (const auto& p : t.p)
            for (int d = 0; d < 3; ++d) lo[d] = std::min(lo[d], p[d]), hi[d] = std::max(hi[d], p[d]);
    double edge[3];
    long long n[3];
    for (int d = 0; d < 3; ++d) {
        const double extent = static_cast<double>(hi[d]) - lo[d];
        edge[d] = extent >= 100 ? extent * 0.005 : 0.5;
        n[d] = static_cast<long long>(extent / edge[d]) + 1;
    }
    const auto bucketOf = [&](const float p[3], long long b[3]) {
        for (int d = 0; d < 3; ++d) b[d] = std::min(n[d] - 1, static_cast<long long>((p[d] - lo[d]) / edge[d]));
    };
    // Corners per bucket, in triangle and corner order: corner id = 3 t + v.
    const long long buckets = n[0] * n[1] * n[2];
    std::vector<int> start(static_cast<size_t>(buckets) + 1, 0);
    std::vector<long long> bucket(triangles.size() * 3);
    for (size_t t = 0; t < triangles.size(); ++t)
        for (int v = 0; v < 3; ++v) {
            long long b[3];
            bucketOf(triangles[t].p[v], b);
            bucket[3 * t + static_cast<size_t>(v)] = b[0] + b[1] * n[0] + b[2] * n[0] * n[1];
            ++start[static_cast<size_t>(bucket[3 * t + static_cast<size_t>(v)]) + 1];
        }
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    std::vector<int> corners(triangles.size() * 3);
    {
        std::vector<int> fill(start.begin(), start.end() - 1);
        for (size_t c = 0; c < corners.size(); ++c) corners[static_cast<size_t>(fill[static_cast<size_t>(bucket[c])]++)] = static_cast<int>(c);
    }
    const double limit = (spacing / 2.0) * (spacing / 2.0);
    int next = 0;
    for (size_t t = 0; t < triangles.size(); ++t)
        for (int v = 0; v < 3; ++v) {
            RawTriangle& tri = triangles[t];
            if (tri.index[v] >= 0) continue;
            const float* p = tri.p[v];
            long long b[3];
            bucketOf(p, b);
            for (long long dz = -1; dz <= 1; ++dz)
                for (long long dy = -1; dy <= 1; ++dy)
                    for (long long dx = -1; dx <= 1; ++dx) {
                        const long long x = b[0] + dx, y = b[1] + dy, z = b[2] + dz;
                        if (x < 0 || y < 0 || z < 0 || x >= n[0] || y >= n[1] || z >= n[2]) continue;
                        const long long cell = x + y * n[0] + z * n[0] * n[1];
                        for (int k = start[static_cast<size_t>(cell)]; k < start[static_cast<size_t>(cell) + 1]; ++k) {
                            const int other = corners[static_cast<size_t>(k)];
                            RawTriangle& ot = triangles[static_cast<size_t>(other / 3)];
                            const int ov = other % 3;
                            if (&ot == &tri && ov == v) continue;
                            double d2 = (static_cast<double>(ot.p[ov][0]) - p[0]) * (static_cast<double>(ot.p[ov][0]) - p[0]);
                            if (d2 > limit) continue;
                            d2 += (static_cast<double>(ot.p[ov][1]) - p[1]) * (static_cast<double>(ot.p[ov][1]) - p[1]);
                            if (d2 > limit) continue;
                            d2 += (static_cast<double>(ot.p[ov][2]) - p[2]) * (static_cast<double>(ot.p[ov][2]) - p[2]);
                            if (d2 > limit) continue;
                            if (ot.index[ov] < 0) {
                                if (tri.index[v] < 0) tri.index[v] = next++;
                                ot.index[ov] = tri.index[v];
                                std::copy(p, p + 3, ot.p[ov]);
                            } else if (tri.index[v] < 0) {
                                tri.index[v] = ot.index[ov];
                                std::copy(ot.p[ov], ot.p[ov] + 3, tri.p[v]);
                            }
                        }
                    }
            // A corner nothing lies near still becomes a vertex of its own.
            if (tri.index[v] < 0) tri.index[v] = next++;
        }
    return next;
}

}  // namespace

void BuildSurface(Molecule& m, UiHooks& ui, int threads) {
    VelmSurface& surface = m.surface;
    surface.Discard();
    surface.frameIndex = m.currentFrame - 1;
    const AtomBox box(m, surface);
    if (box.Empty()) return;
    threads = ThreadCount(threads);

    struct ProgressBar {
        UiHooks& ui;
        explicit ProgressBar(UiHooks& u) : ui(u) { ui.ProgressBegin("Computing surface", kProgressRange); }
        ~ProgressBar() { ui.ProgressEnd(); }
    } bar(ui);

    Grid g;
    std::vector<RawTriangle> triangles;
    try {
        const float spacing = surface.spacing;
        if (!(spacing > 0)) throw VelmError("Out of memory");
        const Vec3 lo = box.Minimum(), hi = box.Maximum();
        g.n[0] = static_cast<long long>((hi.x - lo.x) / spacing) + 1;
        g.n[1] = static_cast<long long>((hi.y - lo.y) / spacing) + 1;
        g.n[2] = static_cast<long long>((hi.z - lo.z) / spacing) + 1;
        const long long points = g.n[0] * g.n[1] * g.n[2];
        if (points > 1LL << 31) throw VelmError("Out of memory");
        g.x = Steps(static_cast<float>(lo.x), spacing, g.n[0]);
        g.y = Steps(static_cast<float>(lo.y), spacing, g.n[1]);
        g.z = Steps(static_cast<float>(lo.z), spacing, g.n[2]);
        g.value.resize(static_cast<size_t>(points));
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }

    // Sample the density, z layers in slabs.
    const long long layers = g.n[2];
    const auto progress = [&](long long done) { ui.ProgressSet(static_cast<int>(100 * done / std::max(1LL, 2 * layers - 1))); };
    Slabs(layers, threads, [&](long long first, long long last) {
        for (long long k = first; k < last; ++k)
            for (long long j = 0; j < g.n[1]; ++j)
                for (long long i = 0; i < g.n[0]; ++i)
                    g.value[static_cast<size_t>((k * g.n[1] + j) * g.n[0] + i)] =
                        box.Density(g.x[static_cast<size_t>(i)], g.y[static_cast<size_t>(j)], g.z[static_cast<size_t>(k)]);
    }, progress);

    // Contour the cubes, slab by slab, and join the slabs in z order.
    // Cubes whose lower corner has index 1 .. n - 2 on each axis.
    const long long usable = std::max(0LL, g.n[2] - 2);
    std::vector<std::vector<RawTriangle>> parts(static_cast<size_t>(std::max(1, threads)));
    try {
        const int slabs = static_cast<int>(std::min<long long>(threads, std::max(1LL, usable)));
        std::vector<long long> bounds(static_cast<size_t>(slabs) + 1);
        for (int t = 0; t <= slabs; ++t) bounds[static_cast<size_t>(t)] = usable * t / slabs;
        parts.assign(static_cast<size_t>(slabs), {});
        Slabs(slabs, slabs, [&](long long first, long long last) {
            for (long long s = first; s < last; ++s)
                Contour(g, surface.isoLevel, bounds[static_cast<size_t>(s)], bounds[static_cast<size_t>(s) + 1], parts[static_cast<size_t>(s)]);
        }, [&](long long done) { ui.ProgressSet(static_cast<int>(100 * (layers + usable * done / slabs) / std::max(1LL, 2 * layers - 1))); });
        size_t total = 0;
        for (const auto& p : parts) total += p.size();
        triangles.reserve(total);
        for (auto& p : parts) {
            triangles.insert(triangles.end(), p.begin(), p.end());
            p = {};
        }
        g.value = {};
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }

    const int vertexCount = Weld(triangles, surface.spacing);
    const long long work = static_cast<long long>(vertexCount) + static_cast<long long>(triangles.size());
    std::vector<float> vertices, normals;
    std::vector<int> nearest, indices;
    try {
        vertices.assign(static_cast<size_t>(vertexCount) * 3, 0);
        indices.reserve(triangles.size() * 3);
        long long k = 0;
        for (const RawTriangle& t : triangles) {
            for (int v = 0; v < 3; ++v) std::copy(t.p[v], t.p[v] + 3, vertices.begin() + 3 * t.index[v]);
            if (t.index[0] != t.index[1] && t.index[1] != t.index[2] && t.index[0] != t.index[2])
                indices.insert(indices.end(), {t.index[0], t.index[1], t.index[2]});
            if (++k % 10 == 0) ui.ProgressSet(static_cast<int>(100 + 100 * k / std::max(1LL, work)));
        }
        triangles = {};
        normals.assign(vertices.size(), 0);
        nearest.assign(static_cast<size_t>(vertexCount), -1);
        Slabs(vertexCount, threads, [&](long long first, long long last) {
            for (long long v = first; v < last; ++v)
                nearest[static_cast<size_t>(v)] = box.GradientAndColorIndex(&vertices[static_cast<size_t>(3 * v)], &normals[static_cast<size_t>(3 * v)]);
        }, [&](long long done) { ui.ProgressSet(static_cast<int>(100 + 100 * (k + done) / std::max(1LL, work))); });
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }

    // Outward winding: a triangle whose face normal agrees with all three
    // corner gradients is turned round.
    for (size_t t = 0; t + 2 < indices.size(); t += 3) {
        const float* P = &vertices[3 * static_cast<size_t>(indices[t])];
        const float* Q = &vertices[3 * static_cast<size_t>(indices[t + 1])];
        const float* R = &vertices[3 * static_cast<size_t>(indices[t + 2])];
        const double a[3] = {double(P[0]) - Q[0], double(P[1]) - Q[1], double(P[2]) - Q[2]};
        const double b[3] = {double(R[0]) - Q[0], double(R[1]) - Q[1], double(R[2]) - Q[2]};
        double f[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        const double fl = std::sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
        if (!(fl > 0)) continue;
        for (double& c : f) c /= fl;
        bool agrees = true;
        for (int v = 0; v < 3 && agrees; ++v) {
            const float* n = &normals[3 * static_cast<size_t>(indices[t + static_cast<size_t>(v)])];
            const double nl = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
            agrees = nl > 0 && (f[0] * n[0] + f[1] * n[1] + f[2] * n[2]) / nl > 0.5;
        }
        if (agrees) std::swap(indices[t], indices[t + 2]);
    }

    surface.vertices = std::move(vertices);
    surface.normals = std::move(normals);
    surface.nearestAtom = std::move(nearest);
    surface.indices = std::move(indices);
    surface.built = true;
}

int GetAtomSurfaceArea(const VelmSurface& s, std::vector<float>& areas, int atomCount) {
    if (!s.built) throw VelmError("Can not compute surface area for invalid surface");
    areas.assign(static_cast<size_t>(std::max(0, atomCount)), 0.0f);
    for (size_t t = 0; t + 2 < s.indices.size(); t += 3) {
        const float* P = &s.vertices[3 * static_cast<size_t>(s.indices[t])];
        const float* Q = &s.vertices[3 * static_cast<size_t>(s.indices[t + 1])];
        const float* R = &s.vertices[3 * static_cast<size_t>(s.indices[t + 2])];
        const double a[3] = {double(P[0]) - Q[0], double(P[1]) - Q[1], double(P[2]) - Q[2]};
        const double b[3] = {double(R[0]) - Q[0], double(R[1]) - Q[1], double(R[2]) - Q[2]};
        const double c[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
        const float share = 0.33333334f * static_cast<float>(std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) / 2);
        for (int v = 0; v < 3; ++v) {
            const int atom = s.nearestAtom[static_cast<size_t>(s.indices[t + static_cast<size_t>(v)])];
            if (atom < 0 || atom >= atomCount) throw VelmError("Invalid atom index in GetAtomSurfaceArea");
            areas[static_cast<size_t>(atom)] += share;
        }
    }
    return static_cast<int>(s.indices.size());
}

void SurfaceStyleCommand(Molecule& m, SurfaceStyle style, UiHooks& ui) {
    VelmSurface& s = m.surface;
    if (s.built && s.style == style) {
        s.Discard();
        return;
    }
    s.style = style;
    if (s.built) return;
    WaitCursor wait(ui);
    BuildSurface(m, ui);
}

}  // namespace velm
