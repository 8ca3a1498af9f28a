#pragma once
// "Export Image": the save-file dialog's filters choose the format; pictures
// then ask for their size in pixels ("Output dimensions (in pixels)"),
// starting from the window's.
#include <array>
#include <cstdint>
#include <string>

#include "output/ImageExport.h"

namespace velm {

class CVelmDoc;
class OffscreenRenderer;
class UiHooks;

struct ExportImageForm {
    static constexpr const char* kTitle = "Export Image";
    // In the order that numbers them 1 (PostScript), 2 (BMP), 3 (PNG).
    static constexpr std::array<const char*, 3> kFilters{"Postscript files (*.ps)", "Bitmap files (*.bmp)",
                                                         "PNG files (*.png)"};
    static constexpr std::uint64_t kMaxSide = 4294967295u;

    // The format of a 1-based filter number; throws "Unknown file format!" for any other.
    static ImageFormat FormatOfFilter(int filter);
    // PostScript takes the window's size and asks nothing.
    static bool AsksForSize(ImageFormat format) { return format != ImageFormat::PostScript; }

    std::string width, height;  // "Width:", "Height:" as typed

    static ExportImageForm For(int clientWidth, int clientHeight);
    // The message that keeps the dialog open ("Please enter a positive
    // integer.", "Please enter an integer between 1 and 4294967295."); empty
    // when OK may export.
    std::string Problem() const;
    // OK: the picture of the size asked for written to path (PostScript of
    // the window's size); a problem or a failure is shown through ui. Returns
    // whether the dialog closes: only a problem with the numbers keeps it open.
    bool Accept(OffscreenRenderer& renderer, const CVelmDoc& document, const std::string& path, ImageFormat format,
                UiHooks& ui) const;
};

}  // namespace velm
