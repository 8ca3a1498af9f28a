#define GL_GLEXT_PROTOTYPES 1
#include "render/Impostors.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/Fingerprint.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "render/ClipPlane.h"
#include "render/DrawContext.h"
#include "render/SceneLight.h"
#include "render/ShaderProgram.h"
#include "render/SphereOcclusion.h"
#include "render/ViewSettings.h"
#include "render/UndrawnEntries.h"

namespace velm {

namespace {

// Per vertex, four to a quad.
struct SphereLook {
    GLubyte colour[4];
    GLbyte corner[2], pad[2];
    GLfloat radius;
};
struct CylinderLook {
    GLubyte colour[4], endColour[4];
    GLbyte corner[2], pad[2];
};
constexpr GLbyte kCorners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};

void CopyColour(GLubyte out[4], const Rgba& c) {
    out[0] = c.r, out[1] = c.g, out[2] = c.b, out[3] = c.a;
}

Vec3 Unit(const Vec3& v) {
    const double length = Length(v);
    return length > 0 ? v * (1 / length) : v;
}

bool Drawn(const Molecule& m, const Atom& a) { return !a.hetero || m.showSolvent; }
bool Drawn(const Molecule& m, const Bond& b) { return !b.hetero || m.showSolvent; }

}  // namespace

ImpostorRenderer::ImpostorRenderer(const ImpostorSources& sources, std::size_t perBuffer, bool cull)
    : sources_(sources), perBuffer_(std::max<std::size_t>(perBuffer, 1)), cull_(cull) {
    // The front light alone, as the scene starts: a driver that cannot
    // build these is found out before anything is drawn.
    Program(Kind::Spheres, 1);
    Program(Kind::Cylinders, 1);
}

const ShaderProgram& ImpostorRenderer::Program(Kind kind, int lights) {
    std::unique_ptr<ShaderProgram>& program = programs_[{kind, lights}];
    if (program) return *program;
    const bool spheres = kind == Kind::Spheres;
    // The count goes in after the #version line, which must come first.
    std::string fragment = spheres ? sources_.sphereFragment : sources_.cylinderFragment;
    const size_t line = fragment.find('\n');
    fragment.insert(line == std::string::npos ? fragment.size() : line + 1,
                    "#define LIGHTS " + std::to_string(lights) + "\n");
    using Attributes = std::vector<std::pair<unsigned, const char*>>;
    const Attributes attributes =
        spheres ? Attributes{{kCentreAttribute, "centre"}, {kColourAttribute, "colour"}, {kCornerAttribute, "corner"},
                             {kRadiusAttribute, "radius"}}
                : Attributes{{kCentreAttribute, "centre"},
                             {kEndAttribute, "end"},
                             {kColourAttribute, "colour"},
                             {kEndColourAttribute, "endColour"},
                             {kCornerAttribute, "corner"}};
    try {
        program = std::make_unique<ShaderProgram>(spheres ? sources_.sphereVertex : sources_.cylinderVertex,
                                                  fragment.c_str(), attributes);
    } catch (...) {
        programs_.erase({kind, lights});
        throw;
    }
    return *program;
}

ImpostorRenderer::~ImpostorRenderer() {
    for (auto& [key, entry] : entries_) Release(entry);
}

void ImpostorRenderer::Release(Entry& entry) {
    for (Chunk& c : entry.chunks) {
        glDeleteBuffers(1, &c.positions);
        glDeleteBuffers(1, &c.looks);
        glDeleteBuffers(1, &c.every);
        if (c.indices) glDeleteBuffers(1, &c.indices);
    }
    entry.chunks.clear();
}

std::size_t ImpostorRenderer::BufferBytes() const {
    std::size_t bytes = 0;
    for (const auto& [key, entry] : entries_) {
        const std::size_t perVertex =
            key.second == Kind::Spheres ? 3 * sizeof(GLfloat) + sizeof(SphereLook) : 6 * sizeof(GLfloat) + sizeof(CylinderLook);
        bytes += entry.items * 4 * (perVertex + sizeof(std::uint32_t));
    }
    return bytes;
}

