#include "dialogs/ColourForm.h"

#include <algorithm>

#include "dialogs/FieldText.h"

namespace velm {

bool ReadByte(const std::string& text, int& value) {
    int v = 0;
    if (!ReadFieldInteger(text, v) || v < 0 || v > 255) return false;
    value = v;
    return true;
}

ColourForm::ColourForm(Rgba colour, bool alphaUsed) : alphaUsed_(alphaUsed) { SetColour(colour); }

Rgba ColourForm::Colour() const {
    const auto byte = [this](size_t i) { return static_cast<std::uint8_t>(values_[i]); };
    return {byte(0), byte(1), byte(2), alphaUsed_ ? byte(3) : std::uint8_t{255}};
}

void ColourForm::SetColour(Rgba c) { values_ = {c.r, c.g, c.b, alphaUsed_ ? c.a : 255}; }

bool ColourForm::Move(int channel, int value) {
    if (channel < 0 || channel > 3 || !ChannelEnabled(channel)) return false;
    values_[static_cast<size_t>(channel)] = std::clamp(value, 0, 255);
    return automaticApply;
}

}  // namespace velm
