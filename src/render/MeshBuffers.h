#pragma once
// The buffered meshes of the shader path: ribbons, tubes and molecular
// surfaces kept in vertex buffers and drawn by the fixed pipeline from
// there (glMultiDrawArrays, glDrawElements), so that lighting, fog and the
// clipping plane are the 1.1 path's own. A mesh is gathered again only when
// what it was made from changes (coordinates, colours, mode, ribbon sizes,
// the surface), never because the camera moved.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace velm {

class Molecule;
class MeshSink;

// Vertices per buffer: a larger mesh is kept in several.
inline constexpr std::size_t kMeshVerticesPerBuffer = std::size_t{1} << 20;

class MeshBuffers {
public:
    explicit MeshBuffers(std::size_t perBuffer = kMeshVerticesPerBuffer);
    ~MeshBuffers();  // in the context it was made in
    MeshBuffers(const MeshBuffers&) = delete;
    MeshBuffers& operator=(const MeshBuffers&) = delete;

    // The molecule's ribbon or tube as `emit` sends it, recorded again only
    // when `inputs`, a digest of everything `emit` reads, differs from the
    // last one; then drawn in the GL state the caller set.
    void DrawRibbon(const Molecule& molecule, std::uint64_t inputs, const std::function<void(MeshSink&)>& emit);
    // The molecule's built surface, in index order as the 1.1 path sends it
    // (so translucent ones blend alike). Its mesh is written again when the
    // surface's arrays change; its colours alone when the atoms' colours or
    // the surface's colour options do.
    void DrawSurface(const Molecule& molecule);
    // After a frame: the meshes of molecules it did not draw this way go.
    void EndFrame();

    struct Counts {
        long ribbonBuilds = 0;
        long surfaceBuilds = 0;
        long surfaceRecolours = 0;  // colours written again, the mesh kept
    };
    const Counts& GetCounts() const { return counts_; }
    // Bytes held in vertex and index buffers now.
    std::size_t BufferBytes() const;

private:
    enum class Kind { Ribbon, Surface };
    // Consecutive primitives of one kind, drawn by one glMultiDrawArrays.
    struct Batch {
        unsigned primitive = 0;
        std::vector<int> firsts, counts;
    };
    struct Chunk {
        unsigned vertices = 0, indices = 0;  // buffer names
        std::size_t vertexCount = 0, indexCount = 0, bytes = 0;
        std::vector<Batch> batches;  // ribbons
        std::vector<int> sources;    // surfaces: the surface vertex behind each of the chunk's
    };
    struct Entry {
        std::vector<Chunk> chunks;
        std::uint64_t geometry = 0, looks = 0;
        bool built = false, drawn = false;
        bool coloured = false;  // surfaces: per-vertex colours written since the mesh was
    };
    Entry& EntryFor(const Molecule& molecule, Kind kind);
    void BuildSurface(Entry& entry, const Molecule& molecule);
    void WriteSurfaceColours(Entry& entry, const Molecule& molecule);
    static void Release(Entry& entry);

    std::size_t perBuffer_;
    std::map<std::pair<const Molecule*, Kind>, Entry> entries_;
    Counts counts_;
};

}  // namespace velm
