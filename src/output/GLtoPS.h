#pragma once
// Encapsulated PostScript from OpenGL feedback: the render pass runs in
// feedback mode, and the points, lines and polygons GL hands back (in window
// coordinates, with their colours) are depth-sorted, hidden polygons thinned
// out by point sampling, and the rest written back to front.
#include <cstdio>
#include <string>
#include <vector>

namespace velm {

class UiHooks;
struct LabelFontDescription;

// The standard PostScript font nearest a label font: Helvetica, Times or
// Courier by the face's kind, bold from weight 600, oblique or italic.
std::string PostScriptFontName(const LabelFontDescription& font);

class GLtoPS {
public:
    static constexpr size_t kDefaultSize = 0x100000;  // floats

    // Throws "Invalid file handle" for a null file and "Unable to allocate
    // memory for feedback buffer".
    GLtoPS(std::FILE* file, size_t size = kDefaultSize, UiHooks* ui = nullptr);

    // Hands GL the buffer and enters feedback mode.
    void Begin();
    // Back to render mode. On overflow the buffer doubles and false asks for
    // the scene again; otherwise the file is written and true returned.
    bool End();

    size_t Size() const { return buffer_.size(); }

    // Writes the file from `count` floats of feedback (for tests, without GL
    // state: the viewport, clear colour, line width and point size given).
    void Write(const float* feedback, int count, const float viewport[4], const float clearColour[4], float lineWidth,
               float pointSize);

    float gouraudThreshold = 0.075f;
    float smoothLineFactor = 0.06f;
    int primitivesPerCell = 500;
    // Labels (text the label font left in the buffer) are set in this font.
    std::string textFont = "Helvetica-Bold";
    // Filled polygons are also stroked in their own colour this wide, so
    // that abutting ones overlap instead of leaving hairline cracks where a
    // renderer anti-aliases each edge on its own.
    float sealWidth = 1.0f;

private:
    struct Entry {
        int at;        // offset of the token in the buffer
        float depth;
        int emit;
    };
    void WritePrimitives(const float* feedback, int count);
    void WritePrimitive(const float* p, int count);
    void WriteText(const float* p, int count);
    void Cull(const float* feedback, std::vector<Entry>& entries);

    std::FILE* file_;
    std::vector<float> buffer_;
    UiHooks* ui_;
    float pointSize_ = 1, lineWidth_ = 1;
    bool textFontMade_ = false;
    int textSize_ = 0;
};

}  // namespace velm
