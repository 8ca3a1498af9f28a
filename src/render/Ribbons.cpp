#include "render/Ribbons.h"

#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "model/Molecule.h"
#include "model/ColourSchemes.h"
#include "render/GraphicsQuality.h"
#include "render/SplineCursor.h"
#include "render/ViewSettings.h"

namespace velm {

namespace {
void Vertex(const Vec3& p) { glVertex3d(p.x, p.y, p.z); }
void Normal(const Vec3& n) { glNormal3d(n.x, n.y, n.z); }

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

void DrawSolidRibbon(const Molecule& m, const DrawContext& context) {
    const Resolutions& q = context.settings.quality.Values();
    const Ring ring(q.ribbon);
    BeginSolids(context);
    ForEachRun(m, [&](int c, BackboneRun run) {
        SplineCursor cursor(m, c, q.spline, q.tension, run);
        SplineFrame previous, current;
        if (!cursor.NextFrame(previous)) return;

        NameAtom(context, previous.colourAtom);
        glBegin(GL_TRIANGLE_FAN);
        Normal(previous.tangent * -1.0);
        Colour(m, previous.colourAtom);
        Vertex(previous.centre);
        for (int k = 0; k < ring.points; ++k) Vertex(previous.centre + ring.Offset(previous, k));
        glEnd();

        glBegin(GL_TRIANGLE_STRIP);
        while (cursor.NextFrame(current)) {
            if (context.naming) {
                glEnd();
                NameAtom(context, previous.colourAtom);
                glBegin(GL_TRIANGLE_STRIP);
            }
            for (int k = 0; k < ring.points; ++k) {
                const Vec3 a = ring.Offset(previous, k), b = ring.Offset(current, k);
                Colour(m, previous.colourAtom);
                Normal(a);
                Vertex(previous.centre + a);
                Colour(m, current.colourAtom);
                Normal(b);
                Vertex(current.centre + b);
            }
            previous = current;
        }
        glEnd();

        // The end cap winds the other way: the ring mirrored across N.
        glBegin(GL_TRIANGLE_FAN);
        Normal(previous.tangent);
        Colour(m, previous.colourAtom);
        Vertex(previous.centre);
        for (int k = 0; k < ring.points; ++k)
            Vertex(previous.centre + previous.normal * ring.c[static_cast<size_t>(k)] -
                   previous.binormal * ring.s[static_cast<size_t>(k)]);
        glEnd();
    });
    EndSolids(context);
}

void DrawFlatRibbon(const Molecule& m, const DrawContext& context) {
    const Resolutions& q = context.settings.quality.Values();
    BeginSolids(context);
    glDisable(GL_CULL_FACE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    ForEachRun(m, [&](int c, BackboneRun run) {
        SplineCursor cursor(m, c, q.spline, q.tension, run);
        SplineFrame previous, current;
        if (!cursor.NextFrame(previous)) return;
        glBegin(GL_QUAD_STRIP);
        while (cursor.NextFrame(current)) {
            if (context.naming) {
                glEnd();
                NameAtom(context, previous.colourAtom);
                glBegin(GL_QUAD_STRIP);
            }
            for (const SplineFrame* f : {&previous, &current}) {
                Normal(f->binormal);
                Colour(m, f->colourAtom);
                Vertex(f->centre + f->normal);
                Vertex(f->centre - f->normal);
            }
            previous = current;
        }
        glEnd();
    });
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_FALSE);
    glEnable(GL_CULL_FACE);
    EndSolids(context);
}

}  // namespace velm
