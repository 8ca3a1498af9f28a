#include "model/VelmSurface.h"

namespace velm {

int SurfaceResolutionPosition(float spacing) {
    return static_cast<int>((1 - (spacing - 0.1) * 0.6060606) * 100);
}

float SpacingFromResolutionPosition(int position, float current) {
    if (position < 0 || position > 100) return current;
    return static_cast<float>((100 - position) * 0.0165 + 0.1);
}

}  // namespace velm
