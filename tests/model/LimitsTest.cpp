// Inputs at and past the limits of the readers: trajectory headers claiming
// billions of steps or atoms, a line of 100 MB, a CONECT record with ten
// million partners, a gzip file expanding to hundreds of megabytes of blank
// lines and atom records with extreme numbers. Each is read in a child
// process of its own, which must end with the program's message or read the
// file through, without crashing and within a (generous) time limit; its
// peak resident memory, as the kernel reports it for the child, is compared
// with that of a child reading small valid files.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/Molecule.h"
#include "model/PdbFile.h"
#include "model/TrajectorySource.h"
#include "model/VelmDoc.h"
#include "support/AddressSanitizer.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

constexpr bool kAsan = test::kAddressSanitizer;

// A child still running after this long has hung; LIMITS_HANG_SECONDS sets
// another bound for measuring big inputs by hand.
int HangSeconds() {
    const char* s = std::getenv("LIMITS_HANG_SECONDS");
    return s && std::atoi(s) > 0 ? std::atoi(s) : 60;
}

struct ChildRun {
    bool hung = false;
    int signal = 0;        // the signal that ended the child, 0 when it exited
    int exitCode = -1;
    std::string report;    // what the work returned
    long peakKb = 0;       // ru_maxrss of the child
    double seconds = 0;

    bool Finished() const { return !hung && signal == 0 && exitCode == 0; }
    std::string Describe() const {
        std::ostringstream s;
        if (hung) s << "hang (killed after " << HangSeconds() << " s)";
        else if (signal) s << "killed by signal " << signal << " (" << strsignal(signal) << ")";
        else s << "exit " << exitCode;
        s << ", report \"" << report << "\", peak " << peakKb << " KB, " << seconds << " s";
        return s.str();
    }
};

// Runs `work` in a forked child. The child writes the work's report into a
// pipe and leaves with _exit(0); an exception escaping the work is reported as
// such. The parent waits at most HangSeconds(), then kills the child.
ChildRun InChild(const std::function<std::string()>& work) {
    ChildRun run;
    int fds[2];
    if (pipe(fds) != 0) {
        run.report = "pipe failed";
        return run;
    }
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        run.report = "fork failed";
        return run;
    }
    if (pid == 0) {
        close(fds[0]);
        std::string report;
        try {
            report = work();
        } catch (const VelmError& e) {
            report = "uncaught VelmError: " + e.text();
        } catch (const std::exception& e) {
            report = std::string("uncaught exception: ") + e.what();
        }
        for (size_t done = 0; done < report.size();) {
            const ssize_t w = write(fds[1], report.data() + done, report.size() - done);
            if (w <= 0) break;
            done += static_cast<size_t>(w);
        }
        close(fds[1]);
        _exit(0);
    }
    close(fds[1]);

    // Reads the pipe while waiting, so a long report cannot block the child.
    std::string report;
    auto drain = [&](bool block) {
        char buffer[4096];
        for (;;) {
            if (!block) {
                fd_set set;
                FD_ZERO(&set);
                FD_SET(fds[0], &set);
                timeval zero{0, 0};
                if (select(fds[0] + 1, &set, nullptr, nullptr, &zero) <= 0) return;
            }
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got <= 0) return;
            report.append(buffer, static_cast<size_t>(got));
        }
    };
    int status = 0;
    rusage usage{};
    for (;;) {
        drain(false);
        const pid_t done = wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) break;
        if (done < 0) {
            run.report = "wait4 failed";
            close(fds[0]);
            return run;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(HangSeconds())) {
            run.hung = true;
            kill(pid, SIGKILL);
            wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    drain(true);
    close(fds[0]);
    run.report = report;
    run.peakKb = usage.ru_maxrss;
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    return run;
}

// What loading did: the molecule's atoms and frames, or the message raised.
std::string Outcome(int result, const CVelmDoc& doc) {
    std::ostringstream s;
    s << "result=" << result;
    if (doc.Primary()) s << " atoms=" << doc.Primary()->AtomCount() << " frames=" << doc.Primary()->FrameCount();
    else s << " molecules=0";
    return s.str();
}

