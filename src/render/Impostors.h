#pragma once
// The shader path of the sphere and stick representations: each molecule's
// atoms and bonds kept in vertex buffers as screen-aligned quads that the
// impostor shaders turn into lit spheres and cylinders. Buffers are built
// when a molecule's coordinates, colours, radii or representation change,
// and only the positions are written again when only the coordinates did
// (a trajectory frame); turning or moving the scene writes nothing.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/ImpostorShaders.h"
#include "render/SphereOcclusion.h"

namespace velm {

class Molecule;
class ShaderProgram;
struct DrawContext;

// Atoms or bonds per vertex buffer: a larger molecule is drawn from several.
inline constexpr std::size_t kImpostorsPerBuffer = std::size_t{1} << 18;

class ImpostorRenderer {
public:
    // Builds the programs in the current context; throws VelmError with the
    // driver's reason when either does not compile or link. `cull`: leave
    // out spheres and sticks hidden behind opaque spheres (SphereOcclusion).
    explicit ImpostorRenderer(const ImpostorSources& sources = DefaultImpostorSources(),
                              std::size_t perBuffer = kImpostorsPerBuffer, bool cull = true);
    ~ImpostorRenderer();  // in the context it was made in
    ImpostorRenderer(const ImpostorRenderer&) = delete;
    ImpostorRenderer& operator=(const ImpostorRenderer&) = delete;

    // CPK: every drawn atom a sphere of its own radius; with the scene
    // clipped, the caps of the cut spheres as the fixed path draws them.
    // False, with nothing drawn, when the program for the lights switched
    // on does not build: the caller draws the 1.1 way.
    bool DrawCpk(const Molecule& molecule, const DrawContext& context);
    // Sticks and ball and stick: the bonds as cylinders of the stick bond
    // radius, split bonds in two colours, then the atoms as spheres of the
    // stick atom radius. False as for DrawCpk.
    bool DrawSticks(const Molecule& molecule, const DrawContext& context);
    // Why the last program failed to build; empty when none did.
    const std::string& Failure() const { return failure_; }
    // After a frame: the buffers of molecules it did not draw this way go.
    void EndFrame();

    struct Counts {
        long builds = 0;           // buffers built from scratch
        long positionUpdates = 0;  // only the positions written again
        double positionSeconds = 0;  // spent on those updates
    };
    const Counts& GetCounts() const { return counts_; }
    // Bytes held in vertex buffers now.
    std::size_t BufferBytes() const;

private:
    enum class Kind { Spheres, Cylinders };
    struct Chunk {
        unsigned positions = 0, looks = 0;
        unsigned every = 0;    // the corners of all quads, drawn when none is culled
        unsigned indices = 0;  // those of the visible ones, written per frame
        std::size_t items = 0;
    };
    struct Entry {
        std::vector<Chunk> chunks;
        // For the occlusion test: sphere centres, radii and opacity, or
        // both ends of each cylinder.
        std::vector<float> centres, radii;
        std::vector<std::uint8_t> opaque;
        std::uint64_t looks = 0, geometry = 0;
        std::size_t items = 0;
        bool built = false, drawn = false;
    };
    // The program of a kind for this many directional lights, built once;
    // throws VelmError when it does not build.
    const ShaderProgram& Program(Kind kind, int lights);
    const ShaderProgram* ProgramFor(Kind kind, const DrawContext& context);
    Entry& Prepare(const Molecule& molecule, Kind kind, float atomRadius);
    // The opaque spheres' cover of the current view; none when culling is off
    // or the clipping plane is on.
    std::optional<SphereOcclusion> Occlusion(const Entry& spheres) const;
    // `visible`: the items to draw, ascending; null for all. `trim`: for
    // cylinders, how much of each end lies inside an opaque ball and need
    // not be rasterised.
    void Draw(Entry& entry, Kind kind, const ShaderProgram& program, const DrawContext& context,
              const std::vector<std::uint32_t>* visible, float trim = 0);
    void Release(Entry& entry);

    ImpostorSources sources_;
    std::map<std::pair<Kind, int>, std::unique_ptr<ShaderProgram>> programs_;
    std::string failure_;
    std::vector<std::uint32_t> visibleSpheres_, visibleCylinders_, chunkIndices_;  // per frame, kept for their capacity
    std::size_t perBuffer_;
    bool cull_;
    std::map<std::pair<const Molecule*, Kind>, Entry> entries_;
    Counts counts_;
};

}  // namespace velm
