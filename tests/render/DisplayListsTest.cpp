#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "render/DisplayLists.h"
#include "render/GraphicsQuality.h"
#include "render/OffscreenContext.h"
#include "render/ViewSettings.h"

using namespace velm;

namespace {

struct Vertex {
    double x, y, z;  // eye coordinates, recovered from window coordinates
    double red;      // lit colour
};
using Polygon = std::vector<Vertex>;

constexpr int kSize = 200;

// The lists are read back through the feedback buffer: every polygon GL
// would rasterise, with its vertices and their lit colours. Mesa hands back
// each quad as two triangles.
class DisplayListsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1); }
    void SetUp() override {
        context_ = std::make_unique<OffscreenContext>(kSize, kSize);
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-2, 2, -2, 2, -2, 2);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        // Diffuse white light only, so a vertex's red is max(0, normal . light).
        const GLfloat zero[4] = {0, 0, 0, 1}, white[4] = {1, 1, 1, 1};
        const GLfloat direction[4] = {static_cast<GLfloat>(kLight[0]), static_cast<GLfloat>(kLight[1]),
                                      static_cast<GLfloat>(kLight[2]), 0};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, zero);
        glLightfv(GL_LIGHT0, GL_POSITION, direction);
        glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
        glLightfv(GL_LIGHT0, GL_SPECULAR, zero);
        glLightfv(GL_LIGHT0, GL_AMBIENT, zero);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, zero);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, zero);
        glEnable(GL_LIGHT0);
        glEnable(GL_LIGHTING);
        glEnable(GL_NORMALIZE);
        glShadeModel(GL_SMOOTH);
        glCullFace(GL_BACK);
    }

    static std::vector<Polygon> Feedback(unsigned list) {
        std::vector<GLfloat> buffer(1 << 20);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        glCallList(list);
        const GLint values = glRenderMode(GL_RENDER);
        EXPECT_GE(values, 0) << "feedback buffer overflow";
        std::vector<Polygon> polygons;
        for (GLint i = 0; i < values;) {
            if (buffer[i] != static_cast<GLfloat>(GL_POLYGON_TOKEN)) {
                ADD_FAILURE() << "unexpected token " << buffer[i];
                break;
            }
            const int n = static_cast<int>(buffer[i + 1]);
            i += 2;
            Polygon p;
            for (int v = 0; v < n; ++v, i += 7) {
                // glOrtho(-2, 2) on 200 pixels: 50 pixels a unit; depth 0.5 - z/4.
                p.push_back({(buffer[i] - 100) / 50.0, (buffer[i + 1] - 100) / 50.0, 2 - 4.0 * buffer[i + 2],
                             buffer[i + 3]});
            }
            polygons.push_back(p);
        }
        return polygons;
    }

    static std::size_t CountFacing(unsigned list) {
        glEnable(GL_CULL_FACE);
        const std::size_t n = Feedback(list).size();
        glDisable(GL_CULL_FACE);
        return n;
    }

    static constexpr double kLight[3] = {0.2672612419124244, 0.5345224838248488, 0.8017837257372732};  // (1,2,3)/sqrt 14
    std::unique_ptr<OffscreenContext> context_;
};

double Lit(double nx, double ny, double nz) {
    const double l = std::sqrt(nx * nx + ny * ny + nz * nz);
    const double d = (nx * 1 + ny * 2 + nz * 3) / (l * std::sqrt(14.0));
    return d > 0 ? d : 0;
}

Resolutions WithAll(int slices) {
    Resolutions r;
    r.atom = r.bond = r.selection = slices;
    return r;
}

}  // namespace

TEST_F(DisplayListsTest, SphereCapHasTheExpectedPolygonsAllFacingOut) {
    // s slices, max(s - 6, 2) stacks, half of them built: a fan of s
    // triangles and s quads per strip.
    struct Case {
        int slices;
        std::size_t polygons;
    };
    const Case cases[] = {{3, 3}, {8, 8}, {12, 60}, {13, 65}, {15, 105}, {20, 260}, {25, 425}, {75, 5025}};
    for (const Case& c : cases) {
        Resolutions r;
        r.atom = c.slices;
        r.selection = c.slices < 3 ? 3 : c.slices;
        DisplayLists lists(r);
        EXPECT_EQ(Feedback(kAtomSphereList).size(), c.polygons) << c.slices;
        EXPECT_EQ(Feedback(kSelectionSphereList).size(), c.polygons) << c.slices;
        // Seen from +z nothing is back-facing: the cap is wound outwards.
        EXPECT_EQ(CountFacing(kAtomSphereList), c.polygons) << c.slices;
    }
}

