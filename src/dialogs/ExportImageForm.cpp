#include "dialogs/ExportImageForm.h"

#include <charconv>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "dialogs/FieldText.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
// An unsigned number as the edit box takes it: digits only, spaces around allowed.
bool ParseSide(const std::string& text, std::uint64_t& value, bool& tooLarge) {
    const std::string_view t = TrimmedField(text);
    if (t.empty()) return false;
    const char* b = t.data();
    const char* e = t.data() + t.size();
    const auto [end, ec] = std::from_chars(b, e, value);
    if (end != e || *b == '-' || *b == '+') return false;
    tooLarge = ec == std::errc::result_out_of_range;
    return ec == std::errc() || tooLarge;
}

std::string SideProblem(const std::string& text) {
    std::uint64_t v = 0;
    bool tooLarge = false;
    if (!ParseSide(text, v, tooLarge)) return "Please enter a positive integer.";
    if (tooLarge || v < 1 || v > ExportImageForm::kMaxSide)
        return "Please enter an integer between 1 and " + std::to_string(ExportImageForm::kMaxSide) + ".";
    return {};
}

long long Side(const std::string& text) {
    std::uint64_t v = 0;
    bool tooLarge = false;
    ParseSide(text, v, tooLarge);
    return static_cast<long long>(v);
}
}  // namespace

ImageFormat ExportImageForm::FormatOfFilter(int filter) {
    switch (filter) {
    case 1: return ImageFormat::PostScript;
    case 2: return ImageFormat::Bmp;
    case 3: return ImageFormat::Png;
    default: throw VelmError("Unknown file format!");
    }
}

ExportImageForm ExportImageForm::For(int clientWidth, int clientHeight) {
    return {std::to_string(clientWidth), std::to_string(clientHeight)};
}

std::string ExportImageForm::Problem() const {
    if (std::string p = SideProblem(width); !p.empty()) return p;
    return SideProblem(height);
}

bool ExportImageForm::Accept(OffscreenRenderer& renderer, const CVelmDoc& document, const std::string& path,
                             ImageFormat format, UiHooks& ui) const {
    if (AsksForSize(format)) {
        if (const std::string p = Problem(); !p.empty()) {
            ui.Message(p);
            return false;
        }
    }
    try {
        WaitCursor wait(ui);
        if (format == ImageFormat::PostScript)
            ExportPostScript(renderer, document.Molecules(), path, ui);
        else
            ExportPicture(renderer, document.Molecules(), path, format, Side(width), Side(height),
                          document.Primary() ? document.Primary()->path : std::string());
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
    }
    return true;
}

}  // namespace velm
