// Files in hostile conditions: outputs that fail half-way (a full disk, a
// read-only folder, signals), special files given as inputs, a web server
// answering with errors, and names that would forge output lines. Each run is
// a child process of the velm executable, under limits, killed if it hangs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/AddressSanitizer.h"
#include "support/HttpServer.h"
#include "support/TestData.h"
#include "support/VelmChild.h"

using namespace velm;
using velm::test::ChildLimits;
using velm::test::RunVelmChild;
using velm::test::TempDir;
using velm::test::VelmRun;

namespace {

namespace fs = std::filesystem;

const std::string kUbi = test::DataPath("1ubi.pdb");
const std::string kDcd = test::DataPath("1ubi_20frames_le.dcd");

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool Has(const VelmRun& r, const std::string& text) { return r.err.find(text) != std::string::npos; }

std::string Describe(const VelmRun& r) {
    return "status " + std::to_string(r.status) + " signal " + std::to_string(r.signal) + (r.hung ? " hung" : "") +
           "\nout: " + r.out + "\nerr: " + r.err;
}

}  // namespace

TEST(BatchFiles, MovieReplacesTheOldOneOnlyWhenComplete) {
    TempDir dir;
    const std::string avi = dir.File("movie.avi");
    const std::vector<std::string> record = {kUbi, "-dcd", kDcd, "-movie", avi, "-width", "160", "-height", "120"};
    VelmRun r = RunVelmChild(record);
    ASSERT_EQ(r.status, 0) << Describe(r);
    const std::string good = test::ReadText(avi);
    ASSERT_GT(good.size(), 20u * 160 * 120 * 3);

    // A full disk half-way: the old movie stays, nothing else is left.
    ChildLimits full;
    full.fileBytes = good.size() / 2;
    r = RunVelmChild(record, full);
    EXPECT_EQ(r.status, 1) << Describe(r);
    EXPECT_TRUE(Has(r, "Unable to create movie! Can't write movie frame! (File too large)")) << r.err;
    EXPECT_EQ(test::ReadText(avi), good);
    EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"movie.avi"});

    // Onto a folder, and into a folder the user may not write.
    fs::create_directory(dir.File("folder.avi"));
    r = RunVelmChild({kUbi, "-dcd", kDcd, "-movie", dir.File("folder.avi")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r, "Error opening the AVI file: Is a directory")) << r.err;
    if (::geteuid() == 0) {
        ::chmod(dir.path().c_str(), 0755);
        ChildLimits nobody;
        nobody.user = 65534;
        r = RunVelmChild({kUbi, "-dcd", kDcd, "-movie", dir.File("theirs.avi")}, nobody);
        EXPECT_EQ(r.status, 1) << Describe(r);
        EXPECT_TRUE(Has(r, "Error opening the AVI file: Permission denied")) << r.err;
    }
}

TEST(BatchFiles, FailuresSayWhatFailed) {
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        std::string message;
        rlim_t fileBytes;
    } cases[] = {
        {{kUbi, "-save", ""}, "velm: -save: Please enter a file name\n", RLIM_INFINITY},
        {{kUbi, "-dcd", kDcd, "-export-trajectory", "", "1", "1"},
         "velm: -export-trajectory: Please enter a file name.\n", RLIM_INFINITY},
        {{kUbi, "-save", dir.File("full.pdb")}, "Error saving pdb file, " + dir.File("full.pdb") + ": File too large", 4096},
        {{kUbi, "-image", dir.File("full.eps"), "-render", "Cpk"},
         "Unable to write " + dir.File("full.eps") + ": File too large", 4096},
    };
    for (const auto& c : cases) {
        ChildLimits limits;
        limits.fileBytes = c.fileBytes;
        const VelmRun r = RunVelmChild(c.args, limits);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_TRUE(Has(r, c.message)) << r.err;
    }
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(BatchFiles, SpecialFilesAreRefusedWithoutHangingOrGrowing) {
    TempDir dir;
    const std::string fifo = dir.File("fifo.pdb"), fifoDcd = dir.File("fifo.dcd");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(fifoDcd.c_str(), 0600), 0);
    ChildLimits limits;
    limits.seconds = 30;
    limits.addressBytes = test::kAddressSanitizer ? RLIM_INFINITY : rlim_t{3} << 30;
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"/dev/zero"}, "Can't open ``/dev/zero'' for reading. Not a regular file"},
        {{"/dev/urandom"}, "Can't open ``/dev/urandom'' for reading. Not a regular file"},
        {{fifo}, "for reading. Not a regular file"},
        {{dir.path()}, "for reading. Is a directory"},
        {{kUbi, "-dcd", fifoDcd}, "Can't open DCD file for reading!"},
        {{kUbi, "-values", "/dev/zero"}, "velm: /dev/zero: Unable to read values: Not a regular file"},
        // A pipe nobody writes to reads as empty.
        {{kUbi, "-values", fifo}, "The clipboard is empty - nothing to paste"},
    };
    for (const auto& c : cases) {
        const VelmRun r = RunVelmChild(c.args, limits);
        EXPECT_EQ(r.status, 1) << c.message << "\n" << Describe(r);
        EXPECT_TRUE(Has(r, c.message)) << r.err;
    }

    // A settings file that is a device holds no settings; the picture is drawn.
    const std::string config = dir.File("config/Orvane Lab Applications");
    fs::create_directories(config);
    fs::create_symlink("/dev/zero", config + "/Velm.conf");
    const VelmRun r = RunVelmChild({kUbi, "-image", dir.File("p.png"), "-width", "64", "-height", "48"}, limits,
                                   [&] { ::setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1); });
    EXPECT_EQ(r.status, 0) << Describe(r);
    EXPECT_TRUE(fs::exists(dir.File("p.png")));
}

