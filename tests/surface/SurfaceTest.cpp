#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "model/VelmSurface.h"
#include "surface/AreaReport.h"
#include "surface/MarchingCubes.h"
#include "surface/SurfaceBuild.h"
#include "support/TestData.h"

using namespace velm;

namespace {

struct Sphere {
    Vec3 centre;
    double radius;
    int hetero = 0;
};

std::unique_ptr<Molecule> Spheres(const std::vector<Sphere>& spheres) {
    auto m = std::make_unique<Molecule>();
    int serial = 1;
    for (const Sphere& s : spheres) {
        Atom a;
        a.x = s.centre.x, a.y = s.centre.y, a.z = s.centre.z;
        a.radius = s.radius;
        a.hetero = s.hetero;
        a.serial = serial++;
        m->atoms.push_back(a);
    }
    return m;
}

// How the triangles share their edges: undirected edges not used by exactly
// two triangles, and directed edges used more than once (two neighbours
// wound against each other).
struct EdgeCount {
    int open = 0;
    int misoriented = 0;
};

EdgeCount CountEdges(const VelmSurface& s) {
    std::map<std::pair<int, int>, int> undirected, directed;
    for (size_t t = 0; t < s.indices.size(); t += 3)
        for (int k = 0; k < 3; ++k) {
            const int a = s.indices[t + static_cast<size_t>(k)], b = s.indices[t + static_cast<size_t>((k + 1) % 3)];
            ++undirected[{std::min(a, b), std::max(a, b)}];
            ++directed[{a, b}];
        }
    EdgeCount c;
    for (const auto& [e, n] : undirected) c.open += n != 2;
    for (const auto& [e, n] : directed) c.misoriented += n > 1;
    return c;
}

Vec3 Vertex(const VelmSurface& s, int i) {
    return {s.vertices[3 * static_cast<size_t>(i)], s.vertices[3 * static_cast<size_t>(i) + 1], s.vertices[3 * static_cast<size_t>(i) + 2]};
}


Vec3 Centroid(const VelmSurface& s) {
    Vec3 c{0, 0, 0};
    for (int i = 0; i < s.VertexCount(); ++i) c += Vertex(s, i);
    return c * (1.0 / s.VertexCount());
}

class Loaded {
public:
    explicit Loaded(const std::string& name) : doc(ui) {
        doc.options.computeSecondaryStructure = 0;
        EXPECT_EQ(doc.AddMoleculeFromFile(test::DataPath(name)), 1);
    }
    Molecule& molecule() { return *doc.Primary(); }
    RecordingUiHooks ui;
    CVelmDoc doc;
};

TEST(SurfaceBuild, SingleAtomGivesAClosedOutwardSphereAtTheIsoLevel) {
    const Vec3 centre{0.31, -0.17, 0.05};  // off the grid's symmetry
    const double r = 1.5;
    auto m = Spheres({{centre, r}});
    RecordingUiHooks ui;
    BuildSurface(*m, ui, 1);
    const VelmSurface& s = m->surface;
    ASSERT_TRUE(s.built);
    ASSERT_GT(s.TriangleCount(), 100);
    EXPECT_EQ(s.frameIndex, -1);
    EXPECT_EQ(s.normals.size(), s.vertices.size());

    const EdgeCount edges = CountEdges(s);
    EXPECT_EQ(edges.open, 0);
    EXPECT_EQ(edges.misoriented, 0);

    // 1 / (s^3 + 1) = 0.475 with s = d^2 / r^2.
    const double expected = r * std::sqrt(std::cbrt(1 / 0.475 - 1));
    for (int i = 0; i < s.VertexCount(); ++i) {
        EXPECT_NEAR(Length(Vertex(s, i) - centre), expected, s.spacing / 4) << "vertex " << i;
        EXPECT_EQ(s.nearestAtom[static_cast<size_t>(i)], 0);
        const Vec3 n{s.normals[3 * static_cast<size_t>(i)], s.normals[3 * static_cast<size_t>(i) + 1], s.normals[3 * static_cast<size_t>(i) + 2]};
        EXPECT_GT(Dot(n, Vertex(s, i) - centre), 0) << "gradient of vertex " << i << " points inwards";
    }
    // Welding can fold a sliver over; such a triangle may face inwards but
    // carries next to no area.
    double area = 0, inwardArea = 0;
    for (int t = 0; t < s.TriangleCount(); ++t) {
        const Vec3 P = Vertex(s, s.indices[3 * static_cast<size_t>(t)]), Q = Vertex(s, s.indices[3 * static_cast<size_t>(t) + 1]),
                   R = Vertex(s, s.indices[3 * static_cast<size_t>(t) + 2]);
        const Vec3 f = Cross(Q - P, R - P);
        area += Length(f) / 2;
        if (Dot(f, (P + Q + R) * (1.0 / 3) - centre) <= 0) inwardArea += Length(f) / 2;
    }
    std::printf("sphere: %d triangles, area %.4f, facing inwards %.6f\n", s.TriangleCount(), area, inwardArea);
    EXPECT_NEAR(area, 4 * M_PI * expected * expected, 0.05 * area);  // a coarse polyhedron lies inside
    EXPECT_LT(inwardArea, 5e-3 * area);

    // The progress bar is opened and closed once.
    EXPECT_EQ(ui.with("progress-begin:").size(), 1u);
    EXPECT_EQ(ui.with("progress-end").size(), 1u);
}

TEST(SurfaceBuild, ProbeRadiusWidensTheSphere) {
    auto m = Spheres({{{0, 0, 0}, 1.2}});
    m->surface.probeRadius = 1.0f;
    RecordingUiHooks ui;
    BuildSurface(*m, ui, 1);
    const double expected = 2.2 * std::sqrt(std::cbrt(1 / 0.475 - 1));
    ASSERT_GT(m->surface.VertexCount(), 0);
    for (int i = 0; i < m->surface.VertexCount(); ++i) EXPECT_NEAR(Length(Vertex(m->surface, i)), expected, m->surface.spacing / 4);
}

TEST(SurfaceBuild, SampleProteinMeshIsClosedAndConsistentlyWound) {
    Loaded ubi("1ubi.pdb");
    BuildSurface(ubi.molecule(), ubi.ui, 1);
    const VelmSurface& s = ubi.molecule().surface;
    ASSERT_TRUE(s.built);
    const EdgeCount edges = CountEdges(s);
    RecordProperty("triangles", s.TriangleCount());
    RecordProperty("open_edges", edges.open);
    RecordProperty("misoriented_edges", edges.misoriented);
    std::printf("1ubi: %d vertices, %d triangles, %d open edges, %d misoriented edges\n", s.VertexCount(), s.TriangleCount(),
                edges.open, edges.misoriented);
    EXPECT_GT(s.TriangleCount(), 10000);
    // Welding corners within half a grid step joins the sheets of narrow
    // crevices here and there; the rest of the mesh is closed and wound one way.
    const int sides = 3 * s.TriangleCount() / 2;
    EXPECT_LT(edges.open, sides / 200);
    EXPECT_LT(edges.misoriented, sides / 100);
    for (int v : s.nearestAtom) {
        ASSERT_GE(v, 0);
        ASSERT_LT(v, ubi.molecule().AtomCount());
        EXPECT_FALSE(ubi.molecule().atoms[static_cast<size_t>(v)].hetero);
    }
}

TEST(SurfaceBuild, ThreadsGiveTheSerialArraysExactly) {
    Loaded pept("pept.pdb");
    Molecule& m = pept.molecule();
    BuildSurface(m, pept.ui, 1);
    const VelmSurface serial = m.surface;
    ASSERT_GT(serial.TriangleCount(), 0);
    for (int threads : {2, 3, 7}) {
        BuildSurface(m, pept.ui, threads);
        EXPECT_EQ(m.surface.vertices, serial.vertices) << threads;
        EXPECT_EQ(m.surface.normals, serial.normals) << threads;
        EXPECT_EQ(m.surface.nearestAtom, serial.nearestAtom) << threads;
        EXPECT_EQ(m.surface.indices, serial.indices) << threads;
    }
}

TEST(SurfaceBuild, ProgressRisesToTheEndAndCancelStopsAnywhereWithoutASurface) {
    Loaded pept("pept.pdb");
    Molecule& m = pept.molecule();
    ASSERT_TRUE(BuildSurface(m, pept.ui, 2));
    int previous = 0;
    for (const std::string& p : pept.ui.with("progress-set:")) {
        EXPECT_GE(std::stoi(p), previous);
        previous = std::stoi(p);
    }
    EXPECT_EQ(previous, 200);

    // Sampling, contouring, welding, normals, winding.
    for (int at : {1, 60, 150, 200}) {
        RecordingUiHooks ui;
        ui.cancelAt = at;
        EXPECT_FALSE(BuildSurface(m, ui, 2)) << at;
        EXPECT_FALSE(m.surface.built) << at;
        EXPECT_TRUE(m.surface.vertices.empty() && m.surface.indices.empty()) << at;
        EXPECT_EQ(ui.with("progress-end").size(), 1u) << at;
        EXPECT_LT(ui.progress, at + 50) << "went on after Cancel at " << at;

        const AreaReport report = SurfaceAreaReport(m, AreaReportKind::ByAtom, ui);
        EXPECT_TRUE(report.cancelled && report.text.empty()) << at;
        EXPECT_FALSE(m.surface.built) << at;
    }
}

TEST(SurfaceBuild, NoAtomsBuildNothingAndHeteroAtomsOnlyWithSolvent) {
    RecordingUiHooks ui;
    Molecule empty;
    BuildSurface(empty, ui, 1);
    EXPECT_FALSE(empty.surface.built);
    EXPECT_EQ(empty.surface.VertexCount(), 0);
    EXPECT_TRUE(ui.calls.empty());

    const Vec3 protein{0, 0, 0}, water{6, 0, 0};
    auto m = Spheres({{protein, 1.5}, {water, 1.5, 1}});
    BuildSurface(*m, ui, 1);
    ASSERT_TRUE(m->surface.built);
    const Vec3 without = Centroid(m->surface);
    EXPECT_LT(Length(without - protein), 0.1);
    for (int v : m->surface.nearestAtom) EXPECT_EQ(v, 0);

    m->surface.includeSolvent = true;
    BuildSurface(*m, ui, 1);
    int nearWater = 0;
    for (int v : m->surface.nearestAtom) nearWater += v == 1;
    EXPECT_GT(nearWater, m->surface.VertexCount() * 2 / 5);
    EXPECT_LT(nearWater, m->surface.VertexCount() * 3 / 5);
    EXPECT_LT(Length(Centroid(m->surface) - (protein + water) * 0.5), 0.2);
    EXPECT_EQ(CountEdges(m->surface).open, 0);

    // Hetero atoms alone leave an empty mesh.
    auto lone = Spheres({{water, 1.5, 1}});
    BuildSurface(*lone, ui, 1);
    EXPECT_EQ(lone->surface.TriangleCount(), 0);
}

TEST(SurfaceBuild, FollowsTheFrameShown) {
    auto m = Spheres({{{0, 0, 0}, 1.5}, {{2, 0, 0}, 1.5}});
    Frame f(2);
    f.SetPosition(0, {5, 1, 0});
    f.SetPosition(1, {7, 1, 0});
    m->frames.Append(f);
    RecordingUiHooks ui;
    BuildSurface(*m, ui, 1);
    const Vec3 atFrame0 = Centroid(m->surface);
    EXPECT_EQ(m->surface.frameIndex, -1);

    m->currentFrame = 1;
    BuildSurface(*m, ui, 1);
    EXPECT_EQ(m->surface.frameIndex, 0);
    const Vec3 moved = Centroid(m->surface) - atFrame0;
    EXPECT_NEAR(moved.x, 5, 0.05);
    EXPECT_NEAR(moved.y, 1, 0.05);
    EXPECT_NEAR(moved.z, 0, 0.05);
}

TEST(SurfaceBuild, StyleCommandBuildsRestylesAndDiscards) {
    auto m = Spheres({{{0, 0, 0}, 1.5}});
    RecordingUiHooks ui;
    SurfaceStyleCommand(*m, MeshSurface, ui);
    ASSERT_TRUE(m->surface.built);
    EXPECT_EQ(m->surface.style, MeshSurface);
    EXPECT_EQ(ui.waitDepth, 0);
    const float* data = m->surface.vertices.data();

    // Another style keeps the mesh as it is.
    SurfaceStyleCommand(*m, DotSurface, ui);
    EXPECT_TRUE(m->surface.built);
    EXPECT_EQ(m->surface.style, DotSurface);
    EXPECT_EQ(m->surface.vertices.data(), data);
    EXPECT_EQ(ui.with("progress-begin:").size(), 1u);

    // The same style again takes the surface away, the next one builds anew.
    SurfaceStyleCommand(*m, DotSurface, ui);
    EXPECT_FALSE(m->surface.built);
    EXPECT_TRUE(m->surface.vertices.empty());
    EXPECT_TRUE(m->surface.indices.empty());
    SurfaceStyleCommand(*m, SolidSurface, ui);
    EXPECT_TRUE(m->surface.built);
    EXPECT_EQ(m->surface.style, SolidSurface);
    EXPECT_EQ(ui.with("progress-begin:").size(), 2u);
}

TEST(SurfaceBuild, AreaOfAnUnbuiltSurfaceIsAnError) {
    VelmSurface s;
    std::vector<float> areas;
    try {
        GetAtomSurfaceArea(s, areas, 3);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("Can not compute surface area for invalid surface"), std::string::npos) << e.what();
    }
}

