#include "render/Pick.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <new>
#include <vector>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "render/OffscreenRenderer.h"
#include "render/RayPick.h"
#include "render/SceneRadius.h"
#include "render/SceneRenderer.h"

namespace velm {


PickResult ResolveHits(std::span<const unsigned> buffer, int hits, const list<std::unique_ptr<Molecule>>& molecules) {
    PickResult none;
    if (hits <= 0) return none;
    bool kept = false;
    unsigned best = 0, bestDepth = 0;
    size_t at = 0;
    for (int h = 0; h < hits; ++h) {
        if (at + 3 > buffer.size()) break;
        const unsigned names = buffer[at], depth = buffer[at + 1];
        if (names > 0 && at + 3 < buffer.size() && (!kept || depth <= bestDepth)) {
            kept = true;
            bestDepth = depth;
            best = buffer[at + 3];
        }
        at += 3 + names;
    }
    if (!kept) throw VelmError("Selection buffer underflow -> match not found!");
    if (best >= buffer.size()) throw VelmError("Selection buffer overflow!");

    unsigned long long name = best;
    for (auto& m : molecules) {
        const auto atoms = static_cast<unsigned long long>(m->AtomCount());
        const auto bonds = static_cast<unsigned long long>(m->bonds.size());
        if (name < atoms) return {PickResult::AtomHit, static_cast<int>(name), m.get()};
        if (name < atoms + bonds) return {PickResult::BondHit, static_cast<int>(name - atoms), m.get()};
        name -= atoms + bonds;
    }
    return none;
}

PickResult Pick(SceneRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y, UiHooks& ui) {
    if (RayPickable(molecules)) return RayPick(renderer.GetScene(), molecules, x, y);
    return SelectionPick(renderer, molecules, x, y, ui);
}

PickResult SelectionPick(SceneRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y,
                         UiHooks& ui, double window) {
    if (molecules.Empty()) return {};
    unsigned long long items = 0;
    for (const auto& m : molecules) items += static_cast<unsigned long long>(m->AtomCount()) + m->bonds.size();
    std::vector<GLuint> buffer;
    try {
        if (4 * items > 0x7fffffffULL) throw std::bad_alloc();
        buffer.resize(static_cast<size_t>(4 * items));
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to allocate memory for selection!");
    }
    if (buffer.empty()) return {};

    const ViewSettings& s = renderer.Settings();
    glSelectBuffer(static_cast<GLsizei>(buffer.size()), buffer.data());
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);

    GLint viewport[4] = {0, 0, s.width, s.height};
    float eyeAngle = 0;
    if (s.stereo) {
        const int half = s.width / 2;
        viewport[2] = half;
        if (x < half) {
            eyeAngle = -s.stereoHalfAngle;
        } else {
            viewport[0] = half;
            eyeAngle = s.stereoHalfAngle;
        }
    }
    GLint mode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    gluPickMatrix(x, s.height - y, window, window, viewport);
    const double aspect = static_cast<double>(viewport[2]) / s.height;
    gluPerspective(EffectiveFieldOfView(s.fieldOfView, aspect), aspect, 0.5, 7);
    glMatrixMode(GL_MODELVIEW);

    renderer.DrawSelection(molecules, eyeAngle);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(mode));
    const GLint hits = glRenderMode(GL_RENDER);
    if (hits < 0) {
        ui.Message("WARNING: select buffer overflow!");
        return {};
    }
    return ResolveHits(buffer, hits, molecules);
}

PickResult PickOffscreen(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int x, int y,
                         UiHooks& ui) {
    const ViewSettings& s = renderer.GetScene().settings;
    OffscreenRenderer::Session session(renderer, s.width, s.height);
    session.Renderer().SetProjection();
    return Pick(session.Renderer(), molecules, x, y, ui);
}

PickedAtomText DescribePickedAtom(const Molecule& m, int atom) {
    const Atom& a = m.atoms[static_cast<size_t>(atom)];
    return {std::to_string(a.serial), std::string(a.Name()), std::string(a.ResidueName()) + std::to_string(a.residueNumber)};
}

std::string PickResultLine(const PickResult& hit) {
    if (!hit.molecule) return "pick=none";
    const Molecule& m = *hit.molecule;
    if (hit.kind == PickResult::AtomHit) {
        const PickedAtomText t = DescribePickedAtom(m, hit.index);
        return "pick=atom serial=" + t.serial + " name=" + t.name + " residue=" + t.residue;
    }
    const Bond& b = m.bonds[static_cast<size_t>(hit.index)];
    return "pick=bond serials=" + std::to_string(m.atoms[static_cast<size_t>(b.first)].serial) + "," +
           std::to_string(m.atoms[static_cast<size_t>(b.second)].serial);
}

}  // namespace velm
