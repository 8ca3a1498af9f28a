#include "output/ImageExport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <new>
#include <optional>

#include "core/ReplacingFile.h"
#include "core/VelmError.h"
#include "core/UiHooks.h"
#include "output/BmpFile.h"
#include "output/GLtoPS.h"
#include "output/PngFile.h"
#include "output/RenderToDib.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"
#include "render/SceneRenderer.h"

namespace velm {

namespace {
// Puts back the scene's size and font scale however the render ends.
class SavedViewSize {
public:
    explicit SavedViewSize(ViewSettings& s)
        : s_(s), width_(s.width), height_(s.height), numerator_(s.fontScaleNumerator) {}
    ~SavedViewSize() {
        s_.width = width_;
        s_.height = height_;
        s_.fontScaleNumerator = numerator_;
    }
    SavedViewSize(const SavedViewSize&) = delete;
    SavedViewSize& operator=(const SavedViewSize&) = delete;

private:
    ViewSettings& s_;
    int width_, height_, numerator_;
};

}  // namespace

Dib RenderToDib(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                long long requestedWidth, long long requestedHeight, int printMemoryLimitKb) {
    ViewSettings& s = renderer.GetScene().settings;
    const DibSize size = RenderToDibSize(requestedWidth, requestedHeight, s.width, s.height, printMemoryLimitKb,
                                         kBitmapDeviceDpi);
    if (size.Empty()) throw VelmError("Unable to create DIB for storing image");

    SavedViewSize saved(s);
    s.fontScaleNumerator = size.fontScaleNumerator;
    std::vector<std::uint8_t> pixels;
    {
        OffscreenRenderer::Session session(renderer, size.width, size.height);
        s.width = size.width;
        s.height = size.height;
        session.Renderer().SetProjection();
        session.Renderer().RenderPass(molecules, static_cast<int>(PassMode::Draw));
        pixels = session.ReadPixels();
    }
    return DibFromRgba(pixels, size.width, size.height);
}

struct TiledPicture::Saved {
    SavedViewSize size;
    std::optional<OffscreenRenderer::Session> session;
    explicit Saved(ViewSettings& s) : size(s) {}
};

TiledPicture::TiledPicture(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int width,
                           int height, int tileSide, int deviceDpi)
    : molecules_(molecules), width_(width), height_(height) {
    if (width <= 0 || height <= 0 || std::size_t{3} * static_cast<std::size_t>(width) > kMaxStripBytes)
        throw VelmError("Unable to create DIB for storing image");
    ViewSettings& s = renderer.GetScene().settings;
    // The first session finds out what the context takes; a picture that
    // fits is one tile, drawn as it always was.
    tileSide = std::max(1, tileSide);
    const auto plan = [&](int side) {
        across_ = (width + side - 1) / side;
        tileWidth_ = (width + across_ - 1) / across_;
        const int byMemory = static_cast<int>(std::min<std::size_t>(kMaxStripBytes / (3 * static_cast<std::size_t>(width)), INT32_MAX));
        const int strips = (height + std::min(side, byMemory) - 1) / std::min(side, byMemory);
        stripHeight_ = (height + strips - 1) / strips;
    };
    plan(tileSide);
    saved_ = std::make_unique<Saved>(s);
    const int maxSide = [&] {
        OffscreenRenderer::Session probe(renderer, 1, 1);
        return probe.MaxSide();
    }();
    const int most = std::min(tileSide, maxSide - 2 * kTileGuard);
    if (most < 1) throw VelmError("Unable to create DIB for storing image");
    if (tileWidth_ > most || stripHeight_ > most) plan(most);
    saved_->session.emplace(renderer, tileWidth_, stripHeight_);
    try {
        rows_.resize(3 * static_cast<std::size_t>(width) * static_cast<std::size_t>(stripHeight_));
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to create DIB for storing image");
    }
    s.fontScaleNumerator = deviceDpi;
    s.width = width;
    s.height = height;
    saved_->session->Renderer().Initialise();  // the label font at the bitmap's scale
    saved_->session->Renderer().SetProjection();
}

TiledPicture::~TiledPicture() {
    if (saved_) saved_->session->Renderer().SetTile(std::nullopt);
}

void TiledPicture::DrawStrip(int strip) {
    SceneRenderer& renderer = saved_->session->Renderer();
    const bool tiled = across_ > 1 || stripHeight_ < height_;
    // Strip 0 is the top; tiles count from the picture's bottom left.
    const int top = strip * stripHeight_;
    const int y = height_ - top - stripHeight_;
    const int rows = std::min(stripHeight_, height_ - top);
    for (int column = 0; column < across_; ++column) {
        const int x = column * tileWidth_;
        const int columns = std::min(tileWidth_, width_ - x);
        if (tiled) renderer.SetTile(PictureTile{x, y, tileWidth_, stripHeight_});
        renderer.RenderPass(molecules_, static_cast<int>(PassMode::Draw));
        const std::vector<std::uint8_t> pixels = saved_->session->ReadPixels();  // bottom row first, RGBA
        for (int r = 0; r < rows; ++r) {
            // Picture row top + r is tile row stripHeight_ - 1 - r from the tile's bottom.
            const std::uint8_t* from =
                pixels.data() + 4 * static_cast<std::size_t>(tileWidth_) * static_cast<std::size_t>(stripHeight_ - 1 - r);
            std::uint8_t* to = rows_.data() + 3 * (static_cast<std::size_t>(width_) * static_cast<std::size_t>(r) + static_cast<std::size_t>(x));
            for (int c = 0; c < columns; ++c, from += 4, to += 3) to[0] = from[0], to[1] = from[1], to[2] = from[2];
        }
    }
    renderer.SetTile(std::nullopt);
    strip_ = strip;
}

const std::uint8_t* TiledPicture::RowFromTop(int y) {
    y = std::clamp(y, 0, height_ - 1);
    if (y / stripHeight_ != strip_) DrawStrip(y / stripHeight_);
    return rows_.data() + 3 * static_cast<std::size_t>(width_) * static_cast<std::size_t>(y - strip_ * stripHeight_);
}

void ExportPicture(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                   const std::string& path, ImageFormat format, long long requestedWidth, long long requestedHeight,
                   const std::string& title) {
    if (format != ImageFormat::Bmp && format != ImageFormat::Png) throw VelmError("Unknown file format!");
    const ViewSettings& s = renderer.GetScene().settings;
    const DibSize size = FitDibToView(requestedWidth, requestedHeight, s.width, s.height, kNoMemoryLimit);
    if (size.Empty()) throw VelmError("Unable to create DIB for storing image");
    // Sizes the file cannot describe fail before anything is drawn.
    if (format == ImageFormat::Bmp && DibStride(size.width) * static_cast<std::uint64_t>(size.height) > 0xFFFFFFFFu - 54)
        throw VelmError("Unable to write bitmap (invalid dib)");
    if (format == ImageFormat::Png && (size.width > 1000000 || size.height > 1000000))
        throw VelmError("Unable to write png file (insufficient memory)");
    ReplacingFile file(path);
    if (!file.Stream()) throw VelmError("Unable to open " + path + " for writing");
    {
        TiledPicture picture(renderer, molecules, size.width, size.height);
        if (format == ImageFormat::Bmp)
            WriteBmpRows(file.Stream(), size.width, size.height,
                         [&](int y) { return picture.RowFromTop(size.height - 1 - y); });
        else
            WritePngRows(file.Stream(), size.width, size.height, [&](int y) { return picture.RowFromTop(y); }, title);
    }
    if (!file.Commit()) throw VelmError("Unable to open " + path + " for writing");
}

void WriteImageFile(const std::string& path, ImageFormat format, const Dib& dib, const std::string& title) {
    if (format != ImageFormat::Bmp && format != ImageFormat::Png) throw VelmError("Unknown file format!");
    ReplacingFile file(path);
    if (!file.Stream()) throw VelmError("Unable to open " + path + " for writing: " + file.Problem());
    if (format == ImageFormat::Bmp) WriteBmp(file.Stream(), dib);
    else WritePng(file.Stream(), dib, title);
    if (!file.Commit()) throw VelmError("Unable to write " + path + ": " + file.Problem());
}

void ExportPostScript(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                      const std::string& path, UiHooks& ui) {
    const ViewSettings& s = renderer.GetScene().settings;
    if (s.width <= 0 || s.height <= 0) throw VelmError("Unable to create DIB for storing image");
    ReplacingFile file(path);
    if (!file.Stream()) throw VelmError("Unable to open " + path + " for writing: " + file.Problem());
    {
        WaitCursor wait(ui);
        OffscreenRenderer::Session session(renderer, s.width, s.height);
        session.Renderer().SetProjection();
        GLtoPS ps(file.Stream(), GLtoPS::kDefaultSize, &ui);
        ps.textFont = PostScriptFontName(s.font);
        do {
            ps.Begin();
            session.Renderer().RenderPass(molecules, static_cast<int>(PassMode::Draw));
        } while (!ps.End());
    }
    if (!file.Commit()) throw VelmError("Unable to write " + path + ": " + file.Problem());
}

void ExportImage(OffscreenRenderer& renderer, const CVelmDoc& document, const std::string& path,
                 long long requestedWidth, long long requestedHeight, UiHooks& ui) {
    const ImageFormat format = ImageFormatOfPath(path);
    if (format == ImageFormat::PostScript) {
        ExportPostScript(renderer, document.Molecules(), path, ui);
        return;
    }
    ExportPicture(renderer, document.Molecules(), path, format, requestedWidth, requestedHeight,
                  document.Primary() ? document.Primary()->path : std::string());
}

}  // namespace velm
