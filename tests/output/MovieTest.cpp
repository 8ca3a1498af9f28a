#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>

#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "output/ImageExport.h"
#include "output/VelmMovie.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "support/PngRead.h"
#include "support/TestData.h"

using namespace velm;

// On this kernel (6.18) LeakSanitizer's tracer crashes now and then as it
// stops the threads that llvmpipe and the encoders keep, and the program
// then fails after every test passed: the movie tests skip the leak check at
// exit. AddressSanitizer and UBSan still watch them. (Only a sanitized build
// reads the option; ASAN_OPTIONS=leak_check_at_exit=1 turns the check on.)
extern "C" const char* __asan_default_options() { return "leak_check_at_exit=0"; }

namespace {

constexpr int kWidth = 160, kHeight = 120, kFrames = 12;

bool HaveTool(const char* name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

std::string Output(const std::string& command) {
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        pclose(p);
    }
    return out;
}

// What ffprobe reads of the first video stream, frames counted by decoding.
std::map<std::string, std::string> Probe(const std::string& avi) {
    std::map<std::string, std::string> fields;
    std::istringstream in(Output("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                 "stream=codec_name,codec_tag_string,pix_fmt,profile,nb_read_frames,width,height,r_frame_rate "
                                 "-of default=noprint_wrappers=1 " + avi + " 2>&1"));
    for (std::string line; std::getline(in, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

// Frame n of the movie, decoded by ffmpeg into a PNG.
test::ReadPng DecodeFrame(const test::TempDir& dir, const std::string& avi, int n) {
    const std::string png = dir.File("frame.png");
    std::filesystem::remove(png);
    const std::string log = Output("ffmpeg -v error -y -i " + avi + " -vf \"select=eq(n\\," + std::to_string(n) +
                                   ")\" -vframes 1 -pix_fmt rgb24 " + png + " 2>&1");
    EXPECT_EQ(log, "");
    return test::ReadBack(png);
}

std::array<int, 3> RgbAt(const test::ReadPng& png, int x, int y) {
    const std::uint8_t* p = png.rows[static_cast<size_t>(y)].data() + x * 3;
    return {p[0], p[1], p[2]};
}

// Mean row of the reddish pixels (top first), -1 when there are none.
double RedRow(const test::ReadPng& png) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < static_cast<int>(png.height); ++y)
        for (int x = 0; x < static_cast<int>(png.width); ++x) {
            const auto p = RgbAt(png, x, y);
            if (p[0] > 100 && p[1] < 60 && p[2] < 60) sum += y, ++n;
        }
    return n ? sum / n : -1;
}

double MeanDifference(const test::ReadPng& a, const test::ReadPng& b) {
    double sum = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(RgbAt(a, x, y)[c] - RgbAt(b, x, y)[c]);
    return sum / (kWidth * kHeight * 3);
}

// A red marker atom near the top of the view and a green one that moves
// from left to right as the frames go by.
struct MovingScene {
    Scene scene;
    list<std::unique_ptr<Molecule>> molecules;
    OffscreenRenderer offscreen{scene};
    Molecule* molecule = nullptr;
    MovingScene() {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        auto m = std::make_unique<Molecule>();
        Atom marker;
        marker.y = 2.4;
        marker.radius = 0.8;
        marker.colour = {255, 0, 0, 255};
        marker.serial = 1;
        m->atoms.push_back(marker);
        Atom mover;
        mover.y = -1.5;
        mover.colour = {0, 255, 0, 255};
        mover.serial = 2;
        m->atoms.push_back(mover);
        m->renderMode = Cpk;
        SetFrame(0, *m);
        m->selected = 1;
        molecule = molecules.Append(std::move(m)).get();
        scene.settings.SceneRadius = 4;
        scene.settings.depthCue = false;
        scene.settings.width = kWidth;
        scene.settings.height = kHeight;
    }
    static void SetFrame(int k, Molecule& m) {
        m.atoms[1].x = -3 + 0.5 * k;
        UpdateBoundingBox(m);
    }
    // Our own picture of the scene as it is, read back from a PNG file.
    test::ReadPng Picture(const test::TempDir& dir) {
        const std::string path = dir.File("ours.png");
        WriteImageFile(path, ImageFormat::Png, RenderToDib(offscreen, molecules, kWidth, kHeight, -1), "");
        return test::ReadBack(path);
    }
};

void ExpectError(const std::function<void()>& f, const std::string& text) {
    try {
        f();
        ADD_FAILURE() << "no error, expected " << text;
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), text);
    }
}

