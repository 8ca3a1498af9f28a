#pragma once
// Pictures of the scene: an off-screen render through the view's render pass
// into a DIB, then written as a BMP or PNG file.
#include <memory>
#include <string>
#include <string_view>

#include "core/List.h"
#include "output/ImageFile.h"

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

enum class ImageFormat { PostScript = 1, Bmp = 2, Png = 3 };
// The format a file name's extension asks for (.ps or .eps, .bmp, .png in any
// letter case); throws "Unknown file format!" for any other.
ImageFormat ImageFormatOfPath(std::string_view path);

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
