#pragma once
// A desktop OpenGL context without any window: EGL on Mesa's surfaceless
// platform, drawing into a framebuffer object of a fixed size. Compatibility
// profile, so fixed-function drawing, display lists, GL_SELECT and GL_FEEDBACK
// work as on screen. Image export, movies, batch mode and tests draw here.
#include <cstdint>
#include <vector>

namespace velm {

class OffscreenContext {
public:
    // Creates the context with an RGBA8 + depth-24 framebuffer object of this
    // size and makes it current. Throws VelmError when no context can be made.
    OffscreenContext(int width, int height);
    ~OffscreenContext();
    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }

    // Makes this context current with its framebuffer bound, remembering the
    // context that was current before, of EGL or of GLX (a window's under an
    // X11 toolkit); Release() returns to that one.
    void MakeCurrent();
    void Release();
    bool IsCurrent() const;

    // New framebuffer storage of this size, in this context (made current),
    // drawn with up to `samples` samples a pixel where GL offers them (0 or 1:
    // one, as a plain framebuffer). Throws VelmError for a size the
    // framebuffer cannot have.
    void Resize(int width, int height, int samples = 0);
    // The samples a pixel the framebuffer has now (0: not multisampled).
    int Samples() const { return samples_; }
    // The largest framebuffer side and viewport the context takes.
    int MaxSide() const;

    // The framebuffer as RGBA bytes, bottom row first (as glReadPixels gives it).
    std::vector<std::uint8_t> ReadPixels() const;
    // The same with the top row first, as image rows run.
    std::vector<std::uint8_t> ReadPixelsTopFirst() const;

private:
    void Destroy() noexcept;
    void AllocateBuffers(int width, int height, int samples);
    void BindDrawTarget() const;
    void RestoreGlx();

    int width_ = 0;
    int height_ = 0;
    // EGL handles as void* (what EGL's own typedefs are) so that including
    // this header does not drag in the EGL and X11 headers.
    void* display_ = nullptr;
    void* context_ = nullptr;
    unsigned framebuffer_ = 0;
    unsigned colorBuffer_ = 0;
    unsigned depthBuffer_ = 0;
    // Multisampled drawing target, resolved into the buffers above to read.
    int samples_ = 0;
    unsigned msFramebuffer_ = 0;
    unsigned msColorBuffer_ = 0;
    unsigned msDepthBuffer_ = 0;
    // What was current before MakeCurrent.
    void* previousDisplay_ = nullptr;
    void* previousContext_ = nullptr;
    void* previousDraw_ = nullptr;
    void* previousRead_ = nullptr;
    // A GLX context that was current before, put aside (GLVND allows one
    // window-system API current per thread, so EGL cannot become current over it).
    void* glxDisplay_ = nullptr;
    void* glxContext_ = nullptr;
    unsigned long glxDraw_ = 0;
    unsigned long glxRead_ = 0;
};

// Rows of a bottom-first image reversed into top-first order (or back).
std::vector<std::uint8_t> FlipRows(const std::vector<std::uint8_t>& pixels, int width, int height,
                                   int bytesPerPixel);

}  // namespace velm
