#include "render/Ribbons.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "core/Fingerprint.h"
#include "model/Molecule.h"
#include "model/ColourSchemes.h"
#include "render/GraphicsQuality.h"
#include "render/MeshBuffers.h"
#include "render/MeshSink.h"
#include "render/SplineCursor.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {
void Vertex(const Vec3& p) { glVertex3d(p.x, p.y, p.z); }

void Colour(const Molecule& m, int atom) { SetColour(m.atoms[static_cast<size_t>(atom)].colour); }

// Every run of every chain, at the positions drawn; a gap in a chain starts
// another curve.
template <typename Draw>
void ForEachRun(const Molecule& m, Draw draw) {
    const DrawnPositions at(m);
    for (int c = 0; c < static_cast<int>(m.chains.size()); ++c)
        for (const BackboneRun& run : BackboneRuns(m.chains[static_cast<size_t>(c)], at))
            if (run.count > 1) draw(c, run);
}

// The cross-section ring: 2m + 1 pairs (cos, -sin) of k pi / m, exact at
// k = 0, m and 2m so that the ring closes on itself.
struct Ring {
    static constexpr int kMaxPoints = 2 * kRibbonResolutionRange.maximum + 1;
    std::array<double, kMaxPoints> c{}, s{};
    int points;

    explicit Ring(int resolution) {
        const int m = std::clamp(resolution, kRibbonResolutionRange.minimum, kRibbonResolutionRange.maximum);
        points = 2 * m + 1;
        for (int k = 0; k < points; ++k) {
            const double theta = k * std::numbers::pi / m;
            c[static_cast<size_t>(k)] = std::cos(theta);
            s[static_cast<size_t>(k)] = -std::sin(theta);
        }
        c[0] = c[static_cast<size_t>(2 * m)] = 1;
        s[0] = s[static_cast<size_t>(2 * m)] = 0;
        c[static_cast<size_t>(m)] = -1;
        s[static_cast<size_t>(m)] = 0;
    }
    // cos(theta) N - sin(theta) B, with the stored pair (cos, -sin).
    Vec3 Offset(const SplineFrame& f, int k) const {
        return f.normal * c[static_cast<size_t>(k)] + f.binormal * s[static_cast<size_t>(k)];
    }
};

double Norm(double v, double lo, double hi) { return Normalised(v, lo, hi); }

}  // namespace

void PrepareRibbonSizes(Molecule& m, RenderMode mode) {
    const ValueRange temperature = TraceRange(m, &Atom::temperatureFactor);
    const ValueRange occupancy = TraceRange(m, &Atom::occupancy);
    for (Chain& chain : m.chains) {
        for (Residue& r : chain.residues) {
            double width = r.width, thickness = r.thickness;
            const Atom* ca = r.traceAtom >= 0 && r.traceAtom < m.AtomCount()
                                 ? &m.atoms[static_cast<size_t>(r.traceAtom)]
                                 : nullptr;
            switch (mode) {
            case SolidRibbon:
            case FlatRibbon:
                if (r.secondaryStructure >= 0 && r.secondaryStructure <= 2) width = 1, thickness = 0.5;
                else if (r.secondaryStructure == 3) width = 2, thickness = 0.2;
                else width = thickness = 0.2;
                break;
            case Tube: width = thickness = 0.5; break;
            case TemperatureTube:
                width = thickness =
                    2 * ((ca ? Norm(ca->temperatureFactor, temperature.smallest, temperature.largest) : 1) + 0.1);
                break;
            case OccupancyTube:
                width = thickness = 2 * ((ca ? Norm(ca->occupancy, occupancy.smallest, occupancy.largest) : 1) + 0.1);
                break;
            default: return;
            }
            r.width = width;
            r.thickness = thickness;
        }
    }
}

void DrawTraceSpline(const Molecule& m, const DrawContext& context) {
    const Resolutions& q = context.settings.quality.Values();
    glLineWidth(context.settings.lineWidth);
    ForEachRun(m, [&](int c, BackboneRun run) {
        SplineCursor cursor(m, c, q.spline, q.tension, run);
        glBegin(GL_LINE_STRIP);
        int named = -1;
        for (SplinePoint p; cursor.NextPoint(p);) {
            if (context.naming && p.atom != named) {  // the strip restarts at each residue
                glVertex3d(p.point.x, p.point.y, p.point.z);
                glEnd();
                NameAtom(context, named = p.atom);
                glBegin(GL_LINE_STRIP);
            }
            Colour(m, p.atom);
            Vertex(p.point);
        }
        glEnd();
    });
}

