#include "model/VelmSurface.h"

namespace velm {

int SurfaceResolutionPosition(float spacing) {
    // A spacing read back from its own position (0.595 from 70) lands a hair
    // below the whole number in binary; the slack keeps it there.
    return static_cast<int>((1 - (spacing - 0.1) * 0.6060606) * 100 + 1e-4);
}

float SpacingFromResolutionPosition(int position, float current) {
    if (position < 0 || position > 100) return current;
    return static_cast<float>((100 - position) * 0.0165 + 0.1);
}

}  // namespace velm
