#include "render/SurfaceDrawing.h"

#include <GL/gl.h>

#include "model/Molecule.h"
#include "render/ClipPlane.h"
#include "render/DrawContext.h"
#include "render/MeshBuffers.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {

// The mesh from the surface's own arrays, as the 1.1 path draws it.
void SendSurfaceArrays(const Molecule& m) {
    const VelmSurface& s = m.surface;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, s.vertices.data());
    glNormalPointer(GL_FLOAT, 0, s.normals.data());
    if (s.colourByAtom) {
        // Colours are the atoms' as they are now, so recolouring the atoms
        // recolours the surface without a rebuild.
        int previous = -1;
        glBegin(GL_TRIANGLES);
        for (const int index : s.indices) {
            const int atom = s.nearestAtom[static_cast<size_t>(index)];
            if (atom != previous && atom >= 0 && atom < m.AtomCount()) {
                Rgba c = m.atoms[static_cast<size_t>(atom)].colour;
                if (s.transparencyAlpha != 255) c.a = s.transparencyAlpha;
                SetColour(c);
                previous = atom;
            }
            glArrayElement(index);
        }
        glEnd();
    } else {
        SetColour(s.userColour);
        glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(s.indices.size()), GL_UNSIGNED_INT, s.indices.data());
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

}  // namespace

void DrawSurface(const Molecule& m, const DrawContext& context, ClipPlane& clip, MeshBuffers* buffers) {
    const VelmSurface& s = m.surface;
    if (!s.built || s.indices.empty()) return;
    const ViewSettings& settings = context.settings;
    const bool clipped = settings.clipView || settings.clipSurface;
    const bool planeForSurface = settings.clipSurface && !settings.clipView;

    BeginSolids(context);
    if (clipped) {
        glDisable(GL_CULL_FACE);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    }
    if (planeForSurface) glEnable(GL_CLIP_PLANE0);
    glLineWidth(settings.lineWidth);
    const GLenum mode = s.style == MeshSurface ? GL_LINE : s.style == DotSurface ? GL_POINT : GL_FILL;
    glPolygonMode(GL_FRONT_AND_BACK, mode);

    if (buffers) buffers->DrawSurface(m);
    else SendSurfaceArrays(m);

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (planeForSurface) clip.Enable(clip.Enabled());
    if (clipped) {
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
        glEnable(GL_CULL_FACE);
    }
    EndSolids(context);
}

}  // namespace velm
