// The program starts without the libraries of its window and its movie
// writer: those live in modules opened when first needed.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
    const std::string window = Needed(VELM_WINDOW_MODULE);
    const std::string pictures = Needed(VELM_PICTURE_MODULE);
    ASSERT_NE(program.find("libc.so"), std::string::npos) << program;
    for (const char* library : {"libQt6Core", "libQt6Gui", "libQt6Widgets", "libavcodec", "libavformat", "libOpenGL",
                                "libEGL", "libGLU", "libfreetype", "libfontconfig", "libpng"})
        EXPECT_EQ(program.find(library), std::string::npos) << library << " in\n" << program;
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
