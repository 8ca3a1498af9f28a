#include "render/Overlays.h"

#include <GL/gl.h>

#include <cstdio>

#include "model/Molecule.h"
#include "render/DisplayLists.h"
#include "render/DrawContext.h"
#include "render/GlyphFont.h"
#include "render/Scene.h"

namespace velm {

namespace {

void Vertex(const Vec3& p) { glVertex3d(p.x, p.y, p.z); }

// Text at a point of the current model-view in the current colour.
void DrawNumber(const GlyphFont& font, const Vec3& at, int number) {
    char text[16];
    const int n = std::snprintf(text, sizeof text, "%d", number);
    glRasterPos3d(at.x, at.y, at.z);
    font.Draw(std::string_view(text, static_cast<size_t>(n)));
}

// Labels are flat: no lighting and, when depth cue is on, no fog.
struct UnlitText {
    explicit UnlitText(const DrawContext& context) : fog_(context.settings.depthCue) {
        glDisable(GL_LIGHTING);
        if (fog_) glDisable(GL_FOG);
    }
    ~UnlitText() {
        if (fog_) glEnable(GL_FOG);
        glEnable(GL_LIGHTING);
    }
    UnlitText(const UnlitText&) = delete;
    UnlitText& operator=(const UnlitText&) = delete;

private:
    bool fog_;
};

void InverseBackground(const DrawContext& context) {
    const auto& bg = context.settings.backgroundColor;
    glColor3f(1 - bg[0], 1 - bg[1], 1 - bg[2]);
}

bool ValidAtom(const Molecule& m, int i) { return i >= 0 && i < m.AtomCount(); }

}  // namespace

void DrawAtomLabels(const Molecule& molecule, const DrawContext& context) {
    if (context.font.ListBase() == 0) return;
    const DrawnPositions at(molecule);
    UnlitText unlit(context);
    for (int i = 0; i < molecule.AtomCount(); ++i) {
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (a.hetero && !molecule.showSolvent) continue;
        SetColourRgb(a.colour);
        DrawNumber(context.font, at[i], a.serial);
    }
}

void DrawMonitors(const Molecule& molecule, const DrawContext& context) {
    const DrawnPositions at(molecule);
    for (const Monitor& monitor : molecule.monitors) {
        if (!ValidAtom(molecule, monitor.atom1) || !ValidAtom(molecule, monitor.atom2)) continue;
        const Vec3 p = at[monitor.atom1], q = at[monitor.atom2];
        BeginSolids(context);
        SetColourRgb(monitor.colour);
        DrawSphere(context, kAtomSphereList, p, 0.15);
        DrawSphere(context, kAtomSphereList, q, 0.15);
        EndSolids(context);
        if (molecule.showMonitorLabels) {
            UnlitText unlit(context);
            InverseBackground(context);
            DrawNumber(context.font, (p + q) * 0.5, monitor.label);
        }
        BeginSolids(context);
        SetColourRgb(monitor.colour);
        DrawCylinder(p, q, 0.075);
        EndSolids(context);
    }
}

void DrawSelectedBond(const Molecule& molecule, const TorsionSelection& torsion, const DrawContext& context) {
    if (!ValidAtom(molecule, torsion.atom1) || !ValidAtom(molecule, torsion.atom2)) return;
    const DrawnPositions at(molecule);
    const Vec3 p = at[torsion.atom1], d = at[torsion.atom2] - p;
    const double length = Length(d);
    if (!(length > 0)) return;
    const Vec3 middle = p + d * 0.5;
    const auto& c = context.settings.selectionColor;
    BeginSolids(context);
    glDisable(GL_CULL_FACE);
    glColor4f(c[0], c[1], c[2], c[3]);
    glPushMatrix();
    glTranslated(middle.x, middle.y, middle.z);
    TurnOnto(d, length);
    glTranslated(0, 0, -kSharedListHeight / 2);
    glCallList(kDiskList);
    glCallList(kSelectionCylinderList);
    glTranslated(0, 0, kSharedListHeight);
    glCallList(kDiskList);
    glPopMatrix();
    glEnable(GL_CULL_FACE);
    EndSolids(context);
}

void DrawAxes(const Molecule& molecule, const DrawContext& context) {
    const double length = 0.3 * molecule.Radius();
    const GLboolean clipped = glIsEnabled(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CULL_FACE);
    BeginSolids(context);
    InverseBackground(context);
    DrawSphere(context, kSelectionSphereList, {}, 0.075);
    // x is z turned +90 degrees about y, y is z turned -90 degrees about x.
    const double turns[3][4] = {{90, 0, 1, 0}, {-90, 1, 0, 0}, {0, 0, 0, 1}};
    for (const auto& turn : turns) {
        glPushMatrix();
        if (turn[0] != 0) glRotated(turn[0], turn[1], turn[2], turn[3]);
        glPushMatrix();
        glScaled(0.075, 0.075, 7.5 * length);
        glCallList(kSelectionCylinderList);
        glPopMatrix();
        glTranslated(0, 0, 0.75 * length);
        glScaled(0.15, 0.15, 2.5 * length);
        glCallList(kDiskList);
        glCallList(kConeList);
        glPopMatrix();
    }
    EndSolids(context);
    glRasterPos3d(length, 0, 0);
    context.font.Draw("X");
    glRasterPos3d(0, length, 0);
    context.font.Draw("Y");
    glRasterPos3d(0, 0, length);
    context.font.Draw("Z");
    glEnable(GL_CULL_FACE);
    if (clipped) glEnable(GL_CLIP_PLANE0);
}

void DrawMeasurementMarkers(std::span<const MeasurementMarker> markers, const DrawContext& context) {
    if (markers.empty()) return;
    BeginSolids(context);
    for (const MeasurementMarker& m : markers) {
        glColor4ub(m.colour.r, m.colour.g, m.colour.b, 150);
        DrawSphere(context, kSelectionSphereList, m.position, 0.4);
    }
    EndSolids(context);
    if (markers.size() < 2) return;
    const auto& c = context.settings.selectionColor;
    glDisable(GL_LINE_SMOOTH);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0xF0F0);
    glLineWidth(3);
    glColor4f(c[0], c[1], c[2], c[3]);
    glBegin(GL_LINE_STRIP);
    for (const MeasurementMarker& m : markers) Vertex(m.position);
    glEnd();
    glDisable(GL_LINE_STIPPLE);
    glLineWidth(context.settings.lineWidth);
    if (context.settings.lineAlias) glEnable(GL_LINE_SMOOTH);
}

void DrawHydrogenBonds(const list<DisplayHBond>& bonds, const DrawContext& context) {
    if (bonds.Empty()) return;
    const auto& c = context.settings.hBondColor;
    glLineWidth(context.settings.lineWidth);
    glColor3f(c[0], c[1], c[2]);
    glBegin(GL_LINES);
    for (const DisplayHBond& bond : bonds) {
        if (!bond.donorMolecule || !bond.acceptorMolecule || !ValidAtom(*bond.donorMolecule, bond.donor) ||
            !ValidAtom(*bond.acceptorMolecule, bond.acceptor))
            continue;
        const Vec3 a = Placement(bond.acceptorMolecule->trackball)
                           .Place(DrawnPositions(*bond.acceptorMolecule)[bond.acceptor]);
        const Vec3 d = Placement(bond.donorMolecule->trackball).Place(DrawnPositions(*bond.donorMolecule)[bond.donor]);
        const Vec3 step = (d - a) * (1.0 / 12);
        for (int dash = 0; dash < 6; ++dash) {
            Vertex(a + step * (2.0 * dash));
            Vertex(a + step * (2.0 * dash + 1));
        }
    }
    glEnd();
}

}  // namespace velm
