// Rendering benchmark: how long the render pass takes to draw 1,000 to
// 100,000 atoms as wire frame, points, alpha-carbon trace, CPK spheres and ball-and-stick into a
// 1000 x 1000 off-screen framebuffer, how many heap allocations a frame
// makes, and how long `velm -batch ... -image` takes end to end.
//
//   render_bench [--dir DIR] [--frames N] [--budget S] [--repeat N] [--velm PATH] [--no-export]
//       measures every size and mode, each in a fresh process, then times
//       the batch picture export; prints markdown tables
//   render_bench --case FILE[,FILE...] MODE [--renderer fixed|shader] [--surface] [--frames N] [--budget S]
//       [--no-smooth-lines]
//       one size and mode in this process through one drawing path (lines
//       anti-aliased unless told): one line of figures, then the GL
//       renderer's name; --surface builds each molecule's surface first (its
//       seconds go to stderr)
//   render_bench --playback TOPOLOGY TRAJECTORY [--frames N]
//       plays N frames of a trajectory in CPK through the shader path: frames
//       per second, and the part spent writing the new positions
//   render_bench --pictures FILE N
//       N pictures of FILE in a row (CPK, labels, 1000 x 750), through one
//       off-screen renderer kept for all and through a new one for each
//
// Structures: the first 1,000 and 10,000 atom records of the 50,293-atom
// solvated system (written to DIR), the whole system, and DIR/tiled_100k.pdb
// from make_large_pdb (two copies side by side), or the system loaded twice
// when that file is missing. Solvent is shown, so every atom is drawn.
//
// Mesa is told to use its software rasteriser (LIBGL_ALWAYS_SOFTWARE=1) so
// that figures from different machines mean the same thing.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <GL/gl.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/UiHooks.h"
#include "model/Molecule.h"
#include "model/RenderMode.h"
#include "model/VelmDoc.h"
#include "output/ImageExport.h"
#include "render/OffscreenContext.h"
#include "render/Impostors.h"
#include "render/LineBuffers.h"
#include "render/OffscreenRenderer.h"
#include "render/RenderCommands.h"
#include "render/RendererChoice.h"
#include "render/Scene.h"
#include "render/SceneDocumentLink.h"
#include "render/SceneRenderer.h"
#include "surface/SurfaceBuild.h"

#include "BenchSupport.h"

extern char** environ;