TEST(SurfaceResolution, PositionOfTheDefaultAndEndSpacings) {
    EXPECT_EQ(SurfaceResolutionPosition(0.595f), 70);
    EXPECT_EQ(SurfaceResolutionPosition(1.75f), 0);
    EXPECT_EQ(SurfaceResolutionPosition(0.1f), 100);
    VelmSurface defaults;
    EXPECT_EQ(SurfaceResolutionPosition(defaults.spacing), 70);
}

TEST(SurfaceResolution, SliderPositionAndSpacing) {
    EXPECT_EQ(SurfaceResolutionPosition(1.75f), 0);
    EXPECT_EQ(SurfaceResolutionPosition(1.0f), 45);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(70, 1), 0.595f);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(0, 1), 1.75f);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(100, 1), 0.1f);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(50, 1), 0.925f);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(-1, 0.3f), 0.3f);
    EXPECT_FLOAT_EQ(SpacingFromResolutionPosition(101, 0.3f), 0.3f);
    // Finer spacing, higher position, never past the ends.
    int previous = -1;
    for (int p = 0; p <= 100; ++p) {
        const int back = SurfaceResolutionPosition(SpacingFromResolutionPosition(p, 1));
        EXPECT_GE(back, previous);
        EXPECT_LE(std::abs(back - p), 1) << p;
        previous = back;
    }
}

