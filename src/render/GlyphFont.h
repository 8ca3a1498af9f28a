#pragma once
// The label font: the 256 Latin-1 glyphs of a font as glBitmap display lists,
// so that a label is drawn by calling the lists with the bytes of its text.
// Fonts are found with fontconfig and rendered with FreeType, the same way on
// screen and off screen, so exported images carry the labels the window shows.
#include <array>
#include <string>
#include <string_view>

namespace velm {

// What the font dialog chooses. The height follows the font-description
// convention: negative is the character (em) height in pixels, positive the
// cell height (ascent plus descent).
struct LabelFontDescription {
    std::string face = "Arial";
    int height = -18;
    int weight = 700;  // 100 thin .. 400 normal .. 700 bold .. 900 black
    bool italic = false;
    bool operator==(const LabelFontDescription&) const = default;
};

// The description's height times numerator / denominator, rounded half away
// from zero, keeping the sign. 0 when the ratio is not positive.
int ScaledFontHeight(int height, int numerator, int denominator);

// The font file fontconfig picks for a description. With the face absent it
// gives a metric-compatible one where the system has it ("Arial" → Liberation
// Sans) or else its best other font. When the file has no bold or italic
// style of its own, fontconfig asks for the glyphs to be emboldened or slanted.
struct FontFileMatch {
    std::string path;  // empty when the system has no font at all
    int index = 0;     // face index inside a collection
    bool embolden = false;
    std::array<double, 4> transform{1, 0, 0, 1};  // xx, xy, yx, yy
};
FontFileMatch FindFontFile(const LabelFontDescription& description);

// The pass-through values a label leaves in the feedback buffer ahead of its
// glyphs' bitmap tokens: this marker, the em height in pixels, the byte count,
// then each byte.
inline constexpr float kTextPassThrough = 24081;

class GlyphFont {
public:
    static constexpr int kGlyphs = 256;

    GlyphFont() = default;
    // Deletes the lists: the context that holds them must be current.
    ~GlyphFont();
    GlyphFont(const GlyphFont&) = delete;
    GlyphFont& operator=(const GlyphFont&) = delete;

    // Deletes the current lists and builds new ones in the current context for
    // the description at its height scaled by numerator / denominator (the
    // output device's resolution against the screen's). Returns false, with
    // no lists, when no font can be made; labels then draw nothing. Sets the
    // GL list base to the new base.
    bool Build(const LabelFontDescription& description, int numerator, int denominator);
    // The same from a given font file; height as in the description.
    bool BuildFromFile(const FontFileMatch& file, int height);
    void Delete();

    // First of the 256 consecutive lists, 0 when there are none.
    unsigned ListBase() const { return base_; }
    // Where the raster position moves after the glyph, in pixels.
    float Advance(unsigned char c) const { return advances_[c]; }
    float TextWidth(std::string_view text) const;
    // The em height the glyphs were rendered at, 0 without lists.
    int PixelHeight() const { return pixelHeight_; }
    // The file the glyphs came from, empty without lists.
    const std::string& FontFile() const { return fontFile_; }

    // Draws the text's bytes from the current raster position, in the colour
    // that was current when the raster position was set. Nothing without lists.
    // In feedback mode the text itself goes first as pass-through values (see
    // kTextPassThrough), since the glyphs come back as bare positions.
    void Draw(std::string_view text) const;

private:
    unsigned base_ = 0;
    int pixelHeight_ = 0;
    std::string fontFile_;
    std::array<float, kGlyphs> advances_{};
};

}  // namespace velm
