#pragma once
// "Lighting", modeless: seven on/off buttons, the light colour in R, G, B
// edits ("Select color" for the system chooser), "% Shiny" and
// "% Specular" sliders, "Automatic apply", "Apply", OK and "Close".
#include <string>

#include "core/Rgba.h"
#include "render/LightingControls.h"

namespace velm {

class LightingForm {
public:
    static constexpr const char* kTitle = "Lighting";
    static constexpr int kButtons = 7;
    // The buttons in the dialog's order.
    static constexpr const char* kButtonTexts[kButtons] = {"Front", "Back", "Right", "Bottom", "Top", "Left", "Ambient"};

    explicit LightingForm(const SceneLighting& lighting);

    bool IsOn(int button) const;
    int Channel(int channel) const;  // R, G, B
    int Shiny() const { return controls_.shinyPercent; }
    int Specular() const { return controls_.specularPercent; }
    std::string ShinyText() const;     // "%d%% shiny"
    std::string SpecularText() const;  // "%d%% specular"

    // Each change answers whether it is to be applied now ("Automatic apply").
    bool Toggle(int button);
    // Sliders clamp into 0..100.
    bool SetShiny(int percent);
    bool SetSpecular(int percent);
    // An edit is taken when it holds a whole number 0..255; otherwise the
    // channel keeps its value and nothing is to be applied.
    bool TypeChannel(int channel, const std::string& text);
    // "Select color".
    bool SetColour(Rgba colour);

    bool automaticApply = false;
    bool ApplyEnabled() const { return !automaticApply; }

    // What "Apply" hands to the view.
    const LightingControls& Controls() const { return controls_; }

private:
    LightingControls controls_;
};

}  // namespace velm
