#include "output/VelmMovie.h"

#include <GL/gl.h>

#include <cctype>

#include "core/ReplacingFile.h"
#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"
#include "surface/SurfaceBuild.h"

namespace velm {

namespace {
bool EndsWithAvi(const std::string& path) {
    if (path.size() < 4) return false;
    std::string end = path.substr(path.size() - 4);
    for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return end == ".avi";
}

}  // namespace

std::vector<MovieCodec> AvailableMovieCodecs() {
    try {
        return LoadAviEncoderModule().codecs();
    } catch (const VelmError&) {
        // Opening a recording says why there are none.
        return {{kUncompressedCodec, "Full Frames (Uncompressed)"}};
    }
}

struct VelmMovie::State {
    bool open = false;
    OffscreenRenderer* renderer = nullptr;
    const list<std::unique_ptr<Molecule>>* molecules = nullptr;
    bool updateSurface = false;
    int width = 0, height = 0, rate = 0, depth = 0;
    int frameCount = 0;

    std::unique_ptr<AviEncoder> encoder;
    std::unique_ptr<ReplacingFile> file;  // the movie goes into place only when finished
};

VelmMovie::VelmMovie() : state_(std::make_unique<State>()) {}
VelmMovie::~VelmMovie() { Close(); }

bool VelmMovie::IsOpen() const { return state_->open; }
int VelmMovie::FrameCount() const { return state_->frameCount; }
int VelmMovie::Width() const { return state_->width; }
int VelmMovie::Height() const { return state_->height; }

bool VelmMovie::Open(const std::string& path, int width, int height, int rate, int depth, OffscreenRenderer* renderer,
                     const list<std::unique_ptr<Molecule>>* molecules, bool updateSurface, const std::string& codec) {
    Close();
    if (width <= 0) throw VelmError("Frame width out of bounds");
    if (height <= 0) throw VelmError("Frame height out of bounds");
    if (rate <= 0) throw VelmError("Frame rate out of bounds");
    if (depth != 16 && depth != 24 && depth != 32) throw VelmError("Frame depth out of bounds");
    if (!renderer || !molecules) throw VelmError("Bad view pointer");
    if (codec.empty()) return false;  // the choice was cancelled

    State& s = *state_;
    try {
        s.renderer = renderer;
        s.molecules = molecules;
        s.updateSurface = updateSurface;
        s.width = width, s.height = height, s.rate = rate, s.depth = depth;

        if (!EndsWithAvi(path)) throw VelmError("Error opening the AVI file. File name must end with '.avi'");
        s.file = std::make_unique<ReplacingFile>(path);
        if (!s.file->Stream()) throw VelmError("Error opening the AVI file: " + s.file->Problem());
        const AviEncoderModule& module = LoadAviEncoderModule();
        std::string problem;
        s.encoder = module.open(s.file->TemporaryPath(), width, height, rate, depth, codec, problem);
        if (!s.encoder) throw VelmError(problem);
        s.width = width = s.encoder->Width();
        s.height = height = s.encoder->Height();
        try {
            const OffscreenRenderer::Session session(*renderer, width, height);
        } catch (const VelmError&) {
            throw VelmError("Error creating memory device context for movie frame!");
        }
        s.open = true;
        return true;
    } catch (...) {
        Close();
        throw;
    }
}

void VelmMovie::AddFrame() {
    State& s = *state_;
    if (!s.open) throw VelmError("Invalid state");
    ViewSettings& view = s.renderer->GetScene().settings;
    const int width = view.width, height = view.height;
    view.width = s.width;
    view.height = s.height;
    std::vector<std::uint8_t> pixels;
    try {
        OffscreenRenderer::Session session(*s.renderer, s.width, s.height);
        session.Renderer().SetProjection();
        if (s.updateSurface) {
            SilentUiHooks quiet;
            for (const auto& m : *s.molecules)
                if (m->surface.built) BuildSurface(*m, quiet);
        }
        session.Renderer().RenderPass(*s.molecules, static_cast<int>(PassMode::Draw));
        pixels = session.ReadPixels();
    } catch (...) {
        view.width = width;
        view.height = height;
        throw;
    }
    view.width = width;
    view.height = height;

    if (const std::string problem = s.encoder->Add(pixels.data()); !problem.empty()) throw VelmError(problem);
    ++s.frameCount;
}

void VelmMovie::Finish() {
    State& s = *state_;
    if (!s.open) throw VelmError("Invalid state");
    try {
        if (const std::string problem = s.encoder->Finish(); !problem.empty()) throw VelmError(problem);
        if (!s.file->Commit()) throw VelmError("Can't write movie frame! (" + s.file->Problem() + ")");
    } catch (...) {
        Close();
        throw;
    }
    Close();
}

void VelmMovie::Close() {
    State& s = *state_;
    s.open = false;
    s.encoder.reset();  // an unfinished movie's temporary file goes with `file`
    *state_ = State{};
}

}  // namespace velm
