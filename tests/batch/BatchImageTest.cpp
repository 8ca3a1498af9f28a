#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "batch/Batch.h"
#include "support/PngRead.h"
#include "support/BatchRun.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::BatchRun;
using velm::test::RunVelm;

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};
Rgb At(const test::ReadPng& png, int x, int y) {
    const std::uint8_t* p = png.rows[static_cast<size_t>(y)].data() + x * 3;
    return {p[0], p[1], p[2]};
}
int CountNot(const test::ReadPng& png, Rgb background) {
    int n = 0;
    for (png_uint_32 y = 0; y < png.height; ++y)
        for (png_uint_32 x = 0; x < png.width; ++x) n += !(At(png, static_cast<int>(x), static_cast<int>(y)) == background);
    return n;
}

TEST(BatchImage, EveryRepresentationDrawsEverySmallSample) {
    test::TempDir dir;
    const std::string png = dir.File("out.png");
    for (const char* sample : {"1ubi.pdb", "pept.pdb", "2k39_3models.pdb", "133d.pdb"}) {
        int previous = -1;
        for (const char* mode : {"WireFrame", "cpk", "POINTS", "Sticks", "BallAndStick", "TraceSticks", "TraceWireFrame"}) {
            const BatchRun r = RunVelm({test::DataPath(sample), "-image", png, "-render", mode, "-width", "160", "-height", "120"});
            ASSERT_EQ(r.status, 0) << sample << " " << mode << ": " << r.err;
            const test::ReadPng picture = test::ReadBack(png);
            ASSERT_EQ(picture.width, 160u);
            ASSERT_EQ(picture.height, 120u);
            EXPECT_EQ(picture.texts.at("Title"), test::DataPath(sample));
            const int ink = CountNot(picture, {0, 0, 0});
            // 133d is DNA: its traces follow the phosphorus atoms of two strands of five.
            const bool trace = std::string(mode).starts_with("Trace");
            EXPECT_GT(ink, trace && std::string(sample) == "133d.pdb" ? 50 : 100) << sample << " " << mode;
            if (ink > 0) {
                EXPECT_NE(ink, previous) << sample << " " << mode << " looks like the mode before";
            }
            previous = ink;
        }
    }
}

TEST(BatchImage, BackboneModesDrawProteinDnaCarbonOnlyAndBrokenChains) {
    // A protein on DNA, an alpha-carbon-only NMR ensemble read as frames and
    // as models, and a chain with a gap: every backbone mode draws each.
    test::TempDir dir;
    const std::string png = dir.File("out.png");
    const std::vector<std::vector<std::string>> files{
        {test::DataPath("3mht.pdb.gz")}, {test::DataPath("2k39_ca.pdb.gz"), "-multi"},
        {test::DataPath("2k39_ca.pdb.gz")}, {test::DataPath("3hsy.pdb.gz")}};
    for (const auto& file : files)
        for (const char* mode : {"TraceWireFrame", "TraceSpline", "SolidRibbon", "FlatRibbon", "Tube"}) {
            std::vector<std::string> args = file;
            for (const char* a : {"-image", png.c_str(), "-render", mode, "-width", "160", "-height", "120"})
                args.emplace_back(a);
            const BatchRun r = RunVelm(args);
            ASSERT_EQ(r.status, 0) << file[0] << " " << mode << ": " << r.err;
            EXPECT_GT(CountNot(test::ReadBack(png), {0, 0, 0}), 100) << file[0] << " " << mode;
        }
}