namespace {

void EmitSolidRibbon(const Molecule& m, const DrawContext& context, MeshSink& out) {
    const Resolutions& q = context.settings.quality.Values();
    const Ring ring(q.ribbon);
    const auto colour = [&](int atom) { out.Colour(m.atoms[static_cast<size_t>(atom)].colour); };
    ForEachRun(m, [&](int c, BackboneRun run) {
        SplineCursor cursor(m, c, q.spline, q.tension, run);
        SplineFrame previous, current;
        if (!cursor.NextFrame(previous)) return;

        NameAtom(context, previous.colourAtom);
        out.Begin(GL_TRIANGLE_FAN);
        out.Normal(previous.tangent * -1.0);
        colour(previous.colourAtom);
        out.Vertex(previous.centre);
        for (int k = 0; k < ring.points; ++k) out.Vertex(previous.centre + ring.Offset(previous, k));
        out.End();

        out.Begin(GL_TRIANGLE_STRIP);
        while (cursor.NextFrame(current)) {
            if (context.naming) {
                out.End();
                NameAtom(context, previous.colourAtom);
                out.Begin(GL_TRIANGLE_STRIP);
            }
            for (int k = 0; k < ring.points; ++k) {
                const Vec3 a = ring.Offset(previous, k), b = ring.Offset(current, k);
                colour(previous.colourAtom);
                out.Normal(a);
                out.Vertex(previous.centre + a);
                colour(current.colourAtom);
                out.Normal(b);
                out.Vertex(current.centre + b);
            }
            previous = current;
        }
        out.End();

        // The end cap winds the other way: the ring mirrored across N.
        out.Begin(GL_TRIANGLE_FAN);
        out.Normal(previous.tangent);
        colour(previous.colourAtom);
        out.Vertex(previous.centre);
        for (int k = 0; k < ring.points; ++k)
            out.Vertex(previous.centre + previous.normal * ring.c[static_cast<size_t>(k)] -
                       previous.binormal * ring.s[static_cast<size_t>(k)]);
        out.End();
    });
}

void EmitFlatRibbon(const Molecule& m, const DrawContext& context, MeshSink& out) {
    const Resolutions& q = context.settings.quality.Values();
    ForEachRun(m, [&](int c, BackboneRun run) {
        SplineCursor cursor(m, c, q.spline, q.tension, run);
        SplineFrame previous, current;
        if (!cursor.NextFrame(previous)) return;
        out.Begin(GL_QUAD_STRIP);
        while (cursor.NextFrame(current)) {
            if (context.naming) {
                out.End();
                NameAtom(context, previous.colourAtom);
                out.Begin(GL_QUAD_STRIP);
            }
            for (const SplineFrame* f : {&previous, &current}) {
                out.Normal(f->binormal);
                out.Colour(m.atoms[static_cast<size_t>(f->colourAtom)].colour);
                out.Vertex(f->centre + f->normal);
                out.Vertex(f->centre - f->normal);
            }
            previous = current;
        }
        out.End();
    });
}

// Everything the generators read: the resolutions, and per residue its
// trace and guide atoms (where they are drawn and the trace atom's colour),
// kind and sizes.
std::uint64_t RibbonInputs(const Molecule& m, const DrawContext& context, bool flat) {
    const Resolutions& q = context.settings.quality.Values();
    const DrawnPositions at(m);
    Fingerprint f;
    f.Add(static_cast<int>(flat));
    f.Add(q.spline), f.Add(q.ribbon), f.Add(q.tension);
    const auto position = [&](int atom) {
        if (atom < 0 || atom >= m.AtomCount()) return f.Add(-1);
        const Vec3 p = at[atom];
        f.Add(p.x), f.Add(p.y), f.Add(p.z);
    };
    for (const Chain& chain : m.chains) {
        f.Add(static_cast<int>(chain.residues.size()));
        for (const Residue& r : chain.residues) {
            f.Add(r.traceAtom), f.Add(r.guideAtom), f.Add(static_cast<int>(r.nucleotide));
            f.Add(r.width), f.Add(r.thickness);
            position(r.traceAtom);
            position(r.guideAtom);
            if (r.traceAtom >= 0 && r.traceAtom < m.AtomCount()) f.Add(m.atoms[static_cast<size_t>(r.traceAtom)].colour);
        }
    }
    return f.Value();
}

void Send(const Molecule& m, const DrawContext& context, MeshBuffers* buffers, bool flat,
          void (*emit)(const Molecule&, const DrawContext&, MeshSink&)) {
    if (buffers) {
        buffers->DrawRibbon(m, RibbonInputs(m, context, flat), [&](MeshSink& sink) { emit(m, context, sink); });
    } else {
        ImmediateMesh sink;
        emit(m, context, sink);
    }
}

}  // namespace

void DrawSolidRibbon(const Molecule& m, const DrawContext& context, MeshBuffers* buffers) {
    BeginSolids(context);
    Send(m, context, buffers, false, EmitSolidRibbon);
    EndSolids(context);
}

void DrawFlatRibbon(const Molecule& m, const DrawContext& context, MeshBuffers* buffers) {
    BeginSolids(context);
    glDisable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    Send(m, context, buffers, true, EmitFlatRibbon);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glEnable(GL_CULL_FACE);
    EndSolids(context);
}

}  // namespace velm
