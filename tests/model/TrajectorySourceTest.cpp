// DCD, XTC and TRR files written by MDAnalysis and gmx trjconv, read through
// the trajectory source against what MDAnalysis reads from the same files
// (tests/data/trajectories.json, made by tests/data/make_xtc_trr.py), and cut
// or damaged copies of them.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "core/VelmError.h"
#include "model/TrajectorySource.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;

namespace {

const json& Files() {
    static const json facts = json::parse(test::ReadText(test::DataPath("trajectories.json")));
    return facts["files"];
}

struct Read {
    std::vector<std::vector<float>> xyz;
    std::vector<std::optional<TrajectoryBox>> boxes;
};

Read ReadFrames(TrajectorySource& s, const std::vector<int>& order) {
    Read r;
    for (int k : order) {
        r.xyz.emplace_back(3 * static_cast<size_t>(s.AtomCount()));
        s.ReadFrame(k, r.xyz.back().data());
        r.boxes.push_back(s.Box());
    }
    return r;
}

std::vector<int> InOrder(int n) {
    std::vector<int> order(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) order[static_cast<size_t>(k)] = k;
    return order;
}

// Edge lengths and angles (degrees) of a box, as MDAnalysis gives them.
std::vector<double> Dimensions(const TrajectoryBox& b) {
    double len[3], angle[3];
    for (int i = 0; i < 3; ++i) len[i] = std::hypot(b.vectors[i][0], b.vectors[i][1], b.vectors[i][2]);
    for (int i = 0; i < 3; ++i) {
        const int p = (i + 1) % 3, q = (i + 2) % 3;
        double dot = 0;
        for (int a = 0; a < 3; ++a) dot += static_cast<double>(b.vectors[p][a]) * b.vectors[q][a];
        angle[i] = std::acos(dot / (len[p] * len[q])) * 180 / std::numbers::pi;
    }
    return {len[0], len[1], len[2], angle[0], angle[1], angle[2]};
}

void ExpectNear(std::span<const float> v, const json& want, double tolerance, const std::string& what) {
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(v[a], want[a].get<double>(), tolerance) << what << " axis " << a;
}

// The file's content under a name that says nothing of its format.
std::string Copy(const test::TempDir& dir, const std::string& name, size_t bytes = std::string::npos) {
    return dir.Write("trajectory", test::ReadText(test::DataPath(name)).substr(0, bytes));
}

std::string OpenError(const std::string& path) {
    try {
        OpenTrajectorySource(path);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

}  // namespace

TEST(TrajectorySource, FilesOfOtherProgramsReadAsMdAnalysisReadsThem) {
    test::TempDir dir;
    for (const auto& [name, facts] : Files().items()) {
        SCOPED_TRACE(name);
        auto s = OpenTrajectorySource(Copy(dir, name));
        EXPECT_EQ(s->Format(), facts["format"] == "DCD"   ? TrajectoryFormat::Dcd
                               : facts["format"] == "XTC" ? TrajectoryFormat::Xtc
                                                          : TrajectoryFormat::Trr);
        const int n = facts["natoms"];
        ASSERT_EQ(s->AtomCount(), n);
        ASSERT_EQ(s->FrameCount(), facts["nframes"].get<int>());
        EXPECT_EQ(s->Notice(), "");
        const double tol = facts["tolerance"];
        std::vector<float> xyz(3 * static_cast<size_t>(n));
        for (int k = 0; k < s->FrameCount(); ++k) {
            const json& want = facts["frames"][k];
            const std::string frame = "frame " + std::to_string(k);
            s->ReadFrame(k, xyz.data());
            double sum[3] = {0, 0, 0};
            long long grid = 0;
            for (int i = 0; i < n; ++i) {
                long long g[3];
                for (int a = 0; a < 3; ++a) {
                    sum[a] += xyz[3 * i + a];
                    if (facts.contains("precision")) g[a] = std::llround(xyz[3 * i + a] * facts["precision"].get<double>() / 10);
                }
                if (facts.contains("precision")) grid += (i + 1) * (g[0] + 2 * g[1] + 3 * g[2]);
            }
            const char* axes[] = {"sum_x", "sum_y", "sum_z"};
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(sum[a], want[axes[a]].get<double>(), n * tol + 1e-6) << frame;
            ExpectNear(std::span(xyz).first(3), want["first_atom"], tol, frame);
            ExpectNear(std::span(xyz).last(3), want["last_atom"], tol, frame);
            // Exact: any atom out of place or order changes it.
            if (want.contains("grid_sum")) {
                EXPECT_EQ(grid, want["grid_sum"].get<long long>()) << frame;
            }
            const auto box = s->Box();
            ASSERT_EQ(box.has_value(), !want["dimensions"].is_null()) << frame;
            if (box) {
                const std::vector<double> d = Dimensions(*box);
                for (int i = 0; i < 6; ++i) EXPECT_NEAR(d[i], want["dimensions"][i].get<double>(), 1e-3) << frame;
            }
            using Named = std::pair<const char*, std::span<const float>>;
            for (const auto& [key, values] : {Named{"velocities", s->Velocities()}, Named{"forces", s->Forces()}}) {
                ASSERT_EQ(values.size(), want.contains(key) ? xyz.size() : 0u) << frame << " " << key;
                if (values.empty()) continue;
                double vs[3] = {0, 0, 0};
                for (size_t i = 0; i < values.size(); ++i) vs[i % 3] += values[i];
                for (int a = 0; a < 3; ++a) EXPECT_NEAR(vs[a], want[key]["sum"][a].get<double>(), 1e-4) << key;
                ExpectNear(values.first(3), want[key]["first_atom"], 1e-6, frame + " " + key);
            }
        }
    }
}

TEST(TrajectorySource, RandomAccessGivesTheFramesOfASequentialRead) {
    for (const auto& [name, facts] : Files().items()) {
        SCOPED_TRACE(name);
        auto s = OpenTrajectorySource(test::DataPath(name));
        const int n = s->FrameCount();
        const Read sequential = ReadFrames(*s, InOrder(n));
        std::vector<int> order;
        for (int k = n - 1; k >= 0; --k) order.push_back(k);
        for (int k = 0; k < 2 * n; ++k) order.push_back(k * 7 % n);
        const Read scattered = ReadFrames(*s, order);
        for (size_t i = 0; i < order.size(); ++i) {
            const auto k = static_cast<size_t>(order[i]);
            EXPECT_EQ(scattered.xyz[i], sequential.xyz[k]) << "frame " << k;
            ASSERT_EQ(scattered.boxes[i].has_value(), sequential.boxes[k].has_value());
            if (scattered.boxes[i]) {
                EXPECT_EQ(std::memcmp(&*scattered.boxes[i], &*sequential.boxes[k], sizeof(TrajectoryBox)), 0);
            }
        }
    }
}

TEST(TrajectorySource, CutFilesKeepEveryWholeFrame) {
    test::TempDir dir;
    for (const char* name : {"1ubi_mda.xtc", "1ubi9_mda.xtc", "2hhb_gmx.xtc", "2k39_vf_gmx_d.trr", "1ubi_gmx.trr",
                             "1ubi_20frames_le.dcd"}) {
        SCOPED_TRACE(name);
        const json& facts = Files()[name];
        const std::vector<long> at = facts["offsets"];
        const auto n = static_cast<int>(at.size());
        const long end = facts["bytes"];
        auto whole = OpenTrajectorySource(test::DataPath(name));
        const Read all = ReadFrames(*whole, InOrder(n));
        // A DCD header says how many steps there should be: a file ending
        // between two steps is known to be cut too.
        const std::string third = "Unexpected end of file in frame 3; the 2 frames before it are read";
        const std::string last = "Unexpected end of file in frame " + std::to_string(n) + "; the " +
                                 std::to_string(n - 1) + " frames before it are read";
        struct Cut { long bytes; int frames; std::string notice; };
        const Cut cuts[] = {
            {end - 1, n - 1, last},
            {(at[n - 1] + end) / 2, n - 1, last},
            {at[2] + 10, 2, third},
            {at[2], 2, facts["format"] == "DCD" ? third : ""},
            {at[1] - 4, 0, "Unexpected end of file in frame 1; no frame before it"},
        };
        for (const Cut& c : cuts) {
            SCOPED_TRACE(c.bytes);
            auto s = OpenTrajectorySource(Copy(dir, name, static_cast<size_t>(c.bytes)));
            EXPECT_EQ(s->FrameCount(), c.frames);
            EXPECT_EQ(s->Notice(), c.notice);
            const Read kept = ReadFrames(*s, InOrder(s->FrameCount()));
            for (size_t k = 0; k < kept.xyz.size(); ++k) EXPECT_EQ(kept.xyz[k], all.xyz[k]) << "frame " << k;
        }
        // Not even the first frame's header: nothing to count.
        EXPECT_EQ(OpenError(Copy(dir, name, 40)), "Unexpected end of file!");
    }
    // A DCD header without a step count: the whole steps the size holds.
    std::string uncounted = test::ReadText(test::DataPath("1ubi_20frames_le.dcd"));
    std::memset(uncounted.data() + 8, 0, 4);
    const long third = Files()["1ubi_20frames_le.dcd"]["offsets"][2];
    auto s = OpenTrajectorySource(dir.Write("uncounted", uncounted.substr(0, static_cast<size_t>(third + 10))));
    EXPECT_EQ(s->FrameCount(), 2);
    EXPECT_EQ(s->Notice(), "Unexpected end of file in frame 3; the 2 frames before it are read");
}

TEST(TrajectorySource, DamagedFramesEndTheReadAtTheirNumber) {
    test::TempDir dir;
    const std::string xtc = test::ReadText(test::DataPath("1ubi_mda.xtc"));
    const std::string trr = test::ReadText(test::DataPath("1ubi_gmx.trr"));
    const std::vector<long> xtcAt = Files()["1ubi_mda.xtc"]["offsets"];
    const std::vector<long> trrAt = Files()["1ubi_gmx.trr"]["offsets"];
    auto put = [](std::string s, long at, std::int32_t v) {
        for (int i = 0; i < 4; ++i) s[static_cast<size_t>(at + i)] = static_cast<char>(v >> (24 - 8 * i));
        return s;
    };
    // A value of a frame that is no finite number: NaN bits, in either byte order, or infinity (little-endian).
    const std::string dcd = test::ReadText(test::DataPath("1ubi_20frames_le.dcd"));
    const std::string xtc9 = test::ReadText(test::DataPath("1ubi9_mda.xtc"));
    const std::vector<long> dcdAt = Files()["1ubi_20frames_le.dcd"]["offsets"];
    const std::vector<long> xtc9At = Files()["1ubi9_mda.xtc"]["offsets"];
    auto bits = [](std::string s, long at, const char* four) {
        std::memcpy(s.data() + at, four, 4);
        return s;
    };
    std::string ones = xtc;  // frame 4's packed bits all set: no number fits the ranges
    std::fill(ones.begin() + xtcAt[3] + 92, ones.begin() + xtcAt[4], '\xff');
    struct Case { const char* label; std::string bytes; int frames; const char* notice; int bad; const char* error; };
    const Case cases[] = {
        {"packed bits all ones", ones, 20, "", 3, "Corrupt XTC coordinates in frame 4"},
        {"small index past the table", put(xtc, xtcAt[3] + 84, 200), 20, "", 3, "Corrupt XTC coordinates in frame 4"},
        {"minimum above maximum", put(xtc, xtcAt[3] + 60, 1 << 30), 20, "", 3, "Corrupt XTC coordinates in frame 4"},
        {"precision zero", put(xtc, xtcAt[3] + 56, 0), 20, "", 3, "Corrupt XTC coordinates in frame 4"},
        {"magic of frame 5", put(xtc, xtcAt[4], 1993), 4, "Corrupt XTC frame header in frame 5; the 4 frames before it are read", -1, ""},
        {"byte count past the end", put(xtc, xtcAt[4] + 88, 0x7fffffff), 4, "Unexpected end of file in frame 5; the 4 frames before it are read", -1, ""},
        {"atoms of frame 5", put(put(xtc, xtcAt[4] + 4, 682), xtcAt[4] + 52, 682), 4,
         "A different number of atoms (682, not 683) in frame 5; the 4 frames before it are read", -1, ""},
        // The last z of the frame.
        {"NaN in DCD frame 4", bits(dcd, dcdAt[4] - 8, "\xff\xff\xff\xff"), 20, "", 3, "Error reading DCD file!"},
        {"infinity in DCD frame 4", bits(dcd, dcdAt[4] - 8, "\x00\x00\x80\x7f"), 20, "", 3, "Error reading DCD file!"},
        {"NaN in XTC frame 4", bits(xtc9, xtc9At[4] - 4, "\xff\xff\xff\xff"), 20, "", 3,
         "Coordinates that are not finite numbers in frame 4"},
        {"NaN in TRR frame 2", bits(trr, trrAt[2] - 4, "\xff\xff\xff\xff"), 5, "", 1,
         "Coordinates that are not finite numbers in frame 2"},
        {"TRR positions size", put(trr, trrAt[1] + 52, 7), 1, "Corrupt TRR frame header in frame 2; the frame before it is read", -1, ""},
        {"TRR atoms of frame 3", put(put(trr, trrAt[2] + 64, 682), trrAt[2] + 52, 682 * 12), 2,
         "A different number of atoms (682, not 683) in frame 3; the 2 frames before it are read", -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        auto s = OpenTrajectorySource(dir.Write("damaged", c.bytes));
        EXPECT_EQ(s->FrameCount(), c.frames);
        EXPECT_EQ(s->Notice(), c.notice);
        std::vector<float> xyz(3 * 683);
        for (int k = 0; k < s->FrameCount(); ++k) {
            try {
                s->ReadFrame(k, xyz.data());
                EXPECT_NE(k, c.bad);
            } catch (const VelmError& e) {
                EXPECT_EQ(k, c.bad);
                EXPECT_EQ(e.text(), c.error);
            }
        }
    }
}

TEST(TrajectorySource, FilesThatAreNoTrajectoryGiveTheProgramsMessages) {
    test::TempDir dir;
    const std::string xtc = test::ReadText(test::DataPath("1ubi_mda.xtc"));
    std::string negative = xtc;
    negative[4] = '\xff';  // a negative atom count
    struct Case { const char* label; std::string path; const char* message; };
    const Case cases[] = {
        {"absent", dir.File("absent.xtc"), "Can't open DCD file for reading!"},
        {"a folder", dir.path(), "Can't open DCD file for reading!"},
        {"empty", dir.Write("empty", ""), "Unexpected end of file!"},
        {"a PDB file", test::DataPath("1ubi.pdb"), "Unknown file type!"},
        {"negative atom count", dir.Write("negative", negative), "Corrupt XTC frame header in frame 1"},
        // Three steps of 167 atoms and 1,503 bytes more: 5 bytes a value.
        {"DCD of 5-byte values", dir.Write("wide.dcd", test::ReadText(test::DataPath("2k39_3frames_plugin.dcd")) +
                                                           std::string(3 * 3 * 167, '\0')),
         "Incompatible data size in DCD file!"},
    };
    for (const Case& c : cases) EXPECT_EQ(OpenError(c.path), c.message) << c.label;

    // The caller holds the structure; the count it expects is checked with the program's text.
    auto s = OpenTrajectorySource(test::DataPath("2hhb_gmx.xtc"));
    EXPECT_NO_THROW(CheckAtomCount(*s, 4779));
    try {
        CheckAtomCount(*s, 4778);
        ADD_FAILURE() << "no error";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Incorrect Number of atoms in DCD file!");
    }
}

TEST(TrajectorySource, XtcFramesWithTheLargeSystemMagicReadAsTheOld) {
    // Writers since 2023 mark frames of huge systems with 2023 and give the
    // packed byte count in 8 bytes; no small file of that kind is written,
    // so the frames of a small one are rewritten so.
    test::TempDir dir;
    for (const char* name : {"1ubi_mda.xtc", "2hhb_gmx.xtc"}) {
        SCOPED_TRACE(name);
        const std::string old = test::ReadText(test::DataPath(name));
        const std::vector<long> at = Files()[name]["offsets"];
        std::string large;
        for (size_t k = 0; k < at.size(); ++k) {
            const auto start = static_cast<size_t>(at[k]);
            const size_t end = k + 1 < at.size() ? static_cast<size_t>(at[k + 1]) : old.size();
            std::string frame = old.substr(start, end - start);
            frame.replace(0, 4, std::string("\0\0\x07\xe7", 4));  // 2023
            frame.insert(88, 4, '\0');                           // the count's high word
            large += frame;
        }
        auto original = OpenTrajectorySource(test::DataPath(name));
        auto rewritten = OpenTrajectorySource(dir.Write("large.xtc", large));
        ASSERT_EQ(rewritten->FrameCount(), original->FrameCount());
        EXPECT_EQ(rewritten->Notice(), "");
        const std::vector<int> order = InOrder(original->FrameCount());
        EXPECT_EQ(ReadFrames(*rewritten, order).xyz, ReadFrames(*original, order).xyz);
        // Cut inside the last frame, as for the old magic.
        auto cut = OpenTrajectorySource(dir.Write("cut.xtc", large.substr(0, large.size() - 10)));
        EXPECT_EQ(cut->FrameCount(), original->FrameCount() - 1);
    }
}
