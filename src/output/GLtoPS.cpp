#include "output/GLtoPS.h"

#include <GL/gl.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cctype>
#include <new>
#include <string_view>

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "render/GlyphFont.h"

namespace velm {

namespace {
constexpr int kVertexFloats = 7;  // x, y, z, r, g, b, a

// The procedures the primitives call. sealedfill fills the path and strokes
// it thinly in the same colour (round joins: no miter spikes at the sharp
// corners of thin triangles). gouraudtriangle takes a coordinate
// array [x1 x2 x3 y1 y2 y3] and three colour arrays [r g b]; while the
// colours differ by the threshold it splits the triangle at its edge
// midpoints, else fills it with the mean colour.
constexpr const char* kPrologue = R"(/bd {bind def} bind def
/sealedfill { gsave fill grestore gsave sealwidth setlinewidth 1 setlinejoin stroke grestore newpath } bd
/triangle { newpath aload pop setrgbcolor aload pop
  5 index 3 index moveto 4 index 2 index lineto 3 index 1 index lineto
  6 {pop} repeat closepath sealedfill } bd
/computediff1 { /d3 exch def /d2 exch def /d1 exch def
  d1 d2 sub abs threshold ge d1 d3 sub abs threshold ge or d2 d3 sub abs threshold ge or } bd
/computediff3 { /k3 exch def /k2 exch def /k1 exch def
  k1 0 get k2 0 get k3 0 get computediff1
  k1 1 get k2 1 get k3 1 get computediff1 or
  k1 2 get k2 2 get k3 2 get computediff1 or } bd
/middlecolor { /m2 exch def /m1 exch def
  [ m1 0 get m2 0 get add 2 div m1 1 get m2 1 get add 2 div m1 2 get m2 2 get add 2 div ] } bd
/gouraudtriangle { 32 dict begin
  /c3 exch def /c2 exch def /c1 exch def aload pop
  /y3 exch def /y2 exch def /y1 exch def /x3 exch def /x2 exch def /x1 exch def
  c1 c2 c3 computediff3 {
    /x12 x1 x2 add 2 div def /y12 y1 y2 add 2 div def
    /x13 x1 x3 add 2 div def /y13 y1 y3 add 2 div def
    /x23 x2 x3 add 2 div def /y23 y2 y3 add 2 div def
    /c12 c1 c2 middlecolor def /c13 c1 c3 middlecolor def /c23 c2 c3 middlecolor def
    [x1 x12 x13 y1 y12 y13] c1 c12 c13 gouraudtriangle
    [x12 x2 x23 y12 y2 y23] c12 c2 c23 gouraudtriangle
    [x13 x23 x3 y13 y23 y3] c13 c23 c3 gouraudtriangle
    [x12 x23 x13 y12 y23 y13] c12 c23 c13 gouraudtriangle
  } {
    [x1 x2 x3 y1 y2 y3]
    [ c1 0 get c2 0 get add c3 0 get add 3 div
      c1 1 get c2 1 get add c3 1 get add 3 div
      c1 2 get c2 2 get add c3 2 get add 3 div ] triangle
  } ifelse
  end } bd
/latin1font { findfont dup length dict begin
  { 1 index /FID ne { def } { pop pop } ifelse } forall
  /Encoding ISOLatin1Encoding def currentdict end /LabelFont exch definefont pop } bd
)";

// Floats a record of this token takes, -1 for a token that is none of ours.
int RecordFloats(const float* p) {
    switch (static_cast<int>(p[0])) {
    case GL_POINT_TOKEN:
    case GL_BITMAP_TOKEN: return 1 + kVertexFloats;
    case GL_LINE_TOKEN:
    case GL_LINE_RESET_TOKEN: return 1 + 2 * kVertexFloats;
    case GL_POLYGON_TOKEN: return 2 + static_cast<int>(p[1]) * kVertexFloats;
    case GL_PASS_THROUGH_TOKEN: return 2;
    default: return -1;
    }
}

std::vector<float> Allocate(size_t size) {
    try {
        return std::vector<float>(size);
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to allocate memory for feedback buffer");
    }
}

// Inside when strictly left of every edge: points on an edge are outside,
// and polygons wound clockwise contain nothing.
bool Contains(const float* polygon, float px, float py) {
    const int n = static_cast<int>(polygon[1]);
    const float* v = polygon + 2;
    for (int k = 0; k < n; ++k) {
        const float* a = v + k * kVertexFloats;
        const float* b = v + ((k + 1) % n) * kVertexFloats;
        if (!((b[1] - a[1]) * (px - a[0]) < (b[0] - a[0]) * (py - a[1]))) return false;
    }
    return n > 0;
}

// A label: its text as pass-through values, then the bitmap token of its
// first glyph, which carries where it starts, its colour and its depth.
struct TextRecord {
    int height = 0;
    std::string text;
    const float* start = nullptr;  // the first glyph's vertex
};

bool IsPassThrough(const float* feedback, int at, int count) {
    return at + 2 <= count && static_cast<int>(feedback[at]) == GL_PASS_THROUGH_TOKEN;
}

// False when the values at `at` are no label, or one whose glyphs did not
// come (its raster position was out of sight).
bool ReadText(const float* feedback, int at, int count, TextRecord& record) {
    if (!IsPassThrough(feedback, at, count) || feedback[at + 1] != kTextPassThrough) return false;
    if (!IsPassThrough(feedback, at + 2, count) || !IsPassThrough(feedback, at + 4, count)) return false;
    record.height = static_cast<int>(feedback[at + 3]);
    const float n = feedback[at + 5];
    if (!(n >= 1) || n > static_cast<float>(count)) return false;
    int next = at + 6;
    record.text.clear();
    for (int i = 0; i < static_cast<int>(n); ++i, next += 2) {
        if (!IsPassThrough(feedback, next, count)) return false;
        record.text += static_cast<char>(static_cast<unsigned char>(std::clamp(feedback[next + 1], 0.0f, 255.0f)));
    }
    if (next + 1 + kVertexFloats > count || static_cast<int>(feedback[next]) != GL_BITMAP_TOKEN) return false;
    record.start = feedback + next + 1;
    return record.height > 0;
}

// A PostScript string literal of the bytes.
std::string PsString(std::string_view text) {
    std::string out = "(";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '(' || c == ')' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 32 || c > 126) {
            char octal[8];
            std::snprintf(octal, sizeof octal, "\\%03o", c);
            out += octal;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + ")";
}

}  // namespace

