#define GL_GLEXT_PROTOTYPES 1
#include "render/LineBuffers.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

#include "core/Fingerprint.h"
#include "model/Molecule.h"
#include "render/BackboneRuns.h"
#include "render/ClipPlane.h"
#include "render/DrawContext.h"
#include "render/SplineCursor.h"
#include "render/ViewSettings.h"
#include "render/UndrawnEntries.h"

namespace velm {

namespace {

using Kind = LineBuffers::Kind;

bool Skipped(const Molecule& m, const Atom& a) { return a.hetero && !m.showSolvent; }
bool Skipped(const Molecule& m, const Bond& b) { return b.hetero && !m.showSolvent; }

const Rgba& ColourOf(const Molecule& m, int atom) { return m.atoms[static_cast<size_t>(atom)].colour; }

// Calls out.Vertex(position, colour) for every vertex a kind draws, in the
// 1.1 routine's order, and out.EndStrip() after each line strip.
template <typename Out>
void Walk(const Molecule& m, Kind kind, const DrawContext& context, const DrawnPositions& at, Out& out) {
    switch (kind) {
    case Kind::Bonds:
        for (const Bond& b : m.bonds) {
            if (Skipped(m, b)) continue;
            const Vec3 p = at[b.first], q = at[b.second];
            const Rgba& first = ColourOf(m, b.first);
            out.Vertex(p, first);
            if (b.splitColour) {
                const Vec3 middle = (p + q) * 0.5;
                const Rgba& second = ColourOf(m, b.second);
                out.Vertex(middle, first);
                out.Vertex(middle, second);
                out.Vertex(q, second);
            } else {
                out.Vertex(q, first);
            }
        }
        break;
    case Kind::Points:
        for (int i = 0; i < m.AtomCount(); ++i)
            if (!Skipped(m, m.atoms[static_cast<size_t>(i)])) out.Vertex(at[i], ColourOf(m, i));
        break;
    case Kind::Trace:
        for (const Chain& chain : m.chains) {
            if (chain.residues.size() < 2) continue;
            for (const BackboneRun& run : BackboneRuns(chain, at)) {
                for (int k = run.first + 1; k < run.first + run.count; ++k) {
                    const int previous = chain.residues[static_cast<size_t>(k - 1)].traceAtom;
                    const int current = chain.residues[static_cast<size_t>(k)].traceAtom;
                    out.Vertex(at[previous], ColourOf(m, previous));
                    out.Vertex(at[current], ColourOf(m, current));
                }
            }
        }
        break;
    case Kind::Spline: {
        const Resolutions& q = context.settings.quality.Values();
        for (int c = 0; c < static_cast<int>(m.chains.size()); ++c) {
            for (const BackboneRun& run : BackboneRuns(m.chains[static_cast<size_t>(c)], at)) {
                if (run.count < 2) continue;
                SplineCursor cursor(m, c, q.spline, q.tension, run);
                for (SplinePoint p; cursor.NextPoint(p);) out.Vertex(p.point, ColourOf(m, p.atom));
                out.EndStrip();
            }
        }
        break;
    }
    }
}

// What a kind's vertices are made of, apart from the coordinates (looks),
// and the coordinates (geometry). Equal looks give the same vertices in the
// same colours and pieces, so a change of geometry alone is written as new
// positions.
std::pair<std::uint64_t, std::uint64_t> Prints(const Molecule& m, Kind kind, const DrawContext& context,
                                               const DrawnPositions& at) {
    Fingerprint looks, geometry;
    looks.Add(static_cast<int>(kind));
    if (kind == Kind::Bonds || kind == Kind::Points) {
        looks.Add(m.showSolvent != 0);
        for (int i = 0; i < m.AtomCount(); ++i) {
            const Atom& a = m.atoms[static_cast<size_t>(i)];
            looks.Add(a.colour);
            looks.Add(a.hetero != 0);
            geometry.Add(at[i]);
        }
        if (kind == Kind::Bonds) {
            for (const Bond& b : m.bonds) {
                looks.Add(b.first);
                looks.Add(b.second);
                looks.Add((b.hetero != 0) | (b.splitColour != 0) << 1);
            }
        }
        return {looks.Value(), geometry.Value()};
    }
    if (kind == Kind::Spline) {
        const Resolutions& q = context.settings.quality.Values();
        looks.Add(q.spline);
        looks.Add(static_cast<float>(q.tension));
    }
    // Where the backbone breaks follows the coordinates, but changes the
    // pieces: it is part of the looks.
    for (const Chain& chain : m.chains) {
        looks.Add(static_cast<int>(chain.residues.size()));
        for (const Residue& r : chain.residues) {
            looks.Add(r.traceAtom);
            looks.Add(ColourOf(m, r.traceAtom));
            geometry.Add(at[r.traceAtom]);
        }
        for (const BackboneRun& run : BackboneRuns(chain, at)) looks.Add(run.count);
    }
    return {looks.Value(), geometry.Value()};
}

// Gathers the walked vertices into buffers of at most `per` vertices: new
// ones, or the positions alone written into the chunks already there. A
// strip that runs past the end of a buffer goes on in the next from the
// same vertex, so the segments drawn stay the same.
class Stream {
public:
    Stream(std::vector<LineBuffers::Chunk>& chunks, bool build, std::size_t per, bool strips)
        : chunks_(chunks), build_(build), per_(per), strips_(strips) {
        positions_.reserve(3 * per);
        if (build) colours_.reserve(4 * per);
    }
    void Vertex(const Vec3& p, const Rgba& c) {
        if (Vertices() == per_) Flush();
        if (!open_) open_ = true, stripStart_ = Vertices();
        positions_.insert(positions_.end(), {static_cast<GLfloat>(p.x), static_cast<GLfloat>(p.y),
                                             static_cast<GLfloat>(p.z)});
        if (build_) colours_.insert(colours_.end(), {c.r, c.g, c.b, c.a});
    }
    void EndStrip() {
        if (open_ && strips_) Piece();
        open_ = false;
    }
    // False when a buffer could not be made, or when the positions do not
    // fit the chunks there (their pieces changed after all).
    bool Finish() {
        if (strips_) EndStrip();
        if (Vertices() > 0) Flush();
        return ok_ && (build_ || next_ == chunks_.size());
    }

private:
    std::size_t Vertices() const { return positions_.size() / 3; }
    void Piece() {
        const std::size_t count = Vertices() - stripStart_;
        if (count >= 2) firsts_.push_back(static_cast<int>(stripStart_)), counts_.push_back(static_cast<int>(count));
    }
    void Flush() {
        const bool carry = strips_ && open_;
        if (carry) Piece();
        const std::size_t n = Vertices();
        const GLsizeiptr positionBytes = static_cast<GLsizeiptr>(positions_.size() * sizeof(GLfloat));
        if (build_) {
            LineBuffers::Chunk chunk;
            chunk.vertices = n;
            chunk.firsts = std::move(firsts_);
            chunk.counts = std::move(counts_);
            glGenBuffers(1, &chunk.positions);
            glGenBuffers(1, &chunk.colours);
            glBindBuffer(GL_ARRAY_BUFFER, chunk.positions);
            glBufferData(GL_ARRAY_BUFFER, positionBytes, positions_.data(), GL_DYNAMIC_DRAW);
            glBindBuffer(GL_ARRAY_BUFFER, chunk.colours);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(colours_.size()), colours_.data(), GL_STATIC_DRAW);
            chunks_.push_back(std::move(chunk));
            if (glGetError() == GL_OUT_OF_MEMORY) ok_ = false;
        } else if (next_ < chunks_.size() && chunks_[next_].vertices == n) {
            glBindBuffer(GL_ARRAY_BUFFER, chunks_[next_].positions);
            glBufferSubData(GL_ARRAY_BUFFER, 0, positionBytes, positions_.data());
        } else {
            ok_ = false;
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        ++next_;
        firsts_.clear(), counts_.clear();
        if (carry) {  // the strip's last vertex begins the next buffer
            positions_.erase(positions_.begin(), positions_.end() - 3);
            if (build_) colours_.erase(colours_.begin(), colours_.end() - 4);
            stripStart_ = 0;
        } else {
            positions_.clear(), colours_.clear();
        }
    }

