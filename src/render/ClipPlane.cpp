#include "render/ClipPlane.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "render/DrawContext.h"
#include "render/GraphicsQuality.h"

namespace velm {

namespace {
constexpr double kFarthest = 7;  // the far plane of the projection
constexpr double kEyeDistance = 4;

Vec3 Unit(const Vec3& v) {
    const double l = Length(v);
    return l > 0 ? v * (1 / l) : v;
}
// v turned by `degrees` about the vertical axis, as glRotate turns it.
Vec3 TurnedY(const Vec3& v, double degrees) {
    const double a = degrees * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    return {c * v.x + s * v.z, v.y, -s * v.x + c * v.z};
}

}  // namespace

ClipPlane::ClipPlane() { SetPlane({}, {0, 0.1, 1}, true); }

void ClipPlane::SetPlane(const Vec3& point, const Vec3& normal, bool normalise) {
    Vec3 n = normal;
    if (normalise) {
        const double squared = Dot(n, n);
        if (squared == 0) throw VelmError("Zero length normal vector!");
        n = n * (1 / std::sqrt(squared));
    }
    point_ = point;
    normal_ = n;
    UpdateEquation();
    RebuildAxes();
}

void ClipPlane::UpdateEquation() {
    equation_[0] = -normal_.x;
    equation_[1] = -normal_.y;
    equation_[2] = -normal_.z;
    equation_[3] = Dot(normal_, point_);
}

void ClipPlane::RebuildAxes() {
    const Vec3 a = std::fabs(normal_.z) > 1e-6 ? Vec3{1, 0, 0} : Vec3{0, 0, 1};
    u_ = Unit(Cross(normal_, a));
    v_ = Unit(Cross(u_, normal_));
}

void ClipPlane::StartRotate(int x, int y) {
    lastRotateX_ = x;
    lastRotateY_ = y;
}

void ClipPlane::Rotate(int x, int y, int width, int height) {
    TrackballStep(trackball_.spin, NormalisedX(lastRotateX_, width), NormalisedY(lastRotateY_, height),
                  NormalisedX(x, width), NormalisedY(y, height), trackball_.radius);
    AddQuaternions(trackball_.spin, trackball_.orientation, trackball_.orientation);
    // The step turns the plane's current normal the way the same drag turns
    // the molecules, so the plane neither jumps on the first pixel nor moves
    // against the mouse.
    float m[16];
    RotationMatrix(trackball_.spin, m);
    const Vec3 n = normal_;
    normal_ = Unit(Vec3{m[0] * n.x + m[4] * n.y + m[8] * n.z, m[1] * n.x + m[5] * n.y + m[9] * n.z,
                        m[2] * n.x + m[6] * n.y + m[10] * n.z});
    UpdateEquation();
    RebuildAxes();
    lastRotateX_ = x;
    lastRotateY_ = y;
}

void ClipPlane::Scale(int x, int width) {
    if (width <= 0) return;
    const double c = static_cast<double>(x - lastScaleX_) / width;
    point_ = point_ - normal_ * c;
    if (Dot(point_, point_) > kFarthest * kFarthest) point_ = Unit(point_) * kFarthest;
    lastScaleX_ = x;
    UpdateEquation();
    RebuildAxes();
}

void ClipPlane::Centre() {
    point_ = {};
    UpdateEquation();
}

void ClipPlane::Load(float eyeAngle) {
    eyeAngle_ = eyeAngle;
    glPushMatrix();
    glRotatef(eyeAngle, 0, 1, 0);
    glClipPlane(GL_CLIP_PLANE0, equation_);
    glPopMatrix();
    Enable(enabled_);
}

void ClipPlane::Enable(bool on) {
    enabled_ = on;
    if (on) glEnable(GL_CLIP_PLANE0);
    else glDisable(GL_CLIP_PLANE0);
}

ClipSide ClipPlane::Classify(const Vec3& q, double r) const {
    const double s = Dot(q, normal_);
    if (std::fabs(s) < r) return ClipSide::Straddles;
    if (s >= r) return ClipSide::Cut;
    return ClipSide::Kept;
}

Vec3 ClipPlane::InPlaneFrame(const Vec3& x, const float m[16], double scale, const Vec3& clipCentre) const {
    const Vec3 turned{m[0] * x.x + m[4] * x.y + m[8] * x.z, m[1] * x.x + m[5] * x.y + m[9] * x.z,
                      m[2] * x.x + m[6] * x.y + m[10] * x.z};
    return turned + (clipCentre - point_) * (1 / scale);
}

void ClipPlane::DrawCaps(const Molecule& molecule, const DrawContext& context, double scale, const Vec3& clipCentre,
                         int atomResolution) const {
    // A plane facing away from the eye shows no cut faces.
    const Vec3 n = TurnedY(normal_, eyeAngle_);
    if (Dot(n, point_ - Vec3{0, 0, kEyeDistance}) > 0) return;

    const int slices = std::clamp(atomResolution, kAtomResolutionRange.minimum, kAtomResolutionRange.maximum);
    std::array<double, kAtomResolutionRange.maximum + 1> cosines{}, sines{};
    for (int j = 0; j <= slices; ++j) {
        const double a = 2 * std::numbers::pi * j / slices;
        cosines[static_cast<size_t>(j)] = std::cos(a);
        sines[static_cast<size_t>(j)] = std::sin(a);
    }
    float rotation[16];
    RotationMatrix(molecule.trackball.orientation, rotation);
    const Vec3 shift{molecule.trackball.translation[0], molecule.trackball.translation[1],
                     molecule.trackball.translation[2]};

    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CULL_FACE);
    glDepthFunc(GL_ALWAYS);
    glPushMatrix();
    glLoadIdentity();
    glTranslated(0, 0, -kEyeDistance);
    glScaled(scale, scale, scale);
    glRotatef(eyeAngle_, 0, 1, 0);
    BeginSolids(context);
    const DrawnPositions at(molecule);
    for (int i = 0; i < molecule.AtomCount(); ++i) {
        const Atom& a = molecule.atoms[static_cast<size_t>(i)];
        if (a.hetero && !molecule.showSolvent) continue;
        const Vec3 q = InPlaneFrame(at[i] + shift, rotation, scale, clipCentre);
        const double s = Dot(q, normal_), r = a.radius;
        if (!(r > std::fabs(s))) continue;
        const double rho = std::sqrt(std::fabs(r * r - s * s));
        // On the plane where the sphere meets it: the plane frame moved back
        // by the plane's point, so the cap stays on its sphere wherever the
        // plane has slid.
        const Vec3 centre = q - normal_ * s + point_ * (1 / scale);
        SetColour(a.colour);
        glBegin(GL_TRIANGLE_FAN);
        glNormal3d(normal_.x, normal_.y, normal_.z);
        glVertex3d(centre.x, centre.y, centre.z);
        for (int j = 0; j <= slices; ++j) {
            const Vec3 p = centre + v_ * (rho * cosines[static_cast<size_t>(j)]) + u_ * (rho * sines[static_cast<size_t>(j)]);
            glVertex3d(p.x, p.y, p.z);
        }
        glEnd();
    }
    EndSolids(context);
    glPopMatrix();
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glEnable(GL_CLIP_PLANE0);
}

void ClipPlane::Display(const float colour[4]) const {
    const bool was = enabled_;
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CULL_FACE);
    glPushMatrix();
    glRotatef(eyeAngle_, 0, 1, 0);
    glColor4fv(colour);
    glBegin(GL_TRIANGLE_FAN);
    glNormal3d(normal_.x, normal_.y, normal_.z);
    glVertex3d(point_.x, point_.y, point_.z);
    for (int k = 0; k <= 50; ++k) {
        const double a = k * 0.12566371;
        const Vec3 p = point_ + u_ * (2 * std::cos(a)) + v_ * (2 * std::sin(a));
        glVertex3d(p.x, p.y, p.z);
    }
    glEnd();
    glPopMatrix();
    glEnable(GL_CULL_FACE);
    if (was) glEnable(GL_CLIP_PLANE0);
}

}  // namespace velm
