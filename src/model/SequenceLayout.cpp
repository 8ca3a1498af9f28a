#include "model/SequenceLayout.h"

#include <algorithm>

namespace velm {

SequenceLayout LayOutSequenceTool(int width, int height, int buttonWidth, int buttonHeight) {
    SequenceLayout l;
    const int top = height - 10 - buttonHeight;
    if (width / 3 - 10 < buttonWidth) {
        l.close = {(width - 10) / 2 - buttonWidth, top, buttonWidth, buttonHeight};
        l.colour = {(width + 10) / 2, top, buttonWidth, buttonHeight};
    } else {
        l.close = {width / 3 - buttonWidth / 2, top, buttonWidth, buttonHeight};
        l.colour = {2 * width / 3 - buttonWidth / 2, top, buttonWidth, buttonHeight};
    }
    // A window set smaller than any drag allows still gets no negative list.
    l.list = {10, 10, std::max(0, width - 20), std::max(0, height - buttonHeight - 30)};
    return l;
}

}  // namespace velm