    std::vector<LineBuffers::Chunk>& chunks_;
    bool build_;
    std::size_t per_;
    bool strips_;
    std::vector<GLfloat> positions_;
    std::vector<GLubyte> colours_;
    std::vector<int> firsts_, counts_;
    std::size_t stripStart_ = 0, next_ = 0;
    bool open_ = false, ok_ = true;
};

}  // namespace

LineBuffers::LineBuffers(std::size_t perBuffer) : perBuffer_(std::max<std::size_t>(perBuffer & ~std::size_t{1}, 2)) {}

LineBuffers::~LineBuffers() {
    for (auto& [key, entry] : entries_) Release(entry);
}

void LineBuffers::Release(Entry& entry) {
    for (Chunk& c : entry.chunks) {
        glDeleteBuffers(1, &c.positions);
        glDeleteBuffers(1, &c.colours);
    }
    if (entry.indices) glDeleteBuffers(1, &entry.indices);
    entry.indices = 0;
    entry.chunks.clear();
    entry.built = false;
}

std::size_t LineBuffers::BufferBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, entry] : entries_)
        for (const Chunk& c : entry.chunks) bytes += c.vertices * (3 * sizeof(GLfloat) + 4);
    return bytes;
}

LineBuffers::Entry* LineBuffers::Prepare(const Molecule& m, Kind kind, const DrawContext& context) {
    const DrawnPositions at(m);
    const auto [looks, geometry] = Prints(m, kind, context, at);
    Entry& entry = entries_[{&m, kind}];
    entry.drawn = true;
    if (entry.built && entry.looks == looks && entry.geometry == geometry) return &entry;
    const bool strips = kind == Kind::Spline;
    if (entry.built && entry.looks == looks) {
        Stream positions(entry.chunks, false, perBuffer_, strips);
        Walk(m, kind, context, at, positions);
        if (positions.Finish()) {
            entry.geometry = geometry;
            ++counts_.positionUpdates;
            return &entry;
        }
    }
    Release(entry);
    while (glGetError() != GL_NO_ERROR) {
    }
    Stream all(entry.chunks, true, perBuffer_, strips);
    Walk(m, kind, context, at, all);
    ++counts_.builds;
    if (!all.Finish()) {
        Release(entry);
        return nullptr;
    }
    entry.built = true;
    entry.looks = looks;
    entry.geometry = geometry;
    return &entry;
}