ImpostorRenderer::Entry& ImpostorRenderer::Prepare(const Molecule& m, Kind kind, float atomRadius) {
    const DrawnPositions at(m);
    const int atoms = m.AtomCount();
    Fingerprint looks, geometry;
    looks.Add(static_cast<std::uint32_t>(m.showSolvent != 0));
    looks.Add(atomRadius);
    for (int i = 0; i < atoms; ++i) {
        const Atom& a = m.atoms[static_cast<size_t>(i)];
        looks.Add(a.colour);
        looks.Add(static_cast<std::uint32_t>(a.hetero != 0));
        if (kind == Kind::Spheres && atomRadius < 0) looks.Add(static_cast<float>(a.radius));
        const Vec3 p = at[i];
        geometry.Add(static_cast<float>(p.x));
        geometry.Add(static_cast<float>(p.y));
        geometry.Add(static_cast<float>(p.z));
    }
    if (kind == Kind::Cylinders) {
        for (const Bond& b : m.bonds) {
            looks.Add(static_cast<std::uint32_t>(b.first));
            looks.Add(static_cast<std::uint32_t>(b.second));
            looks.Add(static_cast<std::uint32_t>((b.hetero != 0) | (b.splitColour != 0) << 1));
        }
    }

    Entry& entry = entries_[{&m, kind}];
    entry.drawn = true;
    const bool rebuild = !entry.built || entry.looks != looks.Value();
    if (!rebuild && entry.geometry == geometry.Value()) return entry;
    const auto started = std::chrono::steady_clock::now();

    // The items drawn, in the fixed path's order.
    std::vector<int> items;
    if (kind == Kind::Spheres) {
        for (int i = 0; i < atoms; ++i)
            if (Drawn(m, m.atoms[static_cast<size_t>(i)])) items.push_back(i);
    } else {
        for (size_t j = 0; j < m.bonds.size(); ++j)
            if (Drawn(m, m.bonds[j])) items.push_back(static_cast<int>(j));
    }
    if (rebuild) {
        Release(entry);
        ++counts_.builds;
    } else {
        ++counts_.positionUpdates;
    }
    entry.built = true;
    entry.looks = looks.Value();
    entry.geometry = geometry.Value();
    entry.items = items.size();

    // The centres, or both ends, kept for the occlusion test.
    if (kind == Kind::Spheres) {
        entry.centres.resize(3 * items.size());
        for (std::size_t n = 0; n < items.size(); ++n) {
            const Vec3 p = at[items[n]];
            entry.centres[3 * n] = static_cast<float>(p.x);
            entry.centres[3 * n + 1] = static_cast<float>(p.y);
            entry.centres[3 * n + 2] = static_cast<float>(p.z);
        }
    } else {
        entry.centres.resize(6 * items.size());
        for (std::size_t n = 0; n < items.size(); ++n) {
            const Bond& b = m.bonds[static_cast<size_t>(items[n])];
            const Vec3 p = at[b.first], q = at[b.second];
            float* out = entry.centres.data() + 6 * n;
            out[0] = static_cast<float>(p.x), out[1] = static_cast<float>(p.y), out[2] = static_cast<float>(p.z);
            out[3] = static_cast<float>(q.x), out[4] = static_cast<float>(q.y), out[5] = static_cast<float>(q.z);
        }
    }
    if (kind == Kind::Spheres && rebuild) {
        entry.radii.resize(items.size());
        entry.opaque.resize(items.size());
        for (std::size_t n = 0; n < items.size(); ++n) {
            const Atom& a = m.atoms[static_cast<size_t>(items[n])];
            entry.radii[n] = atomRadius < 0 ? static_cast<float>(a.radius) : atomRadius;
            entry.opaque[n] = a.colour.a == 255;
        }
    }
    const int floatsPerVertex = kind == Kind::Spheres ? 3 : 6;
    std::vector<GLfloat> positions;
    std::vector<SphereLook> sphereLooks;
    std::vector<CylinderLook> cylinderLooks;
    for (std::size_t first = 0, k = 0; first < items.size(); first += perBuffer_, ++k) {
        const std::size_t count = std::min(perBuffer_, items.size() - first);
        positions.assign(count * 4 * static_cast<size_t>(floatsPerVertex), 0);
        GLfloat* out = positions.data();
        for (std::size_t n = first; n < first + count; ++n) {
            Vec3 p, q;
            if (kind == Kind::Spheres) {
                p = at[items[n]];
            } else {
                const Bond& b = m.bonds[static_cast<size_t>(items[n])];
                p = at[b.first], q = at[b.second];
            }
            for (int v = 0; v < 4; ++v) {
                *out++ = static_cast<GLfloat>(p.x), *out++ = static_cast<GLfloat>(p.y), *out++ = static_cast<GLfloat>(p.z);
                if (kind == Kind::Cylinders)
                    *out++ = static_cast<GLfloat>(q.x), *out++ = static_cast<GLfloat>(q.y), *out++ = static_cast<GLfloat>(q.z);
            }
        }
        if (rebuild) {
            Chunk chunk;
            chunk.items = count;
            glGenBuffers(1, &chunk.positions);
            glGenBuffers(1, &chunk.looks);
            glBindBuffer(GL_ARRAY_BUFFER, chunk.looks);
            if (kind == Kind::Spheres) {
                sphereLooks.assign(count * 4, SphereLook{});
                for (std::size_t n = 0; n < count; ++n) {
                    const Atom& a = m.atoms[static_cast<size_t>(items[first + n])];
                    for (int v = 0; v < 4; ++v) {
                        SphereLook& l = sphereLooks[n * 4 + static_cast<size_t>(v)];
                        CopyColour(l.colour, a.colour);
                        l.corner[0] = kCorners[v][0], l.corner[1] = kCorners[v][1];
                        l.radius = atomRadius < 0 ? static_cast<GLfloat>(a.radius) : atomRadius;
                    }
                }
                glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(sphereLooks.size() * sizeof(SphereLook)),
                             sphereLooks.data(), GL_STATIC_DRAW);
            } else {
                cylinderLooks.assign(count * 4, CylinderLook{});
                for (std::size_t n = 0; n < count; ++n) {
                    const Bond& b = m.bonds[static_cast<size_t>(items[first + n])];
                    const Rgba& c1 = m.atoms[static_cast<size_t>(b.first)].colour;
                    const Rgba& c2 = b.splitColour ? m.atoms[static_cast<size_t>(b.second)].colour : c1;
                    for (int v = 0; v < 4; ++v) {
                        CylinderLook& l = cylinderLooks[n * 4 + static_cast<size_t>(v)];
                        CopyColour(l.colour, c1);
                        CopyColour(l.endColour, c2);
                        l.corner[0] = kCorners[v][0], l.corner[1] = kCorners[v][1];
                    }
                }
                glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(cylinderLooks.size() * sizeof(CylinderLook)),
                             cylinderLooks.data(), GL_STATIC_DRAW);
            }
            glBindBuffer(GL_ARRAY_BUFFER, chunk.positions);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(positions.size() * sizeof(GLfloat)), positions.data(),
                         GL_DYNAMIC_DRAW);
            // Indexed drawing always, so that leaving quads out changes no
            // pixel of the others (Mesa splits indexed quads its own way).
            std::vector<std::uint32_t> every(count * 4);
            for (std::size_t v = 0; v < every.size(); ++v) every[v] = static_cast<std::uint32_t>(v);
            glGenBuffers(1, &chunk.every);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, chunk.every);
            glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(every.size() * sizeof(std::uint32_t)),
                         every.data(), GL_STATIC_DRAW);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            entry.chunks.push_back(chunk);
        } else {
            glBindBuffer(GL_ARRAY_BUFFER, entry.chunks[k].positions);
            glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(positions.size() * sizeof(GLfloat)),
                            positions.data());
        }
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (!rebuild)
        counts_.positionSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return entry;
}