std::string LoadStructure(const std::string& path) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    try {
        return Outcome(doc.AddMoleculeFromFile(path), doc);
    } catch (const VelmError& e) {
        return "message: " + e.text();
    }
}

std::string LoadWithTrajectory(const std::string& structure, const std::string& trajectory) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    try {
        if (doc.AddMoleculeFromFile(structure) != 1) return "structure not loaded";
        doc.ReadTrajectoryIntoPrimary(trajectory, 0);
        return Outcome(1, doc);
    } catch (const VelmError& e) {
        return "message: " + e.text() + " frames=" + std::to_string(doc.Primary()->FrameCount());
    }
}

// The same pair through the trajectory dialog's path.
std::string OpenPair(const std::string& structure, const std::string& trajectory) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    std::string out = "opened";
    try {
        doc.OpenCoordinatesAndTrajectory(structure, PdbType, trajectory, DcdType, 0);
    } catch (const VelmError& e) {
        out = "not opened message: " + e.text();
    }
    // A failed open leaves the document as it was: empty.
    if (!doc.Primary()) return out + " molecules=0";
    return out + " frames=" + std::to_string(doc.Primary()->FrameCount());
}

// A child reading small valid files: what the program needs when the input is sane.
long BaselineKb(const std::string& structure, const std::string& trajectory = "") {
    const ChildRun run = InChild([&] {
        return trajectory.empty() ? LoadStructure(structure) : LoadWithTrajectory(structure, trajectory);
    });
    EXPECT_TRUE(run.Finished()) << "baseline: " << run.Describe();
    return run.peakKb;
}

// Writes a big input from a child of its own, so that the buffers it takes do
// not stay in this process's heap and inflate every child forked later.
void MakeInChild(const std::function<void()>& make) {
    const ChildRun run = InChild([&] {
        make();
        return std::string("made");
    });
    ASSERT_EQ(run.report, "made") << run.Describe();
}

// The case's peak must stay under twice the baseline (taken just before, from
// the same parent) and under `ceilingKb`.
void ExpectBoundedMemory(const ChildRun& run, long baselineKb, long ceilingKb, const std::string& what) {
    std::printf("[ limits   ] %s: %s; baseline %ld KB\n", what.c_str(), run.Describe().c_str(), baselineKb);
    if (kAsan) return;
    EXPECT_LT(run.peakKb, 2 * baselineKb) << what << ": " << run.Describe() << "; baseline " << baselineKb << " KB";
    EXPECT_LT(run.peakKb, ceilingKb) << what << ": " << run.Describe();
}

const char* const kAtom1 = "ATOM      1  N   MET A   1      27.340  24.430   2.614  1.00  9.67           N\n";
const char* const kAtom2 = "ATOM      2  CA  MET A   1      26.266  25.413   2.842  1.00 10.38           C\n";

// The measure itself: a child that fills 64 MB must show it in its peak.
TEST(Limits, PeakMemoryOfAChildIsSeen) {
    TempDir dir;
    const std::string small = dir.Write("small.pdb", std::string(kAtom1) + kAtom2);
    const long baseline = BaselineKb(small);
    const ChildRun run = InChild([&] {
        std::vector<char> filled(64u << 20, 'x');
        return LoadStructure(small) + (filled.back() == 'x' ? "" : " lost");
    });
    EXPECT_TRUE(run.Finished()) << run.Describe();
    EXPECT_EQ(run.report, "result=1 atoms=2 frames=0");
    EXPECT_GT(run.peakKb - baseline, 60 * 1024) << run.Describe() << "; baseline " << baseline << " KB";
}

// ---- trajectories ------------------------------------------------------------

void PutInt(std::string& out, std::int32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }

// A Fortran record: its length, the bytes, the length again.
void PutRecord(std::string& out, const std::string& bytes) {
    PutInt(out, static_cast<std::int32_t>(bytes.size()));
    out += bytes;
    PutInt(out, static_cast<std::int32_t>(bytes.size()));
}

