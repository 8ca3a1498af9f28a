#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "output/ImageExport.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "support/PngRead.h"
#include "support/TestData.h"

using namespace velm;

namespace {

// One red CPK atom at the origin of a scene whose radius makes it fill a
// fifth of the view's height.
struct RedAtomScene {
    Scene scene;
    list<std::unique_ptr<Molecule>> molecules;
    OffscreenRenderer offscreen{scene};
    RedAtomScene() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        auto m = std::make_unique<Molecule>();
        Atom a;
        a.colour = {255, 0, 0, 255};
        a.radius = 1;
        m->atoms.push_back(a);
        m->renderMode = Cpk;
        molecules.Append(std::move(m));
        scene.settings.SceneRadius = 4;
        scene.settings.depthCue = false;
        scene.settings.width = 800;
        scene.settings.height = 600;
    }
};

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RenderToDib, ClampsToTheViewShapeAndPutsTheViewBack) {
    RedAtomScene s;
    s.scene.settings.fontScaleNumerator = 82;
    const Dib dib = RenderToDib(s.offscreen, s.molecules, 4000, 3000, -1);
    EXPECT_EQ(dib.width, 1000);
    EXPECT_EQ(dib.height, 750);
    ASSERT_TRUE(dib.Valid());
    EXPECT_EQ(s.scene.settings.width, 800);
    EXPECT_EQ(s.scene.settings.height, 600);
    EXPECT_EQ(s.scene.settings.fontScaleNumerator, 82);

    // The atom sits in the middle of the picture; the corners are background.
    const std::size_t stride = dib.Stride();
    const auto bgr = [&](int x, int y) {
        const std::uint8_t* p = dib.bits.data() + static_cast<std::size_t>(y) * stride + static_cast<std::size_t>(x) * 3;
        return std::array<int, 3>{p[0], p[1], p[2]};
    };
    EXPECT_EQ(bgr(500, 375)[2], 255);
    EXPECT_EQ(bgr(0, 0), (std::array<int, 3>{0, 0, 0}));
    EXPECT_EQ(bgr(999, 749), (std::array<int, 3>{0, 0, 0}));

    const Dib halved = RenderToDib(s.offscreen, s.molecules, 1000, 750, 1024);
    EXPECT_EQ(halved.width, 500);
    EXPECT_EQ(halved.height, 375);
}

TEST(RenderToDib, NoPixelsNoBitmap) {
    RedAtomScene s;
    try {
        RenderToDib(s.offscreen, s.molecules, 0, 100, -1);
        FAIL() << "a bitmap of width 0";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unable to create DIB for storing image");
    }
}

TEST(ImageFiles, FormatFromTheExtensionAndWritesThatReplaceOnlyWhenDone) {
    EXPECT_EQ(ImageFormatOfPath("a/b.PNG"), ImageFormat::Png);
    EXPECT_EQ(ImageFormatOfPath("x.bmp"), ImageFormat::Bmp);
    EXPECT_EQ(ImageFormatOfPath("x.ps"), ImageFormat::PostScript);
    for (const char* bad : {"x.jpg", "png", "x.png.gz", ""}) {
        try {
            ImageFormatOfPath(bad);
            ADD_FAILURE() << bad;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Unknown file format!");
        }
    }

    test::TempDir dir;
    const std::string path = dir.Write("scene.png", "the picture that was here");
    RedAtomScene s;
    const Dib dib = RenderToDib(s.offscreen, s.molecules, 80, 60, -1);
    // A failed write (an invalid bitmap) leaves the old file as it was, and no temporary beside it.
    EXPECT_THROW(WriteImageFile(path, ImageFormat::Png, Dib{}, "t"), VelmError);
    EXPECT_EQ(Slurp(path), "the picture that was here");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);

    WriteImageFile(path, ImageFormat::Png, dib, "1abc.pdb");
    const test::ReadPng png = test::ReadBack(path);
    EXPECT_EQ(png.width, 80u);
    EXPECT_EQ(png.height, 60u);
    EXPECT_EQ(png.texts.at("Title"), "1abc.pdb");
    EXPECT_EQ(png.texts.at("Author"), "Velm");

    const std::string bmp = dir.path() + "/scene.bmp";
    WriteImageFile(bmp, ImageFormat::Bmp, dib, "");
    const std::string bytes = Slurp(bmp);
    ASSERT_EQ(bytes.size(), 54u + 240u * 60u);
    EXPECT_EQ(bytes.substr(0, 2), "BM");

    try {
        WriteImageFile(dir.path() + "/no/such/dir/x.png", ImageFormat::Png, dib, "");
        FAIL();
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unable to open " + dir.path() + "/no/such/dir/x.png for writing: No such file or directory");
    }
}

}  // namespace