const ShaderProgram* ImpostorRenderer::ProgramFor(Kind kind, const DrawContext& context) {
    int lights = 0;
    for (int role = FrontLight; role <= BottomLight; ++role)
        lights += context.lighting.IsOn(static_cast<SceneLightRole>(role)) ? 1 : 0;
    try {
        return &Program(kind, lights);
    } catch (const VelmError& e) {
        failure_ = e.text();
        return nullptr;
    }
}

std::optional<SphereOcclusion> ImpostorRenderer::Occlusion(const Entry& spheres) const {
    // The plane may open up what the spheres hide.
    if (!cull_ || glIsEnabled(GL_CLIP_PLANE0)) return std::nullopt;
    GLfloat modelView[16], projection[16];
    GLint viewport[4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    return std::make_optional<SphereOcclusion>(
        SphereSet{spheres.centres.data(), spheres.radii.data(), spheres.opaque.data(), spheres.items}, modelView,
        projection, viewport);
}

void ImpostorRenderer::Draw(Entry& entry, Kind kind, const ShaderProgram& program, const DrawContext& context,
                            const std::vector<std::uint32_t>* visible, float trim) {
    if (entry.chunks.empty()) return;
    glUseProgram(program.Id());

    // The lights as GL holds them (positions in eye space), so that both
    // paths light alike: the ambient parts summed with the light model's,
    // each switched-on solid light's direction, halfway vector to the eye
    // at infinity, diffuse colour and specular colour times the material's.
    GLfloat ambient[4], specular[4], shininess = 0;
    glGetFloatv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shininess);
    GLfloat sceneAmbient[3] = {ambient[0], ambient[1], ambient[2]};
    std::vector<GLfloat> direction, halfway, diffuse, shine;
    for (int role = FrontLight; role < kSceneLights; ++role) {
        if (!context.lighting.IsOn(static_cast<SceneLightRole>(role))) continue;
        const GLenum id = static_cast<GLenum>(GL_LIGHT0 + context.lighting.lights[static_cast<size_t>(role)].Id());
        GLfloat a[4], d[4], sp[4], position[4];
        glGetLightfv(id, GL_AMBIENT, a);
        for (int k = 0; k < 3; ++k) sceneAmbient[k] += a[k];
        if (role == AmbientLight) continue;
        glGetLightfv(id, GL_DIFFUSE, d);
        glGetLightfv(id, GL_SPECULAR, sp);
        glGetLightfv(id, GL_POSITION, position);
        const Vec3 l = Unit(Vec3{position[0], position[1], position[2]});
        const Vec3 h = Unit(l + Vec3{0, 0, 1});
        for (int k = 0; k < 3; ++k) {
            direction.push_back(static_cast<GLfloat>(k == 0 ? l.x : k == 1 ? l.y : l.z));
            halfway.push_back(static_cast<GLfloat>(k == 0 ? h.x : k == 1 ? h.y : h.z));
            diffuse.push_back(d[k]);
            shine.push_back(sp[k] * specular[k]);
        }
    }
    const GLsizei lights = static_cast<GLsizei>(direction.size() / 3);
    glUniform3fv(program.Uniform("sceneAmbient"), 1, sceneAmbient);
    if (lights > 0) {
        glUniform3fv(program.Uniform("lightDirection"), lights, direction.data());
        glUniform3fv(program.Uniform("lightHalfway"), lights, halfway.data());
        glUniform3fv(program.Uniform("lightDiffuse"), lights, diffuse.data());
        glUniform3fv(program.Uniform("lightSpecular"), lights, shine.data());
    }
    glUniform1f(program.Uniform("shininess"), shininess);
    glUniform1i(program.Uniform("fogOn"), glIsEnabled(GL_FOG) ? 1 : 0);
    // The plane is tested per fragment: GL's own clipping of the quads
    // would cut the impostors along the wrong line.
    const bool clipped = glIsEnabled(GL_CLIP_PLANE0);
    glUniform1i(program.Uniform("clipOn"), clipped ? 1 : 0);
    if (clipped) {
        GLdouble plane[4];
        glGetClipPlane(GL_CLIP_PLANE0, plane);
        glUniform4f(program.Uniform("clipPlane"), static_cast<GLfloat>(plane[0]), static_cast<GLfloat>(plane[1]),
                    static_cast<GLfloat>(plane[2]), static_cast<GLfloat>(plane[3]));
        glDisable(GL_CLIP_PLANE0);
    }
    if (kind == Kind::Cylinders) {
        glUniform1f(program.Uniform("radius"), context.settings.stickBondRadius);
        glUniform1f(program.Uniform("trim"), trim);
    }
    // The quads face the eye whichever way they wind.
    const bool culling = glIsEnabled(GL_CULL_FACE);
    glDisable(GL_CULL_FACE);

    std::size_t next = 0;
    const GLsizei positionStride = static_cast<GLsizei>((kind == Kind::Spheres ? 3 : 6) * sizeof(GLfloat));
    glEnableVertexAttribArray(kCentreAttribute);
    glEnableVertexAttribArray(kColourAttribute);
    glEnableVertexAttribArray(kCornerAttribute);
    if (kind == Kind::Spheres) glEnableVertexAttribArray(kRadiusAttribute);
    else glEnableVertexAttribArray(kEndAttribute), glEnableVertexAttribArray(kEndColourAttribute);
    for (Chunk& c : entry.chunks) {
        glBindBuffer(GL_ARRAY_BUFFER, c.positions);
        glVertexAttribPointer(kCentreAttribute, 3, GL_FLOAT, GL_FALSE, positionStride, nullptr);
        if (kind == Kind::Cylinders)
            glVertexAttribPointer(kEndAttribute, 3, GL_FLOAT, GL_FALSE, positionStride,
                                  reinterpret_cast<const void*>(3 * sizeof(GLfloat)));
        glBindBuffer(GL_ARRAY_BUFFER, c.looks);
        if (kind == Kind::Spheres) {
            const GLsizei stride = sizeof(SphereLook);
            glVertexAttribPointer(kColourAttribute, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                  reinterpret_cast<const void*>(offsetof(SphereLook, colour)));
            glVertexAttribPointer(kCornerAttribute, 2, GL_BYTE, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(offsetof(SphereLook, corner)));
            glVertexAttribPointer(kRadiusAttribute, 1, GL_FLOAT, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(offsetof(SphereLook, radius)));
        } else {
            const GLsizei stride = sizeof(CylinderLook);
            glVertexAttribPointer(kColourAttribute, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                  reinterpret_cast<const void*>(offsetof(CylinderLook, colour)));
            glVertexAttribPointer(kEndColourAttribute, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                  reinterpret_cast<const void*>(offsetof(CylinderLook, endColour)));
            glVertexAttribPointer(kCornerAttribute, 2, GL_BYTE, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(offsetof(CylinderLook, corner)));
        }
        if (!visible) {
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.every);
            glDrawElements(GL_QUADS, static_cast<GLsizei>(c.items * 4), GL_UNSIGNED_INT, nullptr);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
            continue;
        }
        // The visible spheres of this chunk, as the corners of their quads.
        const std::size_t first = static_cast<std::size_t>(&c - entry.chunks.data()) * perBuffer_;
        chunkIndices_.clear();
        while (next < visible->size() && (*visible)[next] < first + c.items) {
            const std::uint32_t corner = 4 * static_cast<std::uint32_t>((*visible)[next++] - first);
            for (std::uint32_t v = 0; v < 4; ++v) chunkIndices_.push_back(corner + v);
        }
        if (chunkIndices_.empty()) continue;
        if (!c.indices) glGenBuffers(1, &c.indices);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, c.indices);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(chunkIndices_.size() * sizeof(std::uint32_t)),
                     chunkIndices_.data(), GL_STREAM_DRAW);
        glDrawElements(GL_QUADS, static_cast<GLsizei>(chunkIndices_.size()), GL_UNSIGNED_INT, nullptr);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
    }
    for (unsigned a : {kCentreAttribute, kEndAttribute, kColourAttribute, kEndColourAttribute, kCornerAttribute,
                       kRadiusAttribute})
        glDisableVertexAttribArray(a);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glUseProgram(0);
    if (culling) glEnable(GL_CULL_FACE);
    if (clipped) glEnable(GL_CLIP_PLANE0);
}

