#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <cstring>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/DcdFile.h"
#include "model/Molecule.h"
#include "model/Trajectory.h"
#include "support/TestData.h"

using namespace velm;
using json = nlohmann::json;

namespace {

using Bytes = std::vector<unsigned char>;

// The file as its length-framed records, taken apart by the framing alone.
std::vector<Bytes> Records(const std::string& raw) {
    std::vector<Bytes> out;
    size_t p = 0;
    while (p + 4 <= raw.size()) {
        std::uint32_t n;
        std::memcpy(&n, raw.data() + p, 4);
        if (p + 8 + n > raw.size()) break;
        out.emplace_back(raw.begin() + static_cast<long>(p) + 4, raw.begin() + static_cast<long>(p + 4 + n));
        p += 8 + n;
    }
    return out;
}

// Record kinds of a file with unit cells: 0 header, 1 title, 2 atom count,
// then cell, x, y, z per step.
struct Layout {
    std::vector<Bytes> header;  // header, title, atom count
    std::vector<Bytes> cells;
    std::vector<std::vector<float>> x, y, z;
};

Layout Split(const std::string& raw) {
    const auto r = Records(raw);
    Layout l;
    l.header.assign(r.begin(), r.begin() + 3);
    for (size_t k = 3; k + 4 <= r.size(); k += 4) {
        l.cells.push_back(r[k]);
        for (int axis = 0; axis < 3; ++axis) {
            const Bytes& b = r[k + 1 + static_cast<size_t>(axis)];
            std::vector<float> v(b.size() / 4);
            std::memcpy(v.data(), b.data(), b.size());
            (axis == 0 ? l.x : axis == 1 ? l.y : l.z).push_back(v);
        }
    }
    return l;
}

struct WriteOptions {
    bool bigEndian = false;
    bool cells = true;
    bool doubles = false;
    int headerSteps = -1;  // as in the file when negative
};

void Put(std::string& out, const void* p, size_t n, bool swap) {
    const auto* c = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(swap ? c[n - 1 - i] : c[i]));
}
void PutInt(std::string& out, std::int32_t v, bool swap) { Put(out, &v, 4, swap); }

// Writes the layout again with another byte order, without unit cells or
// with 8-byte values; every field swapped in its own width.
std::string Write(const Layout& l, const WriteOptions& o) {
    std::string out;
    const bool s = o.bigEndian;
    auto record = [&](auto body, std::int32_t length) {
        PutInt(out, length, s);
        body();
        PutInt(out, length, s);
    };
    // Header: "CORD" then 20 control integers.
    const Bytes& h = l.header[0];
    std::int32_t control[20];
    std::memcpy(control, h.data() + 4, 80);
    if (!o.cells) control[10] = 0;
    if (o.headerSteps >= 0) control[0] = o.headerSteps;
    record([&] {
        out.append(reinterpret_cast<const char*>(h.data()), 4);
        for (std::int32_t c : control) PutInt(out, c, s);
    }, 84);
    const Bytes& t = l.header[1];
    std::int32_t lines;
    std::memcpy(&lines, t.data(), 4);
    record([&] {
        PutInt(out, lines, s);
        out.append(reinterpret_cast<const char*>(t.data()) + 4, t.size() - 4);
    }, static_cast<std::int32_t>(t.size()));
    std::int32_t atoms;
    std::memcpy(&atoms, l.header[2].data(), 4);
    record([&] { PutInt(out, atoms, s); }, 4);
    for (size_t k = 0; k < l.x.size(); ++k) {
        if (o.cells) {
            record([&] {
                for (int i = 0; i < 6; ++i) {
                    double d;
                    std::memcpy(&d, l.cells[k].data() + 8 * i, 8);
                    Put(out, &d, 8, s);
                }
            }, 48);
        }
        for (const auto* axis : {&l.x[k], &l.y[k], &l.z[k]}) {
            record([&] {
                for (float f : *axis) {
                    if (o.doubles) {
                        const double d = f;
                        Put(out, &d, 8, s);
                    } else {
                        Put(out, &f, 4, s);
                    }
                }
            }, static_cast<std::int32_t>(axis->size() * (o.doubles ? 8 : 4)));
        }
    }
    return out;
}