std::string PostScriptFontName(const LabelFontDescription& font) {
    std::string face;
    for (const char c : font.face) face += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool bold = font.weight >= 600;
    const auto has = [&face](const char* part) { return face.find(part) != std::string::npos; };
    if (has("courier") || has("mono")) return std::string("Courier") + (bold ? "-Bold" : "") + (font.italic ? (bold ? "Oblique" : "-Oblique") : "");
    if (has("times") || (has("serif") && !has("sans")))
        return bold ? (font.italic ? "Times-BoldItalic" : "Times-Bold") : (font.italic ? "Times-Italic" : "Times-Roman");
    return std::string("Helvetica") + (bold ? "-Bold" : "") + (font.italic ? (bold ? "Oblique" : "-Oblique") : "");
}

GLtoPS::GLtoPS(std::FILE* file, size_t size, UiHooks* ui) : file_(file), ui_(ui) {
    if (!file) throw VelmError("Invalid file handle");
    buffer_ = Allocate(size > 0 ? size : kDefaultSize);
}

void GLtoPS::Begin() {
    glFeedbackBuffer(static_cast<GLsizei>(buffer_.size()), GL_3D_COLOR, buffer_.data());
    glRenderMode(GL_FEEDBACK);
}

bool GLtoPS::End() {
    const GLint count = glRenderMode(GL_RENDER);
    if (count < 0) {
        if (buffer_.size() > static_cast<size_t>(INT_MAX) / 2) throw VelmError("Unable to allocate memory for feedback buffer");
        const size_t doubled = buffer_.size() * 2;
        buffer_ = {};
        buffer_ = Allocate(doubled);
        return false;
    }
    GLfloat viewport[4], clear[4], lineWidth = 1, pointSize = 1;
    glGetFloatv(GL_VIEWPORT, viewport);
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glGetFloatv(GL_LINE_WIDTH, &lineWidth);
    glGetFloatv(GL_POINT_SIZE, &pointSize);
    Write(buffer_.data(), count, viewport, clear, lineWidth, pointSize);
    return true;
}