TEST_F(DisplayListsTest, LowQualityAtomCapIsOneFanFromThePoleToTheEquator) {
    TessellationQuality quality;
    quality.SetLevel(GraphicsQuality::Low);
    DisplayLists lists(quality.Values());
    const auto polygons = Feedback(kAtomSphereList);
    ASSERT_EQ(polygons.size(), 8u);
    for (const Polygon& p : polygons) {
        ASSERT_EQ(p.size(), 3u);
        int poles = 0;
        for (const Vertex& v : p) {
            if (std::abs(v.z - 1) < 1e-3) {
                ++poles;
                EXPECT_NEAR(v.x, 0, 1e-3);
                EXPECT_NEAR(v.y, 0, 1e-3);
            } else {
                EXPECT_NEAR(v.z, 0, 1e-3);  // two stacks: the ring is the equator
                EXPECT_NEAR(std::hypot(v.x, v.y), 1, 1e-3);
            }
        }
        EXPECT_EQ(poles, 1);
    }
}

TEST_F(DisplayListsTest, SphereCapVerticesAreUnitNormalsOnTheFrontHalf) {
    for (int slices : {3, 8, 11, 20, 25}) {
        DisplayLists lists(WithAll(slices));
        // The lowest ring is at polar angle (stacks / 2) * pi / stacks.
        const int stacks = slices - 6 > 2 ? slices - 6 : 2;
        const double lowest = std::cos((stacks / 2) * M_PI / stacks);
        double minimumZ = 2;
        for (const Polygon& p : Feedback(kAtomSphereList)) {
            for (const Vertex& v : p) {
                EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1, 2e-3) << slices;
                EXPECT_NEAR(v.red, Lit(v.x, v.y, v.z), 5e-3) << slices;
                minimumZ = std::min(minimumZ, v.z);
            }
        }
        EXPECT_NEAR(minimumZ, lowest, 1e-3) << slices;
        EXPECT_GE(minimumZ, -1e-3) << slices;
    }
}

TEST_F(DisplayListsTest, CylindersRunAlongPlusZWithHeightPointOneAndRadialNormals) {
    for (int slices : {3, 5, 15, 20}) {
        DisplayLists lists(WithAll(slices));
        for (unsigned list : {unsigned{kSelectionCylinderList}, unsigned{kBondCylinderList}}) {
            const auto polygons = Feedback(list);
            EXPECT_EQ(polygons.size(), static_cast<std::size_t>(2 * slices)) << list << " " << slices;
            int bottom = 0, top = 0;
            for (const Polygon& p : polygons) {
                for (const Vertex& v : p) {
                    EXPECT_NEAR(std::hypot(v.x, v.y), 1, 2e-3);
                    if (std::abs(v.z) < 1e-3) ++bottom;
                    else if (std::abs(v.z - 0.1) < 1e-3) ++top;
                    else ADD_FAILURE() << "vertex at z = " << v.z;
                    EXPECT_NEAR(v.red, Lit(v.x, v.y, 0), 5e-3);
                }
            }
            EXPECT_EQ(bottom, top) << list;
        }
    }
}

TEST_F(DisplayListsTest, CylinderFacesOutwardsSoCullingKeepsTheNearHalf) {
    DisplayLists lists(WithAll(20));
    glRotated(-90, 1, 0, 0);  // the list's y axis now points away from the eye
    glEnable(GL_CULL_FACE);
    const auto polygons = Feedback(kBondCylinderList);
    glDisable(GL_CULL_FACE);
    ASSERT_FALSE(polygons.empty());
    EXPECT_LE(polygons.size(), 24u);  // about half of 40
    for (const Polygon& p : polygons) {
        double z = 0;
        for (const Vertex& v : p) z += v.z;
        EXPECT_GT(z / static_cast<double>(p.size()), 0) << "a far-side face survived culling";
    }
}

TEST_F(DisplayListsTest, DiskFacesPlusZAndIsHiddenFromBehind) {
    for (int slices : {3, 20, 40}) {
        DisplayLists lists(WithAll(slices));
        const auto polygons = Feedback(kDiskList);
        EXPECT_EQ(polygons.size(), static_cast<std::size_t>(slices));
        for (const Polygon& p : polygons)
            for (const Vertex& v : p) {
                EXPECT_NEAR(v.z, 0, 1e-3);
                EXPECT_LE(std::hypot(v.x, v.y), 1 + 1e-3);
                EXPECT_NEAR(v.red, Lit(0, 0, 1), 5e-3);
            }
        EXPECT_EQ(CountFacing(kDiskList), static_cast<std::size_t>(slices));
        glPushMatrix();
        glRotated(180, 1, 0, 0);
        EXPECT_EQ(CountFacing(kDiskList), 0u);
        glPopMatrix();
    }
}

