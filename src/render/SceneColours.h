#pragma once
// The four scene colours the "Color" dialog edits, as the bytes it shows:
// the stored component x 255, truncated, and back as byte / 255.
#include "core/Rgba.h"
#include "render/ViewSettings.h"

namespace velm {

enum class SceneColour : int { Background = 0, Selection, HydrogenBonds, ClipPlane };

// Selection and clipping plane carry their alpha; background and hydrogen
// bonds are RGB only (the background's alpha stays 1).
bool SceneColourHasAlpha(SceneColour which);
// An RGB-only colour reads with alpha 255.
Rgba SceneColourBytes(const ViewSettings& settings, SceneColour which);
void SetSceneColour(ViewSettings& settings, SceneColour which, Rgba colour);

}  // namespace velm
