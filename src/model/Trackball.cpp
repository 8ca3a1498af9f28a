#include "model/Trackball.h"

namespace velm {

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
