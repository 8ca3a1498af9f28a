#include "render/OffscreenContext.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <dlfcn.h>

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include "core/VelmError.h"

namespace velm {

namespace {
// Framebuffer objects are beyond OpenGL 1.1: their entry points come from EGL.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    PFNGLRENDERBUFFERSTORAGEMULTISAMPLEPROC renderbufferStorageMultisample = nullptr;  // may be absent
    PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;

    bool Complete() const {
        return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers &&
               deleteRenderbuffers && bindRenderbuffer && renderbufferStorage && framebufferRenderbuffer &&
               checkFramebufferStatus;
    }
};

template <typename F>
void Resolve(F& f, const char* name) {
    f = reinterpret_cast<F>(eglGetProcAddress(name));
}

FramebufferCalls LoadFramebufferCalls() {
    FramebufferCalls c;
    Resolve(c.genFramebuffers, "glGenFramebuffers");
    Resolve(c.deleteFramebuffers, "glDeleteFramebuffers");
    Resolve(c.bindFramebuffer, "glBindFramebuffer");
    Resolve(c.genRenderbuffers, "glGenRenderbuffers");
    Resolve(c.deleteRenderbuffers, "glDeleteRenderbuffers");
    Resolve(c.bindRenderbuffer, "glBindRenderbuffer");
    Resolve(c.renderbufferStorage, "glRenderbufferStorage");
    Resolve(c.framebufferRenderbuffer, "glFramebufferRenderbuffer");
    Resolve(c.checkFramebufferStatus, "glCheckFramebufferStatus");
    Resolve(c.renderbufferStorageMultisample, "glRenderbufferStorageMultisample");
    Resolve(c.blitFramebuffer, "glBlitFramebuffer");
    return c;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

[[noreturn]] void Fail(const std::string& what, SourceLocation where = SourceLocation::current()) {
    throw VelmError("Unable to create an off-screen OpenGL context: " + what, where);
}

std::string EglFailure(const char* call) {
    return std::string(call) + " failed (EGL error " + Hex(static_cast<unsigned>(eglGetError())) + ")";
}

bool HasExtension(const char* list, const std::string& name) {
    if (!list) return false;
    const std::string all = std::string(" ") + list + " ";
    return all.find(" " + name + " ") != std::string::npos;
}

// GLX through the symbols of a libGLX that the program has already loaded (a
// toolkit's window on X11): the off-screen path itself never links it.
struct GlxCalls {
    using GetContext = void* (*)();
    using GetDisplay = void* (*)();
    using GetDrawable = unsigned long (*)();
    using MakeContextCurrent = int (*)(void*, unsigned long, unsigned long, void*);
    GetContext currentContext = nullptr;
    GetDisplay currentDisplay = nullptr;
    GetDrawable currentDraw = nullptr;
    GetDrawable currentRead = nullptr;
    MakeContextCurrent makeCurrent = nullptr;

    static const GlxCalls& Loaded() {
        static const GlxCalls calls = [] {
            GlxCalls c;
            c.currentContext = reinterpret_cast<GetContext>(dlsym(RTLD_DEFAULT, "glXGetCurrentContext"));
            c.currentDisplay = reinterpret_cast<GetDisplay>(dlsym(RTLD_DEFAULT, "glXGetCurrentDisplay"));
            c.currentDraw = reinterpret_cast<GetDrawable>(dlsym(RTLD_DEFAULT, "glXGetCurrentDrawable"));
            c.currentRead = reinterpret_cast<GetDrawable>(dlsym(RTLD_DEFAULT, "glXGetCurrentReadDrawable"));
            c.makeCurrent = reinterpret_cast<MakeContextCurrent>(dlsym(RTLD_DEFAULT, "glXMakeContextCurrent"));
            if (!c.currentDisplay || !c.currentDraw || !c.currentRead || !c.makeCurrent) c.currentContext = nullptr;
            return c;
        }();
        return calls;
    }
};

EGLDisplay SurfacelessDisplay() {
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless"))
        Fail("EGL has no surfaceless platform (EGL_MESA_platform_surfaceless)");
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay) Fail("EGL lacks eglGetPlatformDisplayEXT");
    EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) Fail(EglFailure("eglGetPlatformDisplayEXT"));
    return display;
}
}  // namespace

