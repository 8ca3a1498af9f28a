#include "render/GlyphFont.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

namespace velm {

namespace {

// One glyph as glBitmap takes it: rows bottom first, each padded to a byte.
struct GlyphBitmap {
    int width = 0;
    int rows = 0;
    float xorig = 0;
    float yorig = 0;
    float advance = 0;
    std::vector<std::uint8_t> bits;
};

struct LibraryDone {
    void operator()(FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceDone {
    void operator()(FT_Face face) const { FT_Done_Face(face); }
};
struct PatternDone {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using LibraryPtr = std::unique_ptr<FT_LibraryRec_, LibraryDone>;
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDone>;
using PatternPtr = std::unique_ptr<FcPattern, PatternDone>;

FT_Fixed Fixed(double v) { return static_cast<FT_Fixed>(std::lround(v * 65536.0)); }

bool SetSize(FT_Face face, int height) {
    const long wanted = std::labs(height);
    if (FT_IS_SCALABLE(face)) {
        if (height < 0) return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(wanted)) == 0;
        FT_Size_RequestRec request{};
        request.type = FT_SIZE_REQUEST_TYPE_CELL;
        request.height = wanted * 64;
        return FT_Request_Size(face, &request) == 0;
    }
    // A bitmap-only font: the strike nearest the height asked for.
    if (face->num_fixed_sizes <= 0) return false;
    int best = 0;
    for (int i = 1; i < face->num_fixed_sizes; ++i)
        if (std::labs(face->available_sizes[i].y_ppem / 64 - wanted) <
            std::labs(face->available_sizes[best].y_ppem / 64 - wanted))
            best = i;
    return FT_Select_Size(face, best) == 0;
}

bool Inked(const FT_Bitmap& bitmap, const unsigned char* row, unsigned x) {
    if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) return (row[x / 8] >> (7 - x % 8)) & 1;
    if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) return row[x] >= 128;
    return false;
}

GlyphBitmap RenderGlyph(FT_Face face, unsigned long code, bool embolden) {
    GlyphBitmap glyph;
    FT_GlyphSlot slot = face->glyph;
    if (FT_Load_Char(face, code, FT_LOAD_TARGET_MONO) != 0) return glyph;
    if (embolden) FT_GlyphSlot_Embolden(slot);
    if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0) return glyph;
    glyph.advance = static_cast<float>(slot->advance.x) / 64.f;

    const FT_Bitmap& bitmap = slot->bitmap;
    if (bitmap.width == 0 || bitmap.rows == 0 || !bitmap.buffer) return glyph;
    glyph.width = static_cast<int>(bitmap.width);
    glyph.rows = static_cast<int>(bitmap.rows);
    glyph.xorig = static_cast<float>(-slot->bitmap_left);
    glyph.yorig = static_cast<float>(glyph.rows - slot->bitmap_top);
    const std::size_t stride = (bitmap.width + 7) / 8;
    glyph.bits.assign(stride * bitmap.rows, 0);
    const std::size_t pitch = static_cast<std::size_t>(std::abs(bitmap.pitch));
    for (unsigned top = 0; top < bitmap.rows; ++top) {
        // A negative pitch means FreeType stored the rows bottom up.
        const std::size_t stored = bitmap.pitch >= 0 ? top : bitmap.rows - 1 - top;
        const unsigned char* source = bitmap.buffer + stored * pitch;
        std::uint8_t* target = glyph.bits.data() + (bitmap.rows - 1 - top) * stride;
        for (unsigned x = 0; x < bitmap.width; ++x)
            if (Inked(bitmap, source, x)) target[x / 8] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
    }
    return glyph;
}

}  // namespace

int ScaledFontHeight(int height, int numerator, int denominator) {
    if (numerator <= 0 || denominator <= 0) return 0;
    const long long product = static_cast<long long>(height) * numerator;
    const long long half = denominator / 2;
    const long long scaled = product >= 0 ? (product + half) / denominator : -((-product + half) / denominator);
    return static_cast<int>(std::clamp<long long>(scaled, -65535, 65535));
}

