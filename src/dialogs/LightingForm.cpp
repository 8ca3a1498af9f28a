#include "dialogs/LightingForm.h"

#include <algorithm>
#include <cstdio>

#include "dialogs/ColourForm.h"

namespace velm {

namespace {
// The enable flag of each button: flag i belongs to solid light i, the
// last to the ambient light.
constexpr int kFlagOfButton[LightingForm::kButtons] = {
    FrontLight - 1, BackLight - 1, RightLight - 1, BottomLight - 1, TopLight - 1, LeftLight - 1, AmbientLight - 1};

bool ValidButton(int button) { return button >= 0 && button < LightingForm::kButtons; }

std::string Percent(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
}  // namespace

LightingForm::LightingForm(const SceneLighting& lighting) : controls_(ReadLightingControls(lighting)) {}

bool LightingForm::IsOn(int button) const {
    return ValidButton(button) && controls_.on[static_cast<size_t>(kFlagOfButton[button])] != 0;
}

int LightingForm::Channel(int channel) const {
    return channel == 0 ? controls_.red : channel == 1 ? controls_.green : controls_.blue;
}

std::string LightingForm::ShinyText() const { return Percent("%d%% shiny", Shiny()); }
std::string LightingForm::SpecularText() const { return Percent("%d%% specular", Specular()); }

bool LightingForm::Toggle(int button) {
    if (!ValidButton(button)) return false;
    int& flag = controls_.on[static_cast<size_t>(kFlagOfButton[button])];
    flag = flag ? 0 : 1;
    return automaticApply;
}

bool LightingForm::SetShiny(int percent) {
    controls_.shinyPercent = std::clamp(percent, 0, 100);
    return automaticApply;
}

bool LightingForm::SetSpecular(int percent) {
    controls_.specularPercent = std::clamp(percent, 0, 100);
    return automaticApply;
}

bool LightingForm::TypeChannel(int channel, const std::string& text) {
    int v = 0;
    if (channel < 0 || channel > 2 || !ReadByte(text, v)) return false;
    (channel == 0 ? controls_.red : channel == 1 ? controls_.green : controls_.blue) = v;
    return automaticApply;
}

bool LightingForm::SetColour(Rgba c) {
    controls_.red = c.r;
    controls_.green = c.g;
    controls_.blue = c.b;
    return automaticApply;
}

}  // namespace velm