TEST(BatchImage, SizeBackgroundColoursAndBitmaps) {
    test::TempDir dir;
    const std::string png = dir.File("big.png");
    BatchRun r = RunVelm({test::DataPath("pept.pdb"), "-image", png, "-width", "1600", "-height", "1200", "-background",
                      "0,0,255", "-nodepthcue"});
    ASSERT_EQ(r.status, 0) << r.err;
    test::ReadPng picture = test::ReadBack(png);
    // As large as asked: pictures are no longer held to 1000 pixels a side.
    EXPECT_EQ(picture.width, 1600u);
    EXPECT_EQ(picture.height, 1200u);
    EXPECT_EQ(At(picture, 0, 0), (Rgb{0, 0, 255}));

    // Colour by temperature and by amino acid give other pictures than by element.
    const int byElement = CountNot(picture, {0, 0, 255});
    r = RunVelm({test::DataPath("pept.pdb"), "-image", png, "-width", "200", "-height", "200", "-render", "cpk", "-color",
             "temperature", "-radius", "temperature"});
    ASSERT_EQ(r.status, 0) << r.err;
    picture = test::ReadBack(png);
    EXPECT_NE(CountNot(picture, {0, 0, 0}), byElement);

    const std::string bmp = dir.File("pept.bmp");
    r = RunVelm({test::DataPath("pept.pdb"), "-image", bmp, "-width", "101", "-height", "50", "-stereo", "-labels",
             "-axes", "-solvent", "-quality", "low"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::ifstream in(bmp, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(bytes.size(), 54u + 304u * 50u);  // 101 * 3 = 303, padded to 304
    EXPECT_EQ(bytes.substr(0, 2), "BM");
}

TEST(BatchImage, TrajectoryFramesAreDrawnAsAsked) {
    test::TempDir dir;
    const std::string first = dir.File("f0.png"), last = dir.File("f2.png");
    const std::string nmr = test::DataPath("2k39_3models.pdb");
    ASSERT_EQ(RunVelm({"-multi", nmr, "-image", first, "-render", "cpk", "-width", "120", "-height", "90"}).status, 0);
    ASSERT_EQ(RunVelm({"-multi", nmr, "-image", last, "-frame", "2", "-render", "cpk", "-width", "120", "-height", "90"}).status, 0);
    EXPECT_NE(test::ReadBack(first).rows, test::ReadBack(last).rows);

    const BatchRun beyond = RunVelm({"-multi", nmr, "-image", first, "-frame", "3"});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_NE(beyond.err.find("frames 0 to 2"), std::string::npos) << beyond.err;
}

TEST(BatchImage, BothRenderersDrawTheSpheresAndSticks) {
    test::TempDir dir;
    for (const char* mode : {"Cpk", "BallAndStick"}) {
        int ink[2] = {};
        for (int k = 0; k < 2; ++k) {
            const std::string png = dir.File(std::to_string(k) + ".png");
            const BatchRun r = RunVelm({test::DataPath("1ubi.pdb"), "-image", png, "-render", mode, "-renderer",
                                        k ? "shader" : "fixed", "-width", "200", "-height", "150"});
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.err, "");  // no fallback on llvmpipe
            ink[k] = CountNot(test::ReadBack(png), {0, 0, 0});
        }
        EXPECT_GT(ink[0], 1000) << mode;
        // The 1.1 path's sticks gain a fringe from multisampling that the
        // impostors' edges do not: compare the spheres only.
        if (std::string(mode) == "Cpk") EXPECT_NEAR(ink[1], ink[0], ink[0] / 10);
        else EXPECT_GT(ink[1], ink[0] / 2);
    }
}

TEST(BatchImage, BadOptionsAreUsageErrorsAndFailuresLeaveNoFile) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{ubi, "-image", dir.File("x.jpg")}, "Unknown file format!"},
        {{ubi, "-image", dir.File("x.png"), "-render", "Ribbon"}, "-render takes"},
        {{ubi, "-rotate", "10", "x", "0"}, "-rotate takes three angles in degrees"},
        {{ubi, "-zoom", "0"}, "-zoom takes a positive magnification"},
        {{ubi, "-clip-depth", "8"}, "-clip-depth takes a distance from -7 to 7"},
        {{ubi, "-pick", "3"}, "-pick takes the x and y of a pixel of the view"},
        {{ubi, "-image", dir.File("x.png"), "-render", "Hidden"}, "-render takes"},
        {{ubi, "-image", dir.File("x.png"), "-width", "0"}, "Please enter a positive integer."},
        {{ubi, "-image", dir.File("x.png"), "-height", "tall"}, "Please enter a positive integer."},
        {{ubi, "-image", dir.File("x.png"), "-color", "rainbow"}, "-color takes"},
        {{ubi, "-image", dir.File("x.png"), "-radius", "huge"}, "-radius takes"},
        {{ubi, "-image", dir.File("x.png"), "-quality", "ultra"}, "-quality takes"},
        {{ubi, "-image", dir.File("x.png"), "-renderer", "opengl"}, "-renderer takes fixed or shader"},
        {{ubi, "-image", dir.File("x.png"), "-background", "0,0,256"}, "-background takes"},
        {{ubi, "-image", dir.File("x.png"), "-background", "0,0"}, "-background takes"},
        {{ubi, "-image"}, "A filename was not found on the command line"},
    };
    for (const Case& c : cases) {
        const BatchRun r = RunVelm(c.args);
        EXPECT_EQ(r.status, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    const BatchRun r = RunVelm({ubi, "-image", dir.File("no/such/place.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to open " + dir.File("no/such/place.png") + " for writing"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
}

}  // namespace