TEST(Movie, CodecsOfferUncompressedFramesFirst) {
    const std::vector<MovieCodec> codecs = AvailableMovieCodecs();
    ASSERT_FALSE(codecs.empty());
    EXPECT_EQ(codecs[0].name, "DIB ");
    EXPECT_EQ(codecs[0].name, kUncompressedCodec);
    const auto has = [&](const std::string& name) {
        return std::any_of(codecs.begin(), codecs.end(), [&](const MovieCodec& c) { return c.name == name; });
    };
    EXPECT_TRUE(has("mjpeg"));
    EXPECT_TRUE(has("mpeg4"));
    for (const MovieCodec& c : codecs) EXPECT_FALSE(c.description.empty()) << c.name;
}

TEST(Movie, BadArgumentsAreRefusedAndACancelledChoiceOpensNothing) {
    MovingScene s;
    test::TempDir dir;
    const std::string avi = dir.File("m.avi");
    VelmMovie movie;
    ExpectError([&] { movie.AddFrame(); }, "Invalid state");
    const auto open = [&](const std::string& path, int w, int h, int rate, int depth, OffscreenRenderer* renderer) {
        return [&movie, &s, path, w, h, rate, depth, renderer] {
            movie.Open(path, w, h, rate, depth, renderer, &s.molecules, false, "DIB ");
        };
    };
    ExpectError(open(avi, 0, kHeight, 10, 24, &s.offscreen), "Frame width out of bounds");
    ExpectError(open(avi, kWidth, -1, 10, 24, &s.offscreen), "Frame height out of bounds");
    ExpectError(open(avi, kWidth, kHeight, 0, 24, &s.offscreen), "Frame rate out of bounds");
    for (int depth : {0, 8, 15, 31, 48}) ExpectError(open(avi, kWidth, kHeight, 10, depth, &s.offscreen), "Frame depth out of bounds");
    ExpectError(open(avi, kWidth, kHeight, 10, 24, nullptr), "Bad view pointer");
    for (const char* name : {"m.mp4", "m.avi.txt", "avi"})
        ExpectError(open(dir.File(name), kWidth, kHeight, 10, 24, &s.offscreen),
                    "Error opening the AVI file. File name must end with '.avi'");
    ExpectError(open(dir.File("no/such/dir/m.avi"), kWidth, kHeight, 10, 24, &s.offscreen),
                "Error opening the AVI file: No such file or directory");
    EXPECT_FALSE(movie.IsOpen());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    EXPECT_FALSE(movie.Open(avi, kWidth, kHeight, 10, 24, &s.offscreen, &s.molecules, false, ""));
    EXPECT_FALSE(movie.IsOpen());
    EXPECT_FALSE(std::filesystem::exists(avi));
    ExpectError([&] { movie.AddFrame(); }, "Invalid state");

    // Open, one frame, closed: adding is refused again.
    ASSERT_TRUE(movie.Open(avi, kWidth, kHeight, 10, 24, &s.offscreen, &s.molecules, false, "DIB "));
    EXPECT_TRUE(movie.IsOpen());
    movie.AddFrame();
    EXPECT_EQ(movie.FrameCount(), 1);
    movie.Close();
    EXPECT_FALSE(movie.IsOpen());
    ExpectError([&] { movie.AddFrame(); }, "Invalid state");
    movie.Close();  // twice is harmless
}

TEST(Movie, TwelveFramesOfEachCodecAsFfprobeReadsThem) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe or ffmpeg is not installed";
    struct Case {
        std::string codec, name, tag, pixelFormat;
        double tolerance;  // mean difference from our own picture, per channel
    };
    const Case cases[] = {
        {"DIB ", "rawvideo", "", "bgr24", 0},
        // Measured 0.24 and 0.59.
        {"mjpeg", "mjpeg", "MJPG", "", 1.5},
        {"mpeg4", "mpeg4", "XVID", "", 1.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codec);
        MovingScene s;
        test::TempDir dir;
        const std::string avi = dir.File("movie.avi");
        test::ReadPng third;
        {
            VelmMovie movie;
            ASSERT_TRUE(movie.Open(avi, kWidth, kHeight, 10, 24, &s.offscreen, &s.molecules, false, c.codec));
            for (int k = 0; k < kFrames; ++k) {
                s.SetFrame(k, *s.molecule);
                movie.AddFrame();
                if (k == 3) third = s.Picture(dir);
            }
            EXPECT_EQ(movie.FrameCount(), kFrames);
            movie.Finish();
        }
        // The view's own size is left as it was.
        EXPECT_EQ(s.scene.settings.width, kWidth);

        std::map<std::string, std::string> probe = Probe(avi);
        EXPECT_EQ(probe["codec_name"], c.name);
        EXPECT_EQ(probe["width"], std::to_string(kWidth));
        EXPECT_EQ(probe["height"], std::to_string(kHeight));
        EXPECT_EQ(probe["r_frame_rate"], "10/1");
        EXPECT_EQ(probe["nb_read_frames"], std::to_string(kFrames));
        if (!c.tag.empty()) {
            EXPECT_EQ(probe["codec_tag_string"], c.tag);
        }
        if (!c.pixelFormat.empty()) {
            EXPECT_EQ(probe["pix_fmt"], c.pixelFormat);
        }

        const test::ReadPng decoded = DecodeFrame(dir, avi, 3);
        ASSERT_EQ(decoded.width, static_cast<png_uint_32>(kWidth));
        ASSERT_EQ(decoded.height, static_cast<png_uint_32>(kHeight));
        // Upright: the marker is in the top rows, as in our picture.
        const double row = RedRow(decoded);
        EXPECT_GE(row, 0);
        EXPECT_LT(row, kHeight / 3.0);
        EXPECT_NEAR(row, RedRow(third), 1.5);
        const double difference = MeanDifference(decoded, third);
        RecordProperty("difference_" + c.name, std::to_string(difference));
        EXPECT_LE(difference, c.tolerance);
        // And it is the fourth frame, not a neighbour: the green atom moves half an angstrom a frame.
        for (int k : {2, 4}) {
            s.SetFrame(k, *s.molecule);
            const double neighbour = MeanDifference(decoded, s.Picture(dir));
            EXPECT_GT(neighbour, difference + 3) << "frame " << k;
        }
    }
}

