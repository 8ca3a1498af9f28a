#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>
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

std::array<int, 3> RgbAt(const test::ReadPng& png, int x, int y) {
    const std::uint8_t* p = png.rows[static_cast<size_t>(y)].data() + x * 3;
    return {p[0], p[1], p[2]};
}

int Ink(const test::ReadPng& png) {
    int n = 0;
    for (int y = 0; y < static_cast<int>(png.height); ++y)
        for (int x = 0; x < static_cast<int>(png.width); ++x) n += RgbAt(png, x, y) != std::array<int, 3>{0, 0, 0};
    return n;
}

double MeanDifference(const test::ReadPng& a, const test::ReadPng& b) {
    double sum = 0;
    for (int y = 0; y < static_cast<int>(a.height); ++y)
        for (int x = 0; x < static_cast<int>(a.width); ++x)
            for (int c = 0; c < 3; ++c) sum += std::abs(RgbAt(a, x, y)[c] - RgbAt(b, x, y)[c]);
    return sum / (a.width * a.height * 3.0);
}

TEST(BatchPostScript, ImageWritesEpsThatGhostscriptDraws) {
    if (!HaveTool("gs")) GTEST_SKIP() << "Ghostscript (gs) is not installed";
    test::TempDir dir;
    const std::vector<std::string> scene = {test::DataPath("pept.pdb"), "-render", "cpk", "-nodepthcue", "-width", "200",
                                            "-height", "150"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = scene;
        args.insert(args.end(), more.begin(), more.end());
        return RunVelm(args);
    };
    for (const char* name : {"pept.ps", "pept.EPS"}) {
        SCOPED_TRACE(name);
        const std::string eps = dir.File(name);
        const BatchRun r = with({"-image", eps});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string text = test::ReadText(eps);
        EXPECT_TRUE(text.starts_with("%!PS-Adobe-2.0 EPSF-2.0\n"));
        EXPECT_NE(text.find("%%BoundingBox: 0 0 200 150\n"), std::string::npos);
        EXPECT_EQ(text.find("\nshowpage"), std::string::npos);
    }

    const std::string printable = dir.Write("printable.ps", test::ReadText(dir.File("pept.ps")) + "showpage\n");
    const std::string raster = dir.File("gs.png");
    const std::string log = Output("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=png16m -r72 -dEPSCrop -sOutputFile=" + raster +
                                   " " + printable + " 2>&1");
    EXPECT_EQ(log, "");
    const test::ReadPng ghost = test::ReadBack(raster);
    ASSERT_EQ(ghost.width, 200u);
    ASSERT_EQ(ghost.height, 150u);

    ASSERT_EQ(with({"-image", dir.File("pept.png")}).status, 0);
    const test::ReadPng picture = test::ReadBack(dir.File("pept.png"));
    EXPECT_GT(Ink(picture), 2000);
    // The same scene as the picture, but for a fringe of a pixel round every
    // atom and the curves where atoms cut into each other, which sorting
    // whole triangles by depth only approximates (measured 5.87).
    EXPECT_LT(MeanDifference(ghost, picture), 8.0);
}