// A DCD header as the common MD programs write it (native byte order, no unit
// cell), claiming `steps` and `atoms`, followed by `realSteps` steps of
// `realAtoms` atoms.
std::string Dcd(std::int32_t steps, std::int32_t atoms, int realSteps = 0, int realAtoms = 0) {
    std::string control = "CORD";
    std::int32_t values[20] = {};
    values[0] = steps;   // steps
    values[1] = 1;       // first step
    values[2] = 1;       // steps between saves
    values[3] = steps;   // total steps of the run
    values[19] = 24;     // writer's version: a CHARMM-style header
    for (int i = 0; i < 20; ++i) {
        if (i == 9) {
            const float timestep = 0.02f;
            control.append(reinterpret_cast<const char*>(&timestep), 4);
        } else {
            PutInt(control, values[i]);
        }
    }
    std::string out;
    PutRecord(out, control);
    std::string titles;
    PutInt(titles, 2);
    titles += std::string(80, 'T');
    titles += std::string(80, ' ');
    PutRecord(out, titles);
    std::string atomCount;
    PutInt(atomCount, atoms);
    PutRecord(out, atomCount);
    for (int s = 0; s < realSteps; ++s) {
        for (int axis = 0; axis < 3; ++axis) {
            std::string values3;
            for (int i = 0; i < realAtoms; ++i) {
                const float v = static_cast<float>(i % 17) + 0.25f * static_cast<float>(axis) + static_cast<float>(s);
                values3.append(reinterpret_cast<const char*>(&v), 4);
            }
            PutRecord(out, values3);
        }
    }
    return out;
}

constexpr int kUbiAtoms = 683;

