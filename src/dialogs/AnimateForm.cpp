#include "dialogs/AnimateForm.h"

#include <algorithm>

#include "model/VelmDoc.h"
#include "render/ViewSettings.h"

namespace velm {

AnimateForm::AnimateForm(CVelmDoc& document, AnimationState& animation, std::function<void()> redraw)
    : document_(document), animation_(animation), redraw_(std::move(redraw)) {}

int AnimateForm::SliderMaximum() const { return std::max(0, document_.AnimationFrames() - 1); }

int AnimateForm::SliderPosition() const {
    return document_.AnimationFrames() > 0 ? document_.CurrentAnimationFrame() : 0;
}

std::string AnimateForm::FrameText() const {
    if (document_.AnimationFrames() <= 0) return "Frame: --";
    return "Frame: " + std::to_string(document_.CurrentAnimationFrame());
}

void AnimateForm::Play(int direction) {
    animation_.playing = true;
    animation_.playDirection = direction;
    animation_.animating = true;
    if (redraw_) redraw_();
}

void AnimateForm::Halt() {
    animation_.playing = false;
    animation_.animating = animation_.spinning;
}

void AnimateForm::Forward() { Play(0); }
void AnimateForm::Reverse() { Play(1); }

void AnimateForm::Stop() {
    Halt();
    if (redraw_) redraw_();
}

void AnimateForm::MoveSlider(int position) {
    Halt();
    document_.SetFrame(std::clamp(position, 0, SliderMaximum()));
    if (redraw_) redraw_();
}

}  // namespace velm
