// Files made to exhaust the readers: each is read in a child process, which
// must end with the program's message (or read the file to its end) within a
// time bound, and whose peak memory growth is compared with a bound.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "support/AddressSanitizer.h"
#include "support/TestData.h"

using namespace velm;

namespace {

constexpr bool kSanitized = test::kAddressSanitizer;

long StatusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string key;
    long value = 0;
    while (in >> key) {
        if (key == field) {
            in >> value;
            return value;
        }
        in.ignore(1 << 16, '\n');
    }
    return -1;
}

struct Outcome {
    int exitCode = -1;  // 0: finished; 1: the program's message; others: failure
    long peakGrowthKb = 0;
};

// Runs `work` in a child; the child reports its peak memory growth over what
// it had when it started through a pipe.
Outcome InChild(const std::function<int()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        alarm(120);  // a hang ends as a failure, not as a stuck suite
        std::ofstream("/proc/self/clear_refs") << "5";  // restart the peak from here
        const long before = StatusKb("VmRSS:");
        const int code = work();
        const long growth = StatusKb("VmHWM:") - before;
        const ssize_t w = write(fds[1], &growth, sizeof growth);
        (void)w;
        _exit(code);
    }
    close(fds[1]);
    Outcome o;
    int status = 0;
    waitpid(pid, &status, 0);
    if (read(fds[0], &o.peakGrowthKb, sizeof o.peakGrowthKb) != sizeof o.peakGrowthKb) o.peakGrowthKb = -1;
    close(fds[0]);
    o.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 100 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return o;
}

// Loads a structure (and a trajectory): 0 when it loaded, 1 for the program's message.
int Load(const std::string& structure, const std::string& trajectory = "") {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    try {
        if (!doc.AddMoleculeFromFile(structure)) return 1;
        if (!trajectory.empty()) doc.ReadTrajectoryIntoPrimary(trajectory, 0);
        return 0;
    } catch (const VelmError&) {
        return 1;
    }
}

void ExpectBounded(const Outcome& o, long limitKb, const char* what) {
    EXPECT_TRUE(o.exitCode == 0 || o.exitCode == 1) << what << ": child ended with " << o.exitCode;
    if (!kSanitized) {
        EXPECT_LT(o.peakGrowthKb, limitKb) << what << ": peak grew by " << o.peakGrowthKb << " KB";
    }
}

void Record(std::ofstream& out, const std::string& bytes) {
    const auto n = static_cast<int32_t>(bytes.size());
    out.write(reinterpret_cast<const char*>(&n), 4);
    out << bytes;
    out.write(reinterpret_cast<const char*>(&n), 4);
}

// A trajectory header whose step and atom counts are lies.
std::string WriteDcdHeader(const test::TempDir& dir, const std::string& name, int32_t steps, int32_t atoms) {
    const std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    int32_t control[20] = {};
    control[0] = steps, control[1] = 1, control[2] = 1, control[3] = steps, control[19] = 24;
    std::string header = "CORD";
    header.append(reinterpret_cast<const char*>(control), 9 * 4);
    const float timestep = 0.002f;
    header.append(reinterpret_cast<const char*>(&timestep), 4);
    header.append(reinterpret_cast<const char*>(control + 10), 10 * 4);
    Record(out, header);
    std::string title(4, '\0');
    title[0] = 1;
    Record(out, title + std::string(80, 'x'));
    Record(out, std::string(reinterpret_cast<const char*>(&atoms), 4));
    return path;
}

TEST(HostileInput, TrajectoryHeadersClaimingBillionsEndWithAMessage) {
    test::TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    for (const auto& [name, steps, atoms] : {std::tuple{"steps.dcd", INT32_MAX, 683}, std::tuple{"atoms.dcd", 10, INT32_MAX},
                                              std::tuple{"negative.dcd", INT32_MIN, 683}}) {
        const std::string dcd = WriteDcdHeader(dir, name, steps, atoms);
        const Outcome o = InChild([&] { return Load(ubi, dcd) == 1 ? 1 : 3; });
        EXPECT_EQ(o.exitCode, 1) << name;
        ExpectBounded(o, 64 * 1024, name);
    }
}

TEST(HostileInput, HugeLinesAndConectRecordsAreReadInBoundedMemory) {
    test::TempDir dir;
    const std::string line = dir.File("line.pdb");
    {
        std::ofstream out(line, std::ios::binary);
        out << "ATOM  ";
        const std::string block(1 << 20, 'x');
        for (int i = 0; i < 100; ++i) out << block;  // one 100 MB line
        out << '\n';
    }
    Outcome o = InChild([&] { return Load(line); });
    ExpectBounded(o, 64 * 1024, "100 MB line");

    const std::string conect = dir.File("conect.pdb");
    {
        std::ofstream out(conect, std::ios::binary);
        out << "ATOM      1  N   MET A   1      27.340  24.430   2.614  1.00  9.67           N\n"
               "ATOM      2  CA  MET A   1      26.266  25.413   2.842  1.00 10.38           C\n"
               "CONECT    1";
        std::string partners;
        for (int i = 0; i < 1000; ++i) partners += "    2";
        for (int i = 0; i < 10000; ++i) out << partners;  // ten million partners
        out << '\n';
    }
    o = InChild([&] { return Load(conect); });
    EXPECT_EQ(o.exitCode, 0);
    ExpectBounded(o, 64 * 1024, "CONECT with ten million partners");
    std::remove(line.c_str());
    std::remove(conect.c_str());
}

TEST(HostileInput, GzipBombIsReadToItsEndInBoundedMemory) {
    test::TempDir dir;
    const std::string bomb = dir.File("bomb.pdb.gz");
    // 64 MB of blank lines (a sanitizer build reads them ten times slower;
    // 1 GB was measured by hand: the same memory, linear time).
    const long long expanded = kSanitized ? 16LL << 20 : 64LL << 20;
    {
        gzFile out = gzopen(bomb.c_str(), "wb9");
        ASSERT_NE(out, nullptr);
        const std::string block(1 << 20, '\n');
        for (long long done = 0; done < expanded; done += static_cast<long long>(block.size()))
            ASSERT_EQ(gzwrite(out, block.data(), static_cast<unsigned>(block.size())), static_cast<int>(block.size()));
        gzclose(out);
    }
    const Outcome o = InChild([&] { return Load(bomb); });
    EXPECT_EQ(o.exitCode, 1);  // no atoms: the program's message
    ExpectBounded(o, 64 * 1024, "gzip bomb");
}

}  // namespace