// ---------------------------------------------------------------------------
// Marching-cubes cases

bool Low(int cube, int corner) { return (cube >> corner) & 1; }

std::vector<std::array<int, 3>> Triangles(int cube) {
    const auto& list = GetMarchingCubesTables().triangles[static_cast<size_t>(cube)];
    std::vector<std::array<int, 3>> out;
    for (int t = 0; t + 2 < 16 && list[static_cast<size_t>(t)] >= 0; t += 3)
        out.push_back({list[static_cast<size_t>(t)], list[static_cast<size_t>(t) + 1], list[static_cast<size_t>(t) + 2]});
    return out;
}

Vec3 EdgeMiddle(int e) {
    const int* a = kCubeCorners[kCubeEdgeCorners[e][0]];
    const int* b = kCubeCorners[kCubeEdgeCorners[e][1]];
    return {(a[0] + b[0]) / 2.0, (a[1] + b[1]) / 2.0, (a[2] + b[2]) / 2.0};
}

// Directed triangle sides of a case that no other triangle of it runs back
// along: the surface's boundary on the cube's faces.
std::map<std::pair<int, int>, int> Boundary(int cube) {
    std::map<std::pair<int, int>, int> sides;
    for (const auto& t : Triangles(cube))
        for (int k = 0; k < 3; ++k) ++sides[{t[static_cast<size_t>(k)], t[static_cast<size_t>((k + 1) % 3)]}];
    std::map<std::pair<int, int>, int> boundary;
    for (const auto& [s, n] : sides) {
        const auto back = sides.find({s.second, s.first});
        const int net = n - (back == sides.end() ? 0 : back->second);
        if (net > 0) boundary[s] = net;
    }
    return boundary;
}