bool ImpostorRenderer::DrawCpk(const Molecule& molecule, const DrawContext& context) {
    const ShaderProgram* spheres = ProgramFor(Kind::Spheres, context);
    if (!spheres) return false;
    Entry& entry = Prepare(molecule, Kind::Spheres, -1);
    const std::optional<SphereOcclusion> occlusion = Occlusion(entry);
    if (occlusion) visibleSpheres_.clear(), occlusion->VisibleSpheres(visibleSpheres_);
    Draw(entry, Kind::Spheres, *spheres, context, occlusion ? &visibleSpheres_ : nullptr);
    if (context.clip) {
        context.clip->DrawCaps(molecule, context, context.scale, context.clipCentre,
                               context.settings.quality.Values().atom);
    }
    return true;
}

bool ImpostorRenderer::DrawSticks(const Molecule& molecule, const DrawContext& context) {
    const ShaderProgram* cylinders = ProgramFor(Kind::Cylinders, context);
    const ShaderProgram* spheres = cylinders ? ProgramFor(Kind::Spheres, context) : nullptr;
    if (!spheres) return false;
    Entry& sticks = Prepare(molecule, Kind::Cylinders, -1);
    Entry& balls = Prepare(molecule, Kind::Spheres, context.settings.stickAtomRadius);
    // The balls hide sticks as well as each other.
    const std::optional<SphereOcclusion> occlusion = Occlusion(balls);
    if (occlusion) {
        visibleCylinders_.clear();
        occlusion->VisibleCylinders({sticks.centres.data(), context.settings.stickBondRadius, sticks.items},
                                    visibleCylinders_);
        visibleSpheres_.clear();
        occlusion->VisibleSpheres(visibleSpheres_);
    }
    // A stick's ends within a ball wider than it are hidden by the ball (every
    // point of the tube there is inside it), unless a ball is translucent or
    // the plane may cut a ball open.
    const float ball = context.settings.stickAtomRadius, stick = context.settings.stickBondRadius;
    const bool opaque = std::all_of(balls.opaque.begin(), balls.opaque.end(), [](std::uint8_t o) { return o != 0; });
    const float trim = ball > stick && opaque && !context.clip ? std::sqrt(ball * ball - stick * stick) : 0;
    Draw(sticks, Kind::Cylinders, *cylinders, context, occlusion ? &visibleCylinders_ : nullptr, trim);
    Draw(balls, Kind::Spheres, *spheres, context, occlusion ? &visibleSpheres_ : nullptr);
    return true;
}

void ImpostorRenderer::EndFrame() {
    DropUndrawnEntries(entries_, [this](Entry& e) { Release(e); });
}

}  // namespace velm