FontFileMatch FindFontFile(const LabelFontDescription& description) {
    FontFileMatch match;
    if (!FcInit()) return match;
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) return match;
    if (!description.face.empty())
        FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(description.face.c_str()));
    // Weight 0 is "don't care" in a font description.
    const int weight = description.weight > 0 ? std::clamp(description.weight, 1, 1000) : 400;
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern.get(), FC_SLANT, description.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern)) return match;
    FcDefaultSubstitute(pattern.get());

    FcResult result = FcResultNoMatch;
    PatternPtr font(FcFontMatch(nullptr, pattern.get(), &result));
    if (!font) return match;
    FcChar8* file = nullptr;
    if (FcPatternGetString(font.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return match;
    match.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(font.get(), FC_INDEX, 0, &match.index);
    FcBool embolden = FcFalse;
    if (FcPatternGetBool(font.get(), FC_EMBOLDEN, 0, &embolden) == FcResultMatch) match.embolden = embolden;
    FcMatrix* matrix = nullptr;
    if (FcPatternGetMatrix(font.get(), FC_MATRIX, 0, &matrix) == FcResultMatch && matrix)
        match.transform = {matrix->xx, matrix->xy, matrix->yx, matrix->yy};
    return match;
}

GlyphFont::~GlyphFont() { Delete(); }

void GlyphFont::Delete() {
    if (base_) glDeleteLists(base_, kGlyphs);
    base_ = 0;
    pixelHeight_ = 0;
    fontFile_.clear();
    advances_.fill(0);
}

float GlyphFont::TextWidth(std::string_view text) const {
    float width = 0;
    for (char c : text) width += advances_[static_cast<unsigned char>(c)];
    return width;
}

void GlyphFont::Draw(std::string_view text) const {
    // Without the glyph lists the bytes would call whatever lists 0..255 are.
    if (!base_ || text.empty()) return;
    GLint mode = GL_RENDER;
    glGetIntegerv(GL_RENDER_MODE, &mode);
    if (mode == GL_FEEDBACK) {
        glPassThrough(kTextPassThrough);
        glPassThrough(static_cast<GLfloat>(pixelHeight_));
        glPassThrough(static_cast<GLfloat>(text.size()));
        for (const char c : text) glPassThrough(static_cast<GLfloat>(static_cast<unsigned char>(c)));
    }
    glListBase(base_);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
}

bool GlyphFont::Build(const LabelFontDescription& description, int numerator, int denominator) {
    Delete();
    const int height = ScaledFontHeight(description.height, numerator, denominator);
    if (height == 0) return false;
    const FontFileMatch file = FindFontFile(description);
    if (file.path.empty()) return false;
    return BuildFromFile(file, height);
}

bool GlyphFont::BuildFromFile(const FontFileMatch& file, int height) {
    Delete();
    if (height == 0 || file.path.empty()) return false;

    std::vector<GlyphBitmap> glyphs;
    int emHeight = 0;
    {
        FT_Library rawLibrary = nullptr;
        if (FT_Init_FreeType(&rawLibrary) != 0) return false;
        LibraryPtr library(rawLibrary);
        FT_Face rawFace = nullptr;
        if (FT_New_Face(library.get(), file.path.c_str(), file.index, &rawFace) != 0) return false;
        FacePtr face(rawFace);
        if (!SetSize(face.get(), height)) return false;
        FT_Matrix matrix{Fixed(file.transform[0]), Fixed(file.transform[1]), Fixed(file.transform[2]),
                         Fixed(file.transform[3])};
        FT_Set_Transform(face.get(), &matrix, nullptr);
        emHeight = face->size->metrics.y_ppem;
        glyphs.reserve(kGlyphs);
        // A Latin-1 byte is the Unicode code point of the same number.
        for (unsigned long c = 0; c < kGlyphs; ++c) glyphs.push_back(RenderGlyph(face.get(), c, file.embolden));
    }

    const GLuint base = glGenLists(kGlyphs);
    if (!base) return false;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    // Mesa drops the raster move of a compiled glBitmap whose bitmap pointer
    // is null, so spaces need a pointer to something.
    static const GLubyte kNothing = 0;
    for (int c = 0; c < kGlyphs; ++c) {
        const GlyphBitmap& g = glyphs[static_cast<std::size_t>(c)];
        glNewList(base + static_cast<GLuint>(c), GL_COMPILE);
        glBitmap(g.width, g.rows, g.xorig, g.yorig, g.advance, 0, g.bits.empty() ? &kNothing : g.bits.data());
        glEndList();
        advances_[static_cast<std::size_t>(c)] = g.advance;
    }
    glPopClientAttrib();
    glListBase(base);
    base_ = base;
    pixelHeight_ = emHeight;
    fontFile_ = file.path;
    return true;
}

}  // namespace velm