void GLtoPS::Write(const float* feedback, int count, const float viewport[4], const float clear[4], float lineWidth,
                   float pointSize) {
    lineWidth_ = lineWidth;
    pointSize_ = pointSize;
    textFontMade_ = false;
    textSize_ = 0;
    std::FILE* f = file_;
    std::fprintf(f, "%%!PS-Adobe-2.0 EPSF-2.0\n");
    std::fprintf(f, "%%%%Creator: %s (using OpenGL feedback)\n", "Velm");
    std::fprintf(f, "%%%%BoundingBox: %g %g %g %g\n", viewport[0], viewport[1], viewport[2], viewport[3]);
    std::fprintf(f, "%%%%EndComments\n\ngsave\n\n");
    std::fprintf(f, "%% the gouraudtriangle PostScript fragement below is free\n");
    std::fprintf(f, "%% smooth-shaded triangles are split until their colours agree within the threshold\n");
    std::fprintf(f, "/threshold %g def\n", static_cast<double>(gouraudThreshold));
    std::fprintf(f, "/sealwidth %g def\n", static_cast<double>(sealWidth));
    std::fputs(kPrologue, f);
    std::fprintf(f, "\n%g setlinewidth\n", static_cast<double>(lineWidth));
    std::fprintf(f, "%g %g %g setrgbcolor\n", clear[0], clear[1], clear[2]);
    std::fprintf(f, "gsave\nnewpath\n%g %g moveto\n%g 0 rlineto\n0 %g rlineto\n%g neg 0 rlineto\nclosepath\nfill\ngrestore\n\n",
                 viewport[0], viewport[1], viewport[2], viewport[3], viewport[2]);
    WritePrimitives(feedback, count);
    std::fprintf(f, "grestore\n\n%%Add `showpage' to the end of this file to be able to print to a printer.\n");
}

void GLtoPS::WritePrimitives(const float* feedback, int count) {
    // Count, then index every primitive with its depth.
    int primitives = 0;
    for (int at = 0; at < count;) {
        const int size = RecordFloats(feedback + at);
        if (size < 0 || at + size > count) throw VelmError("Unexpected feedback token");
        ++primitives;
        at += size;
    }
    std::vector<Entry> entries;
    try {
        entries.reserve(static_cast<size_t>(primitives));
    } catch (const std::bad_alloc&) {
        throw VelmError("Unable to allocate memory for PS primitives");
    }
    for (int at = 0; at < count;) {
        const float* p = feedback + at;
        float depth = 0;
        if (static_cast<int>(p[0]) == GL_PASS_THROUGH_TOKEN) {
            TextRecord text;
            if (ReadText(feedback, at, count, text)) entries.push_back({at, text.start[2], 0});
            at += 2;
            continue;
        }
        switch (static_cast<int>(p[0])) {
        case GL_POINT_TOKEN:
        case GL_BITMAP_TOKEN: depth = p[3]; break;
        case GL_LINE_TOKEN:
        case GL_LINE_RESET_TOKEN: depth = (p[3] + p[3 + kVertexFloats]) / 2; break;
        case GL_POLYGON_TOKEN: {
            const int n = static_cast<int>(p[1]);
            for (int k = 0; k < n; ++k) depth += p[2 + k * kVertexFloats + 2];
            depth = n > 0 ? depth / static_cast<float>(n) : 0;
            break;
        }
        default: throw VelmError("Unknown OpenGL feed back token!");
        }
        entries.push_back({at, depth, 0});
        at += RecordFloats(p);
    }
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.depth < b.depth; });
    Cull(feedback, entries);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.depth > b.depth; });
    for (const Entry& e : entries)
        if (e.emit) WritePrimitive(feedback + e.at, count - e.at);
}

