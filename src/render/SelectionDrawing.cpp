#include "render/SelectionDrawing.h"

#include <GL/gl.h>

#include "model/Molecule.h"
#include "render/DrawContext.h"

namespace velm {

void DrawNamedPoints(const Molecule& m, const DrawContext& context) {
    const DrawnPositions at(m);
    for (int i = 0; i < m.AtomCount(); ++i) {
        if (m.atoms[static_cast<size_t>(i)].hetero && !m.showSolvent) continue;
        NameAtom(context, i);
        const Vec3 p = at[i];
        glBegin(GL_POINTS);
        glVertex3d(p.x, p.y, p.z);
        glEnd();
    }
    for (size_t j = 0; j < m.bonds.size(); ++j) {
        const Bond& b = m.bonds[j];
        if (!m.showSolvent && m.atoms[static_cast<size_t>(b.first)].hetero &&
            m.atoms[static_cast<size_t>(b.second)].hetero)
            continue;
        NameBond(context, j);
        const Vec3 p = (at[b.first] + at[b.second]) * 0.5;
        glBegin(GL_POINTS);
        glVertex3d(p.x, p.y, p.z);
        glEnd();
    }
}

}  // namespace velm
