#pragma once
// How a molecule is drawn.
#include <optional>
#include <string_view>

namespace velm {

enum RenderMode : int {
    Hidden = 0,
    WireFrame,
    Cpk,
    Points,
    Sticks,
    BallAndStick,
    TraceSticks,
    TraceWireFrame,
    TraceSpline,
    SolidRibbon,
    FlatRibbon,
    Tube,
    TemperatureTube,
    OccupancyTube,
    kRenderModes
};

// "WireFrame", "Cpk", ...: the names of the enumerators.
std::string_view RenderModeName(RenderMode mode);
// The mode of a name, compared without letter case; none for an unknown name.
std::optional<RenderMode> RenderModeFromName(std::string_view name);
// Modes 9 to 13 follow the backbone with per-residue cross-sections.
inline bool IsRibbonMode(RenderMode mode) { return mode >= SolidRibbon && mode <= OccupancyTube; }

}  // namespace velm
