#pragma once
// The off-screen context of a program with a renderer of its scene, kept for
// all its pictures, picks, PostScript files and movies: display lists and
// label glyphs are built once and again only when the quality or the font
// changes, not for every picture.
#include <cstdint>
#include <memory>
#include <vector>

namespace velm {

class OffscreenContext;
class SceneRenderer;
struct Scene;

// Samples a pixel of pictures drawn with the scene's multisample setting on.
inline constexpr int kPictureSamples = 4;

class OffscreenRenderer {
public:
    explicit OffscreenRenderer(Scene& scene);  // makes no context until the first session
    ~OffscreenRenderer();
    OffscreenRenderer(const OffscreenRenderer&) = delete;
    OffscreenRenderer& operator=(const OffscreenRenderer&) = delete;

    // One stretch of drawing: the off-screen context current with a
    // framebuffer of this size and the renderer set up for the scene as it is
    // now; whatever context was current before (EGL, or a window's GLX) is
    // current again when the session ends. Throws VelmError when no context
    // or framebuffer of that size can be made.
    class Session {
    public:
        Session(OffscreenRenderer& owner, int width, int height);
        ~Session();
        Session(const Session&) = delete;
        Session& operator=(const Session&) = delete;

        SceneRenderer& Renderer() { return *owner_.renderer_; }
        // The framebuffer as RGBA bytes, bottom row first, once drawing has finished.
        std::vector<std::uint8_t> ReadPixels() const;
        // The largest framebuffer side (and viewport) the context takes.
        int MaxSide() const;

    private:
        OffscreenRenderer& owner_;
    };

    Scene& GetScene() { return scene_; }
    // How many times a context was made: 1 for a program's lifetime unless
    // one could not be kept.
    int ContextsMade() const { return contextsMade_; }

private:
    Scene& scene_;
    std::unique_ptr<OffscreenContext> context_;
    std::unique_ptr<SceneRenderer> renderer_;
    int contextsMade_ = 0;
};

}  // namespace velm