// What ffprobe reads of the first video stream, frames counted by decoding.
std::map<std::string, std::string> Probe(const std::string& avi) {
    std::map<std::string, std::string> fields;
    std::istringstream in(Output("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                                 "stream=codec_name,codec_tag_string,pix_fmt,nb_read_frames,width,height,r_frame_rate "
                                 "-of default=noprint_wrappers=1 " + avi + " 2>&1"));
    for (std::string line; std::getline(in, line);)
        if (const size_t eq = line.find('='); eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
    return fields;
}

test::ReadPng DecodeFrame(const test::TempDir& dir, const std::string& avi, int n) {
    const std::string png = dir.File("frame.png");
    std::filesystem::remove(png);
    EXPECT_EQ(Output("ffmpeg -v error -y -i " + avi + " -vf \"select=eq(n\\," + std::to_string(n) +
                     ")\" -vframes 1 -pix_fmt rgb24 " + png + " 2>&1"),
              "");
    return test::ReadBack(png);
}

TEST(BatchMovie, ListCodecs) {
    const BatchRun r = RunVelm({"-list-codecs"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream in(r.out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "codec=\"DIB \" Full Frames (Uncompressed)");
    int mjpeg = 0, mpeg4 = 0;
    for (const std::string& l : lines) {
        EXPECT_TRUE(l.starts_with("codec=\"")) << l;
        mjpeg += l.starts_with("codec=\"mjpeg\" ");
        mpeg4 += l.starts_with("codec=\"mpeg4\" ");
    }
    EXPECT_EQ(mjpeg, 1);
    EXPECT_EQ(mpeg4, 1);
}

TEST(BatchMovie, TrajectoryFramesBecomeMovieFrames) {
    if (!HaveTool("ffprobe") || !HaveTool("ffmpeg")) GTEST_SKIP() << "ffprobe or ffmpeg is not installed";
    test::TempDir dir;
    const std::vector<std::string> trajectory = {test::DataPath("1ubi.pdb"), "-dcd", test::DataPath("1ubi_20frames_le.dcd"),
                                                 "-align", "-width", "160", "-height", "120", "-render", "cpk"};
    const auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = trajectory;
        args.insert(args.end(), more.begin(), more.end());
        return RunVelm(args);
    };

    // Frames 3 to 14 through an encoder.
    const std::string mjpeg = dir.File("part.avi");
    BatchRun r = with({"-movie", mjpeg, "-codec", "mjpeg", "-fps", "10", "-start", "3", "-stop", "14"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("movie=" + mjpeg + " frames=12 fps=10 size=160x120 codec=\"mjpeg\"\n"), std::string::npos) << r.out;
    std::map<std::string, std::string> probe = Probe(mjpeg);
    EXPECT_EQ(probe["codec_name"], "mjpeg");
    EXPECT_EQ(probe["codec_tag_string"], "MJPG");
    EXPECT_EQ(probe["nb_read_frames"], "12");
    EXPECT_EQ(probe["r_frame_rate"], "10/1");
    EXPECT_EQ(probe["width"], "160");
    EXPECT_EQ(probe["height"], "120");

    // Every frame uncompressed, at the default rate; frame n of the movie is
    // trajectory frame n + 1, as -image -frame draws it.
    const std::string raw = dir.File("all.avi");
    r = with({"-movie", raw, "-surface-every-step"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("frames=20 fps=15 size=160x120 codec=\"DIB \""), std::string::npos) << r.out;
    probe = Probe(raw);
    EXPECT_EQ(probe["codec_name"], "rawvideo");
    EXPECT_EQ(probe["pix_fmt"], "bgr24");
    EXPECT_EQ(probe["nb_read_frames"], "20");
    EXPECT_EQ(probe["r_frame_rate"], "15/1");
    const test::ReadPng first = DecodeFrame(dir, raw, 0), fourth = DecodeFrame(dir, raw, 3);
    ASSERT_EQ(with({"-image", dir.File("f4.png"), "-frame", "4"}).status, 0);
    const test::ReadPng picture = test::ReadBack(dir.File("f4.png"));
    ASSERT_EQ(fourth.height, 120u);
    EXPECT_GT(Ink(fourth), 2000) << "aligned frames lie in the view";
    EXPECT_EQ(MeanDifference(fourth, picture), 0);
    EXPECT_GT(MeanDifference(first, fourth), 0.5) << "the molecule moves between frames";
}

TEST(BatchMovie, BadRatesAndRangesAreRefusedBeforeAnyFile) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb"), dcd = test::DataPath("1ubi_20frames_le.dcd");
    const std::string avi = dir.File("m.avi");
    for (const char* rate : {"0", "121", "-5", "ten"}) {
        const BatchRun r = RunVelm({ubi, "-dcd", dcd, "-movie", avi, "-fps", rate});
        EXPECT_EQ(r.status, 2) << rate;
        EXPECT_NE(r.err.find("Please enter a frame rate between 1 and 120"), std::string::npos) << r.err;
    }
    const std::vector<std::vector<std::string>> ranges = {
        {ubi, "-dcd", dcd, "-align", "-movie", avi, "-start", "5", "-stop", "2"},
        {ubi, "-dcd", dcd, "-align", "-movie", avi, "-stop", "21"},
        {ubi, "-dcd", dcd, "-align", "-movie", avi, "-start", "-1", "-stop", "3"},
        {ubi, "-movie", avi},  // no trajectory: no frames to record
    };
    for (const auto& args : ranges) {
        const BatchRun r = RunVelm(args);
        EXPECT_EQ(r.status, 1) << r.out;
        EXPECT_NE(r.err.find("Please enter a valid step range!"), std::string::npos) << r.err;
    }
    EXPECT_EQ(RunVelm({ubi, "-movie", avi, "-start", "x"}).status, 2);
    EXPECT_EQ(RunVelm({ubi, "-movie"}).status, 2);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    const BatchRun r = RunVelm({ubi, "-dcd", dcd, "-movie", dir.File("m.mpg")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to create movie! Error opening the AVI file. File name must end with '.avi'"), std::string::npos)
        << r.err;
}

}  // namespace
