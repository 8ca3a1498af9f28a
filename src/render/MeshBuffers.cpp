#define GL_GLEXT_PROTOTYPES 1
#include "render/MeshBuffers.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdint>

#include "core/Fingerprint.h"
#include "model/Molecule.h"
#include "render/DrawContext.h"
#include "render/MeshSink.h"
#include "render/UndrawnEntries.h"

namespace velm {

namespace {

struct MeshVertex {
    GLfloat position[3], normal[3];
    GLubyte colour[4];
};

// Collects what the generators send into chunks of about perBuffer
// vertices. A primitive that would overflow a chunk is cut where it can go
// on in the next one unchanged: strips after an even count (the winding
// stays), with their last two vertices carried over; fans with their centre
// and last vertex.
class Recorder final : public MeshSink {
public:
    struct Primitive {
        unsigned mode;
        int first, count;
    };
    struct Piece {
        std::vector<MeshVertex> vertices;
        std::vector<Primitive> primitives;
    };

    explicit Recorder(std::size_t perBuffer) : perBuffer_(perBuffer) { pieces_.emplace_back(); }

    void Begin(unsigned primitive) override {
        mode_ = primitive;
        Open();
    }
    void Normal(const Vec3& n) override {
        current_.normal[0] = static_cast<GLfloat>(n.x), current_.normal[1] = static_cast<GLfloat>(n.y);
        current_.normal[2] = static_cast<GLfloat>(n.z);
    }
    void Colour(const Rgba& c) override {
        current_.colour[0] = c.r, current_.colour[1] = c.g, current_.colour[2] = c.b, current_.colour[3] = c.a;
    }
    void Vertex(const Vec3& p) override {
        if (pieces_.back().vertices.size() >= perBuffer_ && CanCut()) Cut();
        current_.position[0] = static_cast<GLfloat>(p.x), current_.position[1] = static_cast<GLfloat>(p.y);
        current_.position[2] = static_cast<GLfloat>(p.z);
        pieces_.back().vertices.push_back(current_);
        ++pieces_.back().primitives.back().count;
    }
    void End() override {}

    std::vector<Piece>& Pieces() { return pieces_; }

private:
    void Open() {
        if (pieces_.back().vertices.size() >= perBuffer_) pieces_.emplace_back();
        Piece& p = pieces_.back();
        p.primitives.push_back({mode_, static_cast<int>(p.vertices.size()), 0});
    }
    bool CanCut() const {
        const int n = pieces_.back().primitives.back().count;
        switch (mode_) {
        case GL_TRIANGLES: return n % 3 == 0;
        case GL_QUADS: return n % 4 == 0;
        case GL_TRIANGLE_STRIP:
        case GL_QUAD_STRIP: return n >= 4 && n % 2 == 0;
        case GL_TRIANGLE_FAN: return n >= 3;
        default: return false;  // lines are not sent here
        }
    }
    void Cut() {
        const Piece& old = pieces_.back();
        const Primitive& open = old.primitives.back();
        std::vector<MeshVertex> carried;
        const auto at = [&](int k) { return old.vertices[static_cast<size_t>(open.first + k)]; };
        if (mode_ == GL_TRIANGLE_STRIP || mode_ == GL_QUAD_STRIP) carried = {at(open.count - 2), at(open.count - 1)};
        else if (mode_ == GL_TRIANGLE_FAN) carried = {at(0), at(open.count - 1)};
        pieces_.emplace_back();
        Open();
        for (const MeshVertex& v : carried) {
            pieces_.back().vertices.push_back(v);
            ++pieces_.back().primitives.back().count;
        }
    }

    std::size_t perBuffer_;
    std::vector<Piece> pieces_;
    unsigned mode_ = GL_TRIANGLES;
    MeshVertex current_{{0, 0, 0}, {0, 0, 1}, {255, 255, 255, 255}};
};

}  // namespace

MeshBuffers::MeshBuffers(std::size_t perBuffer) : perBuffer_(std::max<std::size_t>(perBuffer, 16)) {}

MeshBuffers::~MeshBuffers() {
    for (auto& [key, entry] : entries_) Release(entry);
}

void MeshBuffers::Release(Entry& entry) {
    for (Chunk& c : entry.chunks) {
        glDeleteBuffers(1, &c.vertices);
        if (c.indices) glDeleteBuffers(1, &c.indices);
    }
    entry.chunks.clear();
    entry.built = entry.coloured = false;
}

MeshBuffers::Entry& MeshBuffers::EntryFor(const Molecule& molecule, Kind kind) {
    Entry& entry = entries_[{&molecule, kind}];
    entry.drawn = true;
    return entry;
}

std::size_t MeshBuffers::BufferBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, entry] : entries_)
        for (const Chunk& c : entry.chunks) bytes += c.bytes;
    return bytes;
}

