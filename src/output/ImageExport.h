#pragma once
// Pictures of the scene: an off-screen render through the view's render pass
// into a DIB, then written as a BMP or PNG file.
#include <memory>
#include <string>
#include <string_view>

#include "core/List.h"
#include "output/ImageFile.h"

namespace velm {

class Molecule;
class UiHooks;
struct Scene;

// The vertical resolution an off-screen bitmap reports, in pixels per inch:
// the font scale numerator while it is drawn.
inline constexpr int kBitmapDeviceDpi = 96;

// renderToDib: the requested size clamped, fitted to the view's shape and
// memory limit (the view's size is scene.settings.width x height), drawn in a
// context of its own with labels scaled to the bitmap's resolution. The
// scene's size and font scale are as before afterwards. Throws "Unable to
// create DIB for storing image" when no bitmap can be made.
Dib RenderToDib(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, long long requestedWidth,
                long long requestedHeight, int printMemoryLimitKb);

enum class ImageFormat { PostScript = 1, Bmp = 2, Png = 3 };
// The format a file name's extension asks for (.ps or .eps, .bmp, .png in any
// letter case); throws "Unknown file format!" for any other.
ImageFormat ImageFormatOfPath(std::string_view path);

// Writes the DIB as the format says to path, through a temporary file that
// replaces the target only when complete. title: the PNG's "Title" text.
// Throws VelmError with the texts of the image writers.
void WriteImageFile(const std::string& path, ImageFormat format, const Dib& dib, const std::string& title);

// The scene as Encapsulated PostScript, drawn through OpenGL feedback in a
// context of the view's size (the scene's settings.width x height), again
// with a doubled buffer until it fits; the file replaces the target only
// when complete. Throws VelmError.
void ExportPostScript(Scene& scene, const list<std::unique_ptr<Molecule>>& molecules, const std::string& path,
                      UiHooks& ui);

}  // namespace velm