void LineBuffers::Draw(const Entry& entry, Kind kind) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (const Chunk& c : entry.chunks) {
        glBindBuffer(GL_ARRAY_BUFFER, c.positions);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, c.colours);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
        if (kind == Kind::Spline) {
            if (!c.firsts.empty())
                glMultiDrawArrays(GL_LINE_STRIP, c.firsts.data(), c.counts.data(),
                                  static_cast<GLsizei>(c.firsts.size()));
        } else {
            glDrawArrays(kind == Kind::Points ? GL_POINTS : GL_LINES, 0, static_cast<GLsizei>(c.vertices));
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

bool LineBuffers::DrawWireFrame(const Molecule& molecule, const DrawContext& context) {
    Entry* entry = Prepare(molecule, Kind::Bonds, context);
    if (!entry) return false;
    glLineWidth(context.settings.lineWidth);
    Draw(*entry, Kind::Bonds);
    return true;
}

bool LineBuffers::DrawTraceWireFrame(const Molecule& molecule, const DrawContext& context) {
    Entry* entry = Prepare(molecule, Kind::Trace, context);
    if (!entry) return false;
    glLineWidth(context.settings.lineWidth);
    Draw(*entry, Kind::Trace);
    return true;
}

bool LineBuffers::DrawTraceSpline(const Molecule& molecule, const DrawContext& context) {
    Entry* entry = Prepare(molecule, Kind::Spline, context);
    if (!entry) return false;
    glLineWidth(context.settings.lineWidth);
    Draw(*entry, Kind::Spline);
    return true;
}

bool LineBuffers::DrawPoints(const Molecule& molecule, const DrawContext& context) {
    Entry* entry = Prepare(molecule, Kind::Points, context);
    if (!entry) return false;
    glPointSize(2);
    if (context.clip) DrawClippedPoints(*entry, molecule, context);
    else Draw(*entry, Kind::Points);
    glPointSize(1);
    return true;
}

// The plane turns with the eye, not with the molecule: which points it
// keeps is decided per frame, as the 1.1 path does, and drawn by index.
void LineBuffers::DrawClippedPoints(Entry& entry, const Molecule& m, const DrawContext& c) {
    glDisable(GL_CLIP_PLANE0);
    if (!entry.indices) glGenBuffers(1, &entry.indices);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, entry.indices);
    const DrawnPositions at(m);
    int atom = 0;
    for (const Chunk& chunk : entry.chunks) {
        kept_.clear();
        for (std::uint32_t v = 0; v < chunk.vertices; ++atom) {
            if (Skipped(m, m.atoms[static_cast<size_t>(atom)])) continue;
            const Vec3 p = at[atom] + c.translation;
            if (c.clip->Classify(c.clip->InPlaneFrame(p, c.rotation, c.scale, c.clipCentre), 0) != ClipSide::Cut)
                kept_.push_back(v);
            ++v;
        }
        if (kept_.empty()) continue;
        glBindBuffer(GL_ARRAY_BUFFER, chunk.positions);
        glVertexPointer(3, GL_FLOAT, 0, nullptr);
        glBindBuffer(GL_ARRAY_BUFFER, chunk.colours);
        glColorPointer(4, GL_UNSIGNED_BYTE, 0, nullptr);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(kept_.size() * sizeof(std::uint32_t)),
                     kept_.data(), GL_STREAM_DRAW);
        glDrawElements(GL_POINTS, static_cast<GLsizei>(kept_.size()), GL_UNSIGNED_INT, nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glEnable(GL_CLIP_PLANE0);
}

void LineBuffers::EndFrame() {
    DropUndrawnEntries(entries_, [this](Entry& e) { Release(e); });
}

}  // namespace velm