OffscreenContext::OffscreenContext(int width, int height) : width_(width), height_(height) {
    if (width <= 0 || height <= 0)
        Fail("invalid size " + std::to_string(width) + " x " + std::to_string(height));

    EGLDisplay display = SurfacelessDisplay();
    EGLint major = 0, minor = 0;
    // Initialising an initialised display is harmless; the display is shared
    // by every context of the process and never terminated here (see Destroy).
    if (!eglInitialize(display, &major, &minor)) Fail(EglFailure("eglInitialize"));
    display_ = display;
    if (!HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context"))
        Fail("EGL cannot make a context current without a surface");
    if (!eglBindAPI(EGL_OPENGL_API)) Fail(EglFailure("eglBindAPI(EGL_OPENGL_API)"));

    // The configuration's own buffers are never drawn to: the framebuffer
    // object below holds colour and depth.
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE,     8, EGL_GREEN_SIZE,      8,
                                       EGL_BLUE_SIZE,    8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs))
        Fail(EglFailure("eglChooseConfig"));
    if (configs < 1) Fail("no EGL configuration renders desktop OpenGL");

    const EGLint contextAttributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                        EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    context_ = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context_ == EGL_NO_CONTEXT) Fail(EglFailure("eglCreateContext"));

    try {
        MakeCurrent();
        if (!LoadFramebufferCalls().Complete()) Fail("OpenGL has no framebuffer objects");
        AllocateBuffers(width, height, 0);
    } catch (...) {
        Destroy();
        throw;
    }
}

int OffscreenContext::MaxSide() const {
    GLint renderbuffer = 0, viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbuffer);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    return std::min({renderbuffer, viewport[0], viewport[1]});
}

void OffscreenContext::AllocateBuffers(int width, int height, int samples) {
    const FramebufferCalls gl = LoadFramebufferCalls();
    const int maxSide = MaxSide();
    if (width <= 0 || height <= 0 || width > maxSide || height > maxSide)
        Fail(std::to_string(width) + " x " + std::to_string(height) + " exceeds the largest framebuffer side " +
             std::to_string(maxSide));
    GLint maxSamples = 0;
    if (samples > 1 && gl.renderbufferStorageMultisample && gl.blitFramebuffer)
        glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    samples = std::min(samples, static_cast<int>(maxSamples));
    if (samples < 2) samples = 0;
    while (glGetError() != GL_NO_ERROR) {
    }
    if (framebuffer_ == 0) gl.genFramebuffers(1, &framebuffer_);
    gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    if (colorBuffer_ == 0) gl.genRenderbuffers(1, &colorBuffer_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, colorBuffer_);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorBuffer_);
    if (depthBuffer_ == 0) gl.genRenderbuffers(1, &depthBuffer_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    // The depth buffer is drawn to only without multisampling; then it is a token one.
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, samples ? 1 : width, samples ? 1 : height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, samples ? 0 : depthBuffer_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    if (glGetError() == GL_OUT_OF_MEMORY) Fail("no memory for a framebuffer of " + std::to_string(width) + " x " + std::to_string(height));
    GLenum status = gl.checkFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE) Fail("framebuffer incomplete (" + Hex(status) + ")");
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    if (samples) {
        if (msFramebuffer_ == 0) gl.genFramebuffers(1, &msFramebuffer_);
        if (msColorBuffer_ == 0) gl.genRenderbuffers(1, &msColorBuffer_);
        if (msDepthBuffer_ == 0) gl.genRenderbuffers(1, &msDepthBuffer_);
        gl.bindFramebuffer(GL_FRAMEBUFFER, msFramebuffer_);
        gl.bindRenderbuffer(GL_RENDERBUFFER, msColorBuffer_);
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, msColorBuffer_);
        gl.bindRenderbuffer(GL_RENDERBUFFER, msDepthBuffer_);
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, width, height);
        gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, msDepthBuffer_);
        gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
        if (glGetError() == GL_OUT_OF_MEMORY)
            Fail("no memory for a framebuffer of " + std::to_string(width) + " x " + std::to_string(height));
        status = gl.checkFramebufferStatus(GL_FRAMEBUFFER);
        if (status != GL_FRAMEBUFFER_COMPLETE) Fail("multisampled framebuffer incomplete (" + Hex(status) + ")");
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glReadBuffer(GL_COLOR_ATTACHMENT0);
    } else if (msFramebuffer_ != 0) {
        // Storage of the multisampled target goes: a big one is not kept for nothing.
        gl.bindRenderbuffer(GL_RENDERBUFFER, msColorBuffer_);
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, 0, GL_RGBA8, 1, 1);
        gl.bindRenderbuffer(GL_RENDERBUFFER, msDepthBuffer_);
        gl.renderbufferStorageMultisample(GL_RENDERBUFFER, 0, GL_DEPTH_COMPONENT24, 1, 1);
        gl.bindRenderbuffer(GL_RENDERBUFFER, 0);
    }
    samples_ = samples;
    glViewport(0, 0, width, height);
    width_ = width;
    height_ = height;
}

