#pragma once
// Each molecule's display radii per element and the radius scheme last
// applied to it; the schemes themselves live with the renderer.
#include <array>

#include "model/ElementType.h"

namespace velm {

using ElementRadii = std::array<double, kElementCount>;
ElementRadii DefaultElementRadii();

// The radio buttons of the radius dialog; the number is the molecule's radius scheme.
enum RadiusScheme : int {
    DefaultRadius = 0,
    RadiusByElement,
    RadiusByAtom,
    RadiusByTemperature,
    RadiusByOccupancy,
    kRadiusSchemes
};

struct RadiusTable {
    ElementRadii radii = DefaultElementRadii();
    RadiusScheme scheme = DefaultRadius;
};

}  // namespace velm
