#pragma once
// Orientation and placement of the scene or of one molecule: a unit
// quaternion turned by a virtual trackball, a translation applied inside the
// rotation, and the drag state of the mouse.
#include "core/Vec3.h"

namespace velm {

struct Trackball {
    float orientation[4] = {0, 0, 0, 1};  // x, y, z, w
    float spin[4] = {0, 0, 0, 1};         // last incremental rotation, re-applied while spinning
    float radius = 0.8f;                  // in normalised window units: the mouse sensitivity
    int lastRotateX = 0, lastRotateY = 0;
    int lastTranslateX = 0, lastTranslateY = 0;
    int lastZoomX = 0;
    int moveCount = 0;
    float inverseRotation[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float translation[3] = {0, 0, 0};
    bool free = true;  // moves with the mouse
};

// The rotation that drags normalised window point (x1, y1) to (x2, y2) on a
// virtual trackball of radius r, as a unit quaternion; the identity when the
// points coincide. Normalised coordinates run -1..1 across the window, y up.
void TrackballStep(float q[4], float x1, float y1, float x2, float y2, float r);
// dest = q1 composed after q2 (q1 applied last). Every 98th composition
// renormalises the result, so a quaternion composed without end stays unit.
void AddQuaternions(const float q1[4], const float q2[4], float dest[4]);
// Window pixel to normalised trackball coordinates: x across the whole width.
float NormalisedX(int x, int width);
float NormalisedY(int y, int height);

// The 4x4 rotation matrix of a quaternion, column by column as GL takes it.
void RotationMatrix(const float q[4], float m[16]);

// Where a trackball puts coordinates, as the scene draws them: p = M (x + t),
// with M the rotation part of the quaternion's matrix. Made once, applied per atom.
struct Placement {
    double rotation[3][3];  // [row][column]
    Vec3 translation;

    explicit Placement(const Trackball& t);
    Vec3 Place(const Vec3& x) const {
        const Vec3 v = x + translation;
        return {rotation[0][0] * v.x + rotation[0][1] * v.y + rotation[0][2] * v.z,
                rotation[1][0] * v.x + rotation[1][1] * v.y + rotation[1][2] * v.z,
                rotation[2][0] * v.x + rotation[2][1] * v.y + rotation[2][2] * v.z};
    }
};

}  // namespace velm
