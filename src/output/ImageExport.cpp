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
#include "render/OffscreenContext.h"
#include "render/SceneRenderer.h"

namespace velm {

namespace {

constexpr const char* kSource = "ImageExport";

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

Dib RenderToDib(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, long long requestedWidth,
                long long requestedHeight, int printMemoryLimitKb) {
    ViewSettings& s = scene.settings;
    const DibSize size = RenderToDibSize(requestedWidth, requestedHeight, s.width, s.height, printMemoryLimitKb,
                                         kBitmapDeviceDpi);
    if (size.Empty()) VELM_THROW("Unable to create DIB for storing image");

    SavedViewSize saved(s);
    s.fontScaleNumerator = size.fontScaleNumerator;
    std::vector<std::uint8_t> pixels;
    {
        OffscreenContext context(size.width, size.height);
        {
            // The renderer's font lists belong to this context: gone before it.
            SceneRenderer renderer(scene);
            renderer.Initialise();
            s.width = size.width;
            s.height = size.height;
            renderer.SetProjection();
            renderer.RenderPass(molecules, static_cast<int>(PassMode::Draw));
            glFinish();
            pixels = context.ReadPixels();
        }
        context.Release();
    }
    return DibFromRgba(pixels, size.width, size.height);
}

ImageFormat ImageFormatOfPath(std::string_view path) {
    if (EndsWith(path, ".png")) return ImageFormat::Png;
    if (EndsWith(path, ".bmp")) return ImageFormat::Bmp;
    if (EndsWith(path, ".ps") || EndsWith(path, ".eps")) return ImageFormat::PostScript;
    VELM_THROW("Unknown file format!");
}

void WriteImageFile(const std::string& path, ImageFormat format, const Dib& dib, const std::string& title) {
    if (format != ImageFormat::Bmp && format != ImageFormat::Png) VELM_THROW("Unknown file format!");
    ReplacingFile file(path);
    if (!file.Stream()) VELM_THROW("Unable to open " + path + " for writing");
    if (format == ImageFormat::Bmp) WriteBmp(file.Stream(), dib);
    else WritePng(file.Stream(), dib, title);
    if (!file.Commit()) VELM_THROW("Unable to open " + path + " for writing");
}

void ExportPostScript(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, const std::string& path,
                      UiHooks& ui) {
    const ViewSettings& s = scene.settings;
    if (s.width <= 0 || s.height <= 0) VELM_THROW("Unable to create DIB for storing image");
    ReplacingFile file(path);
    if (!file.Stream()) VELM_THROW("Unable to open " + path + " for writing");
    {
        WaitCursor wait(ui);
        OffscreenContext context(s.width, s.height);
        {
            SceneRenderer renderer(scene);
            renderer.Initialise();
            renderer.SetProjection();
            GLtoPS ps(file.Stream(), GLtoPS::kDefaultSize, &ui);
            do {
                ps.Begin();
                renderer.RenderPass(molecules, static_cast<int>(PassMode::Draw));
            } while (!ps.End());
        }
        context.Release();
    }
    if (std::ferror(file.Stream()) || !file.Commit()) VELM_THROW("Unable to open " + path + " for writing");
}

}  // namespace velm
