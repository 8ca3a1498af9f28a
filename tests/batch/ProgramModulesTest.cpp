// The program starts without the libraries of its window and its movie
// writer: those live in modules, opened by the module host the program hands
// such runs to.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/ProgramHandOff.h"
#include "core/ProgramModule.h"
#include "support/TestData.h"

using namespace velm;

namespace {

std::string Needed(const std::string& file) {
    std::FILE* pipe = popen(("ldd " + file).c_str(), "r");
    if (!pipe) return {};
    std::string libraries;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) libraries += line;
    pclose(pipe);
    return libraries;
}

}  // namespace

TEST(ProgramModules, TheProgramNeedsNeitherTheToolkitNorTheEncodersNorTheDrawing) {
    const std::string program = Needed(VELM_BINARY);
    const std::string host = Needed(VELM_HOST);
    const std::string window = Needed(VELM_WINDOW_MODULE);
    const std::string pictures = Needed(VELM_PICTURE_MODULE);
#if VELM_PROGRAM_STATIC
    ASSERT_NE(program.find("statically linked"), std::string::npos) << program;
#else
    ASSERT_NE(program.find("libc.so"), std::string::npos) << program;
#endif
    ASSERT_NE(host.find("libc.so"), std::string::npos) << host;
    for (const char* library : {"libQt6Core", "libQt6Gui", "libQt6Widgets", "libavcodec", "libavformat", "libOpenGL",
                                "libEGL", "libGLU", "libfreetype", "libfontconfig", "libpng", "libcurl"}) {
        EXPECT_EQ(program.find(library), std::string::npos) << library << " in\n" << program;
        EXPECT_EQ(host.find(library), std::string::npos) << library << " in\n" << host;
    }
    EXPECT_NE(window.find("libQt6Widgets"), std::string::npos) << window;
    EXPECT_NE(pictures.find("libEGL"), std::string::npos) << pictures;
    std::string problem;
    EXPECT_NE(OpenProgramModule({"velm_picture.so", "velm_picture.so", VELM_PICTURE_MODULE}, "VelmRunPictureBatch",
                                problem),
              nullptr)
        << problem;
}

TEST(ProgramModules, MissingOrUnfitModulesAreToldApart) {
    test::TempDir dir;
    const std::string text = dir.Write("text.so", "not a shared object\n");
    const struct {
        const char* built;
        const char* symbol;
        bool opens;
        std::string problem;
    } cases[] = {
        {"/nonexistent/velm_x.so", "VelmRunWindow", false, "velm_x.so is not installed"},
        {text.c_str(), "VelmRunWindow", false, text},
        {VELM_WINDOW_MODULE, "VelmNoSuchEntry", false, VELM_WINDOW_MODULE " has no VelmNoSuchEntry"},
        {VELM_WINDOW_MODULE, "VelmRunWindow", true, ""},
    };
    for (const auto& c : cases) {
        std::string problem;
        void* entry = OpenProgramModule({"velm_x.so", "velm_x.so", c.built}, c.symbol, problem);
        EXPECT_EQ(entry != nullptr, c.opens) << c.built;
        if (c.opens) continue;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
    }
}

TEST(ProgramModules, ARunIsHandedOffWholeOrToldWhyNot) {
    test::TempDir dir;
    const std::string text = dir.Write("velm-x", "not a program\n");
    char sh[] = "sh", dashC[] = "-c", script[] = "echo \"handed $0\"; exit 7";
    char* const argv[] = {sh, dashC, script, nullptr};
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipeEnds[1], 1);
        close(pipeEnds[0]);
        std::fputs("written before the hand-off|", stdout);  // must not be lost with the process
        std::string problem;
        HandOffToProgram({"velm-x", "nonexistent/velm-x", "/bin/sh"}, argv, problem);
        _exit(99);
    }
    close(pipeEnds[1]);
    std::string seen;
    char buffer[256];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) seen.append(buffer, size_t(n));
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 7) << status;
    EXPECT_EQ(seen, "written before the hand-off|handed sh\n");

    std::string problem;
    HandOffToProgram({"velm-x", "nonexistent/velm-x", "/nonexistent/velm-x"}, argv, problem);
    EXPECT_EQ(problem, "velm-x is not installed");
    problem.clear();
    HandOffToProgram({"velm-x", "nonexistent/velm-x", text.c_str()}, argv, problem);
    EXPECT_EQ(problem, text + " cannot be started: Permission denied");
}
