#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "model/Molecule.h"
#include "render/OffscreenContext.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneRenderer.h"

using namespace velm;

namespace {

// One red CPK atom filling a good part of a small view.
struct AtomScene {
    Scene scene;
    list<std::unique_ptr<Molecule>> molecules;
    AtomScene() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        auto m = std::make_unique<Molecule>();
        Atom a;
        a.colour = {255, 0, 0, 255};
        a.radius = 1.5;
        m->atoms.push_back(a);
        m->renderMode = Cpk;
        molecules.Append(std::move(m));
        scene.settings.SceneRadius = 4;
        scene.settings.width = 120;
        scene.settings.height = 90;
    }
    std::vector<std::uint8_t> Picture(OffscreenRenderer& r) {
        OffscreenRenderer::Session session(r, scene.settings.width, scene.settings.height);
        session.Renderer().SetProjection();
        session.Renderer().RenderPass(molecules, 0);
        return session.ReadPixels();
    }
};

}  // namespace

// Pictures one after another share one context, and what the settings
// change in between still shows in the next one.
TEST(OffscreenRenderer, PicturesShareAContextAndFollowTheSettings) {
    AtomScene s;
    s.scene.settings.drawingPath = DrawingPath::Fixed;  // whose spheres follow the quality
    OffscreenRenderer renderer(s.scene);
    EXPECT_EQ(renderer.ContextsMade(), 0);
    const auto medium = s.Picture(renderer);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(s.Picture(renderer), medium) << k;
    EXPECT_EQ(renderer.ContextsMade(), 1);

    s.scene.settings.quality.SetLevel(GraphicsQuality::Low);
    const auto low = s.Picture(renderer);
    EXPECT_NE(low, medium);  // the coarser sphere
    s.scene.settings.quality.SetLevel(GraphicsQuality::Medium);
    EXPECT_EQ(s.Picture(renderer), medium);

    s.scene.settings.backgroundColor = {0, 0, 1, 1};
    const auto blue = s.Picture(renderer);
    EXPECT_EQ(blue[0], 0);
    EXPECT_EQ(blue[2], 255);

    s.scene.settings.width = 60;
    EXPECT_EQ(s.Picture(renderer).size(), 60u * 90 * 4);
    EXPECT_EQ(renderer.ContextsMade(), 1);
}

// A program's own context (here another off-screen one standing for a
// window's) is current again after each picture, its pixels untouched.
TEST(OffscreenRenderer, TheContextCurrentBeforeIsCurrentAfter) {
    AtomScene s;
    OffscreenContext window(16, 16);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    OffscreenRenderer renderer(s.scene);
    for (int k = 0; k < 2; ++k) {
        const auto picture = s.Picture(renderer);
        ASSERT_FALSE(picture.empty());
        EXPECT_TRUE(window.IsCurrent()) << k;
        const auto pixels = window.ReadPixels();
        EXPECT_EQ(pixels[0], 0);
        EXPECT_EQ(pixels[1], 255);
    }
}
