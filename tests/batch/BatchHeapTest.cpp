#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "batch/BatchHeap.h"
#include "core/UiHooks.h"
#include "core/WorkerThreads.h"
#include "model/Molecule.h"
#include "model/ReadCoordinates.h"
#include "support/TestData.h"

using namespace velm;

namespace {

constexpr size_t kMB = size_t{1} << 20;

// A death test's child runs the test body afresh, with a scratch folder of
// its own that no destructor removes once it exits.
[[noreturn]] void ExitRemoving(const velm::test::TempDir& dir, int code) {
    std::error_code ec;
    std::filesystem::remove_all(dir.path(), ec);
    std::_Exit(code);
}

TEST(BatchHeap, ReserveFollowsTheNamedFilesWithinItsBounds) {
    velm::test::TempDir dir;
    const std::string plain = dir.File("big.pdb"), packed = dir.File("big.pdb.gz");
    for (const std::string& path : {plain, packed}) {
        std::ofstream f(path, std::ios::binary);
        f.seekp(static_cast<std::streamoff>(10 * kMB) - 1);
        f.put('\n');
    }
    const size_t all = size_t{64} << 30;
    // Options, missing files and folders count for nothing.
    EXPECT_EQ(BatchHeapReserve({"-no_connect", dir.path(), dir.File("missing.pdb")}, all), 64 * kMB);
    EXPECT_EQ(BatchHeapReserve({plain}, all), 104 * kMB);
    EXPECT_EQ(BatchHeapReserve({"-ss", plain, packed}, all), 304 * kMB);
    // Never past half the memory, never below the smallest step.
    EXPECT_EQ(BatchHeapReserve({plain, packed}, 256 * kMB), 128 * kMB);
    EXPECT_EQ(BatchHeapReserve({plain}, 16 * kMB), 64 * kMB);
}

TEST(BatchHeap, LoadEstimateCountsStructureFilesOnly) {
    velm::test::TempDir dir;
    const std::vector<std::string> names = {"a.pdb", "a.pdb.gz", "a.cif", "a.dcd", "a.xtc", "a.txt"};
    for (const std::string& name : names) {
        std::ofstream f(dir.File(name), std::ios::binary);
        f.seekp(static_cast<std::streamoff>(2 * kMB) - 1);
        f.put('\n');
    }
    EXPECT_EQ(BatchLoadEstimate({dir.File("a.pdb")}), 9 * kMB);
    // A compressed text holds four times its size; the margin stops at 4 MB.
    EXPECT_EQ(BatchLoadEstimate({dir.File("a.pdb.gz")}), 32 * kMB);
    // Trajectories and other files, options, folders and missing files add
    // nothing; without bonds a load takes less.
    EXPECT_EQ(BatchLoadEstimate({"-cm", dir.File("a.cif"), dir.File("a.dcd"), dir.File("a.xtc"), dir.File("a.txt"),
                                 dir.path(), dir.File("missing.pdb")}),
              9 * kMB);
    EXPECT_EQ(BatchLoadEstimate({"-no_connect", dir.File("a.cif")}), 7 * kMB);
    EXPECT_EQ(BatchLoadEstimate({}), 0u);
    // A file the caller reads as a structure whatever its name.
    EXPECT_EQ(StructureLoadBytes(dir.File("a.txt"), PdbType), 9 * kMB);

    // A real gzip file tells its text's size; a last member of several
    // tells only its own, and the file counts four times again, as does one
    // that tells more than sixteen times its size.
    std::string text;
    while (text.size() < 2 * kMB) text += velm::test::ReadText(velm::test::DataPath("1ubi.pdb"));
    text.resize(2 * kMB);
    const auto compress = [&](const std::string& name, bool secondMember) {
        const std::string path = dir.File(name);
        for (int member = 0; member < (secondMember ? 2 : 1); ++member) {
            gzFile gz = gzopen(path.c_str(), member == 0 ? "wb" : "ab");
            gzwrite(gz, text.data(), member == 0 ? static_cast<unsigned>(text.size()) : 10u);
            gzclose(gz);
        }
        return path;
    };
    EXPECT_EQ(BatchLoadEstimate({compress("one.pdb.gz", false)}), 9 * kMB);
    const std::string two = compress("two.pdb.gz", true);
    const auto size = static_cast<size_t>(std::ifstream(two, std::ios::binary | std::ios::ate).tellg());
    EXPECT_EQ(BatchLoadEstimate({two}), 4 * size / 2 * 7 + 4 * size);
    const std::string same = dir.File("same.pdb.gz");
    {
        gzFile gz = gzopen(same.c_str(), "wb");
        const std::string blanks(2 * kMB, ' ');
        gzwrite(gz, blanks.data(), static_cast<unsigned>(blanks.size()));
        gzclose(gz);
    }
    const auto sameSize = static_cast<size_t>(std::ifstream(same, std::ios::binary | std::ios::ate).tellg());
    EXPECT_EQ(BatchLoadEstimate({same}), 4 * sameSize / 2 * 7 + 4 * sameSize);
}

// Huge pages the system handed out in place of small ones, so far.
long HugePagesRefused() {
    std::ifstream in("/proc/vmstat");
    std::string key;
    long value = 0;
    while (in >> key >> value)
        if (key == "thp_fault_fallback") return value;
    return -1;
}

// The bytes of [begin, end) that huge pages back, by whole mappings.
size_t HugeBytesOver(std::uintptr_t begin, std::uintptr_t end) {
    std::ifstream in("/proc/self/smaps");
    size_t huge = 0;
    bool over = false;
    for (std::string line; std::getline(in, line);) {
        unsigned long from = 0, to = 0;
        long kb = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx ", &from, &to) == 2)
            over = from < end && to > begin;
        else if (over && std::sscanf(line.c_str(), "AnonHugePages: %ld kB", &kb) == 1)
            huge += static_cast<size_t>(kb) * 1024;
    }
    return huge;
}

// In a process of its own: the heap is set up once, for good.
TEST(BatchHeapDeathTest, TheLoadsBlocksFallInTheStretchFaultedIn) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers keep a heap of their own";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    velm::test::TempDir dir;
    // A name the heap must hold while the load is estimated, of a length
    // the blocks freed before seldom fit.
    const std::string path = dir.File(std::string(100, 'n') + ".pdb");
    {
        std::ofstream f(path, std::ios::binary);
        f.seekp(static_cast<std::streamoff>(2 * kMB) - 1);
        f.put('\n');
    }
    // Where the heap begins moves from process to process: half the places
    // leave a block freed below the stretch when it goes wrong.
    for (int run = 0; run < 6; ++run)
        EXPECT_EXIT(
            {
                const long refusedBefore = HugePagesRefused();
                const HeapStretch stretch = TuneHeapForBatch({path});
                // Its upper half is faulted in beside, before any work
                // handed there.
                StartBeside([](std::stop_token) {}).Join();
                const auto block = reinterpret_cast<std::uintptr_t>(std::malloc(kMB));
                const bool inside = block >= stretch.begin && block + kMB <= stretch.begin + stretch.bytes;
                if (stretch.bytes < 9 * kMB || !inside) ExitRemoving(dir, 1);
                // Where the system gave huge pages, all of the stretch is in
                // them: none of it was touched before it was faulted in.
                const size_t huge = HugeBytesOver(stretch.begin, stretch.begin + stretch.bytes);
                ExitRemoving(dir, huge == 0 || HugePagesRefused() != refusedBefore || huge >= stretch.bytes ? 0 : 2);
            },
            testing::ExitedWithCode(0), "");
}

