#pragma once
// One plane fixed relative to the eye that cuts away the part of the scene
// nearer the eye: its placement, its own trackball for Ctrl + left drags, the
// sphere classification of space-filling atoms, the caps that close cut
// spheres, and the disk that shows the plane.
#include <span>

#include "core/Vec3.h"
#include "model/Trackball.h"

namespace velm {

class Molecule;
struct DrawContext;

// Where a sphere lies against the plane.
enum class ClipSide : int { Cut = 0, Kept = 1, Straddles = 2 };

class ClipPlane {
public:
    ClipPlane();

    // Throws "Zero length normal vector!" for a zero normal to be normalised.
    void SetPlane(const Vec3& point, const Vec3& normal, bool normalise);
    // Ctrl + left drag: one trackball step of the plane's own orientation
    // from the last point; the normal follows it. Window coordinates.
    void StartRotate(int x, int y);
    void Rotate(int x, int y, int width, int height);
    // Ctrl + right drag: the plane slides along its normal, at most 7 from
    // the origin.
    void StartScale(int x) { lastScaleX_ = x; }
    void Scale(int x, int width);
    // "Center Clip Plane": through the origin, the normal kept.
    void Centre();

    // The GL plane's equation with the model-view turned by the eye's angle
    // about the vertical axis; the plane stays fixed relative to the eye.
    void Load(float eyeAngle);
    void Enable(bool on);
    bool Enabled() const { return enabled_; }
    float EyeAngle() const { return eyeAngle_; }

    // Which side of the plane a sphere at q (view orientation, molecule
    // units offset to the plane's frame) of radius r lies on.
    ClipSide Classify(const Vec3& q, double r) const;
    // The atom centre of a molecule moved into the plane's frame: turned by
    // the molecule's rotation, plus (clip centre - p) / scale.
    Vec3 InPlaneFrame(const Vec3& atom, const float rotation[16], double scale, const Vec3& clipCentre) const;

    // Flat caps on the cut spheres of a molecule drawn in CPK; nothing when
    // the plane faces away from the eye.
    void DrawCaps(const Molecule& molecule, const DrawContext& context, double scale, const Vec3& clipCentre,
                  int atomResolution) const;
    // A disk of radius 2 in the plane, in its colour.
    void Display(const float colour[4]) const;

    const Vec3& Point() const { return point_; }
    const Vec3& Normal() const { return normal_; }
    const Vec3& AxisU() const { return u_; }
    const Vec3& AxisV() const { return v_; }
    const double* Equation() const { return equation_; }

private:
    void RebuildAxes();
    void UpdateEquation();

    Trackball trackball_;
    Vec3 point_;
    Vec3 normal_;
    Vec3 u_, v_;
    double equation_[4] = {};
    bool enabled_ = false;
    float eyeAngle_ = 0;
    int lastRotateX_ = 0, lastRotateY_ = 0;
    int lastScaleX_ = 0;
};

}  // namespace velm
