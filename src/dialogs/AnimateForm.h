#pragma once
// "Animate": a slider over the animation's frames, "Forward", "Stop",
// "Reverse" and the text "Frame: %d". The buttons set the view's playback;
// the view advances the frames as it paints, and the window follows the
// document's current frame.
#include <functional>
#include <string>

namespace velm {

class CVelmDoc;
struct AnimationState;

class AnimateForm {
public:
    // redraw: invalidate the view and post a paint request.
    AnimateForm(CVelmDoc& document, AnimationState& animation, std::function<void()> redraw);

    // The slider runs over the frames 0..F-1 (its last stop is the last frame).
    int SliderMaximum() const;
    int SliderPosition() const;
    std::string FrameText() const;  // "Frame: %d", "Frame: --" when there are no frames to count

    void Forward();
    void Reverse();
    void Stop();
    // Stops playing and shows that frame.
    void MoveSlider(int position);

private:
    void Play(int direction);
    void Halt();

    CVelmDoc& document_;
    AnimationState& animation_;
    std::function<void()> redraw_;
};

}  // namespace velm
