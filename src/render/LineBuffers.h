#pragma once
// The shader path's lines and points: wire frame, points, the trace as lines
// and the trace spline, kept in vertex buffers per molecule and drawn through
// the fixed pipeline, so that fog, the clipping plane, line smoothing and the
// line light treat them exactly as the immediate-mode vertices of the 1.1
// path. Buffers are built when what they hold changes (colours, bonds, the
// shown solvent, the backbone's runs, the spline's resolution or tension);
// when only the coordinates changed (a trajectory frame) the positions alone
// are written again; turning the scene writes nothing.
#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace velm {

class Molecule;
struct DrawContext;

// Vertices per vertex buffer: a larger molecule is drawn from several.
inline constexpr std::size_t kLineVerticesPerBuffer = std::size_t{1} << 18;

class LineBuffers {
public:
    explicit LineBuffers(std::size_t perBuffer = kLineVerticesPerBuffer);
    ~LineBuffers();  // in the context it was made in
    LineBuffers(const LineBuffers&) = delete;
    LineBuffers& operator=(const LineBuffers&) = delete;

    // Each draws what the 1.1 routine of the same name draws, in the same
    // order and colours. False, with nothing drawn, when a buffer could not
    // be made (the driver is out of memory): the caller draws the 1.1 way.
    bool DrawWireFrame(const Molecule& molecule, const DrawContext& context);
    bool DrawPoints(const Molecule& molecule, const DrawContext& context);
    bool DrawTraceWireFrame(const Molecule& molecule, const DrawContext& context);
    bool DrawTraceSpline(const Molecule& molecule, const DrawContext& context);
    // After a frame: the buffers of molecules it did not draw this way go.
    void EndFrame();

    struct Counts {
        long builds = 0;           // buffers built from scratch
        long positionUpdates = 0;  // only the positions written again
    };
    const Counts& GetCounts() const { return counts_; }
    // Bytes held in vertex buffers now.
    std::size_t BufferBytes() const;

    enum class Kind { Bonds, Points, Trace, Spline };
    // One buffer's vertices: positions (3 floats) and colours (4 bytes) apart,
    // so that a new frame writes the positions alone.
    struct Chunk {
        unsigned positions = 0, colours = 0;
        std::size_t vertices = 0;
        std::vector<int> firsts, counts;  // the pieces of line strips in it
    };

private:
    struct Entry {
        std::vector<Chunk> chunks;
        unsigned indices = 0;  // the points kept by the clipping plane, written per frame
        std::uint64_t looks = 0, geometry = 0;
        bool built = false, drawn = false;
    };
    // The molecule's buffers of a kind, brought up to date; null when one
    // could not be made.
    Entry* Prepare(const Molecule& molecule, Kind kind, const DrawContext& context);
    void Draw(const Entry& entry, Kind kind);
    void DrawClippedPoints(Entry& entry, const Molecule& molecule, const DrawContext& context);
    static void Release(Entry& entry);

    std::size_t perBuffer_;
    std::map<std::pair<const Molecule*, Kind>, Entry> entries_;
    std::vector<std::uint32_t> kept_;  // per frame, kept for its capacity
    Counts counts_;
};

}  // namespace velm
