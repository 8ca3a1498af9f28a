#pragma once
// "Color": red, green, blue and alpha from 0 to 255 on sliders with edits,
// "Apply", and "Automatic apply", under which every change applies at once.
// Scene colours without alpha show the alpha slider disabled.
#include <array>
#include <string>

#include "core/Rgba.h"

namespace velm {

// A whole number 0..255, blanks around it allowed; false for anything else.
bool ReadByte(const std::string& text, int& value);
// The message of a colour component that is not a whole number 0..255.
inline constexpr const char* kByteProblem = "Please enter a number between 0 and 255.";

class ColourForm {
public:
    static constexpr const char* kTitle = "Color";
    static constexpr const char* kChannelNames[4] = {"Red", "Green", "Blue", "Alpha"};
    static constexpr const char* kCaption = "Transparency";  // beside the alpha slider, turned upright

    explicit ColourForm(Rgba colour, bool alphaUsed = true);

    Rgba Colour() const;
    int Channel(int channel) const { return values_[static_cast<size_t>(channel & 3)]; }
    bool ChannelEnabled(int channel) const { return channel != 3 || alphaUsed_; }
    void SetColour(Rgba colour);

    // A slider moved: the value clamped into 0..255. True when the change
    // is to be applied now ("Automatic apply").
    bool Move(int channel, int value);

    bool automaticApply = false;
    bool ApplyEnabled() const { return !automaticApply; }

private:
    std::array<int, 4> values_{};
    bool alphaUsed_;
};

}  // namespace velm