TEST(BatchFiles, DownloadsFailOnHttpErrorsAndLeaveNoTemporaryFile) {
    TempDir served, temporary;
    fs::copy_file(test::DataPath("1ubi.pdb.gz"), served.File("1ubi.pdb.gz"));
    const auto fetch = [&](const test::HttpServer& server, const std::string& id = "1ubi") {
        return std::vector<std::string>{"-fetch", id, "-server", server.Host(), "-template",
                                        "http://%SERVER%/%PDBID%.pdb.gz"};
    };
    const auto inTemporary = [&] { ::setenv("TMPDIR", temporary.path().c_str(), 1); };
    for (int status : {404, 500}) {
        // The body is the entry itself: the status decides.
        test::HttpServer server(served.path(), test::HttpServer::Answer::WithStatus, status);
        if (!server.Running()) GTEST_SKIP() << "no local web server: " << server.Problem();
        const VelmRun r = RunVelmChild(fetch(server), {}, inTemporary);
        EXPECT_EQ(r.status, 1) << status << Describe(r);
        EXPECT_TRUE(Has(r, "Unable to download pdb entry -- please check server and pdb id")) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // Ended by a signal while the server stalls: the partial file goes.
    test::HttpServer stalling(served.path(), test::HttpServer::Answer::Stalling);
    ASSERT_TRUE(stalling.Running()) << stalling.Problem();
    const VelmRun r = RunVelmChild(fetch(stalling), {}, inTemporary, [&](pid_t child) {
        for (int i = 0; i < 600 && fs::is_empty(temporary.path()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // into the transfer
        ::kill(child, SIGTERM);
    });
    EXPECT_EQ(r.signal, SIGTERM) << Describe(r);
    EXPECT_EQ(Names(temporary.path()), std::vector<std::string>{});

    // A server naming a query or a fragment is refused before any request.
    for (const std::string host : {"example.org?x=", "example.org#x"}) {
        const VelmRun refused = RunVelmChild({"-fetch", "1ubi", "-server", host});
        EXPECT_EQ(refused.status, 1) << host;
        EXPECT_TRUE(Has(refused, "Invalid query format!")) << refused.err;
    }
}

TEST(BatchFiles, PrintedFieldsCannotForgeLines) {
    TempDir dir, served;
    const std::string odd = dir.File("a\nb.pdb");
    fs::copy_file(kUbi, odd);
    VelmRun r = RunVelmChild({odd});
    EXPECT_EQ(r.status, 0) << Describe(r);
    EXPECT_EQ(r.out.rfind("path=\"" + dir.path() + "/a\\nb.pdb\" atoms=683 ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // An id with CR/LF, as served under that very name.
    const std::string id = "1ubi\r\npath=forged";
    fs::copy_file(test::DataPath("1ubi.pdb.gz"), served.File(id + ".pdb.gz"));
    test::HttpServer server(served.path());
    if (!server.Running()) GTEST_SKIP() << "no local web server: " << server.Problem();
    r = RunVelmChild({"-fetch", id, "-server", server.Host(), "-template", "http://%SERVER%/%PDBID%.pdb.gz"});
    EXPECT_EQ(r.status, 0) << Describe(r);
    EXPECT_EQ(r.out.rfind("path=\"1ubi\\r\\npath=forged\" atoms=683 ", 0), 0u) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);

    // A missing file of such a name: the error line is one line too.
    r = RunVelmChild({dir.File("no\nsuch.pdb")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_TRUE(Has(r, "no\\nsuch.pdb")) << r.err;
}

// MPEG-4 at a frame size of some detail: at the encoder's default 200
// kbit/s frame 20 of ubiquitin came back at 29.1 dB, at the fixed quantiser
// at 36.8 dB (PSNR against the picture of that frame).
TEST(BatchMovie, Mpeg4FramesKeepTheirDetailAtLargerSizes) {
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) GTEST_SKIP() << "ffmpeg is not installed";
    TempDir dir;
    const std::vector<std::string> scene = {kUbi, "-dcd", kDcd, "-width", "640", "-height", "480", "-render", "Cpk",
                                            "-defaults"};
    std::vector<std::string> movie = scene, picture = scene;
    for (const char* a : {"-movie", "m.avi", "-codec", "mpeg4"}) movie.push_back(a == std::string("m.avi") ? dir.File(a) : a);
    for (const char* a : {"-image", "ref.png", "-frame", "20"}) picture.push_back(a == std::string("ref.png") ? dir.File(a) : a);
    ASSERT_EQ(RunVelmChild(movie).status, 0);
    ASSERT_EQ(RunVelmChild(picture).status, 0);
    const std::string command = "cd " + dir.path() +
                                " && ffmpeg -v error -y -i m.avi -vf 'select=eq(n\\,19)' -vframes 1 dec.png"
                                " && ffmpeg -i dec.png -i ref.png -lavfi psnr -f null - 2>&1 | grep -o 'average:[0-9.]*'";
    std::string out;
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    ASSERT_EQ(out.rfind("average:", 0), 0u) << out;
    EXPECT_GT(std::stod(out.substr(8)), 34.0) << out;
}