std::vector<std::vector<float>> ReadAll(const std::string& path, DcdHeader& h) {
    DcdFile f(path);
    EXPECT_TRUE(f.IsOpen());
    h = f.ReadHeader();
    std::vector<std::vector<float>> frames;
    for (int k = 0; k < h.steps; ++k) {
        std::vector<float> xyz(3 * static_cast<size_t>(h.atoms));
        if (!f.ReadStep(xyz.data())) {
            ADD_FAILURE() << "step " << k << ": " << f.Message();
            break;
        }
        frames.push_back(std::move(xyz));
    }
    return frames;
}

void ExpectChecksums(const std::vector<std::vector<float>>& frames, const json& facts) {
    ASSERT_EQ(frames.size(), facts["frames"].size());
    for (size_t k = 0; k < frames.size(); ++k) {
        const json& want = facts["frames"][k];
        double sum[3] = {0, 0, 0};
        for (size_t i = 0; i < frames[k].size(); ++i) sum[i % 3] += frames[k][i];
        EXPECT_NEAR(sum[0], want["sum_x"].get<double>(), 1e-6) << "frame " << k;
        EXPECT_NEAR(sum[1], want["sum_y"].get<double>(), 1e-6) << "frame " << k;
        EXPECT_NEAR(sum[2], want["sum_z"].get<double>(), 1e-6) << "frame " << k;
        for (int a = 0; a < 3; ++a) EXPECT_EQ(frames[k][a], want["first_atom"][a].get<float>()) << "frame " << k;
    }
}

std::string HeaderError(const std::string& path) {
    try {
        DcdFile f(path);
        f.ReadHeader();
    } catch (const velm::VelmError& e) {
        return e.text();
    }
    return "";
}

const char* kFiles[] = {"1ubi_20frames_le.dcd", "2hhb_20frames_le.dcd", "2k39_3frames_plugin.dcd"};

}  // namespace

TEST(DcdFile, FilesOfOtherProgramsReadToTheirChecksums) {
    const json sums = json::parse(test::ReadText(test::DataPath("checksums.json")));
    for (const char* name : kFiles) {
        SCOPED_TRACE(name);
        const json& facts = sums[name];
        DcdHeader h;
        const auto frames = ReadAll(test::DataPath(name), h);
        EXPECT_EQ(h.atoms, facts["natoms"].get<int>());
        EXPECT_EQ(h.steps, facts["nframes"].get<int>());
        EXPECT_EQ(h.width, 4);
        EXPECT_TRUE(h.unitCell);
        ExpectChecksums(frames, facts);
    }
}

TEST(DcdFile, ByteOrderCellsAndWidthVariantsReadAlike) {
    const json sums = json::parse(test::ReadText(test::DataPath("checksums.json")));
    test::TempDir dir;
    struct Case { const char* label; WriteOptions options; bool swapped; int width; bool cells; };
    const Case cases[] = {
        {"big-endian", {true, true, false, -1}, true, 4, true},
        {"no unit cells", {false, false, false, -1}, false, 4, false},
        {"big-endian, no unit cells", {true, false, false, -1}, true, 4, false},
        {"8-byte values", {false, false, true, -1}, false, 8, false},
        {"8-byte big-endian with cells", {true, true, true, -1}, true, 8, true},
        // A header claiming no steps: counted from the size, assuming 4-byte values.
        {"zero steps in the header", {false, false, false, 0}, false, 4, false},
        {"zero steps, cells", {true, true, false, 0}, true, 4, true},
    };
    for (const char* name : {kFiles[0], kFiles[2]}) {
        const Layout l = Split(test::ReadText(test::DataPath(name)));
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(name) + ": " + c.label);
            const std::string path = dir.Write("v.dcd", Write(l, c.options));
            DcdHeader h;
            DcdFile probe(path);
            probe.ReadHeader();
            EXPECT_EQ(probe.Swapped(), c.swapped);
            const auto frames = ReadAll(path, h);
            EXPECT_EQ(h.width, c.width);
            EXPECT_EQ(h.unitCell, c.cells);
            ExpectChecksums(frames, sums[name]);
        }
    }
}