// A text read in two halves: the second half's records are freed at the
// join, and the atoms made next must take their room, not go past it. A
// solvated protein's text, whose load the estimate covers.
TEST(BatchHeapDeathTest, TheAtomsOfALoadWithoutBondsFallInTheStretch) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers keep a heap of their own";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    velm::test::TempDir dir;
    const std::string path = dir.File("halves.pdb");
    {
        gzFile in = gzopen(velm::test::DataPath("1tw7_solvated.pdb.gz").c_str(), "rb");
        ASSERT_NE(in, nullptr);
        std::ofstream out(path, std::ios::binary);
        char buffer[1 << 16];
        for (int got; (got = gzread(in, buffer, sizeof buffer)) > 0;) out.write(buffer, got);
        gzclose(in);
    }
    for (int run = 0; run < 3; ++run)
        EXPECT_EXIT(
            {
                const HeapStretch stretch = TuneHeapForBatch({"-no_connect", path});
                Molecule m;
                SilentUiHooks ui;
                ReadCoordinateFile(m, path, false, false, ByExtension, ui);
                const auto begin = reinterpret_cast<std::uintptr_t>(m.atoms.data());
                const auto end = reinterpret_cast<std::uintptr_t>(m.atoms.data() + m.atoms.size());
                ExitRemoving(dir, m.atoms.size() == 50293 && begin >= stretch.begin && end <= stretch.begin + stretch.bytes
                                      ? 0
                                      : 1);
            },
            testing::ExitedWithCode(0), "");
}

TEST(BatchHeap, FreePageReportingIsBitFiveOfTheBalloonsFeatures) {
    EXPECT_TRUE(ReportsFreePages("0110010100000000000000000000000010000000\n"));
    EXPECT_FALSE(ReportsFreePages("0110000100000000000000000000000010000000\n"));
    EXPECT_FALSE(ReportsFreePages("01100"));
    EXPECT_FALSE(ReportsFreePages(""));
}

}  // namespace
