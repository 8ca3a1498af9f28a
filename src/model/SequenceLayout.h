#pragma once
// Where the sequence tool's list and its two buttons go in a client area of
// a given size, and how small a drag may make the window.
namespace velm {

struct LayoutRect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const LayoutRect&, const LayoutRect&) = default;
};

struct SequenceLayout {
    LayoutRect list, close, colour;
};

// Both buttons keep their size (buttonWidth x buttonHeight), their bottom 10
// pixels above the client's. Too narrow for thirds, they sit either side of a
// 10-pixel gap in the middle; otherwise centred at one and two thirds. The
// list fills the rest with a 10-pixel margin.
SequenceLayout LayOutSequenceTool(int width, int height, int buttonWidth, int buttonHeight);

// A side being dragged to 100 pixels or less is held at 100.
inline constexpr int kSequenceToolMinimumSide = 100;

}  // namespace velm