// ---------------------------------------------------------------------------
// Allocation counting. Two kinds of counts, both taken only while a frame is
// being timed:
//  - calls of the global operator new (every form): ours, the standard
//    library's and those of any C++ library in the process (Mesa's LLVM too);
//  - calls of malloc, calloc, realloc and the aligned allocators, which
//    include the above and also what the C parts of the driver allocate,
//    split by thread: the drawing thread, and the rasteriser's own threads.
// malloc and friends are replaced by thin wrappers over glibc's own entry
// points, which the dynamic linker then hands to every library.
namespace {

std::atomic<bool> gCounting{false};
std::atomic<long> gNewCalls{0};
std::atomic<long> gMallocMain{0};
std::atomic<long> gMallocOther{0};
thread_local bool tDrawingThread = false;  // static TLS in the executable: no allocation to reach it

inline void NoteMalloc() {
    if (!gCounting.load(std::memory_order_relaxed)) return;
    (tDrawingThread ? gMallocMain : gMallocOther).fetch_add(1, std::memory_order_relaxed);
}

inline void NoteNew() {
    if (gCounting.load(std::memory_order_relaxed)) gNewCalls.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void* __libc_memalign(size_t alignment, size_t size);

void* malloc(size_t size) noexcept {
    NoteMalloc();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) noexcept {
    NoteMalloc();
    return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) noexcept {
    NoteMalloc();
    return __libc_realloc(p, size);
}
void* memalign(size_t alignment, size_t size) noexcept {
    NoteMalloc();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) noexcept {
    NoteMalloc();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, size_t alignment, size_t size) noexcept {
    if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
    NoteMalloc();
    void* p = __libc_memalign(alignment, size);
    if (!p) return ENOMEM;
    *out = p;
    return 0;
}
}

namespace {

void* CountedNew(std::size_t size) {
    NoteNew();
    for (;;) {
        if (void* p = std::malloc(size ? size : 1)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* CountedAlignedNew(std::size_t size, std::align_val_t alignment) {
    NoteNew();
    const std::size_t a = std::max(static_cast<std::size_t>(alignment), sizeof(void*));
    for (;;) {
        void* p = nullptr;
        if (posix_memalign(&p, a, size ? size : 1) == 0) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

}  // namespace

void* operator new(std::size_t size) { return CountedNew(size); }
void* operator new[](std::size_t size) { return CountedNew(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return CountedNew(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new(std::size_t size, std::align_val_t a) { return CountedAlignedNew(size, a); }
void* operator new[](std::size_t size, std::align_val_t a) { return CountedAlignedNew(size, a); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return CountedAlignedNew(size, a);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
    try {
        return CountedAlignedNew(size, a);
    } catch (...) {
        return nullptr;
    }
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept { std::free(p); }

// ---------------------------------------------------------------------------

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;

constexpr int kSide = 1000;
constexpr int kWarmUpFrames = 3;
constexpr int kMinimumFrames = 5;

struct ModeColumn {
    velm::RenderMode mode;
    velm::DrawingPath path;
    const char* title;
};
// The shader path draws spheres and sticks as impostors, lines and points
// from vertex buffers.
constexpr ModeColumn kModes[] = {{velm::WireFrame, velm::DrawingPath::Fixed, "wire 1.1"},
                                 {velm::WireFrame, velm::DrawingPath::Shader, "wire shader"},
                                 {velm::Points, velm::DrawingPath::Fixed, "points 1.1"},
                                 {velm::Points, velm::DrawingPath::Shader, "points shader"},
                                 {velm::TraceWireFrame, velm::DrawingPath::Fixed, "trace 1.1"},
                                 {velm::TraceWireFrame, velm::DrawingPath::Shader, "trace shader"},
                                 {velm::Cpk, velm::DrawingPath::Fixed, "CPK 1.1"},
                                 {velm::Cpk, velm::DrawingPath::Shader, "CPK shader"},
                                 {velm::BallAndStick, velm::DrawingPath::Fixed, "ball-and-stick 1.1"},
                                 {velm::BallAndStick, velm::DrawingPath::Shader, "ball-and-stick shader"}};
constexpr int kColumns = static_cast<int>(std::size(kModes));

// One size and mode, as the child process reports it.
struct CaseFigures {
    long atoms = 0, bonds = 0;
    int frames = 0;
    double best = 0, median = 0;  // ms per frame: RenderPass + glFinish
    double submitMedian = 0;      // ms until RenderPass returned, before glFinish
    long newMedian = 0, newMax = 0;  // per frame
    long mainMedian = 0, mainMax = 0;
    long otherMedian = 0, otherMax = 0;
    double first = 0;      // ms of the first frame: buffers built on the shader path
    long bufferBytes = 0;  // held in vertex buffers (shader path)
    int shader = 0;        // the shader path drew
    bool ok = false;
};

constexpr const char* kCaseLine = "%ld %ld %d %lf %lf %lf %ld %ld %ld %ld %ld %ld %lf %ld %d\n";

// The lower middle of the counts: a count some frame really made.
long MedianCount(std::vector<long> v) {
    std::sort(v.begin(), v.end());
    return v[(v.size() - 1) / 2];
}

// Pictures taken one after another, as a user exporting a series does: with
// one off-screen renderer kept for all of them, and with a fresh one per
// picture (a new context, its display lists and label glyphs each time).
int CasePictures(const std::string& file, int pictures) {
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.options.computeSecondaryStructure = 0;
    if (!doc.AddMoleculeFromFile(file)) throw std::runtime_error("no atoms in " + file);
    velm::Scene scene;
    velm::SceneDocumentLink link(scene, doc);
    scene.settings.width = 800;
    scene.settings.height = 600;
    velm::ApplyRenderMode(scene.settings, doc, velm::Cpk);
    doc.EditSelected(velm::DocumentChange::Display, [](velm::Molecule& m) { m.showLabels = 1; });
    const auto series = [&](bool keep) {
        std::optional<velm::OffscreenRenderer> kept;
        if (keep) kept.emplace(scene);
        const double t0 = Now();
        for (int k = 0; k < pictures; ++k) {
            std::optional<velm::OffscreenRenderer> fresh;
            if (!keep) fresh.emplace(scene);
            const velm::Dib dib = velm::RenderToDib(keep ? *kept : *fresh, doc.Molecules(), 1000, 750, -1);
            if (!dib.Valid()) throw std::runtime_error("no picture");
        }
        return (Now() - t0) / pictures * 1e3;
    };
    const double fresh = series(false), kept = series(true);
    std::printf("pictures=%d atoms=%d size=1000x750 CPK+labels: one renderer %.1f ms/picture, a new one each %.1f "
                "ms/picture (%.2fx)\n",
                pictures, doc.Primary()->AtomCount(), kept, fresh, fresh / kept);
    return 0;
}

// A trajectory played in CPK through the shader path, 1000 x 1000: each
// frame moves every atom, so only the position buffer is written again.
int CasePlayback(const std::string& topology, const std::string& trajectory, int frames) {
    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.options.computeSecondaryStructure = 0;
    if (!doc.AddMoleculeFromFile(topology)) throw std::runtime_error("no atoms in " + topology);
    doc.ReadTrajectoryIntoPrimary(trajectory, 0);
    velm::Molecule& m = *doc.Primary();
    m.selected = 1;
    m.showSolvent = 1;
    velm::OffscreenContext context(kSide, kSide);
    {
        velm::Scene scene;
        velm::ViewSettings& s = scene.settings;
        s.width = s.height = kSide;
        s.drawingPath = velm::DrawingPath::Shader;
        velm::SceneRenderer view(scene);
        view.Initialise();
        view.SetProjection();
        velm::OnDocumentChanged(scene, doc);
        velm::ApplyRenderMode(s, doc, velm::Cpk);
        view.RenderPass(doc.Molecules(), 0);
        glFinish();
        if (!view.Impostors()) throw std::runtime_error("no shader path");
        const int count = std::min(frames, doc.AnimationFrames() - 1);
        const double t0 = Now();
        for (int k = 1; k <= count; ++k) {
            doc.SetFrame(k);
            view.RenderPass(doc.Molecules(), 0);
            glFinish();
        }
        const double seconds = Now() - t0;
        const velm::ImpostorRenderer::Counts& n = view.Impostors()->GetCounts();
        std::printf("playback atoms=%d frames=%d CPK shader: %.1f frames/s (%.1f ms/frame), position updates %ld "
                    "taking %.1f ms each, builds %ld\n",
                    m.AtomCount(), count, count / seconds, seconds / count * 1e3, n.positionUpdates,
                    n.positionUpdates ? n.positionSeconds / static_cast<double>(n.positionUpdates) * 1e3 : 0.0,
                    n.builds);
    }
    context.Release();
    return 0;
}

// Loads the files, draws them in one mode and prints the case line.
int CaseMode(const std::string& files, const std::string& modeName, velm::DrawingPath path, bool surface, int frames,
             double budget, bool smoothLines) {
    const std::optional<velm::RenderMode> mode = velm::RenderModeFromName(modeName);
    if (!mode) throw std::runtime_error("unknown render mode " + modeName);

    velm::SilentUiHooks ui;
    velm::CVelmDoc doc(ui);
    doc.options.computeSecondaryStructure = 0;
    for (const std::string& f : SplitCommas(files))
        if (!doc.AddMoleculeFromFile(f)) throw std::runtime_error("no atoms in " + f);
    CaseFigures c;
    for (auto& m : doc.Molecules()) {
        m->selected = 1;
        m->showSolvent = 1;  // water is most of the system: draw it, so every atom counts
        c.atoms += m->AtomCount();
        c.bonds += static_cast<long>(m->bonds.size());
    }
    if (surface) {
        const double s0 = Now();
        for (auto& m : doc.Molecules()) velm::BuildSurface(*m, ui);
        long triangles = 0;
        for (auto& m : doc.Molecules()) triangles += m->surface.TriangleCount();
        std::fprintf(stderr, "render_bench: surface of %ld triangles built in %.2f s\n", triangles, Now() - s0);
    }

    velm::OffscreenContext context(kSide, kSide);
    std::string renderer;
    {
        velm::Scene scene;
        velm::ViewSettings& s = scene.settings;
        s.width = s.height = kSide;
        s.quality.SetLevel(velm::GraphicsQuality::Medium);
        velm::SceneRenderer view(scene);
        view.Initialise();
        view.SetProjection();
        velm::OnDocumentChanged(scene, doc);
        velm::ApplyRenderMode(s, doc, *mode);
        s.drawingPath = path;
        if (!smoothLines) {
            s.lineAlias = false;
            view.ApplyLineAlias();
        }
        scene.fallbackNotice = [](const std::string& text) { std::fprintf(stderr, "render_bench: %s\n", text.c_str()); };
        if (const GLubyte* name = glGetString(GL_RENDERER)) renderer = reinterpret_cast<const char*>(name);

        const double f0 = Now();
        view.RenderPass(doc.Molecules(), 0);
        glFinish();
        c.first = (Now() - f0) * 1e3;
        c.shader = view.Impostors() != nullptr;
        if (view.Impostors())
            c.bufferBytes = static_cast<long>(view.Impostors()->BufferBytes() + view.Meshes()->BufferBytes());
        if (view.Lines()) c.bufferBytes += static_cast<long>(view.Lines()->BufferBytes());
        for (int i = 1; i < kWarmUpFrames; ++i) {
            view.RenderPass(doc.Molecules(), 0);
            glFinish();
        }
        std::vector<double> total, submit;
        std::vector<long> news, mains, others;
        const double start = Now();
        for (int i = 0; i < frames; ++i) {
            if (i >= kMinimumFrames && Now() - start > budget) break;
            gNewCalls = gMallocMain = gMallocOther = 0;
            gCounting = true;
            const double t0 = Now();
            view.RenderPass(doc.Molecules(), 0);
            const double t1 = Now();
            glFinish();
            const double t2 = Now();
            gCounting = false;
            submit.push_back((t1 - t0) * 1e3);
            total.push_back((t2 - t0) * 1e3);
            news.push_back(gNewCalls);
            mains.push_back(gMallocMain);
            others.push_back(gMallocOther);
        }
        if (glGetError() != GL_NO_ERROR) std::fprintf(stderr, "render_bench: GL error after %s\n", modeName.c_str());
        c.frames = static_cast<int>(total.size());
        c.best = *std::min_element(total.begin(), total.end());
        c.median = Median(total);
        c.submitMedian = Median(submit);
        c.newMedian = MedianCount(news);
        c.newMax = *std::max_element(news.begin(), news.end());
        c.mainMedian = MedianCount(mains);
        c.mainMax = *std::max_element(mains.begin(), mains.end());
        c.otherMedian = MedianCount(others);
        c.otherMax = *std::max_element(others.begin(), others.end());
    }
    context.Release();
    std::printf(kCaseLine, c.atoms, c.bonds, c.frames, c.best, c.median, c.submitMedian, c.newMedian, c.newMax,
                c.mainMedian, c.mainMax, c.otherMedian, c.otherMax, c.first, c.bufferBytes, c.shader);
    std::printf("%s\n", renderer.c_str());
    return 0;
}

struct Size {
    std::string label;  // where the atoms come from
    std::string files;  // comma-separated, loaded as separate molecules
    CaseFigures modes[kColumns];
    bool shaderOnly = false;  // the 1.1 path's spheres take too long to time here
};

std::vector<Size> Sizes(const fs::path& dir) {
    const std::string source = DefaultSource();
    fs::create_directories(dir);
    std::vector<Size> sizes(4);
    sizes[0] = {"first 1,000 atoms of 1tw7", FirstAtoms(dir, source, 1000), {}};
    sizes[1] = {"first 10,000 atoms of 1tw7", FirstAtoms(dir, source, 10000), {}};
    sizes[2] = {"1tw7, whole", source, {}};
    const fs::path tiled = dir / "tiled_100k.pdb";
    if (fs::exists(tiled)) sizes[3] = {"tiled_100k.pdb (2 copies of 1tw7)", tiled.string(), {}};
    else sizes[3] = {"1tw7 loaded twice (2 molecules, overlapping)", source + "," + source, {}};
    const fs::path million = dir / "tiled_1M.pdb";
    if (fs::exists(million)) {
        sizes.push_back({"tiled_1M.pdb (20 copies of 1tw7)", million.string(), {}});
        sizes.back().shaderOnly = true;
    }
    return sizes;
}

// "median (max)", or the one count when every frame made the same.
std::string Counts(long median, long max) {
    return median == max ? std::to_string(median) : std::to_string(median) + " (" + std::to_string(max) + ")";
}

// ---------------------------------------------------------------------------
// The batch picture, end to end.

// Runs argv with stdout and stderr thrown away; the wall time in seconds, or
// a negative number when the command failed.
double TimeCommand(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const double t0 = Now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    const double t = Now() - t0;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? t : -1;
}

double BestOf(const std::vector<std::string>& args, int repeat) {
    double best = 1e30;
    for (int i = 0; i < repeat; ++i) {
        const double t = TimeCommand(args);
        if (t < 0) {
            std::string line;
            for (const std::string& a : args) line += a + " ";
            std::fprintf(stderr, "render_bench: failed: %s\n", line.c_str());
            return -1;
        }
        best = std::min(best, t);
    }
    return best;
}

void ExportTable(const std::string& velm, const fs::path& dir, int repeat) {
    std::vector<std::string> samples = {VELM_TEST_DATA "/1tw7_solvated.pdb.gz"};
    if (fs::exists(VELM_SHARED_DATA "/pdb/1tw7_solvated.pdb")) samples.push_back(VELM_SHARED_DATA "/pdb/1tw7_solvated.pdb");
    const std::string png = (dir / "cpk.png").string();
    std::printf("\n### `velm -batch` end to end: seconds, best of %d (50,293 atoms, 47,175 of them water)\n\n", repeat);
    std::printf("| file | load only | + `-image cpk.png -render Cpk -width 1000 -height 1000` | "
                "render + PNG | same with `-solvent` | render + PNG |\n");
    std::printf("|---|---:|---:|---:|---:|---:|\n");
    for (const std::string& file : samples) {
        const std::vector<std::string> load = {velm, "-batch", file};
        std::vector<std::string> image = {velm,     "-batch", file,    "-image", png,    "-render",
                                          "Cpk",    "-width", "1000", "-height", "1000"};
        std::vector<std::string> solvent = image;
        solvent.push_back("-solvent");
        const double l = BestOf(load, repeat), i = BestOf(image, repeat), s = BestOf(solvent, repeat);
        auto cell = [](double v) {
            char text[32];
            if (v < 0) std::snprintf(text, sizeof text, "failed");
            else std::snprintf(text, sizeof text, "%.3f", v);
            return std::string(text);
        };
        std::printf("| %s | %s | %s | %s | %s | %s |\n", fs::relative(file, VELM_TEST_DATA "/../..").c_str(),
                    cell(l).c_str(), cell(i).c_str(), l > 0 && i > 0 ? cell(i - l).c_str() : "-", cell(s).c_str(),
                    l > 0 && s > 0 ? cell(s - l).c_str() : "-");
    }
    std::fflush(stdout);
}

int RunAll(const fs::path& dir, int frames, double budget, int repeat, const std::string& velm, bool doExport) {
    std::vector<Size> sizes = Sizes(dir);
    // This very program for the children, even if a build replaces the file meanwhile.
    const std::string self = "/proc/" + std::to_string(getpid()) + "/exe";
    std::string renderer;
    for (Size& size : sizes) {
        for (int m = 0; m < kColumns; ++m) {
            if (size.shaderOnly && kModes[m].mode != velm::WireFrame && kModes[m].path == velm::DrawingPath::Fixed)
                continue;
            const std::string path(velm::DrawingPathName(kModes[m].path));
            std::fprintf(stderr, "render_bench: %s, %s, %s\n", size.label.c_str(),
                         std::string(velm::RenderModeName(kModes[m].mode)).c_str(), path.c_str());
            const std::string out = Capture(self + " --case " + Quote(size.files) + " " +
                                            std::string(velm::RenderModeName(kModes[m].mode)) + " --renderer " + path +
                                            " --frames " + std::to_string(frames) + " --budget " +
                                            std::to_string(budget));
            CaseFigures& c = size.modes[m];
            c.ok = std::sscanf(out.c_str(), kCaseLine, &c.atoms, &c.bonds, &c.frames, &c.best, &c.median,
                               &c.submitMedian, &c.newMedian, &c.newMax, &c.mainMedian, &c.mainMax,
                               &c.otherMedian, &c.otherMax, &c.first, &c.bufferBytes, &c.shader) == 15;
            // A shader column the 1.1 path drew (fallback) is no shader figure.
            if (c.ok && kModes[m].path == velm::DrawingPath::Shader && !c.shader) c.ok = false;
            const size_t eol = out.find('\n');
            if (c.ok && renderer.empty() && eol != std::string::npos) {
                renderer = out.substr(eol + 1);
                while (!renderer.empty() && renderer.back() == '\n') renderer.pop_back();
            }
        }
    }

    auto atomsOf = [](const Size& s) {
        for (const CaseFigures& c : s.modes)
            if (c.ok) return c.atoms;
        return 0L;
    };
    std::printf("render_bench: %dx%d off-screen, Medium quality, solvent shown; GL_RENDERER %s; %ld cores, %s; "
                "build %s\n",
                kSide, kSide, renderer.c_str(), sysconf(_SC_NPROCESSORS_ONLN), CpuName().c_str(), VELM_BUILD_TYPE);
    std::printf("\n### ms per frame (RenderPass + glFinish): median, best in brackets; %d warm-up frames, then up "
                "to %d (at least %d, within %.0f s)\n\n",
                kWarmUpFrames, frames, kMinimumFrames, budget);
    // The mode columns' titles and the markdown rule under them.
    std::string titles, rule;
    for (const ModeColumn& m : kModes) titles += std::string(" ") + m.title + " |", rule += "---:|";
    std::printf("| atoms | bonds |%s structure |\n|---:|---:|%s---|\n", titles.c_str(), rule.c_str());
    for (const Size& s : sizes) {
        std::printf("| %s | %s |", Thousands(atomsOf(s)).c_str(), Thousands(s.modes[0].bonds).c_str());
        for (int m = 0; m < kColumns; ++m) {
            const CaseFigures& c = s.modes[m];
            if (c.ok) std::printf(" %.1f (%.1f) |", c.median, c.best);
            else if (s.shaderOnly && kModes[m].path == velm::DrawingPath::Fixed) std::printf(" not run |");
            else std::printf(" failed |");
        }
        std::printf(" %s |\n", s.label.c_str());
    }

    std::printf("\n### ns per atom (median ms per frame / atoms) and frames measured\n\n");
    std::printf("| atoms |%s frames |\n|---:|%s---|\n", titles.c_str(), rule.c_str());
    for (const Size& s : sizes) {
        std::printf("| %s |", Thousands(atomsOf(s)).c_str());
        std::string counts;
        for (const CaseFigures& c : s.modes) {
            if (c.ok) std::printf(" %.0f |", c.median * 1e6 / static_cast<double>(c.atoms));
            else std::printf(" - |");
            counts += (counts.empty() ? "" : " / ") + std::to_string(c.frames);
        }
        std::printf(" %s |\n", counts.c_str());
    }

    std::printf("\n### the shader path: ms of the first frame (buffers built), bytes of vertex buffers per atom\n\n");
    std::string shaderTitles, shaderRule;
    for (const ModeColumn& m : kModes)
        if (m.path == velm::DrawingPath::Shader)
            shaderTitles += std::string(" ") + m.title + " first frame | bytes/atom |", shaderRule += "---:|---:|";
    std::printf("| atoms |%s\n|---:|%s\n", shaderTitles.c_str(), shaderRule.c_str());
    for (const Size& s : sizes) {
        std::printf("| %s |", Thousands(atomsOf(s)).c_str());
        for (int m = 0; m < kColumns; ++m) {
            const CaseFigures& c = s.modes[m];
            if (kModes[m].path != velm::DrawingPath::Shader) continue;
            if (c.ok) std::printf(" %.1f | %.0f |", c.first, double(c.bufferBytes) / double(c.atoms));
            else std::printf(" - | - |");
        }
        std::printf("\n");
    }

    std::printf("\n### ms until RenderPass returns (before glFinish), median\n\n");
    std::printf("| atoms |%s\n|---:|%s\n", titles.c_str(), rule.c_str());
    for (const Size& s : sizes) {
        std::printf("| %s |", Thousands(atomsOf(s)).c_str());
        for (const CaseFigures& c : s.modes)
            if (c.ok) std::printf(" %.1f |", c.submitMedian);
            else std::printf(" - |");
        std::printf("\n");
    }

    std::printf("\n### heap allocations per frame (RenderPass + glFinish; median over the measured frames, most in brackets)\n\n");
    std::printf("Each cell: operator new calls / malloc-family calls on the drawing thread / malloc-family calls "
                "on other threads (Mesa's rasteriser). malloc counts include the operator new ones; all include "
                "whatever the driver allocates.\n\n");
    std::printf("| atoms |%s\n|---:|%s\n", titles.c_str(), rule.c_str());
    for (const Size& s : sizes) {
        std::printf("| %s |", Thousands(atomsOf(s)).c_str());
        for (const CaseFigures& c : s.modes)
            if (c.ok)
                std::printf(" %s / %s / %s |", Counts(c.newMedian, c.newMax).c_str(),
                            Counts(c.mainMedian, c.mainMax).c_str(), Counts(c.otherMedian, c.otherMax).c_str());
            else std::printf(" - |");
        std::printf("\n");
    }
    std::fflush(stdout);

    if (doExport) {
        if (velm.empty() || !fs::exists(velm))
            std::fprintf(stderr, "render_bench: no velm program (--velm PATH); export not timed\n");
        else ExportTable(velm, dir, repeat);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    tDrawingThread = true;
    // Before any context exists: Mesa reads it when the driver is chosen, and
    // the batch runs inherit it.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    fs::path dir = "/tmp/velm-bench";
    std::string caseFiles, caseMode;
    velm::DrawingPath casePath = velm::DrawingPath::Fixed;
    bool caseSurface = false;
    std::string playbackTopology, playbackTrajectory;
    int frames = 20, repeat = 3;
    double budget = 20;
    bool doExport = true;
    bool smoothLines = true;
#ifdef VELM_PROGRAM
    std::string velm = VELM_PROGRAM;
#else
    std::string velm;
#endif
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--case" && i + 2 < argc) {
                caseFiles = argv[++i];
                caseMode = argv[++i];
            } else if (a == "--renderer" && i + 1 < argc) {
                const auto p = velm::DrawingPathFromName(argv[++i]);
                if (!p) throw std::runtime_error("--renderer takes fixed or shader");
                casePath = *p;
            } else if (a == "--surface") {
                caseSurface = true;
            } else if (a == "--playback" && i + 2 < argc) {
                playbackTopology = argv[++i];
                playbackTrajectory = argv[++i];
            } else if (a == "--pictures" && i + 2 < argc) {
                const std::string file = argv[++i];
                return CasePictures(file, std::max(1, std::atoi(argv[++i])));
            } else if (a == "--dir" && i + 1 < argc) dir = argv[++i];
            else if (a == "--frames" && i + 1 < argc) frames = std::max(kMinimumFrames, std::atoi(argv[++i]));
            else if (a == "--budget" && i + 1 < argc) budget = std::max(0.0, std::atof(argv[++i]));
            else if (a == "--repeat" && i + 1 < argc) repeat = std::max(1, std::atoi(argv[++i]));
            else if (a == "--velm" && i + 1 < argc) velm = argv[++i];
            else if (a == "--no-export") doExport = false;
            else if (a == "--no-smooth-lines") smoothLines = false;
            else {
                std::fprintf(stderr,
                             "usage: render_bench [--dir DIR] [--frames N] [--budget S] [--repeat N] [--velm PATH] "
                             "[--no-export]\n"
                             "       render_bench --case FILE[,FILE...] MODE [--renderer fixed|shader] [--surface] [--frames N] "
                             "[--budget S] [--no-smooth-lines]\n"
                             "       render_bench --playback TOPOLOGY TRAJECTORY [--frames N]\n"
                             "       render_bench --pictures FILE N\n");
                return 2;
            }
        }
        if (!playbackTopology.empty()) return CasePlayback(playbackTopology, playbackTrajectory, frames);
        if (!caseFiles.empty()) return CaseMode(caseFiles, caseMode, casePath, caseSurface, frames, budget, smoothLines);
        return RunAll(dir, frames, budget, repeat, velm, doExport);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "render_bench: %s\n", e.what());
        return 1;
    }
}
