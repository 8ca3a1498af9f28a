#include "render/AtomRepresentations.h"

#include <GL/gl.h>

#include "model/Molecule.h"
#include "render/ClipPlane.h"
#include "render/DisplayLists.h"
#include "render/BackboneRuns.h"
#include "render/DrawContext.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {

bool Skipped(const Molecule& m, const Atom& a) { return a.hetero && !m.showSolvent; }
bool Skipped(const Molecule& m, const Bond& b) { return b.hetero && !m.showSolvent; }

void Vertex(const Vec3& p) { glVertex3d(p.x, p.y, p.z); }

ClipSide ClipSideOf(const DrawContext& c, const Vec3& p, double radius) {
    return c.clip->Classify(c.clip->InPlaneFrame(p + c.translation, c.rotation, c.scale, c.clipCentre), radius);
}

// Trace atoms of a chain's residues in order, run by run: at the start of
// each run `previous` is -1, so a gap in the chain is never bridged.
template <typename Visit>
void ForEachTraceStep(const Chain& chain, const DrawnPositions& at, Visit visit) {
    for (const BackboneRun& run : BackboneRuns(chain, at)) {
        int previous = -1;
        for (int k = run.first; k < run.first + run.count; ++k) {
            const int current = chain.residues[static_cast<size_t>(k)].traceAtom;
            visit(previous, current);
            previous = current;
        }
    }
}

}  // namespace

void DrawWireFrame(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    glLineWidth(context.settings.lineWidth);
    glBegin(GL_LINES);
    for (const Bond& b : molecule.bonds) {
        if (Skipped(molecule, b)) continue;
        const Atom& first = molecule.atoms[static_cast<size_t>(b.first)];
        const Vec3 p = at[b.first], q = at[b.second];
        SetColour(first.colour);
        Vertex(p);
        if (b.splitColour) {
            const Vec3 middle = (p + q) * 0.5;
            Vertex(middle);
            SetColour(molecule.atoms[static_cast<size_t>(b.second)].colour);
            Vertex(middle);
        }
        Vertex(q);
    }
    glEnd();
}

void DrawCpk(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    BeginSolids(context);
    bool planeOn = true;
    for (int i = 0; i < molecule.AtomCount(); ++i) {
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (Skipped(molecule, a)) continue;
        const Vec3 p = at[i];
        if (context.clip) {
            // Whole spheres on the kept side need no plane; cut ones do.
            const ClipSide side = ClipSideOf(context, p, a.radius);
            if (side == ClipSide::Cut) continue;
            const bool wanted = side == ClipSide::Straddles;
            if (wanted != planeOn) {
                planeOn = wanted;
                if (wanted) glEnable(GL_CLIP_PLANE0);
                else glDisable(GL_CLIP_PLANE0);
            }
        }
        SetColour(a.colour);
        NameAtom(context, i);
        DrawSphere(context, kAtomSphereList, p, a.radius);
    }
    EndSolids(context);
    if (context.clip) glEnable(GL_CLIP_PLANE0);
    if (context.clip && !context.naming) {
        context.clip->DrawCaps(molecule, context, context.scale, context.clipCentre,
                               context.settings.quality.Values().atom);
    }
}

void DrawPoints(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    if (context.clip) glDisable(GL_CLIP_PLANE0);
    glPointSize(2);
    glBegin(GL_POINTS);
    for (int i = 0; i < molecule.AtomCount(); ++i) {
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (Skipped(molecule, a)) continue;
        const Vec3 p = at[i];
        if (context.clip && ClipSideOf(context, p, 0) == ClipSide::Cut) continue;
        SetColour(a.colour);
        Vertex(p);
    }
    glEnd();
    glPointSize(1);
    if (context.clip) glEnable(GL_CLIP_PLANE0);
}

void DrawSticks(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    const double bondRadius = context.settings.stickBondRadius;
    BeginSolids(context);
    for (size_t j = 0; j < molecule.bonds.size(); ++j) {
        const Bond& b = molecule.bonds[j];
        if (Skipped(molecule, b)) continue;
        const Vec3 p = at[b.first], d = at[b.second] - p;
        const double length = Length(d);
        if (!(length > 0)) continue;
        NameBond(context, j);
        glPushMatrix();
        glTranslated(p.x, p.y, p.z);
        TurnOnto(d, length);
        SetColour(molecule.atoms[static_cast<size_t>(b.first)].colour);
        if (b.splitColour) {
            glScaled(bondRadius, bondRadius, 5 * length);  // list 5 spans half the bond
            glCallList(kBondCylinderList);
            glTranslated(0, 0, kSharedListHeight);
            SetColour(molecule.atoms[static_cast<size_t>(b.second)].colour);
        } else {
            glScaled(bondRadius, bondRadius, 10 * length);
        }
        glCallList(kBondCylinderList);
        glPopMatrix();
    }
    const double atomRadius = context.settings.stickAtomRadius;
    for (int i = 0; i < molecule.AtomCount(); ++i) {
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (Skipped(molecule, a)) continue;
        SetColour(a.colour);
        NameAtom(context, i);
        DrawSphere(context, kAtomSphereList, at[i], atomRadius);
    }
    EndSolids(context);
}

void DrawTraceSticks(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    BeginSolids(context);
    for (const Chain& chain : molecule.chains) {
        if (chain.residues.size() < 2) continue;
        ForEachTraceStep(chain, at, [&](int previous, int current) {
            if (previous < 0) return;
            SetColour(molecule.atoms[static_cast<size_t>(previous)].colour);
            NameAtom(context, previous);
            DrawCylinder(at[previous], at[current], context.settings.stickBondRadius);
        });
        ForEachTraceStep(chain, at, [&](int, int current) {
            SetColour(molecule.atoms[static_cast<size_t>(current)].colour);
            NameAtom(context, current);
            DrawSphere(context, kAtomSphereList, at[current], context.settings.stickAtomRadius);
        });
    }
    EndSolids(context);
}

void DrawTraceWireFrame(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    glLineWidth(context.settings.lineWidth);
    for (const Chain& chain : molecule.chains) {
        if (chain.residues.size() < 2) continue;
        glBegin(GL_LINES);
        ForEachTraceStep(chain, at, [&](int previous, int current) {
            if (previous < 0) return;
            if (context.naming) {  // a name only between primitives
                glEnd();
                NameAtom(context, previous);
                glBegin(GL_LINES);
            }
            SetColour(molecule.atoms[static_cast<size_t>(previous)].colour);
            Vertex(at[previous]);
            SetColour(molecule.atoms[static_cast<size_t>(current)].colour);
            Vertex(at[current]);
        });
        glEnd();
    }
}

}  // namespace velm