void MeshBuffers::EndFrame() {
    DropUndrawnEntries(entries_, [this](Entry& e) { Release(e); });
}

void MeshBuffers::DrawRibbon(const Molecule& molecule, std::uint64_t inputs,
                             const std::function<void(MeshSink&)>& emit) {
    Entry& entry = EntryFor(molecule, Kind::Ribbon);
    if (!entry.built || entry.geometry != inputs) {
        Release(entry);
        ++counts_.ribbonBuilds;
        Recorder recorder(perBuffer_);
        emit(recorder);
        for (Recorder::Piece& piece : recorder.Pieces()) {
            if (piece.vertices.empty()) continue;
            Chunk c;
            c.vertexCount = piece.vertices.size();
            c.bytes = c.vertexCount * sizeof(MeshVertex);
            for (const Recorder::Primitive& p : piece.primitives) {
                if (p.count == 0) continue;
                if (c.batches.empty() || c.batches.back().primitive != p.mode) c.batches.push_back({p.mode, {}, {}});
                c.batches.back().firsts.push_back(p.first);
                c.batches.back().counts.push_back(p.count);
            }
            glGenBuffers(1, &c.vertices);
            glBindBuffer(GL_ARRAY_BUFFER, c.vertices);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(c.bytes), piece.vertices.data(), GL_STATIC_DRAW);
            entry.chunks.push_back(std::move(c));
            piece = {};  // the copy in GL is the one kept
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        entry.built = true;
        entry.geometry = inputs;
    }
    if (entry.chunks.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (const Chunk& c : entry.chunks) {
        glBindBuffer(GL_ARRAY_BUFFER, c.vertices);
        glVertexPointer(3, GL_FLOAT, sizeof(MeshVertex), reinterpret_cast<const void*>(offsetof(MeshVertex, position)));
        glNormalPointer(GL_FLOAT, sizeof(MeshVertex), reinterpret_cast<const void*>(offsetof(MeshVertex, normal)));
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(MeshVertex),
                       reinterpret_cast<const void*>(offsetof(MeshVertex, colour)));
        for (const Batch& b : c.batches)
            glMultiDrawArrays(b.primitive, b.firsts.data(), b.counts.data(), static_cast<GLsizei>(b.firsts.size()));
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void MeshBuffers::BuildSurface(Entry& entry, const Molecule& m) {
    const VelmSurface& s = m.surface;
    Release(entry);
    ++counts_.surfaceBuilds;
    // Triangles in order, each chunk with the vertices its triangles use,
    // numbered afresh, so that no chunk outgrows its buffer.
    const int n = s.VertexCount();
    std::vector<std::uint32_t> local(static_cast<size_t>(n), UINT32_MAX);
    std::vector<std::uint32_t> indices;
    const auto flush = [&](Chunk& c) {
        if (indices.empty()) return;
        c.vertexCount = c.sources.size();
        c.indexCount = indices.size();
        std::vector<GLfloat> geometry(6 * c.vertexCount);
        for (std::size_t k = 0; k < c.vertexCount; ++k) {
            const size_t v = static_cast<size_t>(c.sources[k]);
            std::copy_n(&s.vertices[3 * v], 3, &geometry[3 * k]);
            std::copy_n(&s.normals[3 * v], 3, &geometry[3 * (c.vertexCount + k)]);
            local[v] = UINT32_MAX;
        }
        const std::size_t colours = 4 * c.vertexCount;
        glGenBuffers(1, &c.vertices);
        glBindBuffer(GL_ARRAY_BUFFER, c.vertices);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(geometry.size() * sizeof(GLfloat) + colours), nullptr,
                     GL_STATIC_DRAW);
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(geometry.size() * sizeof(GLfloat)),
                        geometry.data());
        glGenBuffers(1, &c.indices);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.indices);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
                     indices.data(), GL_STATIC_DRAW);
        c.bytes = geometry.size() * sizeof(GLfloat) + colours + indices.size() * sizeof(std::uint32_t);
        entry.chunks.push_back(std::move(c));
        indices.clear();
    };
    Chunk chunk;
    const std::size_t triangles = s.indices.size() / 3;
    const bool arrays = s.vertices.size() >= 3 * static_cast<size_t>(n) && s.normals.size() >= 3 * static_cast<size_t>(n);
    for (std::size_t t = 0; arrays && t < triangles; ++t) {
        const int* corner = &s.indices[3 * t];
        if (std::any_of(corner, corner + 3, [&](int v) { return v < 0 || v >= n; })) continue;
        if (chunk.sources.size() + 3 > perBuffer_) {
            flush(chunk);
            chunk = Chunk{};
        }
        for (int k = 0; k < 3; ++k) {
            std::uint32_t& l = local[static_cast<size_t>(corner[k])];
            if (l == UINT32_MAX) {
                l = static_cast<std::uint32_t>(chunk.sources.size());
                chunk.sources.push_back(corner[k]);
            }
            indices.push_back(l);
        }
    }
    flush(chunk);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    entry.built = true;
}

