#include "surface/SurfaceOptions.h"

#include "model/VelmSurface.h"

namespace velm {

void ApplySurfaceOptions(VelmSurface& surface, const SurfaceOptions& o) {
    surface.colourByAtom = !o.userColour;
    if (o.userColour) surface.userColour = *o.userColour;
    surface.transparencyAlpha = o.atomAlpha;
    surface.probeRadius = o.probeRadius;
    surface.cellSize = o.probeRadius * o.probeRadius + 3;
    if (o.resolutionPosition) surface.spacing = SpacingFromResolutionPosition(*o.resolutionPosition, surface.spacing);
    surface.includeSolvent = o.includeSolvent;
}

}  // namespace velm
