#include <gtest/gtest.h>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/DocumentForms.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;
using velm::test::TempDir;

TEST(OpenCoordinateFiles, StopsAtTheFirstFileThatCannotBeReadLeavingTheDocumentAsItWas) {
    TempDir dir;
    const std::string empty = dir.Write("empty.pdb", "REMARK no atoms\n");
    const std::string garbage = dir.Write("garbage.pdb", std::string(200, '\x01'));
    const struct {
        std::vector<std::string> paths;
        int molecules;
        std::string title, message;
    } cases[] = {
        {{DataPath("1ubi.pdb"), DataPath("2hhb.pdb")}, 2, DataPath("2hhb.pdb"), ""},
        {{DataPath("1ubi.pdb"), dir.File("missing.pdb"), DataPath("2hhb.pdb")}, 1, DataPath("1ubi.pdb"), "?"},
        {{empty, DataPath("1ubi.pdb")}, 0, "No Molecule Loaded", "Unable to read file"},
        {{garbage}, 0, "No Molecule Loaded", "?"},
    };
    for (const auto& c : cases) {
        RecordingUiHooks ui;
        auto doc = MakeDocument(ui);
        const std::vector<std::string> read = OpenCoordinateFiles(*doc, c.paths, ui);
        EXPECT_EQ(doc->MoleculeCount(), c.molecules) << c.paths[1 % c.paths.size()];
        EXPECT_EQ(static_cast<int>(read.size()), c.molecules);
        EXPECT_EQ(doc->Title(), c.title);
        const auto messages = ui.with("message:");
        if (c.message.empty()) EXPECT_TRUE(messages.empty());
        else if (c.message == "?") EXPECT_EQ(messages.size(), 1u);
        else EXPECT_EQ(messages, std::vector<std::string>{c.message});
    }
}

TEST(CoordinateAndTrajectoryForm, RefusesMissingNamesAndFailedReadsWithTheProgramsMessages) {
    TempDir dir;
    const struct {
        std::string coordinates, trajectory;
        FileType trajectoryType;
        std::string message;
    } cases[] = {
        {"", DataPath("1ubi_20frames_le.dcd"), DcdType, "Please enter a coordinate file name"},
        {DataPath("1ubi.pdb"), "", DcdType, "Please enter a trajectory file name"},
        {DataPath("1ubi.pdb"), dir.File("none.dcd"), DcdType, "Can't open DCD file for reading!"},
        {DataPath("1ubi.pdb"), DataPath("2hhb_20frames_le.dcd"), DcdType, "Incorrect Number of atoms in DCD file!"},
        {DataPath("1ubi.pdb"), DataPath("1ubi_20frames_le.dcd"), PtfType, "PTF files are not currently supported!"},
    };
    for (const auto& c : cases) {
        RecordingUiHooks ui;
        auto doc = MakeDocument(ui);
        doc->AddMoleculeFromFile(DataPath("2hhb.pdb"));
        CoordinateAndTrajectoryForm form;
        form.coordinates = c.coordinates;
        form.trajectory = c.trajectory;
        form.trajectoryType = c.trajectoryType;
        EXPECT_FALSE(form.Accept(*doc, ui)) << c.message;
        EXPECT_EQ(ui.with("message:"), std::vector<std::string>{c.message});
        EXPECT_EQ(doc->MoleculeCount(), 1);
        EXPECT_EQ(doc->Primary()->FrameCount(), 0);
    }
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    CoordinateAndTrajectoryForm form{DataPath("1ubi.pdb"), PdbType, DataPath("1ubi_20frames_le.dcd"), DcdType, Align};
    ASSERT_TRUE(form.Accept(*doc, ui));
    EXPECT_EQ(doc->Primary()->FrameCount(), 20);
    EXPECT_EQ(doc->Title(), DataPath("1ubi.pdb") + "+" + DataPath("1ubi_20frames_le.dcd"));
}

TEST(SaveCoordinatesForm, RefusesBadRequestsKeepingTheOldFile) {
    TempDir dir;
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    OpenCoordinateFiles(*doc, {DataPath("1ubi.pdb")}, ui);
    const std::string kept = dir.Write("kept.pdb", "old contents\n");
    const struct {
        std::string path;
        FileType type;
        std::string message;
    } refused[] = {
        {"", PdbType, "Please enter a file name"},
        {kept, XyzType, "XYZ files aren't supported yet!"},
        {kept, CrdType, "CRD files aren't supported yet!"},
        {dir.File("no/such/folder/x.pdb"), PdbType, "Unable to open file for saving: No such file or directory"},
    };
    for (const auto& r : refused) {
        RecordingUiHooks refusing;
        SaveCoordinatesForm bad;
        bad.path = r.path;
        bad.type = r.type;
        EXPECT_FALSE(bad.Accept(*doc, refusing));
        EXPECT_EQ(refusing.with("message:"), std::vector<std::string>{r.message});
    }
    EXPECT_EQ(test::ReadText(kept), "old contents\n");
}
