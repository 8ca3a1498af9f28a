#include "render/GraphicsQuality.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

int Clamp(int value, ResolutionRange range) { return std::clamp(value, range.minimum, range.maximum); }

float ClampTension(float tension) {
    if (!(tension >= 1.f)) return 1.f;  // also NaN
    return std::min(tension, 2.f);
}

Resolutions Clamped(Resolutions v) {
    v.atom = Clamp(v.atom, kAtomResolutionRange);
    v.bond = Clamp(v.bond, kBondResolutionRange);
    v.selection = Clamp(v.selection, kSelectionResolutionRange);
    v.spline = Clamp(v.spline, kSplineResolutionRange);
    v.ribbon = Clamp(v.ribbon, kRibbonResolutionRange);
    v.tension = ClampTension(v.tension);
    return v;
}

}  // namespace

std::string_view GraphicsQualityMenuText(GraphicsQuality level) {
    switch (level) {
        case GraphicsQuality::High: return "High";
        case GraphicsQuality::Medium: return "Medium";
        case GraphicsQuality::Low: return "Low";
        case GraphicsQuality::Custom: return "Custom ...";
    }
    return {};
}

std::optional<GraphicsQuality> GraphicsQualityFromInt(int value) {
    if (value < static_cast<int>(GraphicsQuality::High) || value > static_cast<int>(GraphicsQuality::Custom))
        return std::nullopt;
    return static_cast<GraphicsQuality>(value);
}

std::optional<Resolutions> QualityPreset(GraphicsQuality level) {
    switch (level) {
        case GraphicsQuality::High: return Resolutions{25, 20, 20, 10, 10, 1.25f};
        case GraphicsQuality::Medium: return Resolutions{15, 15, 20, 5, 5, 1.25f};
        case GraphicsQuality::Low: return Resolutions{8, 5, 20, 2, 3, 1.25f};
        case GraphicsQuality::Custom: break;
    }
    return std::nullopt;
}

float TensionFromSlider(int position) {
    return 1.f + static_cast<float>(std::clamp(position, 0, kTensionSliderSteps)) / kTensionSliderSteps;
}

int TensionSliderPosition(float tension) {
    return static_cast<int>((ClampTension(tension) - 1.f) * kTensionSliderSteps);
}

TessellationQuality::TessellationQuality(GraphicsQuality level, const Resolutions& values)
    : level_(GraphicsQualityFromInt(static_cast<int>(level)).value_or(GraphicsQuality::Medium)),
      values_(Clamped(values)) {}

void TessellationQuality::SetLevel(GraphicsQuality level) {
    if (!GraphicsQualityFromInt(static_cast<int>(level))) return;
    level_ = level;
    if (auto preset = QualityPreset(level)) values_ = *preset;
}

void TessellationQuality::SetAtomResolution(int slices) {
    level_ = GraphicsQuality::Custom;
    values_.atom = Clamp(slices, kAtomResolutionRange);
}

void TessellationQuality::SetBondResolution(int slices) {
    level_ = GraphicsQuality::Custom;
    values_.bond = Clamp(slices, kBondResolutionRange);
}

void TessellationQuality::SetSelectionResolution(int slices) {
    level_ = GraphicsQuality::Custom;
    values_.selection = Clamp(slices, kSelectionResolutionRange);
}

void TessellationQuality::SetSplineResolution(int points) {
    level_ = GraphicsQuality::Custom;
    values_.spline = Clamp(points, kSplineResolutionRange);
}

void TessellationQuality::SetRibbonResolution(int points) {
    level_ = GraphicsQuality::Custom;
    values_.ribbon = Clamp(points, kRibbonResolutionRange);
}

void TessellationQuality::SetSplineTension(float tension) {
    level_ = GraphicsQuality::Custom;
    values_.tension = ClampTension(tension);
}

void TessellationQuality::SetCustom(const Resolutions& values) {
    level_ = GraphicsQuality::Custom;
    values_ = Clamped(values);
}

}  // namespace velm