TEST(DcdFile, BadFilesGiveTheirMessages) {
    test::TempDir dir;
    const std::string good = test::ReadText(test::DataPath("2k39_3frames_plugin.dcd"));
    auto patched = [&](size_t at, std::int32_t value) {
        std::string s = good;
        std::memcpy(s.data() + at, &value, 4);
        return s;
    };
    struct Case { const char* label; std::string content; const char* message; };
    const Case cases[] = {
        {"empty", "", "Unexpected end of file!"},
        {"first length not 84", patched(0, 85), "Corrupted DCD file header"},
        {"title length not 4 + 80n", patched(92, 85), "Bad DCD file header"},
        {"title count against its length", patched(96, 0x7ffffff0), "Bad DCD file header"},
        {"fixed atoms", patched(8 + 8 * 4, 12),
         "DCD files with fixed atoms are not supported: the trajectory holds only the free atoms"},
        {"header only", good.substr(0, 92), "Unexpected end of file!"},
        {"truncated steps", good.substr(0, good.size() - 700), "Unexpected end of file!"},
    };
    for (const Case& c : cases) EXPECT_EQ(HeaderError(dir.Write("bad.dcd", c.content)), c.message) << c.label;
    EXPECT_EQ(HeaderError(dir.File("absent.dcd")), "Please open the file before reading!");

    // A step whose record length does not match stops the read with a message.
    std::string broken = good;
    const size_t firstX = broken.size() - 3 * (4 + 48 + 4 + 3 * (167 * 4 + 8)) + 56;
    const std::int32_t wrong = 7;
    std::memcpy(broken.data() + firstX, &wrong, 4);
    DcdFile f(dir.Write("broken.dcd", broken));
    f.ReadHeader();
    std::vector<float> xyz(3 * 167);
    EXPECT_FALSE(f.ReadStep(xyz.data()));
    EXPECT_EQ(f.Message(), "Error reading DCD file!");
}

TEST(Trajectory, HeaderChecksAgainstTheMolecule) {
    Molecule m;
    m.atoms.resize(166);
    struct Case { std::string path; FileType type; const char* message; };
    test::TempDir dir;
    const Case cases[] = {
        {test::DataPath("2k39_3frames_plugin.dcd"), ByExtension, "Incorrect Number of atoms in DCD file!"},
        {dir.File("absent.dcd"), ByExtension, "Can't open DCD file for reading!"},
        {"run.ptf", ByExtension, "PTF files are not currently supported!"},
        // Told by content, whatever the name or the type chosen.
        {dir.File("absent.xtc"), ByExtension, "Can't open DCD file for reading!"},
        {test::DataPath("1ubi.pdb"), DcdType, "Unknown file type!"},
        {test::DataPath("1ubi_mda.xtc"), ByExtension, "Incorrect Number of atoms in DCD file!"},
        {test::DataPath("2k39_vf_mda.trr"), DcdType, "Incorrect Number of atoms in DCD file!"},
    };
    for (const Case& c : cases) {
        try {
            ReadTrajectoryHeader(m, c.path, c.type);
            ADD_FAILURE() << c.path;
        } catch (const velm::VelmError& e) {
            EXPECT_EQ(e.text(), c.message) << c.path;
        }
    }
}

TEST(Trajectory, StepsReadOnAWorkerAndCancel) {
    Molecule m;
    m.atoms.resize(683);
    m.frames.Append(Frame(683));  // cleared by the header
    RecordingUiHooks ui;
    OpenTrajectory t = ReadTrajectoryHeader(m, test::DataPath("1ubi_20frames_le.dcd"), DcdType);
    EXPECT_EQ(m.FrameCount(), 0);
    ASSERT_TRUE(ReadTrajectorySteps(m, t, ui));
    EXPECT_EQ(m.FrameCount(), 20);
    EXPECT_FLOAT_EQ(static_cast<float>(m.Position(0, 1).x), 27.343000411987305f);
    EXPECT_EQ(ui.with("progress-begin:"), std::vector<std::string>{"Reading Trajectory:20"});
    EXPECT_EQ(ui.with("progress-set:").back(), "20");
}