TEST(Limits, TrajectoryHeadersClaimingBillionsEndWithTheProgramsMessage) {
    TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    const std::string three = dir.Write("three.pdb",
        "ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00           N\n"
        "ATOM      2  CA  ALA A   1      11.639   6.071  -5.147  1.00  0.00           C\n"
        "ATOM      3  C   ALA A   1      13.149   5.914  -5.119  1.00  0.00           C\n");

    // The baseline reads a valid one-step trajectory of 1ubi.
    const std::string valid = dir.Write("valid.dcd", Dcd(1, kUbiAtoms, 1, kUbiAtoms));
    ASSERT_EQ(LoadWithTrajectory(ubi, valid), "result=1 atoms=683 frames=1");

    struct Case {
        const char* name;
        std::string structure;
        std::string bytes;
        std::string expected;      // ReadTrajectoryIntoPrimary
        std::string expectedOpen;  // OpenCoordinatesAndTrajectory
    };
    const std::int32_t kMax = INT32_MAX;
    const std::int32_t kWrapped = INT32_MIN;  // 2^31 read as a signed count
    const Case cases[] = {
        {"steps 2^31-1, no step", ubi, Dcd(kMax, kUbiAtoms), "message: Unexpected end of file! frames=0",
         "not opened message: Unexpected end of file! molecules=0"},
        // The whole step is kept (and the cut told as a message).
        {"steps 2^31-1, one step", ubi, Dcd(kMax, kUbiAtoms, 1, kUbiAtoms), "result=1 atoms=683 frames=1", "opened frames=1"},
        // A count that is not positive is taken from the file's size.
        {"steps 2^31, no step", ubi, Dcd(kWrapped, kUbiAtoms), "message: The specified trajectory has zero steps! frames=0",
         "not opened message: The specified trajectory has zero steps! molecules=0"},
        {"steps 2^31, two steps", ubi, Dcd(kWrapped, kUbiAtoms, 2, kUbiAtoms), "result=1 atoms=683 frames=2",
         "opened frames=2"},
        {"steps -1, one step", ubi, Dcd(-1, kUbiAtoms, 1, kUbiAtoms), "result=1 atoms=683 frames=1", "opened frames=1"},
        {"atoms 2^31-1, ten steps", ubi, Dcd(10, kMax), "message: Unexpected end of file! frames=0",
         "not opened message: Unexpected end of file! molecules=0"},
        {"atoms 2^31-1, three-atom molecule", three, Dcd(10, kMax, 1, 3), "message: Unexpected end of file! frames=0",
         "not opened message: Unexpected end of file! molecules=0"},
        // No step of the claimed size fits: the file ends inside the first.
        {"atoms 2^31-1, steps 0", three, Dcd(0, kMax, 1, 3), "message: Unexpected end of file! frames=0",
         "not opened message: Unexpected end of file! molecules=0"},
        {"atoms 2^31 (negative)", ubi, Dcd(10, kWrapped, 1, kUbiAtoms), "message: Bad DCD file header frames=0",
         "not opened message: Bad DCD file header molecules=0"},
        {"atoms 2^30, one step of three", three, Dcd(1, 1 << 30, 1, 3), "message: Unexpected end of file! frames=0",
         "not opened message: Unexpected end of file! molecules=0"},
    };
    for (const Case& c : cases) {
        const std::string dcd = dir.Write("claim.dcd", c.bytes);
        const long baseline = BaselineKb(ubi, valid);
        ChildRun run = InChild([&] { return LoadWithTrajectory(c.structure, dcd); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, c.expected) << c.name;
        ExpectBoundedMemory(run, baseline, 256 * 1024, std::string(c.name) + " (-dcd)");

        run = InChild([&] { return OpenPair(c.structure, dcd); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, c.expectedOpen) << c.name;
        ExpectBoundedMemory(run, baseline, 256 * 1024, std::string(c.name) + " (dialog)");
    }
}

TEST(Limits, TrajectoryClaimingBillionsOfStepsAndAtomsAtOnce) {
    TempDir dir;
    const std::string ubi = test::DataPath("1ubi.pdb");
    const std::string valid = dir.Write("valid.dcd", Dcd(1, kUbiAtoms, 1, kUbiAtoms));
    const std::string dcd = dir.Write("claim.dcd", Dcd(INT32_MAX, INT32_MAX, 1, kUbiAtoms));
    const long baseline = BaselineKb(ubi, valid);
    const ChildRun run = InChild([&] { return LoadWithTrajectory(ubi, dcd); });
    EXPECT_TRUE(run.Finished()) << run.Describe();
    EXPECT_EQ(run.report, "message: Unexpected end of file! frames=0");
    ExpectBoundedMemory(run, baseline, 256 * 1024, "atoms and steps 2^31-1");
}

// XDR: big-endian 4-byte integers, as XTC and TRR headers hold them.
std::string Xdr(std::initializer_list<std::int32_t> values) {
    std::string out;
    for (std::int32_t v : values)
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(static_cast<std::uint32_t>(v) >> (24 - 8 * i)));
    return out;
}

// A caller of the trajectory source: the counts, then every frame when the
// count is one a structure could have.
std::string OpenSource(const std::string& path) {
    try {
        auto s = OpenTrajectorySource(path);
        if (s->AtomCount() <= kUbiAtoms) {
            std::vector<float> xyz(3 * static_cast<size_t>(s->AtomCount()));
            for (int k = 0; k < s->FrameCount(); ++k) s->ReadFrame(k, xyz.data());
        }
        return "atoms=" + std::to_string(s->AtomCount()) + " frames=" + std::to_string(s->FrameCount()) + " " +
               s->Notice();
    } catch (const VelmError& e) {
        return "message: " + e.text();
    }
}

TEST(Limits, XtcAndTrrHeadersClaimingBillionsAreCheckedAgainstTheFile) {
    TempDir dir;
    const std::int32_t kMax = INT32_MAX;
    const std::string xtc10 = test::ReadText(test::DataPath("1ubi10_mda.xtc")).substr(0, 132);  // one frame
    const float precision = 1000.0f;
    std::int32_t bits;
    std::memcpy(&bits, &precision, 4);
    // magic, atoms, step, time, box, atoms, precision, minimum, maximum, small index, bytes
    auto xtc = [&](std::int32_t atoms, std::int32_t bytes) {
        return Xdr({1995, atoms, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, atoms, bits, 0, 0, 0, 9, 9, 9, 9, bytes}) +
               std::string(64, '\x55');
    };
    // magic, the version text, the block sizes, atoms, step, energies, time, lambda
    auto trr = [](std::int32_t atoms, std::int32_t positions) {
        return Xdr({1993, 13, 12}) + "GMX_trn_file" + Xdr({0, 0, 36, 0, 0, 0, 0, positions, 0, 0, atoms, 0, 0, 0, 0}) +
               std::string(64, '\x55');
    };
    const std::string valid = dir.Write("valid.xtc", xtc10);
    const long baseline = InChild([&] { return OpenSource(valid); }).peakKb;
    struct Case { const char* name; std::string bytes; std::string expected; };
    const Case cases[] = {
        {"XTC atoms and bytes 2^31-1", xtc(kMax, kMax),
         "atoms=2147483647 frames=0 Unexpected end of file in frame 1; no frame before it"},
        {"XTC frame, then 2^31-1 bytes", xtc10 + xtc(10, kMax),
         "atoms=10 frames=1 Unexpected end of file in frame 2; the frame before it is read"},
        {"XTC 2^31-1 atoms in 64 bytes", xtc(kMax, 64), "message: Corrupt XTC frame header in frame 1"},
        {"TRR positions of 178,956,970 atoms", trr(178956970, 178956970 * 12),
         "atoms=178956970 frames=0 Unexpected end of file in frame 1; no frame before it"},
        {"TRR atoms 2^31-1", trr(kMax, kMax), "message: Corrupt TRR frame header in frame 1"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.Write("claim", c.bytes);
        const ChildRun run = InChild([&] { return OpenSource(path); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, c.expected) << c.name;
        ExpectBoundedMemory(run, baseline, 256 * 1024, c.name);
    }
}

// ---- long lines ----------------------------------------------------------------

// Writes `prefix`, then `unit` until `bytes` bytes of it are written, a line
// feed and `suffix`, in 1 MB pieces.
void WriteLongLine(const std::string& path, const std::string& prefix, const std::string& unit, long long bytes,
                   const std::string& suffix) {
    std::ofstream out(path, std::ios::binary);
    std::string block;
    while (block.size() < (1u << 20)) block += unit;
    block.resize((1u << 20) / unit.size() * unit.size());
    out << prefix;
    long long written = 0;
    while (written < bytes) {
        const long long n = std::min<long long>(static_cast<long long>(block.size()), bytes - written);
        out.write(block.data(), n);
        written += n;
    }
    out << '\n' << suffix;
}

constexpr long long k100MB = 100LL << 20;

TEST(Limits, HundredMegabyteLineIsReadInBoundedMemory) {
    TempDir dir;
    const std::string small = dir.Write("small.pdb", std::string(kAtom1) + kAtom2);

    struct Case {
        const char* name;
        std::string prefix, unit, suffix, expected;
    };
    const Case cases[] = {
        // A record cut short is refused, whatever its start would give.
        {"ATOM then x", "ATOM  ", "x", "", "message: Can't open ``%'' for reading. line 1: Record longer than 65536 characters!"},
        {"ATOM then '    1'", "ATOM  ", "    1", kAtom1,
         "message: Can't open ``%'' for reading. line 1: Record longer than 65536 characters!"},
        // A remark of 100 MB carries no records: the reader must get through it
        // to the atom record after it.
        {"REMARK then x, an atom after", "REMARK", "x", kAtom1, "result=1 atoms=1 frames=0"},
        {"no record, an atom after", "", "    1", kAtom1, "result=1 atoms=1 frames=0"},
        {"blanks only", "", " ", "", "result=0 molecules=0"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("line.pdb");
        MakeInChild([&] { WriteLongLine(path, c.prefix, c.unit, k100MB, c.suffix); });
        const long baseline = BaselineKb(small);
        std::string expected = c.expected;
        if (const size_t at = expected.find('%'); at != std::string::npos) expected.replace(at, 1, path);
        const ChildRun run = InChild([&] { return LoadStructure(path); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, expected) << c.name;
        ExpectBoundedMemory(run, baseline, 200 * 1024, std::string("100 MB line, ") + c.name);
        std::remove(path.c_str());
    }
}

TEST(Limits, ConectRecordWithTenMillionPartnersIsRefusedInBoundedMemory) {
    TempDir dir;
    const std::string small = dir.Write("small.pdb", std::string(kAtom1) + kAtom2 + "CONECT    1    2\n");
    const std::string path = dir.File("conect.pdb");
    MakeInChild([&] {
        WriteLongLine(path, std::string(kAtom1) + kAtom2 + "CONECT    1", "    2", 10'000'000LL * 5, "END\n");
    });
    const long baseline = BaselineKb(small);
    const ChildRun run = InChild([&] { return LoadStructure(path); });
    EXPECT_TRUE(run.Finished()) << run.Describe();
    EXPECT_EQ(run.report,
              "message: Can't open ``" + path + "'' for reading. line 3: Record longer than 65536 characters!");
    ExpectBoundedMemory(run, baseline, 200 * 1024, "CONECT with ten million partners");
    std::remove(path.c_str());
}

// ---- bond search -----------------------------------------------------------------

// Atoms, models and bonds of a load, with or without the bond search.
std::string LoadAndCountBonds(const std::string& path, bool connect) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.options.computeConnectivity = connect ? 1 : 0;
    try {
        const int result = doc.AddMoleculeFromFile(path);
        if (!doc.Primary()) return "result=" + std::to_string(result);
        const Molecule& m = *doc.Primary();
        return "atoms=" + std::to_string(m.AtomCount()) + " bonds=" + std::to_string(m.bonds.size());
    } catch (const VelmError& e) {
        return "message: " + e.text();
    }
}

// Files made to defeat the grid of the bond search: a spread that overflows
// its cell count, models lying over one another, atoms far apart. Bonding
// must take about as long as reading (the hang bound catches the quadratic
// search at these sizes) and find the bonds a plain structure would.
TEST(Limits, CraftedBondSearchesStayLinear) {
    TempDir dir;
    auto atom = [](long serial, double x, double y, double z) {
        char line[120];
        std::snprintf(line, sizeof line, "ATOM %ld C ALA A 1 %.3f %.3f %.3f 1.00 0.00\n", serial, x, y, z);
        return std::string(line);
    };
    const int kPairs = kAsan ? 50'000 : 200'000;
    struct Case {
        const char* name;
        std::function<void(std::ofstream&)> write;
        std::string expected;
    };
    const Case cases[] = {
        // A 10 x 10 x 6 lattice of 1 A bonds each atom to its 26 neighbours
        // within 1.73 A: 5,972 bonds, with or without a stray atom far away.
        {"lattice and one atom at 5300000 A",
         [&](std::ofstream& out) {
             long n = 0;
             for (int i = 0; i < 10; ++i)
                 for (int j = 0; j < 10; ++j)
                     for (int k = 0; k < 6; ++k) out << atom(++n, i, j, k);
             out << "ATOM  601  C   ALA A   1    5300000.0005300000.0005300000.000  1.00  0.00\n";
         },
         "atoms=601 bonds=5972"},
        {"two-atom models at one place",
         [&](std::ofstream& out) {
             for (int m = 1; m <= kPairs; ++m) out << "MODEL " << m << "\n" << atom(1, 0, 0, 0) << atom(2, 1.5, 0, 0) << "ENDMDL\n";
         },
         "atoms=" + std::to_string(2 * kPairs) + " bonds=" + std::to_string(kPairs)},
        {"bonded pairs 10^7 A apart",
         [&](std::ofstream& out) {
             for (int i = 0; i < kPairs; ++i) out << atom(2 * i + 1, i * 1e7, 0, 0) << atom(2 * i + 2, i * 1e7 + 1.5, 0, 0);
         },
         "atoms=" + std::to_string(2 * kPairs) + " bonds=" + std::to_string(kPairs)},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File("bonds.pdb");
        MakeInChild([&] {
            std::ofstream out(path);
            c.write(out);
        });
        const ChildRun without = InChild([&] { return LoadAndCountBonds(path, false); });
        const ChildRun run = InChild([&] { return LoadAndCountBonds(path, true); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, c.expected) << c.name;
        ExpectBoundedMemory(run, without.peakKb, 1024 * 1024, std::string("bond search, ") + c.name);
        std::remove(path.c_str());
    }
}

// ---- gzip ----------------------------------------------------------------------

// Writes `member` `copies` times as concatenated gzip members (a valid gzip
// file, which zlib reads as one stream), then one member holding `tail`.
long long WriteGzipBomb(const std::string& path, long long expanded, const std::string& tail) {
    constexpr size_t kChunk = 1u << 20;
    const std::string blank(kChunk, '\n');
    auto member = [](const std::string& text) {
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, 31, 9, Z_RLE);
        std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        const int rc = deflate(&z, Z_FINISH);
        out.resize(rc == Z_STREAM_END ? z.total_out : 0);
        deflateEnd(&z);
        return out;
    };
    const std::string packed = member(blank);
    std::ofstream out(path, std::ios::binary);
    for (long long done = 0; done < expanded; done += static_cast<long long>(kChunk)) out << packed;
    if (!tail.empty()) out << member(tail);
    out.close();
    return static_cast<long long>(packed.size()) * (expanded / static_cast<long long>(kChunk));
}

// The expanded size of the bomb in the suite; LIMITS_BOMB_MB (megabytes) sets
// another, for measuring by hand.
long long BombBytes() {
    if (const char* mb = std::getenv("LIMITS_BOMB_MB")) return std::atoll(mb) << 20;
    return kAsan ? 4LL << 20 : 64LL << 20;
}

TEST(Limits, GzipBombIsReadToItsEndInBoundedMemory) {
    TempDir dir;
    const long long expanded = BombBytes();
    const std::string small = dir.File("small.pdb.gz");
    MakeInChild([&] { WriteGzipBomb(small, 0, kAtom1); });

    struct Case {
        const char* name;
        std::string tail, expected;
    };
    const Case cases[] = {
        {"blank lines only", "", "result=0 molecules=0"},
        // An atom record after the blank lines shows the reader got to the end.
        {"blank lines, then an atom", kAtom1, "result=1 atoms=1 frames=0"},
    };
    for (const Case& c : cases) {
        const std::string bomb = dir.File("bomb.pdb.gz");
        MakeInChild([&] { WriteGzipBomb(bomb, expanded, c.tail); });
        const long baseline = BaselineKb(small);
        const ChildRun run = InChild([&] { return LoadStructure(bomb); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        EXPECT_EQ(run.report, c.expected) << c.name;
        ExpectBoundedMemory(run, baseline, 100 * 1024,
                            "gzip bomb of " + std::to_string(expanded >> 20) + " MB, " + c.name + ", " +
                                std::to_string(std::filesystem::file_size(bomb)) + " bytes packed");
        std::remove(bomb.c_str());
    }
}

// ---- extreme numbers -------------------------------------------------------------

// Every position of the loaded molecule, or the message.
std::string LoadAndDescribePositions(const std::string& path) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    try {
        const int result = doc.AddMoleculeFromFile(path);
        std::string out = Outcome(result, doc);
        if (result == 1) {
            int finite = 0;
            for (const Atom& a : doc.Primary()->atoms)
                finite += std::isfinite(a.x) && std::isfinite(a.y) && std::isfinite(a.z);
            out += " finite=" + std::to_string(finite) + " bonds=" + std::to_string(doc.Primary()->bonds.size());
        }
        return out;
    } catch (const VelmError& e) {
        return "message: " + e.text();
    }
}

// An atom record with the coordinates and serial given, the rest of it plain.
std::string AtomRecord(const char* serial, const char* x, const char* y, const char* z) {
    char line[200];
    std::snprintf(line, sizeof line, "ATOM  %5s  N   MET A   1    %8s%8s%8s  1.00  9.67           N\n", serial, x, y, z);
    return line;
}

// Refused with the reader's reason after it.
const char* const kRefused = "message: Can't open ``%'' for reading. ";
const char* const kTwoFinite = "result=1 atoms=2 frames=0 finite=2 bonds=1";
const char* const kTwoFiniteApart = "result=1 atoms=2 frames=0 finite=2 bonds=0";

struct NumberCase {
    const char* name;
    std::string text, expected;  // '%' in `expected` stands for the file's path; empty: finite or refused
};

void RunNumberCases(const std::vector<NumberCase>& cases) {
    TempDir dir;
    const std::string small = dir.Write("small.pdb", std::string(kAtom1) + kAtom2);
    for (const NumberCase& c : cases) {
        const std::string path = dir.Write("extreme.pdb", c.text);
        std::string expected = c.expected;
        if (const size_t at = expected.find('%'); at != std::string::npos) expected.replace(at, 1, path);
        const long baseline = BaselineKb(small);
        const ChildRun run = InChild([&] { return LoadAndDescribePositions(path); });
        EXPECT_TRUE(run.Finished()) << c.name << ": " << run.Describe();
        std::string refused = kRefused;
        refused.replace(refused.find('%'), 1, path);
        if (c.expected == kRefused) {
            EXPECT_TRUE(run.report.starts_with(refused)) << c.name << ": " << run.report;
        } else if (!expected.empty()) {
            EXPECT_EQ(run.report, expected) << c.name;
        } else {
            // Read with every position finite, or refused with the program's message.
            EXPECT_TRUE(run.report.starts_with(refused) || run.report.starts_with("result=1 atoms=2 frames=0 finite=2 "))
                << c.name << ": " << run.report;
        }
        ExpectBoundedMemory(run, baseline, 256 * 1024, std::string("extreme numbers, ") + c.name);
    }
}

TEST(Limits, ExtremeSerialNumbersAndCoordinates) {
    RunNumberCases({
        // The first atom sits where kAtom1 does, bonded to kAtom2 by distance.
        {"serial 2^31-1", AtomRecord("2147483647", "27.340", "24.430", "2.614") + kAtom2, kTwoFinite},
        {"serial -2^31", AtomRecord("-2147483648", "27.340", "24.430", "2.614") + kAtom2, kTwoFinite},
        // A serial no number holds is no serial, as "*****" is: the atoms are read.
        {"serial 2^31", AtomRecord("2147483648", "27.340", "24.430", "2.614") + kAtom2, kTwoFinite},
        {"serial 2^63", AtomRecord("9223372036854775808", "27.340", "24.430", "2.614") + kAtom2, kTwoFinite},
        // Partners are read in five-column fields: "2147483648" is 21474 and
        // 83648, atoms the file does not have.
        {"CONECT to 2^31", std::string(kAtom1) + kAtom2 + "CONECT    1 2147483648\n", kTwoFinite},
        {"CONECT of serial 2^31-1",
         AtomRecord("2147483647", "27.340", "24.430", "2.614") + kAtom2 + "CONECT2147483647    2\n", kTwoFinite},
        {"x nan", AtomRecord("1", "nan", "2.0", "3.0") + kAtom2, kRefused},
        {"y inf", AtomRecord("1", "1.0", "inf", "3.0") + kAtom2, kRefused},
        {"z -inf", AtomRecord("1", "1.0", "2.0", "-inf") + kAtom2, kRefused},
        {"x 1e999", AtomRecord("1", "1e999", "2.0", "3.0") + kAtom2, kRefused},
        {"x -1e999", AtomRecord("1", "-1e999", "2.0", "3.0") + kAtom2, kRefused},
        // Far apart but with a finite centre of mass: read, and nothing derived
        // from them (the bond search's grid) is sized by the coordinate range.
        {"all 1e300", AtomRecord("1", "1e300", "1e300", "1e300") + kAtom2, kTwoFiniteApart},
        {"x 1e300 and -1e300", AtomRecord("1", "1e300", "2.0", "3.0") + AtomRecord("2", "-1e300", "1.0", "1.0"),
         kTwoFiniteApart},
        {"1e9 apart", AtomRecord("1", "1e9", "1e9", "1e9") + kAtom2, kTwoFiniteApart},
        {"x 1e-320", AtomRecord("1", "1e-320", "2.0", "3.0") + kAtom2, kTwoFiniteApart},
    });
}

// Near the largest double, position x mass and the differences of positions
// leave its range: read when every difference is finite, refused otherwise.
TEST(Limits, LargestFiniteCoordinatesStayFinite) {
    RunNumberCases({
        {"x 1e308", AtomRecord("1", "1e308", "2.0", "3.0") + kAtom2, kTwoFiniteApart},
        {"x -1.7e308", AtomRecord("1", "-1.7e308", "2.0", "3.0") + kAtom2, kTwoFiniteApart},
        {"x 1.7e308 and 1.6e308", AtomRecord("1", "1.7e308", "2.0", "3.0") + AtomRecord("2", "1.6e308", "1.0", "1.0"),
         kTwoFiniteApart},
        {"x 1e308 and -1e308", AtomRecord("1", "1e308", "2.0", "3.0") + AtomRecord("2", "-1e308", "1.0", "1.0"),
         kRefused},
    });
}

}  // namespace
