#include "model/Trackball.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

// Compositions since the last renormalisation, shared by every trackball.
int compositions = 0;
constexpr int kRenormaliseCount = 97;

// The point's height on a sphere of radius r, or on a hyperbolic sheet
// away from the middle, so that a drag outside the ball still turns it.
float ProjectToSphere(float r, float x, float y) {
    const float d = std::sqrt(x * x + y * y);
    const float edge = r * 0.70710677f;
    if (d < edge) return std::sqrt(r * r - d * d);
    return edge * edge / d;
}

}  // namespace

void TrackballStep(float q[4], float x1, float y1, float x2, float y2, float r) {
    if (x1 == x2 && y1 == y2) {
        q[0] = q[1] = q[2] = 0;
        q[3] = 1;
        return;
    }
    const float p1[3] = {x1, y1, ProjectToSphere(r, x1, y1)};
    const float p2[3] = {x2, y2, ProjectToSphere(r, x2, y2)};
    // Axis p2 x p1.
    float axis[3] = {p2[1] * p1[2] - p2[2] * p1[1], p2[2] * p1[0] - p2[0] * p1[2], p2[0] * p1[1] - p2[1] * p1[0]};
    const float d[3] = {p1[0] - p2[0], p1[1] - p2[1], p1[2] - p2[2]};
    const float t = std::clamp(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) / (2 * r), -1.0f, 1.0f);
    const float phi = 2 * std::asin(t);
    const float length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (length > 0)
        for (float& a : axis) a /= length;
    const float s = std::sin(phi / 2);
    q[0] = axis[0] * s;
    q[1] = axis[1] * s;
    q[2] = axis[2] * s;
    q[3] = std::cos(phi / 2);
}

void AddQuaternions(const float q1[4], const float q2[4], float dest[4]) {
    // Vector part q1.v q2.w + q2.v q1.w + q2.v x q1.v; scalar q1.w q2.w - q1.v . q2.v.
    const float cross[3] = {q2[1] * q1[2] - q2[2] * q1[1], q2[2] * q1[0] - q2[0] * q1[2],
                            q2[0] * q1[1] - q2[1] * q1[0]};
    float t[4];
    for (int k = 0; k < 3; ++k) t[k] = q1[k] * q2[3] + q2[k] * q1[3] + cross[k];
    t[3] = q1[3] * q2[3] - (q1[0] * q2[0] + q1[1] * q2[1] + q1[2] * q2[2]);
    std::copy(t, t + 4, dest);
    if (++compositions > kRenormaliseCount) {
        compositions = 0;
        const float mag = dest[0] * dest[0] + dest[1] * dest[1] + dest[2] * dest[2] + dest[3] * dest[3];
        if (mag > 0)
            for (int k = 0; k < 4; ++k) dest[k] /= mag;
    }
}

float NormalisedX(int x, int width) { return width > 0 ? (2.0f * x - width) / width : 0; }
float NormalisedY(int y, int height) { return height > 0 ? (height - 2.0f * y) / height : 0; }

void RotationMatrix(const float q[4], float m[16]) {
    const float x = q[0], y = q[1], z = q[2], w = q[3];
    m[0] = 1 - 2 * (y * y + z * z);
    m[1] = 2 * (x * y - z * w);
    m[2] = 2 * (z * x + y * w);
    m[3] = 0;
    m[4] = 2 * (x * y + z * w);
    m[5] = 1 - 2 * (z * z + x * x);
    m[6] = 2 * (y * z - x * w);
    m[7] = 0;
    m[8] = 2 * (z * x - y * w);
    m[9] = 2 * (y * z + x * w);
    m[10] = 1 - 2 * (y * y + x * x);
    m[11] = 0;
    m[12] = m[13] = m[14] = 0;
    m[15] = 1;
}

Placement::Placement(const Trackball& t) {
    float m[16];
    RotationMatrix(t.orientation, m);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) rotation[r][c] = m[4 * c + r];
    translation = {t.translation[0], t.translation[1], t.translation[2]};
}

}  // namespace velm