TEST(MarchingCubesTables, EdgesAreTheCrossedOnesAndMatchTheUsualTable) {
    const auto& tables = GetMarchingCubesTables();
    for (int cube = 0; cube < 256; ++cube) {
        unsigned expected = 0;
        for (int e = 0; e < 12; ++e)
            if (Low(cube, kCubeEdgeCorners[e][0]) != Low(cube, kCubeEdgeCorners[e][1])) expected |= 1u << e;
        EXPECT_EQ(tables.edges[static_cast<size_t>(cube)], expected) << cube;
    }
    EXPECT_EQ(tables.edges[0], 0);
    EXPECT_EQ(tables.edges[255], 0);
    EXPECT_EQ(tables.edges[1], 0x109);
    EXPECT_EQ(tables.edges[2], 0x203);
    EXPECT_EQ(tables.edges[3], 0x30a);
    EXPECT_EQ(tables.edges[16], 0x190);
    EXPECT_EQ(tables.edges[128], 0x8c0);
    EXPECT_EQ(tables.edges[0x55], 0x0ff);
}

TEST(MarchingCubesTables, TrianglesUseExactlyTheCrossedEdgesAndCloseOnTheFaces) {
    const auto& tables = GetMarchingCubesTables();
    for (int cube = 0; cube < 256; ++cube) {
        const auto& list = tables.triangles[static_cast<size_t>(cube)];
        int count = 0;
        while (count < 16 && list[static_cast<size_t>(count)] >= 0) ++count;
        EXPECT_EQ(count % 3, 0) << cube;
        EXPECT_LE(count, 15) << cube;
        for (int k = count; k < 16; ++k) EXPECT_EQ(list[static_cast<size_t>(k)], -1) << cube;

        unsigned used = 0;
        for (const auto& t : Triangles(cube)) {
            EXPECT_TRUE(t[0] != t[1] && t[1] != t[2] && t[0] != t[2]) << cube;
            for (int e : t) used |= 1u << e;
        }
        EXPECT_EQ(used, tables.edges[static_cast<size_t>(cube)]) << cube;

        // Every boundary side joins two edges of one face.
        for (const auto& [side, n] : Boundary(cube)) {
            EXPECT_EQ(n, 1) << cube;
            const Vec3 a = EdgeMiddle(side.first), b = EdgeMiddle(side.second);
            const bool shareFace = a.x == b.x && (a.x == 0 || a.x == 1) ? true
                                   : a.y == b.y && (a.y == 0 || a.y == 1) ? true
                                                                          : a.z == b.z && (a.z == 0 || a.z == 1);
            EXPECT_TRUE(shareFace) << cube << ": side " << side.first << "-" << side.second;
        }
    }
}