void OffscreenContext::BindDrawTarget() const {
    const FramebufferCalls gl = LoadFramebufferCalls();
    if (samples_ && msFramebuffer_) gl.bindFramebuffer(GL_FRAMEBUFFER, msFramebuffer_);
    else if (framebuffer_ != 0) gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

void OffscreenContext::Resize(int width, int height, int samples) {
    MakeCurrent();
    if (samples < 2) samples = 0;
    if (width == width_ && height == height_ && (samples == samples_ || (samples && samples_))) return;
    AllocateBuffers(width, height, samples);
    BindDrawTarget();
}

OffscreenContext::~OffscreenContext() { Destroy(); }

void OffscreenContext::Destroy() noexcept {
    if (context_ == EGL_NO_CONTEXT) return;
    // The renderbuffers and the framebuffer go with the context.
    if (IsCurrent()) Release();
    eglDestroyContext(display_, context_);
    context_ = EGL_NO_CONTEXT;
    // No eglTerminate: it would end the display for every other context of
    // the process too (a second export, or the window's own on EGL).
}

bool OffscreenContext::IsCurrent() const {
    return context_ != EGL_NO_CONTEXT && eglGetCurrentContext() == context_;
}

void OffscreenContext::MakeCurrent() {
    if (IsCurrent()) return;
    previousDisplay_ = eglGetCurrentDisplay();
    previousContext_ = eglGetCurrentContext();
    previousDraw_ = eglGetCurrentSurface(EGL_DRAW);
    previousRead_ = eglGetCurrentSurface(EGL_READ);
    const GlxCalls& glx = GlxCalls::Loaded();
    if (glx.currentContext && (glxContext_ = glx.currentContext())) {
        glxDisplay_ = glx.currentDisplay();
        glxDraw_ = glx.currentDraw();
        glxRead_ = glx.currentRead();
        glFinish();
        glx.makeCurrent(glxDisplay_, 0, 0, nullptr);
    }
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_)) {
        const std::string failure = EglFailure("eglMakeCurrent");
        RestoreGlx();
        throw VelmError("Unable to make the off-screen OpenGL context current: " + failure);
    }
    BindDrawTarget();
}

void OffscreenContext::RestoreGlx() {
    if (!glxContext_) return;
    GlxCalls::Loaded().makeCurrent(glxDisplay_, glxDraw_, glxRead_, glxContext_);
    glxContext_ = nullptr;
}

void OffscreenContext::Release() {
    if (!IsCurrent()) return;
    glFinish();
    if (previousContext_ != EGL_NO_CONTEXT && previousContext_ != context_ &&
        eglMakeCurrent(previousDisplay_, previousDraw_, previousRead_, previousContext_)) {
        previousContext_ = EGL_NO_CONTEXT;
        RestoreGlx();
        return;
    }
    previousContext_ = EGL_NO_CONTEXT;
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    RestoreGlx();
}

std::vector<std::uint8_t> OffscreenContext::ReadPixels() const {
    if (!IsCurrent())
        throw VelmError("The off-screen OpenGL context is not current");
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
    const FramebufferCalls gl = LoadFramebufferCalls();
    if (samples_) {
        gl.bindFramebuffer(GL_READ_FRAMEBUFFER, msFramebuffer_);
        gl.bindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer_);
        gl.blitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    BindDrawTarget();
    return pixels;
}

std::vector<std::uint8_t> OffscreenContext::ReadPixelsTopFirst() const {
    return FlipRows(ReadPixels(), width_, height_, 4);
}

std::vector<std::uint8_t> FlipRows(const std::vector<std::uint8_t>& pixels, int width, int height,
                                   int bytesPerPixel) {
    const std::size_t row = static_cast<std::size_t>(width) * static_cast<std::size_t>(bytesPerPixel);
    if (width < 0 || height < 0 || bytesPerPixel < 0 || pixels.size() != row * static_cast<std::size_t>(height))
        throw VelmError("FlipRows: " + std::to_string(pixels.size()) + " bytes are not " + std::to_string(height) +
                            " rows of " + std::to_string(row));
    std::vector<std::uint8_t> flipped(pixels.size());
    for (int y = 0; y < height; ++y) {
        const auto from = pixels.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(y));
        std::copy(from, from + static_cast<std::ptrdiff_t>(row),
                  flipped.begin() + static_cast<std::ptrdiff_t>(row * static_cast<std::size_t>(height - 1 - y)));
    }
    return flipped;
}

}  // namespace velm
