// The picture size of "Export Image" and the printing and clipboard options,
// without any window.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "dialogs/ExportImageForm.h"
#include "dialogs/PrintOptionsForm.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneDocumentLink.h"
#include "support/TestData.h"

using namespace velm;

TEST(ExportImageForm, SizesAndFiltersGetTheSystemsMessages) {
    const std::string positive = "Please enter a positive integer.";
    const std::string range = "Please enter an integer between 1 and 4294967295.";
    const struct {
        const char *width, *height;
        std::string problem;
    } cases[] = {
        {"800", "600", ""},        {" 640 ", "1", ""},      {"4294967295", "4294967295", ""},
        {"0", "600", range},       {"800", "0", range},     {"4294967296", "600", range},
        {"99999999999999999999", "1", range},               {"abc", "600", positive},
        {"", "600", positive},     {"-5", "600", positive}, {"12x", "600", positive},
        {"+5", "600", positive},   {"800", "6.5", positive},
    };
    for (const auto& c : cases) EXPECT_EQ((ExportImageForm{c.width, c.height}.Problem()), c.problem) << c.width << " " << c.height;
    EXPECT_EQ(ExportImageForm::For(450, 380).width, "450");
    EXPECT_EQ(ExportImageForm::FormatOfFilter(1), ImageFormat::PostScript);
    EXPECT_EQ(ExportImageForm::FormatOfFilter(2), ImageFormat::Bmp);
    EXPECT_EQ(ExportImageForm::FormatOfFilter(3), ImageFormat::Png);
    for (int other : {0, 4, -1}) {
        try {
            ExportImageForm::FormatOfFilter(other);
            ADD_FAILURE() << other;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.shownText(), "Unknown file format!");
        }
    }
}

TEST(ExportImageForm, BadNumbersKeepTheDialogOpenAndFailedWritesLeaveNothing) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    ASSERT_EQ(doc->AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
    Scene scene;
    scene.settings.width = 200;
    scene.settings.height = 150;
    SceneDocumentLink link(scene, *doc);
    OffscreenRenderer offscreen(scene);
    test::TempDir dir;
    ui.calls.clear();

    EXPECT_FALSE((ExportImageForm{"0", "150"}.Accept(offscreen, *doc, dir.File("a.png"), ImageFormat::Png, ui)));
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Please enter an integer between 1 and 4294967295."});
    // PostScript asks for no size, so its numbers are not looked at.
    EXPECT_TRUE((ExportImageForm{"x", "y"}.Accept(offscreen, *doc, dir.File("a.ps"), ImageFormat::PostScript, ui)));
    EXPECT_TRUE(std::filesystem::file_size(dir.File("a.ps")) > 0);

    ui.calls.clear();
    const std::string nowhere = dir.File("missing/a.png");
    EXPECT_TRUE((ExportImageForm{"200", "150"}.Accept(offscreen, *doc, nowhere, ImageFormat::Png, ui)));
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Unable to open " + nowhere + " for writing"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator{}), 1);  // a.ps only
    EXPECT_EQ(scene.settings.width, 200);
}

TEST(PrintOptionsForm, OpensOnTheSettingsAndOkWritesThemBack) {
    ViewSettings s;
    s.printMemoryLimit = -1;
    s.printColorDepth = 16;
    PrintOptionsForm f = PrintOptionsForm::For(s);
    EXPECT_FALSE(f.limitMemory);
    EXPECT_EQ(f.limitKb, "8192");
    EXPECT_EQ(f.depthIndex, 0);
    s.printMemoryLimit = 2048;
    s.printColorDepth = 24;
    f = PrintOptionsForm::For(s);
    EXPECT_TRUE(f.limitMemory);
    EXPECT_EQ(f.limitKb, "2048");
    EXPECT_EQ(f.depthIndex, 1);

    const struct {
        bool limit;
        const char* kb;
        int depthIndex;
        std::string problem;
        int limitAfter, depthAfter;
    } cases[] = {
        {true, "1024", 0, "", 1024, 16},
        {false, "junk", 1, "", -1, 24},  // the edit is not read while memory is used as needed
        {true, " 1 ", 1, "", 1, 24},
        {true, "0", 1, "Please enter an integer between 1 and 2097151.", 7, 8},
        {true, "2097152", 1, "Please enter an integer between 1 and 2097151.", 7, 8},
        {true, "-1", 1, "Please enter an integer between 1 and 2097151.", 7, 8},
        {true, "12kb", 1, "Please enter an integer.", 7, 8},
        {true, "", 1, "Please enter an integer.", 7, 8},
    };
    for (const auto& c : cases) {
        ViewSettings after;
        after.printMemoryLimit = 7;  // what a refused OK leaves alone
        after.printColorDepth = 8;
        const PrintOptionsForm form{c.limit, c.kb, c.depthIndex};
        EXPECT_EQ(form.Problem(), c.problem) << c.kb;
        EXPECT_EQ(form.Accept(after), c.problem.empty()) << c.kb;
        EXPECT_EQ(after.printMemoryLimit, c.limitAfter) << c.kb;
        EXPECT_EQ(after.printColorDepth, c.depthAfter) << c.kb;
    }
}
