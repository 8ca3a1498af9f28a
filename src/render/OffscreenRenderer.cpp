#include "render/OffscreenRenderer.h"

#include <GL/gl.h>

#include "render/OffscreenContext.h"
#include "render/SceneRenderer.h"

namespace velm {

OffscreenRenderer::OffscreenRenderer(Scene& scene) : scene_(scene) {}

OffscreenRenderer::~OffscreenRenderer() {
    if (!context_) return;
    // The renderer deletes its lists in whatever context is current: its own.
    try {
        context_->MakeCurrent();
    } catch (...) {
        return;  // the lists go with the context
    }
    renderer_.reset();
    context_->Release();
}

OffscreenRenderer::Session::Session(OffscreenRenderer& owner, int width, int height) : owner_(owner) {
    if (!owner_.context_) {
        owner_.context_ = std::make_unique<OffscreenContext>(width, height);
        owner_.renderer_ = std::make_unique<SceneRenderer>(owner_.scene_);
        ++owner_.contextsMade_;
    } else {
        owner_.context_->MakeCurrent();
    }
    try {
        owner_.context_->Resize(width, height, owner_.scene_.settings.multisample ? kPictureSamples : 0);
        owner_.renderer_->Initialise();
    } catch (...) {
        owner_.context_->Release();
        throw;
    }
}

OffscreenRenderer::Session::~Session() { owner_.context_->Release(); }

std::vector<std::uint8_t> OffscreenRenderer::Session::ReadPixels() const {
    glFinish();
    return owner_.context_->ReadPixels();
}

int OffscreenRenderer::Session::MaxSide() const { return owner_.context_->MaxSide(); }

}  // namespace velm