void MeshBuffers::WriteSurfaceColours(Entry& entry, const Molecule& m) {
    const VelmSurface& s = m.surface;
    std::vector<GLubyte> colours;
    for (const Chunk& c : entry.chunks) {
        colours.resize(4 * c.vertexCount);
        for (std::size_t k = 0; k < c.vertexCount; ++k) {
            const int atom = s.nearestAtom[static_cast<size_t>(c.sources[k])];
            Rgba colour = s.userColour;
            if (atom >= 0 && atom < m.AtomCount()) {
                colour = m.atoms[static_cast<size_t>(atom)].colour;
                if (s.transparencyAlpha != 255) colour.a = s.transparencyAlpha;
            }
            colours[4 * k] = colour.r, colours[4 * k + 1] = colour.g, colours[4 * k + 2] = colour.b;
            colours[4 * k + 3] = colour.a;
        }
        glBindBuffer(GL_ARRAY_BUFFER, c.vertices);
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(6 * c.vertexCount * sizeof(GLfloat)),
                        static_cast<GLsizeiptr>(colours.size()), colours.data());
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void MeshBuffers::DrawSurface(const Molecule& m) {
    const VelmSurface& s = m.surface;
    Entry& entry = EntryFor(m, Kind::Surface);
    Fingerprint geometry, looks;
    geometry.AddArray(s.vertices);
    geometry.AddArray(s.normals);
    geometry.AddArray(s.nearestAtom);
    geometry.AddArray(s.indices);
    if (s.colourByAtom) {
        looks.Add(static_cast<int>(s.transparencyAlpha));
        looks.Add(s.userColour);
        for (const Atom& a : m.atoms) looks.Add(a.colour);
    }
    if (!entry.built || entry.geometry != geometry.Value()) {
        BuildSurface(entry, m);
        entry.geometry = geometry.Value();
    }
    if (s.colourByAtom && (!entry.coloured || entry.looks != looks.Value())) {
        if (entry.coloured) ++counts_.surfaceRecolours;
        WriteSurfaceColours(entry, m);
        entry.looks = looks.Value();
        entry.coloured = true;
    }
    if (entry.chunks.empty()) return;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (s.colourByAtom) glEnableClientState(GL_COLOR_ARRAY);
    else SetColour(s.userColour);
    for (const Chunk& c : entry.chunks) {
        glBindBuffer(GL_ARRAY_BUFFER, c.vertices);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glNormalPointer(GL_FLOAT, 0, reinterpret_cast<const void*>(3 * c.vertexCount * sizeof(GLfloat)));
        if (s.colourByAtom)
            glColorPointer(4, GL_UNSIGNED_BYTE, 0, reinterpret_cast<const void*>(6 * c.vertexCount * sizeof(GLfloat)));
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.indices);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(c.indexCount), GL_UNSIGNED_INT, nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace velm