// While the worker reads, the interface thread draws and animates the
// molecule: it must find the frames it had, never a list being filled.
// Built with ThreadSanitizer (preset tsan), a shared list is a reported race.
TEST(Trajectory, TheInterfaceThreadMayReadTheMoleculeWhileStepsAreRead) {
    struct Animating : RecordingUiHooks {
        const Molecule* m = nullptr;
        double sum = 0;
        int looks = 0;
        void ProgressSet(int p) override {
            RecordingUiHooks::ProgressSet(p);
            // A paint: every frame the molecule has, as SetFrame would show it.
            for (int k = 0; k <= m->FrameCount(); ++k) sum += m->Position(0, k).x;
            ++looks;
        }
        bool ProgressCancelled() override {
            sum += m->frames.Count();
            return false;
        }
    } ui;
    Molecule m;
    m.atoms.resize(683);
    ui.m = &m;
    int steps = 0;
    const bool done = ReadStepsOnWorker(m, 200, [&](float* xyz) {
        xyz[0] = static_cast<float>(++steps);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }, ui);
    ASSERT_TRUE(done);
    EXPECT_GT(ui.looks, 2);
    ASSERT_EQ(m.FrameCount(), 200);
    EXPECT_EQ(m.Position(0, 200).x, 200);
}

TEST(Trajectory, CancelStopsBeforeTheNextStep) {
    // Steps from 3 on wait until the interface thread has acted on "Cancel":
    // it has answered yes once and then asked again, so the stop it stores
    // after the first yes is visible before the step under way ends.
    struct Hooks : RecordingUiHooks {
        std::atomic<int> asksAfterYes{0};
        bool yes = false;
        bool ProgressCancelled() override {
            if (yes) ++asksAfterYes;
            return yes = yes || progress >= 3;
        }
    } ui;
    Molecule m;
    m.atoms.resize(2);
    int calls = 0;
    const bool done = ReadStepsOnWorker(m, 10, [&](float* xyz) {
        if (++calls > 3)
            while (ui.asksAfterYes == 0) std::this_thread::yield();
        xyz[0] = static_cast<float>(calls);
    }, ui);
    EXPECT_FALSE(done);
    EXPECT_EQ(calls, 4);  // the step under way when "Cancel" came is finished
    EXPECT_EQ(m.FrameCount(), 0);  // and the molecule gets none of them

    // An error on the worker ends the read there: the frames before it are
    // kept and the message says so; an error in the first reaches the caller.
    for (const int bad : {3, 1}) {
        RecordingUiHooks plain;
        Molecule n;
        n.atoms.resize(1);
        int k = 0;
        try {
            ReadStepsOnWorker(n, 5, [&](float*) {
                if (++k == bad) throw velm::VelmError("Unexpected end of file!");
            }, plain);
            EXPECT_EQ(bad, 3);
            EXPECT_EQ(plain.with("message:"),
                      std::vector<std::string>{"Unexpected end of file in frame 3; the 2 frames before it are read"});
        } catch (const velm::VelmError& e) {
            EXPECT_EQ(bad, 1);
            EXPECT_EQ(e.text(), "Unexpected end of file!");
        }
        EXPECT_EQ(n.FrameCount(), bad - 1);
        EXPECT_EQ(plain.with("progress-end").size(), 1u);
    }
}

TEST(Trajectory, ReadOnlyFilesOpen) {
    test::TempDir dir;
    const std::string path = dir.Write("ro.dcd", test::ReadText(test::DataPath("2k39_3frames_plugin.dcd")));
    chmod(path.c_str(), 0444);
    Molecule m;
    m.atoms.resize(167);
    RecordingUiHooks ui;
    OpenTrajectory t = ReadTrajectoryHeader(m, path, DcdType);
    EXPECT_TRUE(ReadTrajectorySteps(m, t, ui));
    EXPECT_EQ(m.FrameCount(), 3);
}
