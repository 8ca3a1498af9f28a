#include "output/ImageExport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cctype>

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

bool EndsWith(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    return std::equal(ending.begin(), ending.end(), text.end() - static_cast<std::ptrdiff_t>(ending.size()),
                      [](char e, char t) { return std::tolower(static_cast<unsigned char>(t)) == e; });
}

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

ImageFormat ImageFormatOfPath(std::string_view path) {
    if (EndsWith(path, ".png")) return ImageFormat::Png;
    if (EndsWith(path, ".bmp")) return ImageFormat::Bmp;
    if (EndsWith(path, ".ps") || EndsWith(path, ".eps")) return ImageFormat::PostScript;
    throw VelmError("Unknown file format!");
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
    const Dib dib = RenderToDib(renderer, document.Molecules(), requestedWidth, requestedHeight, kNoMemoryLimit);
    WriteImageFile(path, format, dib, document.Primary() ? document.Primary()->path : std::string());
}

}  // namespace velm
