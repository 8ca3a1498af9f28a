#include "render/DrawContext.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Molecule.h"
#include "render/DisplayLists.h"
#include "render/SceneLight.h"
#include "render/ViewSettings.h"

namespace velm {

DrawnPositions::DrawnPositions(const Molecule& molecule) : molecule_(molecule) {
    const int k = molecule.currentFrame;
    if (k > 0 && k <= molecule.FrameCount()) frame_ = &molecule.frames[k - 1];
}

Vec3 DrawnPositions::operator[](int i) const {
    if (frame_) return frame_->Position(static_cast<size_t>(i));
    const Atom& a = molecule_.atoms[static_cast<size_t>(i)];
    return {a.x, a.y, a.z};
}

void MakeCapTurn(const float rotation[16], float eyeAngleDegrees, float capTurn[16]) {
    // The inverse of a rotation is its transpose; the eye's turn about y is
    // undone by the turn of the opposite angle: capTurn = R^T * Ry(-angle).
    const double a = -eyeAngleDegrees * std::numbers::pi / 180;
    const double c = std::cos(a), s = std::sin(a);
    // Ry(a) by columns: (c, 0, -s), (0, 1, 0), (s, 0, c).
    const double ry[3][3] = {{c, 0, -s}, {0, 1, 0}, {s, 0, c}};  // [column][row]
    for (int col = 0; col < 3; ++col) {
        for (int row = 0; row < 3; ++row) {
            double sum = 0;
            // (R^T)[row][k] = R[k][row] = rotation[row * 4 + k] in column order.
            for (int k = 0; k < 3; ++k) sum += rotation[row * 4 + k] * ry[col][k];
            capTurn[col * 4 + row] = static_cast<float>(sum);
        }
        capTurn[col * 4 + 3] = 0;
    }
    capTurn[12] = capTurn[13] = capTurn[14] = 0;
    capTurn[15] = 1;
}

void BeginSolids(const DrawContext& context) {
    SwitchToSolidLights(context.lighting);
    glEnable(GL_DITHER);
    if (context.settings.smooth3D) glShadeModel(GL_SMOOTH);
}

void EndSolids(const DrawContext& context) {
    glShadeModel(GL_FLAT);
    glDisable(GL_DITHER);
    SwitchToLineLight(context.lighting);
}

void NameAtom(const DrawContext& context, int atom) {
    if (context.naming) glLoadName(context.firstName + static_cast<unsigned>(atom));
}

void NameBond(const DrawContext& context, size_t bond) {
    if (context.naming) glLoadName(context.firstBondName + static_cast<unsigned>(bond));
}

void SetColour(const Rgba& colour) { glColor4ub(colour.r, colour.g, colour.b, colour.a); }
void SetColourRgb(const Rgba& colour) { glColor3ub(colour.r, colour.g, colour.b); }

void DrawSphere(const DrawContext& context, unsigned list, const Vec3& p, double r) {
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    glScaled(r, r, r);
    glMultMatrixf(context.capTurn);
    glCallList(list);
    glPopMatrix();
}

void TurnOnto(const Vec3& d, double length) {
    constexpr double kDegrees = 57.2957795131;
    const double cosine = std::clamp(d.z / length, -1.0, 1.0);
    const double angle = -std::acos(cosine) * kDegrees;
    double ax = d.y / length, ay = -d.x / length;
    if (ax * ax + ay * ay < 1e-24) {
        if (cosine > 0) return;  // already along +z
        ax = 1, ay = 0;          // reversed: any axis perpendicular to z
    }
    glRotated(angle, ax, ay, 0);
}

void DrawCylinder(const Vec3& p, const Vec3& q, double r) {
    const Vec3 d = q - p;
    const double length = Length(d);
    if (!(length > 0)) return;
    glPushMatrix();
    glTranslated(p.x, p.y, p.z);
    TurnOnto(d, length);
    glScaled(r, r, 10 * length);
    glCallList(kBondCylinderList);
    glPopMatrix();
}

}  // namespace velm