void GLtoPS::Cull(const float* feedback, std::vector<Entry>& entries) {
    float lo[2] = {0, 0}, hi[2] = {0, 0};
    bool any = false;
    for (Entry& e : entries) {
        const float* p = feedback + e.at;
        if (static_cast<int>(p[0]) != GL_POLYGON_TOKEN) {
            e.emit = 1;
            continue;
        }
        const int n = static_cast<int>(p[1]);
        for (int k = 0; k < n; ++k) {
            const float* v = p + 2 + k * kVertexFloats;
            for (int d = 0; d < 2; ++d) {
                lo[d] = any ? std::min(lo[d], v[d]) : v[d];
                hi[d] = any ? std::max(hi[d], v[d]) : v[d];
            }
            any = true;
        }
    }
    if (!any) return;
    const int g = std::max(10, static_cast<int>(std::sqrt(static_cast<double>(static_cast<int>(entries.size()) / primitivesPerCell))));
    const float cw = (hi[0] - lo[0]) / static_cast<float>(g), ch = (hi[1] - lo[1]) / static_cast<float>(g);
    if (!(cw > 0) || !(ch > 0)) return;

    // Polygons per cell, nearest first: each in every cell its bounding box
    // reaches, so a large polygon behind a small one at its middle is still
    // sampled where it shows.
    std::vector<std::vector<int>> cells(static_cast<size_t>(g) * static_cast<size_t>(g));
    const auto cellOf = [&](float v, int d) {
        const float size = d == 0 ? cw : ch;
        return std::min(g - 1, std::max(0, static_cast<int>((v - lo[d]) / size)));
    };
    for (size_t i = 0; i < entries.size(); ++i) {
        const float* p = feedback + entries[i].at;
        if (static_cast<int>(p[0]) != GL_POLYGON_TOKEN) continue;
        const int n = static_cast<int>(p[1]);
        if (n <= 0) continue;
        float bx[2] = {p[2], p[2]}, by[2] = {p[3], p[3]};
        for (int k = 1; k < n; ++k) {
            const float* v = p + 2 + k * kVertexFloats;
            bx[0] = std::min(bx[0], v[0]), bx[1] = std::max(bx[1], v[0]);
            by[0] = std::min(by[0], v[1]), by[1] = std::max(by[1], v[1]);
        }
        for (int cy = cellOf(by[0], 1); cy <= cellOf(by[1], 1); ++cy)
            for (int cx = cellOf(bx[0], 0); cx <= cellOf(bx[1], 0); ++cx)
                cells[static_cast<size_t>(cy * g + cx)].push_back(static_cast<int>(i));
    }
    if (ui_) ui_->ProgressBegin("Writing PostScript", g);
    for (int cx = 0; cx < g; ++cx) {
        for (int cy = 0; cy < g; ++cy) {
            const std::vector<int>& list = cells[static_cast<size_t>(cy * g + cx)];
            if (list.empty()) continue;
            const int k = std::clamp(static_cast<int>(list.size()), 50, 100);
            const float x0 = lo[0] + static_cast<float>(cx) * cw, y0 = lo[1] + static_cast<float>(cy) * ch;
            const float x1 = x0 + cw, y1 = y0 + ch;
            const float sx = cw / static_cast<float>(k), sy = ch / static_cast<float>(k);
            for (float x = x0; x < x1; x += sx)
                for (float y = y0; y < y1; y += sy)
                    for (const int i : list)
                        if (Contains(feedback + entries[static_cast<size_t>(i)].at, x, y)) {
                            entries[static_cast<size_t>(i)].emit = 1;
                            break;
                        }
        }
        if (ui_) ui_->ProgressStep();
    }
    if (ui_) ui_->ProgressEnd();
}

