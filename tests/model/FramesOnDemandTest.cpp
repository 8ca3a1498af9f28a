// Trajectories read on demand against the same trajectories read whole:
// the same frames in every format and read mode, the same exported files,
// the same handling of damaged files, and memory within the budget.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "model/FrameStream.h"
#include "model/VelmDoc.h"
#include "support/AddressSanitizer.h"
#include "support/TestData.h"

using namespace velm;

namespace {

// ThreadSanitizer's shadow memory follows every byte touched: resident sizes say nothing there either.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

std::unique_ptr<CVelmDoc> Open(RecordingUiHooks& ui, const std::string& structure, const std::string& trajectory,
                               int mode, bool onDemand, int budgetMegabytes = 0) {
    auto doc = MakeDocument(ui);
    doc->options.framesOnDemand = onDemand;
    doc->options.trajectoryMemory = budgetMegabytes;
    doc->options.computeSecondaryStructure = 0;
    EXPECT_EQ(doc->AddMoleculeFromFile(structure), 1);
    doc->ReadTrajectoryIntoPrimary(trajectory, mode);
    return doc;
}

const std::vector<float>& Shown(const CVelmDoc& doc) {
    const Molecule& m = *doc.Primary();
    return std::as_const(m.frames)[m.currentFrame - 1].xyz;
}

std::vector<long> Offsets(const std::string& name) {
    static const nlohmann::json facts = nlohmann::json::parse(test::ReadText(test::DataPath("trajectories.json")));
    return facts["files"][name]["offsets"];
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

TEST(FramesOnDemand, GiveTheFramesAndExportsOfAWholeReadInEveryFormatAndMode) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    for (const char* name : {"1ubi_mda.xtc", "1ubi_gmx.trr", "1ubi_20frames_le.dcd"}) {
        for (const int mode : {Verbatim, ZeroCenterOfMass, Align}) {
            SCOPED_TRACE(std::string(name) + " mode " + std::to_string(mode));
            RecordingUiHooks ui;
            const auto held = Open(ui, ubi, test::DataPath(name), mode, false);
            const auto streamed = Open(ui, ubi, test::DataPath(name), mode, true);
            ASSERT_FALSE(held->Primary()->frames.OnDemand());
            ASSERT_TRUE(streamed->Primary()->frames.OnDemand());
            const int F = held->AnimationFrames();
            ASSERT_EQ(streamed->AnimationFrames(), F);
            // Backwards (read-ahead the other way), then forwards across the wrap.
            for (int c = F - 1; c > 0; --c) {
                held->SetFrame(c);
                streamed->SetFrame(c);
                ASSERT_EQ(Shown(*streamed), Shown(*held)) << "frame " << c;
            }
            for (int step = 0; step < F + 3; ++step) {
                held->Step(0);
                streamed->Step(0);
                if (held->CurrentAnimationFrame() > 0) ASSERT_EQ(Shown(*streamed), Shown(*held));
            }
            held->ExportTrajectory(dir.File("held.pdb"), 2, F - 1);
            streamed->ExportTrajectory(dir.File("streamed.pdb"), 2, F - 1);
            EXPECT_EQ(test::ReadText(dir.File("streamed.pdb")), test::ReadText(dir.File("held.pdb")));
        }
    }
}

TEST(FramesOnDemand, DamagedAndCutFilesKeepTheFramesBeforeThemEitherWay) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    const std::string xtc = test::ReadText(test::DataPath("1ubi_mda.xtc"));
    const std::vector<long> at = Offsets("1ubi_mda.xtc");
    std::string corrupt = xtc;  // frame 4's packed bits all set
    std::fill(corrupt.begin() + at[3] + 92, corrupt.begin() + at[4], '\xff');
    struct Case { const char* label; std::string bytes; int frames; const char* message; };
    const Case cases[] = {
        {"corrupt frame 4", corrupt, 3, "Corrupt XTC coordinates in frame 4; the 3 frames before it are read"},
        {"cut in frame 3", xtc.substr(0, static_cast<size_t>(at[2] + 10)), 2,
         "Unexpected end of file in frame 3; the 2 frames before it are read"},
    };
    for (const Case& c : cases) {
        for (const bool onDemand : {false, true}) {
            SCOPED_TRACE(std::string(c.label) + (onDemand ? " on demand" : " in memory"));
            RecordingUiHooks ui;
            const auto doc = Open(ui, ubi, dir.Write("damaged.xtc", c.bytes), Verbatim, onDemand);
            // Read on demand, a bad frame shows itself when it is to be shown.
            for (int k = 1; k <= 4 && onDemand; ++k) doc->SetFrame(k);
            EXPECT_EQ(doc->Primary()->FrameCount(), c.frames);
            EXPECT_EQ(doc->AnimationFrames(), c.frames + 1);
            EXPECT_EQ(ui.with("message:"), std::vector<std::string>{c.message});
        }
    }
    // Nothing of a first frame: refused, not an empty trajectory.
    RecordingUiHooks ui;
    try {
        Open(ui, ubi, dir.Write("cut.xtc", xtc.substr(0, static_cast<size_t>(at[1] - 4))), Verbatim, true);
        ADD_FAILURE() << "opened";
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Unexpected end of file!");
    }
}

