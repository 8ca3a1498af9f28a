#pragma once
// What the surface options dialog's "Apply" sets on a molecule's surface:
// colours at once, geometry for the next build.
#include <cstdint>
#include <optional>

#include "core/Rgba.h"

namespace velm {

struct VelmSurface;

struct SurfaceOptions {
    std::optional<Rgba> userColour;  // one colour; none: each vertex its nearest atom's
    std::uint8_t atomAlpha = 255;    // replaces the atoms' alpha unless 255
    float probeRadius = 0;           // angstrom, 0 to 3
    std::optional<int> resolutionPosition;  // 0..100; none keeps the spacing
    bool includeSolvent = false;
};

// Colour, alpha, probe, spacing and solvent as the options say; the hash
// cell edge follows the probe (probe² + 3 Å).
void ApplySurfaceOptions(VelmSurface& surface, const SurfaceOptions& options);

}  // namespace velm