void GLtoPS::WriteText(const float* p, int count) {
    TextRecord text;
    if (!ReadText(p, 0, count, text)) return;
    std::FILE* f = file_;
    if (!textFontMade_) {
        std::fprintf(f, "/%s latin1font\n", textFont.c_str());
        textFontMade_ = true;
    }
    if (text.height != textSize_) {
        std::fprintf(f, "/LabelFont findfont %d scalefont setfont\n", text.height);
        textSize_ = text.height;
    }
    const float* v = text.start;
    std::fprintf(f, "%g %g %g setrgbcolor\n%g %g moveto\n%s show\n\n", v[3], v[4], v[5], v[0], v[1],
                 PsString(text.text).c_str());
}

void GLtoPS::WritePrimitive(const float* p, int count) {
    std::FILE* f = file_;
    switch (static_cast<int>(p[0])) {
    case GL_PASS_THROUGH_TOKEN: WriteText(p, count); break;
    case GL_POINT_TOKEN: {
        const float* v = p + 1;
        std::fprintf(f, "%g %g %g setrgbcolor\n", v[3], v[4], v[5]);
        std::fprintf(f, "%g %g %g 0 360 arc fill\n\n", v[0], v[1], static_cast<double>(pointSize_) / 2);
        break;
    }
    case GL_LINE_TOKEN:
    case GL_LINE_RESET_TOKEN: {
        const float* a = p + 1;
        const float* b = p + 1 + kVertexFloats;
        const float dr = b[3] - a[3], dg = b[4] - a[4], db = b[5] - a[5];
        int steps = 0;
        if (dr != 0 || dg != 0 || db != 0) {
            const float dx = b[0] - a[0], dy = b[1] - a[1];
            const float distance = std::sqrt(dx * dx + dy * dy);
            const float m = std::max({std::fabs(dr), std::fabs(dg), std::fabs(db)});
            steps = static_cast<int>(std::max(1.0f, m * distance * smoothLineFactor));
        }
        std::fprintf(f, "%g %g %g setrgbcolor\n", a[3], a[4], a[5]);
        std::fprintf(f, "%g %g moveto\n", a[0], a[1]);
        if (steps > 0) {
            const float n = static_cast<float>(steps);
            const float ix = (b[0] - a[0]) / n, iy = (b[1] - a[1]) / n, ir = dr / n, ig = dg / n, ib = db / n;
            float x = a[0] - ix / 2, y = a[1] - iy / 2, r = a[3] - ir / 2, gr = a[4] - ig / 2, bl = a[5] - ib / 2;
            for (int s = 0; s < steps; ++s) {
                x += ix, y += iy, r += ir, gr += ig, bl += ib;
                std::fprintf(f, "%g %g lineto stroke\n", x, y);
                std::fprintf(f, "%g %g %g setrgbcolor\n", r, gr, bl);
                std::fprintf(f, "%g %g moveto\n", x, y);
            }
        }
        std::fprintf(f, "%g %g lineto stroke\n", b[0], b[1]);
        break;
    }
    case GL_POLYGON_TOKEN: {
        const int n = static_cast<int>(p[1]);
        const float* v = p + 2;
        bool flat = true;
        for (int k = 1; k < n && flat; ++k) {
            const float* w = v + k * kVertexFloats;
            flat = w[3] == v[3] && w[4] == v[4] && w[5] == v[5];
        }
        if (flat) {
            std::fprintf(f, "newpath\n%g %g %g setrgbcolor\n%g %g moveto\n", v[3], v[4], v[5], v[0], v[1]);
            for (int k = 1; k < n; ++k) std::fprintf(f, "%g %g lineto\n", v[k * kVertexFloats], v[k * kVertexFloats + 1]);
            std::fprintf(f, "closepath sealedfill\n\n");
        } else {
            for (int i = 1; i + 1 < n; ++i) {
                const float* a = v;
                const float* b = v + i * kVertexFloats;
                const float* c = v + (i + 1) * kVertexFloats;
                std::fprintf(f, "[%g %g %g %g %g %g]", a[0], b[0], c[0], a[1], b[1], c[1]);
                std::fprintf(f, " [%g %g %g] [%g %g %g] [%g %g %g] gouraudtriangle\n", a[3], a[4], a[5], b[3], b[4], b[5],
                             c[3], c[4], c[5]);
            }
        }
        break;
    }
    default: break;  // bitmaps: nothing
    }
}

}  // namespace velm
