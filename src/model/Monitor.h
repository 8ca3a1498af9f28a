#pragma once
#include "core/Rgba.h"

namespace velm {

// A distance monitor between two atoms, drawn as a dashed line with a label.
struct Monitor {
    int label = 0;
    int atom1 = -1, atom2 = -1;
    Rgba colour;
};

}  // namespace velm