TEST(FramesOnDemand, ATrajectoryBeyondTheBudgetPlaysWithinIt) {
    // 1tw7's 50,293 atoms, 100 frames: 60 MB of frames against a 12 MB budget.
    test::TempDir dir;
    const std::string structure = test::DataPath("1tw7_solvated.pdb.gz");
    constexpr int kAtoms = 50293, kFrames = 100, kBudgetMb = 12;
    std::string dcd;
    const auto put = [&dcd](std::int32_t v) { dcd.append(reinterpret_cast<const char*>(&v), 4); };
    put(84);
    dcd += "CORD";
    std::int32_t control[20] = {kFrames, 0, 1, kFrames};
    control[19] = 24;
    for (std::int32_t v : control) put(v);
    put(84);
    put(84);
    put(1);
    dcd += std::string(80, ' ');
    put(84);
    put(4);
    put(kAtoms);
    put(4);
    std::vector<float> values(kAtoms);
    for (int k = 0; k < kFrames; ++k)
        for (int axis = 0; axis < 3; ++axis) {
            for (int i = 0; i < kAtoms; ++i) values[static_cast<size_t>(i)] = static_cast<float>((i * 7 + k + axis) % 97);
            put(4 * kAtoms);
            dcd.append(reinterpret_cast<const char*>(values.data()), 4 * values.size());
            put(4 * kAtoms);
        }
    const std::string path = dir.Write("large.dcd", dcd);
    dcd.clear();
    dcd.shrink_to_fit();

    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->options.trajectoryMemory = kBudgetMb;
    doc->options.computeSecondaryStructure = 0;
    ASSERT_EQ(doc->AddMoleculeFromFile(structure), 1);
    const long before = ResidentKb();
    doc->ReadTrajectoryIntoPrimary(path, ZeroCenterOfMass);
    ASSERT_TRUE(doc->Primary()->frames.OnDemand());  // chosen by the budget, not forced
    ASSERT_EQ(doc->AnimationFrames(), kFrames + 1);
    long most = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int k = 0; k <= kFrames; ++k) {
            doc->Step(pass);
            most = std::max(most, ResidentKb());
        }
    const Frame& last = std::as_const(doc->Primary()->frames)[kFrames - 1];
    EXPECT_EQ(last.AtomCount(), static_cast<size_t>(kAtoms));
    if (test::kAddressSanitizer || kThreadSanitizer) GTEST_SKIP() << "resident sizes mean nothing under a sanitizer";
    EXPECT_LT(most - before, kBudgetMb * 1024) << "resident " << before << " KB before, at most " << most << " KB";
}
