#include "surface/SurfaceBuild.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <thread>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "surface/MarchingCubes.h"

namespace velm {

namespace {
constexpr int kProgressRange = 200;
constexpr const char* kProgressTitle = "Computing surface ...";

// A triangle of the marching cubes before welding: its three corners.
struct RawTriangle {
    float p[3][3];
};

// The triangles of a build in fixed-size chunks: growing never copies or
// doubles what is held, and the slabs' triangles join without a second copy.
class TriangleStore {
public:
    size_t Size() const { return size_; }
    RawTriangle& operator[](size_t t) { return chunks_[t / kChunk][t % kChunk]; }
    void Append(const std::vector<RawTriangle>& more) {
        for (const RawTriangle& t : more) {
            if (size_ % kChunk == 0) chunks_.push_back(std::make_unique_for_overwrite<RawTriangle[]>(kChunk));
            chunks_.back()[size_ % kChunk] = t;
            ++size_;
        }
    }
    void Clear() {
        std::vector<std::unique_ptr<RawTriangle[]>>().swap(chunks_);
        size_ = 0;
    }

private:
    static constexpr size_t kChunk = 1 << 15;
    std::vector<std::unique_ptr<RawTriangle[]>> chunks_;
    size_t size_ = 0;
};

int ThreadCount(int requested) {
    if (requested > 0) return requested;
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Runs work(i) for every i in [0, count), shared among `threads` threads (the
// calling one among them) that take the next i as they finish one. Every i
// writes only its own results, so the order they run in does not matter.
// The first error is rethrown once all have stopped.
template <typename Work>
void ParallelEach(long long count, int threads, const Work& work) {
    if (count <= 0) return;
    threads = static_cast<int>(std::min<long long>(threads, count));
    if (threads <= 1) {
        for (long long i = 0; i < count; ++i) work(i);
        return;
    }
    std::atomic<long long> next{0};
    std::atomic<bool> failed{false};
    std::vector<std::exception_ptr> errors(static_cast<size_t>(threads));
    const auto run = [&](int t) {
        try {
            for (long long i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) work(i);
        } catch (...) {
            errors[static_cast<size_t>(t)] = std::current_exception();
            failed.store(true);
        }
    };
    {
        std::vector<std::jthread> pool;
        pool.reserve(static_cast<size_t>(threads) - 1);
        for (int t = 1; t < threads; ++t) pool.emplace_back(run, t);
        run(0);
    }  // joined
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

// The progress bar of one build, 0..200: shown only when the position moves
// (a repaint each time), while the hooks are asked about "Cancel" at every
// check, so the window stays live through long stretches at one position.
class Progress {
public:
    explicit Progress(UiHooks& ui) : ui_(ui) { ui_.ProgressBegin(kProgressTitle, kProgressRange); }
    ~Progress() { ui_.ProgressEnd(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Position base + 100 done / total; false when the user asked to stop.
    bool Check(int base, long long done, long long total) {
        const int position = base + static_cast<int>(100 * done / std::max(1LL, total));
        if (position != shown_) ui_.ProgressSet(shown_ = position);
        return !ui_.ProgressCancelled();
    }
    // The same position, only asking.
    bool Check() { return !ui_.ProgressCancelled(); }

private:
    UiHooks& ui_;
    int shown_ = 0;
};

// Thrown inside the build when the user asked to stop; never leaves it.
struct Cancelled {};

}  // namespace

// ---------------------------------------------------------------------------
// AtomBox

AtomBox::AtomBox(const Molecule& m, const VelmSurface& options) : options_(options) {
    const int frame = options.frameIndex;
    if (frame >= m.FrameCount() || frame < -1) throw VelmError("NULL ptr in BuildAtomBox");
    if (m.atoms.empty()) return;
    const Frame* f = frame >= 0 ? &m.frames[frame] : nullptr;
    if (f && f->AtomCount() < m.atoms.size()) throw VelmError("NULL ptr in BuildAtomBox");
    empty_ = false;
    const auto position = [&](size_t i) { return f ? f->Position(i) : m.atoms[i].Position(); };

    minimum_ = maximum_ = position(0);
    for (size_t i = 0; i < m.atoms.size(); ++i) {
        const Vec3 p = position(i);
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

    // The atoms the density takes, per cell, in atom order.
    try {
        std::vector<long long> cellOf(m.atoms.size(), -1);
        cellStart_.assign(static_cast<size_t>(total_) + 1, 0);
        size_t taken = 0;
        for (size_t i = 0; i < m.atoms.size(); ++i) {
            if (!options.includeSolvent && m.atoms[i].hetero) continue;
            const Vec3 p = position(i);
            cellOf[i] = CellOf(p.x, p.y, p.z);
            ++cellStart_[static_cast<size_t>(cellOf[i]) + 1];
            ++taken;
        }
        for (size_t c = 1; c < cellStart_.size(); ++c) cellStart_[c] += cellStart_[c - 1];
        cellAtoms_.resize(taken);
        std::vector<int> fill(cellStart_.begin(), cellStart_.end() - 1);
        for (size_t i = 0; i < m.atoms.size(); ++i) {
            if (cellOf[i] < 0) continue;
            const Vec3 p = position(i);
            const double r = m.atoms[i].radius + options.probeRadius;
            cellAtoms_[static_cast<size_t>(fill[static_cast<size_t>(cellOf[i])]++)] = {p.x, p.y, p.z, r, r * r, static_cast<int>(i)};
        }
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
                    const CellAtom& a = cellAtoms_[static_cast<size_t>(k)];
                    const double d2 = (x - a.x) * (x - a.x) + (y - a.y) * (y - a.y) + (z - a.z) * (z - a.z);
                    const double s = d2 / a.r2;
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
                        const CellAtom& a = cellAtoms_[static_cast<size_t>(k)];
                        const double r = a.r;
                        const double u[3] = {(v[0] - a.x) / r, (v[1] - a.y) / r, (v[2] - a.z) / r};
                        const double q = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
                        if (nearest < 0 || q < best) nearest = a.index, best = q;
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

// The sample grid's axes, and a window of its z layers: layer k lies in slot
// k - first.
struct Grid {
    long long n[3] = {};
    std::vector<float> x, y, z;  // coordinates by repeated single-precision addition
    long long first = 0;
    std::vector<float> value;
    float At(long long i, long long j, long long k) const {
        return value[static_cast<size_t>(((k - first) * n[1] + j) * n[0] + i)];
    }
    float* Layer(long long k) { return &value[static_cast<size_t>((k - first) * n[1] * n[0])]; }
};

// Marching cubes over the cubes of one layer (lower corner k), in y, x order.
void Contour(const Grid& g, float iso, long long k, std::vector<RawTriangle>& out) {
    const MarchingCubesTables& tables = GetMarchingCubesTables();
    float value[8];
    float corner[8][3];
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

// Samples the density and contours it a few z layers at a time, appending
// the triangles in layer order. False when cancelled.
bool SampleAndContour(const AtomBox& box, Grid& g, float iso, int threads, Progress& progress, TriangleStore& triangles) {
    const long long layers = g.n[2], plane = g.n[0] * g.n[1];
    const long long total = 2 * layers - 1;
    // Enough layers per step to keep the threads busy and the progress
    // moving, few enough that the window stays a small slice of the box.
    const long long step = threads * std::clamp((1LL << 19) / std::max(1LL, plane), 1LL, 16LL);
    g.value.assign(static_cast<size_t>((step + 1) * plane), 0.0f);
    std::vector<std::vector<RawTriangle>> found(static_cast<size_t>(step));
    long long sampled = 0, contoured = 0;
    g.first = -1;  // slot 0 holds the last layer of the previous step
    for (long long begin = 0; begin < layers; begin += step) {
        const long long end = std::min(layers, begin + step);
        ParallelEach(end - begin, threads, [&](long long s) {
            const long long k = begin + s;
            float* out = g.Layer(k);
            for (long long j = 0; j < g.n[1]; ++j)
                for (long long i = 0; i < g.n[0]; ++i)
                    *out++ = box.Density(g.x[static_cast<size_t>(i)], g.y[static_cast<size_t>(j)], g.z[static_cast<size_t>(k)]);
        });
        sampled = end;
        if (!progress.Check(0, sampled + contoured, total)) return false;

        // Cubes whose lower corner has index 1 .. n - 2 on each axis and whose
        // upper layer is sampled by now.
        const long long from = std::max(1LL, begin - 1), to = end - 1;
        if (to > from) {
            ParallelEach(to - from, threads, [&](long long s) {
                std::vector<RawTriangle>& out = found[static_cast<size_t>(s)];
                out.clear();
                Contour(g, iso, from + s, out);
            });
            for (long long s = 0; s < to - from; ++s) triangles.Append(found[static_cast<size_t>(s)]);
            contoured += to - from;
            if (!progress.Check(0, sampled + contoured, total)) return false;
        }
        // The last layer becomes the first of the next step.
        std::copy_n(g.Layer(end - 1), plane, g.value.begin());
        g.first = end - 1;
    }
    g.value = {};
    return true;
}

// Gives corners that lie within half a grid step of one another one vertex:
// index[3 t + v] becomes the vertex of corner v of triangle t. A welded
// corner takes the position of the corner it joins. Returns the vertex count.
int Weld(TriangleStore& triangles, std::vector<int>& index, float spacing, Progress& progress) {
    const size_t count = triangles.Size();
    index.assign(3 * count, -1);
    if (count == 0) return 0;
    float lo[3], hi[3];
    for (int d = 0; d < 3; ++d) lo[d] = hi[d] = triangles[0].p[0][d];
    for (size_t t = 0; t < count; ++t)
        for (const auto& p : triangles[t].p)
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
    const auto bucketIndex = [&](const float p[3]) {
        long long b[3];
        bucketOf(p, b);
        return static_cast<size_t>(b[0] + b[1] * n[0] + b[2] * n[0] * n[1]);
    };
    // Corners per bucket, in triangle and corner order: corner id = 3 t + v.
    const long long buckets = n[0] * n[1] * n[2];
    std::vector<int> start(static_cast<size_t>(buckets) + 1, 0);
    for (size_t t = 0; t < count; ++t) {
        if (t % 65536 == 65535 && !progress.Check()) throw Cancelled{};
        for (int v = 0; v < 3; ++v) ++start[bucketIndex(triangles[t].p[v]) + 1];
    }
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    // Filled with start[b] as the cursor of bucket b, which leaves it at the
    // start of b + 1; shifted back after.
    std::vector<int> corners(3 * count);
    for (size_t t = 0; t < count; ++t) {
        if (t % 65536 == 65535 && !progress.Check()) throw Cancelled{};
        for (int v = 0; v < 3; ++v) corners[static_cast<size_t>(start[bucketIndex(triangles[t].p[v])]++)] = static_cast<int>(3 * t + static_cast<size_t>(v));
    }
    for (size_t b = start.size() - 1; b > 0; --b) start[b] = start[b - 1];
    start[0] = 0;
    const double limit = (spacing / 2.0) * (spacing / 2.0);
    int next = 0;
    for (size_t t = 0; t < count; ++t) {
        if (t % 65536 == 65535 && !progress.Check()) throw Cancelled{};
        for (int v = 0; v < 3; ++v) {
            RawTriangle& tri = triangles[t];
            int& mine = index[3 * t + static_cast<size_t>(v)];
            if (mine >= 0) continue;
            const float* p = tri.p[v];  // follows the corner when it takes another's position
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
                            if (static_cast<size_t>(other) == 3 * t + static_cast<size_t>(v)) continue;
                            float* op = triangles[static_cast<size_t>(other / 3)].p[other % 3];
                            int& theirs = index[static_cast<size_t>(other)];
                            double d2 = (static_cast<double>(op[0]) - p[0]) * (static_cast<double>(op[0]) - p[0]);
                            if (d2 > limit) continue;
                            d2 += (static_cast<double>(op[1]) - p[1]) * (static_cast<double>(op[1]) - p[1]);
                            if (d2 > limit) continue;
                            d2 += (static_cast<double>(op[2]) - p[2]) * (static_cast<double>(op[2]) - p[2]);
                            if (d2 > limit) continue;
                            if (theirs < 0) {
                                if (mine < 0) mine = next++;
                                theirs = mine;
                                std::copy(p, p + 3, op);
                            } else if (mine < 0) {
                                mine = theirs;
                                std::copy(op, op + 3, tri.p[v]);
                            }
                        }
                    }
            // A corner nothing lies near still becomes a vertex of its own.
            if (mine < 0) mine = next++;
        }
    }
    return next;
}

}  // namespace

bool BuildSurface(Molecule& m, UiHooks& ui, int threads) {
    VelmSurface& surface = m.surface;
    surface.Discard();
    surface.frameIndex = m.currentFrame - 1;
    const AtomBox box(m, surface);
    if (box.Empty()) return true;
    threads = ThreadCount(threads);
    Progress progress(ui);

    try {
        Grid g;
        const float spacing = surface.spacing;
        if (!(spacing > 0)) throw VelmError("Out of memory");
        const Vec3 lo = box.Minimum(), hi = box.Maximum();
        g.n[0] = static_cast<long long>((hi.x - lo.x) / spacing) + 1;
        g.n[1] = static_cast<long long>((hi.y - lo.y) / spacing) + 1;
        g.n[2] = static_cast<long long>((hi.z - lo.z) / spacing) + 1;
        if (g.n[0] * g.n[1] * g.n[2] > 1LL << 31 || g.n[0] * g.n[1] > 1LL << 25) throw VelmError("Out of memory");
        g.x = Steps(static_cast<float>(lo.x), spacing, g.n[0]);
        g.y = Steps(static_cast<float>(lo.y), spacing, g.n[1]);
        g.z = Steps(static_cast<float>(lo.z), spacing, g.n[2]);

        TriangleStore triangles;
        if (!SampleAndContour(box, g, surface.isoLevel, threads, progress, triangles)) return false;
        if (triangles.Size() > static_cast<size_t>(std::numeric_limits<int>::max() / 3)) throw VelmError("Out of memory");

        std::vector<int> index;
        const int vertexCount = Weld(triangles, index, surface.spacing, progress);
        const long long triangleCount = static_cast<long long>(triangles.Size());
        const long long work = static_cast<long long>(vertexCount) + triangleCount;

        // The vertices from the welded corners; then the triangle list with
        // those that collapsed to an edge or a point left out, written over
        // the corner indices in place.
        std::vector<float> vertices(static_cast<size_t>(vertexCount) * 3, 0.0f);
        for (long long t = 0; t < triangleCount; ++t) {
            for (int v = 0; v < 3; ++v) {
                const float* p = triangles[static_cast<size_t>(t)].p[v];
                std::copy(p, p + 3, vertices.begin() + 3 * index[3 * static_cast<size_t>(t) + static_cast<size_t>(v)]);
            }
            if (t % 65536 == 65535 && !progress.Check(100, t + 1, work)) return false;
        }
        triangles.Clear();
        size_t kept = 0;
        for (size_t t = 0; t + 2 < index.size(); t += 3)
            if (index[t] != index[t + 1] && index[t + 1] != index[t + 2] && index[t] != index[t + 2]) {
                std::copy_n(index.begin() + static_cast<std::ptrdiff_t>(t), 3, index.begin() + static_cast<std::ptrdiff_t>(kept));
                kept += 3;
            }
        index.resize(kept);
        std::vector<int>& indices = index;
        if (!progress.Check(100, triangleCount, work)) return false;

        std::vector<float> normals(vertices.size(), 0.0f);
        std::vector<int> nearest(static_cast<size_t>(vertexCount), -1);
        constexpr long long kVertexBlock = 4096;
        const long long blocks = (vertexCount + kVertexBlock - 1) / kVertexBlock;
        const long long perCheck = 16LL * threads;
        for (long long b0 = 0; b0 < blocks; b0 += perCheck) {
            const long long b1 = std::min(blocks, b0 + perCheck);
            ParallelEach(b1 - b0, threads, [&](long long s) {
                const long long first = (b0 + s) * kVertexBlock, last = std::min<long long>(vertexCount, first + kVertexBlock);
                for (long long v = first; v < last; ++v)
                    nearest[static_cast<size_t>(v)] =
                        box.GradientAndColorIndex(&vertices[static_cast<size_t>(3 * v)], &normals[static_cast<size_t>(3 * v)]);
            });
            if (!progress.Check(100, triangleCount + std::min<long long>(vertexCount, b1 * kVertexBlock), work)) return false;
        }

        // Outward winding: a triangle whose face normal agrees with all three
        // corner gradients is turned round.
        for (size_t t = 0; t + 2 < indices.size(); t += 3) {
            if (t % 196608 == 0 && !progress.Check()) return false;
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
        return true;
    } catch (const Cancelled&) {
        return false;
    } catch (const std::bad_alloc&) {
        throw VelmError("Out of memory");
    }
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
    BuildSurface(m, ui);  // cancelled: no surface, as before the command
}

}  // namespace velm