TEST(Movie, UncompressedFramesOfOtherDepths) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe or ffmpeg is not installed";
    // Five bits a channel at depth 16: measured 0.26.
    for (const auto& [depth, format, tolerance] : {std::tuple{16, "rgb555le", 1.0}, std::tuple{32, "bgra", 0.0}}) {
        SCOPED_TRACE(depth);
        MovingScene s;
        test::TempDir dir;
        const std::string avi = dir.File("deep.avi");
        test::ReadPng third;
        {
            VelmMovie movie;
            ASSERT_TRUE(movie.Open(avi, kWidth, kHeight, 25, depth, &s.offscreen, &s.molecules, false, "DIB "));
            for (int k = 0; k < 5; ++k) {
                s.SetFrame(k, *s.molecule);
                movie.AddFrame();
                if (k == 3) third = s.Picture(dir);
            }
            movie.Finish();
        }
        std::map<std::string, std::string> probe = Probe(avi);
        EXPECT_EQ(probe["codec_name"], "rawvideo");
        EXPECT_EQ(probe["pix_fmt"], format);
        EXPECT_EQ(probe["r_frame_rate"], "25/1");
        EXPECT_EQ(probe["nb_read_frames"], "5");
        const test::ReadPng decoded = DecodeFrame(dir, avi, 3);
        ASSERT_EQ(decoded.height, static_cast<png_uint_32>(kHeight));
        EXPECT_LT(RedRow(decoded), kHeight / 3.0);
        const double difference = MeanDifference(decoded, third);
        EXPECT_LE(difference, tolerance);
    }
}

// Players open 4:2:0 only: the lossy encoders get it, at the even size it
// needs, and MPEG-4 at a quality that does not depend on the frame size.
TEST(Movie, LossyEncodersWriteFourTwoZeroAtEvenSizes) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe or ffmpeg is not installed";
    const auto codecs = AvailableMovieCodecs();
    const struct {
        std::string codec, pixelFormat, profile;
    } cases[] = {
        {"libx264", "yuv420p", "High"},
        {"mpeg4", "yuv420p", "Simple Profile"},
        {"mjpeg", "yuvj420p", "Baseline"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        if (std::none_of(codecs.begin(), codecs.end(), [&](const MovieCodec& m) { return m.name == c.codec; })) continue;
        MovingScene s;
        test::TempDir dir;
        const std::string avi = dir.File("odd.avi");
        VelmMovie movie;
        ASSERT_TRUE(movie.Open(avi, kWidth + 1, kHeight + 1, 10, 24, &s.offscreen, &s.molecules, false, c.codec));
        EXPECT_EQ(movie.Width(), kWidth);
        EXPECT_EQ(movie.Height(), kHeight);
        for (int k = 0; k < 3; ++k) movie.AddFrame();
        movie.Finish();
        std::map<std::string, std::string> probe = Probe(avi);
        EXPECT_EQ(probe["pix_fmt"], c.pixelFormat);
        EXPECT_EQ(probe["profile"], c.profile);
        EXPECT_EQ(probe["width"], std::to_string(kWidth));
        EXPECT_EQ(probe["height"], std::to_string(kHeight));
        EXPECT_EQ(probe["nb_read_frames"], "3");
    }
}

}  // namespace
