#pragma once
// Where a printed page or a clipboard picture puts the scene: drawn at a size
// that fits the window's shape (and the memory the user allows), then
// stretched over the target keeping its shape, centred on a background fill.
#include "output/RenderToDib.h"

namespace velm {

// Clipboard pictures fill at most this much of a side of the copied bitmap.
inline constexpr int kMaxClipboardSide = 1000;

struct PrintPageLayout {
    DibSize image;  // the size the scene is drawn at; empty: nothing to draw
    // Where the stretched image goes in the target, top left, device pixels.
    int x = 0, y = 0, width = 0, height = 0;
};

// target: the device's area in its pixels (a printer's whole printable
// area); client: the window's size. The image starts from the target and is
// fitted to the window as pictures are (in print preview it is the client
// size instead); it is then scaled to the target's width, or to its height
// when that makes it too tall, and centred.
PrintPageLayout LayOutPrintPage(int targetWidth, int targetHeight, int clientWidth, int clientHeight,
                                int printMemoryLimitKb, int deviceDpiY, bool preview);

// The clipboard's target area: the client size, at most kMaxClipboardSide a side.
PrintPageLayout LayOutClipboardPicture(int clientWidth, int clientHeight, int printMemoryLimitKb, int deviceDpiY);

}  // namespace velm
