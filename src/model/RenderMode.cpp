#include "model/RenderMode.h"

#include <algorithm>

namespace velm {

namespace {
constexpr std::string_view kNames[kRenderModes] = {
    "Hidden",      "WireFrame",      "Cpk",         "Points",     "Sticks", "BallAndStick",    "TraceSticks",
    "TraceWireFrame", "TraceSpline", "SolidRibbon", "FlatRibbon", "Tube",   "TemperatureTube", "OccupancyTube"};

bool SameLetters(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
               return lower(x) == lower(y);
           });
}
}  // namespace

std::string_view RenderModeName(RenderMode mode) {
    return mode >= 0 && mode < kRenderModes ? kNames[mode] : std::string_view();
}

std::optional<RenderMode> RenderModeFromName(std::string_view name) {
    for (int m = 0; m < kRenderModes; ++m)
        if (SameLetters(name, kNames[m])) return static_cast<RenderMode>(m);
    return std::nullopt;
}

}  // namespace velm