TEST_F(DisplayListsTest, ConeHasItsApexAtPointOneAndOutwardNormals) {
    DisplayLists lists(WithAll(12));
    const auto polygons = Feedback(kConeList);
    // Each side quad comes back as two triangles, one of them squeezed to
    // nothing at the apex.
    ASSERT_EQ(polygons.size(), 24u);
    int apexes = 0;
    for (const Polygon& p : polygons) {
        for (const Vertex& v : p) {
            const double r = std::hypot(v.x, v.y);
            if (r < 1e-3) {
                EXPECT_NEAR(v.z, 0.1, 1e-3);
                ++apexes;
                continue;
            }
            EXPECT_NEAR(r, 1, 2e-3);
            EXPECT_NEAR(v.z, 0, 1e-3);
            // The slanted side's outward normal: height along the radius, the radius drop along z.
            EXPECT_NEAR(v.red, Lit(0.1 * v.x / r, 0.1 * v.y / r, 1), 5e-3);
        }
    }
    EXPECT_GE(apexes, 12);
    // Seen from above the apex every side faces the eye; culling drops only
    // the zero-area halves.
    EXPECT_EQ(CountFacing(kConeList), 12u);
    glPushMatrix();
    glRotated(180, 1, 0, 0);
    EXPECT_EQ(CountFacing(kConeList), 0u);
    glPopMatrix();
}

TEST_F(DisplayListsTest, AResolutionChangeRebuildsOnlyTheListsThatUseIt) {
    TessellationQuality quality;  // Medium
    DisplayLists lists(quality.Values());
    EXPECT_EQ(Feedback(kAtomSphereList).size(), 105u);
    EXPECT_EQ(Feedback(kBondCylinderList).size(), 30u);
    EXPECT_EQ(Feedback(kSelectionSphereList).size(), 260u);

    quality.SetLevel(GraphicsQuality::Low);
    EXPECT_EQ(lists.Update(quality.Values()), 2);  // selection stays 20
    EXPECT_EQ(Feedback(kAtomSphereList).size(), 8u);
    EXPECT_EQ(Feedback(kBondCylinderList).size(), 10u);
    EXPECT_EQ(Feedback(kSelectionSphereList).size(), 260u);
    EXPECT_EQ(Feedback(kSelectionCylinderList).size(), 40u);

    quality.SetSelectionResolution(6);
    EXPECT_EQ(lists.Update(quality.Values()), 4);
    EXPECT_EQ(Feedback(kSelectionSphereList).size(), 6u);
    EXPECT_EQ(Feedback(kDiskList).size(), 6u);
    EXPECT_EQ(Feedback(kSelectionCylinderList).size(), 12u);
    EXPECT_EQ(Feedback(kAtomSphereList).size(), 8u);
    EXPECT_EQ(lists.Update(quality.Values()), 0);

    quality.SetLevel(GraphicsQuality::High);
    EXPECT_EQ(lists.Update(quality.Values()), 6);
    EXPECT_EQ(Feedback(kAtomSphereList).size(), 425u);
    EXPECT_EQ(Feedback(kBondCylinderList).size(), 40u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(DisplayListsTest, EachContextBuildsItsOwnLists) {
    DisplayLists first(WithAll(8));
    {
        OffscreenContext other(4, 4);
        EXPECT_FALSE(glIsList(kAtomSphereList));
        DisplayLists second(WithAll(8));
        for (unsigned list = 1; list <= 6; ++list) EXPECT_TRUE(glIsList(list)) << list;
        // Generated lists (the label font's) come after the six fixed ones.
        const GLuint base = glGenLists(256);
        EXPECT_GT(base, 6u);
        glDeleteLists(base, 256);
    }
    context_->MakeCurrent();
    for (unsigned list = 1; list <= 6; ++list) EXPECT_TRUE(glIsList(list)) << list;
}

TEST_F(DisplayListsTest, EveryListCanBePickedInSelectionMode) {
    // Picking re-runs the render pass with GL_SELECT; a list Mesa cannot
    // select through would crash it.
    TessellationQuality quality;
    quality.SetLevel(GraphicsQuality::High);
    DisplayLists lists(quality.Values());
    glRotated(30, 1, 1, 0);  // so the cylinders and the disk are not edge-on
    GLuint buffer[64] = {};
    glSelectBuffer(64, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    for (unsigned list = kFirstSharedList; list < kFirstSharedList + kSharedLists; ++list) {
        glLoadName(list);
        glCallList(list);
    }
    ASSERT_EQ(glRenderMode(GL_RENDER), kSharedLists);
    for (int hit = 0; hit < kSharedLists; ++hit) EXPECT_EQ(buffer[hit * 4 + 3], static_cast<GLuint>(hit + 1));
}

TEST_F(DisplayListsTest, ANewViewBuildsMediumQualityLists) {
    const ViewSettings view;
    EXPECT_EQ(view.quality.Level(), GraphicsQuality::Medium);
    DisplayLists lists(view.quality.Values());
    EXPECT_EQ(Feedback(kAtomSphereList).size(), 105u);  // 15 slices, 9 stacks
    EXPECT_EQ(Feedback(kBondCylinderList).size(), 30u);
    EXPECT_EQ(Feedback(kSelectionSphereList).size(), 260u);  // 20 slices, 14 stacks
}
