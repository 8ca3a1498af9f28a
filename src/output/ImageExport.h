#pragma once
// Pictures of the scene: an off-screen render through the view's render pass
// into a DIB, then written as a BMP or PNG file.
#include <cstdint>
#include <memory>
#include <vector>
#include <string>
#include <string_view>

#include "core/List.h"
#include "output/ImageFile.h"
#include "output/ImageFormat.h"

namespace velm {

class CVelmDoc;
class Molecule;
class OffscreenRenderer;
class UiHooks;

// The vertical resolution an off-screen bitmap reports, in pixels per inch:
// the font scale numerator while it is drawn.
inline constexpr int kBitmapDeviceDpi = 96;

// renderToDib: the requested size clamped, fitted to the view's shape and
// memory limit (the view's size is the scene's settings.width x height),
// drawn off screen with labels scaled to the bitmap's resolution. The
// scene's size and font scale are as before afterwards. Throws "Unable to
// create DIB for storing image" when no bitmap can be made.
Dib RenderToDib(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                long long requestedWidth, long long requestedHeight, int printMemoryLimitKb);


// Tiles of big pictures are at most this many pixels a side, besides what
// the context takes: with 4 samples a 2048 x 2048 tile holds 128 MB.
inline constexpr int kMaxTileSide = 2048;
// A strip of tiles holds at most this many bytes of rows.
inline constexpr std::size_t kMaxStripBytes = std::size_t{256} << 20;

// The scene drawn at width x height, however large: in tiles when one
// framebuffer cannot hold it, a strip of tiles across the picture at a time,
// so that only one strip of rows is held. The scene's size and font scale
// are the picture's while it lives and as before afterwards; the off-screen
// context stays current. Throws "Unable to create DIB for storing image"
// for a size whose rows cannot be held. deviceDpi: the target's vertical
// resolution, which labels are scaled to (a printer's for printed pages).
class TiledPicture {
public:
    TiledPicture(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules, int width, int height,
                 int tileSide = kMaxTileSide, int deviceDpi = kBitmapDeviceDpi);
    ~TiledPicture();
    TiledPicture(const TiledPicture&) = delete;
    TiledPicture& operator=(const TiledPicture&) = delete;

    // Row y (0 the top) as width * 3 bytes R, G, B, valid until the next call.
    const std::uint8_t* RowFromTop(int y);
    int TilesAcross() const { return across_; }
    int Strips() const { return (height_ + stripHeight_ - 1) / stripHeight_; }

private:
    void DrawStrip(int strip);
    struct Saved;
    std::unique_ptr<Saved> saved_;
    const list<std::unique_ptr<Molecule>>& molecules_;
    int width_, height_;
    int across_ = 1, tileWidth_ = 0, stripHeight_ = 0;
    int strip_ = -1;
    std::vector<std::uint8_t> rows_;  // the strip's rows, top first, RGB
};

// A BMP or PNG picture of the scene of the requested size fitted to the
// view's shape (no limit to its size), written row by row as it is drawn.
void ExportPicture(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                   const std::string& path, ImageFormat format, long long requestedWidth, long long requestedHeight,
                   const std::string& title);


// Writes the DIB as the format says to path, through a temporary file that
// replaces the target only when complete. title: the PNG's "Title" text.
// Throws VelmError with the texts of the image writers.
void WriteImageFile(const std::string& path, ImageFormat format, const Dib& dib, const std::string& title);

// The scene as Encapsulated PostScript, drawn through OpenGL feedback at the
// view's size (the scene's settings.width x height), again with a doubled
// buffer until it fits; the file replaces the target only when complete.
// Throws VelmError.
void ExportPostScript(OffscreenRenderer& renderer, const list<std::unique_ptr<Molecule>>& molecules,
                      const std::string& path, UiHooks& ui);

// "Export Image": the document's scene into a file of the format its name
// asks for, a picture of the requested size (as renderToDib makes it, with
// the primary molecule's path as its title) or PostScript of the view.
// Throws VelmError.
void ExportImage(OffscreenRenderer& renderer, const CVelmDoc& document, const std::string& path,
                 long long requestedWidth, long long requestedHeight, UiHooks& ui);

}  // namespace velm