TEST(MarchingCubesTables, LoneCornersAreWoundTowardsTheLowSide) {
    for (int corner = 0; corner < 8; ++corner) {
        const Vec3 c{double(kCubeCorners[corner][0]), double(kCubeCorners[corner][1]), double(kCubeCorners[corner][2])};
        for (int cube : {1 << corner, 255 ^ (1 << corner)}) {
            const auto tris = Triangles(cube);
            ASSERT_EQ(tris.size(), 1u) << cube;
            const Vec3 P = EdgeMiddle(tris[0][0]), Q = EdgeMiddle(tris[0][1]), R = EdgeMiddle(tris[0][2]);
            const double towardsCorner = Dot(Cross(Q - P, R - P), c - P);
            if (cube == 1 << corner) EXPECT_GT(towardsCorner, 0) << cube;
            else EXPECT_LT(towardsCorner, 0) << cube;
        }
    }
}

// Two cubes sharing a face see the same crossings on it; their boundaries
// there must run opposite ways so the meshes meet side to side.
TEST(MarchingCubesTables, NeighbouringCubesMeetEdgeToEdge) {
    const auto cornerAt = [](int x, int y, int z) {
        for (int c = 0; c < 8; ++c)
            if (kCubeCorners[c][0] == x && kCubeCorners[c][1] == y && kCubeCorners[c][2] == z) return c;
        return -1;
    };
    const auto edgeOf = [](int a, int b) {
        for (int e = 0; e < 12; ++e)
            if ((kCubeEdgeCorners[e][0] == a && kCubeEdgeCorners[e][1] == b) || (kCubeEdgeCorners[e][0] == b && kCubeEdgeCorners[e][1] == a))
                return e;
        return -1;
    };
    int mismatches = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int cube = 0; cube < 256; ++cube)
            for (int far : {0, 255}) {
                // The neighbour along +axis: its corners at 0 are ours at 1;
                // its others are all low or all high.
                int next = 0;
                int map[8];  // our corner on the shared face -> the neighbour's
                for (int c = 0; c < 8; ++c) {
                    int q[3] = {kCubeCorners[c][0], kCubeCorners[c][1], kCubeCorners[c][2]};
                    if (q[axis] == 0) {
                        q[axis] = 1;
                        const int ours = cornerAt(q[0], q[1], q[2]);
                        if (Low(cube, ours)) next |= 1 << c;
                        map[ours] = c;
                    } else if (far & (1 << c)) {
                        next |= 1 << c;
                    }
                }
                std::map<std::pair<int, int>, int> expected;
                for (const auto& [side, n] : Boundary(cube)) {
                    const int* a = kCubeEdgeCorners[side.first];
                    const int* b = kCubeEdgeCorners[side.second];
                    if (kCubeCorners[a[0]][axis] != 1 || kCubeCorners[a[1]][axis] != 1 || kCubeCorners[b[0]][axis] != 1 ||
                        kCubeCorners[b[1]][axis] != 1)
                        continue;
                    expected[{edgeOf(map[b[0]], map[b[1]]), edgeOf(map[a[0]], map[a[1]])}] = n;
                }
                std::map<std::pair<int, int>, int> seen;
                for (const auto& [side, n] : Boundary(next)) {
                    const int* a = kCubeEdgeCorners[side.first];
                    const int* b = kCubeEdgeCorners[side.second];
                    if (kCubeCorners[a[0]][axis] == 0 && kCubeCorners[a[1]][axis] == 0 && kCubeCorners[b[0]][axis] == 0 &&
                        kCubeCorners[b[1]][axis] == 0)
                        seen[side] = n;
                }
                mismatches += seen != expected;
                EXPECT_EQ(seen, expected) << "axis " << axis << " cube " << cube << " neighbour " << next;
            }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
