#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <filesystem>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "output/ImageExport.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneRadius.h"
#include "core/UiHooks.h"
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

// The pixels of a picture drawn through TiledPicture, top row first, RGB.
std::vector<std::uint8_t> Drawn(OffscreenRenderer& r, const list<std::unique_ptr<Molecule>>& molecules, int w, int h,
                                int tileSide, int* across = nullptr) {
    TiledPicture picture(r, molecules, w, h, tileSide);
    std::vector<std::uint8_t> out;
    for (int y = 0; y < h; ++y) out.insert(out.end(), picture.RowFromTop(y), picture.RowFromTop(y) + 3 * w);
    if (across) *across = picture.TilesAcross() * picture.Strips();
    return out;
}

TEST(TiledPicture, TilesMeetWithoutSeamsAndEqualOnePicture) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    Scene scene;
    list<std::unique_ptr<Molecule>> molecules;
    auto m = std::make_unique<Molecule>();
    SilentUiHooks ui;
    ReadCoordinateFile(*m, test::DataPath("1ubi.pdb"), false, true, PdbType, ui);
    for (size_t i = 0; i < m->atoms.size(); ++i) {
        m->atoms[i].radius = 1.5;
        m->atoms[i].colour = {static_cast<std::uint8_t>(60 + i * 53 % 190), 90, static_cast<std::uint8_t>(240 - i * 7 % 180), 255};
    }
    m->renderMode = BallAndStick;
    m->showLabels = 1;  // labels reach across tile edges
    UpdateBoundingBox(*m);
    molecules.Append(std::move(m));
    scene.settings.SceneRadius = ComputeSceneRadius(molecules, true);
    scene.settings.width = 301;
    scene.settings.height = 203;
    scene.settings.showAxes = true;
    OffscreenRenderer offscreen(scene);
    const struct {
        bool multisample, stereo;
        DrawingPath path;
    } cases[] = {{false, false, DrawingPath::Fixed}, {true, false, DrawingPath::Fixed}, {false, true, DrawingPath::Fixed},
                 {true, true, DrawingPath::Fixed},   {false, false, DrawingPath::Shader}, {false, true, DrawingPath::Shader}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "multisample " << c.multisample << " stereo " << c.stereo << " "
                                        << DrawingPathName(c.path));
        scene.settings.multisample = c.multisample;
        scene.settings.stereo = c.stereo;
        scene.settings.drawingPath = c.path;
        int tiles = 0;
        const std::vector<std::uint8_t> one = Drawn(offscreen, molecules, 301, 203, 4096, &tiles);
        EXPECT_EQ(tiles, 1);
        const std::vector<std::uint8_t> tiled = Drawn(offscreen, molecules, 301, 203, 64, &tiles);
        EXPECT_EQ(tiles, 5 * 4);
        ASSERT_EQ(one.size(), tiled.size());
        // Each tile draws the whole view's projection moved by its corner, so
        // rasterisation is the same but for rounding of the moved window
        // coordinates: allow a few pixels, none far off. The impostors' rays
        // round a level or two here and there besides.
        const int close = c.path == DrawingPath::Shader ? 2 : 0;
        int differing = 0, far = 0;
        for (size_t i = 0; i < one.size(); i += 3) {
            int worst = 0;
            for (int k = 0; k < 3; ++k) worst = std::max(worst, std::abs(one[i + k] - tiled[i + k]));
            differing += worst > close;
            far += worst > 64;
        }
        EXPECT_LE(differing, 301 * 203 / 1000);
        EXPECT_LE(far, 20);
        EXPECT_EQ(scene.settings.width, 301);
    }
    scene.settings.stereo = 0;
    // Multisampling blends the outlines: colours between an atom's and the
    // background's that a single sample a pixel never makes.
    const auto blended = [](const std::vector<std::uint8_t>& p) {
        std::set<int> colours;
        for (size_t i = 0; i < p.size(); i += 3) colours.insert(p[i] << 16 | p[i + 1] << 8 | p[i + 2]);
        return colours.size();
    };
    scene.settings.multisample = false;
    const size_t single = blended(Drawn(offscreen, molecules, 301, 203, 4096));
    scene.settings.multisample = true;
    EXPECT_GT(blended(Drawn(offscreen, molecules, 301, 203, 4096)), single * 3 / 2);
}

TEST(ExportPicture, AnySizeTheFileCanHoldAndAClearRefusalBeyond) {
    RedAtomScene s;
    test::TempDir dir;
    // Larger than the old limit of 1000 a side, and in several strips.
    const std::string png = dir.File("big.png");
    ExportPicture(s.offscreen, s.molecules, png, ImageFormat::Png, 2400, 1800, "t");
    const test::ReadPng read = test::ReadBack(png);
    EXPECT_EQ(read.width, 2400u);
    EXPECT_EQ(read.height, 1800u);
    EXPECT_EQ(read.rows[900][1200 * 3], 255) << "the atom in the middle";
    const struct {
        const char* name;
        ImageFormat format;
        long long width, height;
        const char* text;
    } refused[] = {{"wide.png", ImageFormat::Png, 2000000000, 1, "Unable to write png file (insufficient memory)"},
                   {"huge.bmp", ImageFormat::Bmp, 40000, 40000, "Unable to write bitmap (invalid dib)"},
                   {"empty.png", ImageFormat::Png, 0, 10, "Unable to create DIB for storing image"}};
    s.scene.settings.width = s.scene.settings.height = 0;  // no window: the size as asked
    for (const auto& r : refused) {
        try {
            ExportPicture(s.offscreen, s.molecules, dir.File(r.name), r.format, r.width, r.height, "");
            ADD_FAILURE() << r.name;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), r.text) << r.name;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.File(r.name))) << r.name;
    }
}

}  // namespace
