#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

std::string AtomLines(int atoms, double shift = 0.0) {
    std::string text;
    for (int i = 0; i < atoms; ++i) {
        char line[100];
        std::snprintf(line, sizeof line, "ATOM %5d  C%-2d LIG A   1    %8.3f%8.3f%8.3f  1.00 %5.2f\n", i + 1, i % 10,
                      1.5 * i + shift, 0.0, 0.0, 10.0 + i);
        text += line;
    }
    return text;
}

std::string Error(const std::function<void()>& f) {
    try {
        f();
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

int FramesOf(const std::string& text) {
    int n = 0;
    for (size_t p = text.find("MODEL"); p != std::string::npos; p = text.find("MODEL", p + 1)) ++n;
    return n;
}

}  // namespace

TEST(DocumentCommands, SaveNumbersMoleculesOnAndReplacesTheFile) {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    const std::string ten = dir.Write("ten.pdb", AtomLines(10));
    doc.AddMoleculeFromFile(ten);
    doc.AddMoleculeFromFile(ten);
    const std::string out = dir.Write("out.pdb", "old contents\n");
    doc.SaveCoordinates(out, 3, true, false);
    const std::string text = test::ReadText(out);
    MemoryLineSource source(text);
    const PdbFile saved = PdbFile::Read(source);
    ASSERT_EQ(saved.atoms.size(), 20u);
    EXPECT_EQ(saved.atoms[0].serial, 1);
    EXPECT_EQ(saved.atoms[10].serial, 12);  // its own serial 1 + 11
    EXPECT_EQ(saved.atoms[19].serial, 21);
    EXPECT_EQ(test::ReadText(out).find("old contents"), std::string::npos);
    // Nothing but the saved file is left beside it.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(out).parent_path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);

    EXPECT_EQ(Error([&] { doc.SaveCoordinates(dir.File("no/such/dir/x.pdb"), 3, true, true); }),
              "Unable to open file for saving: No such file or directory");
    EXPECT_EQ(Error([&] { doc.SaveCoordinates(out, 3, true, true, XyzType); }), "XYZ files aren't supported yet!");
    EXPECT_NE(test::ReadText(out).find("ATOM"), std::string::npos) << "a failed save touched the file";
}

TEST(DocumentCommands, ExportTrajectoryRangeAndReadItBack) {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.options.multipleAsTrajectory = 1;
    std::string models;
    for (int k = 0; k < 5; ++k) models += "MODEL " + std::to_string(k + 1) + "\n" + AtomLines(6, 0.25 * k) + "ENDMDL\n";
    ASSERT_EQ(doc.AddMoleculeFromFile(dir.Write("five.pdb", models)), 1);
    ASSERT_EQ(doc.Primary()->FrameCount(), 4);

    const std::string out = dir.File("export.pdb");
    doc.ExportTrajectory(out, 2, 4);
    const std::string text = test::ReadText(out);
    EXPECT_EQ(FramesOf(text), 3);
    MemoryLineSource source(text);
    const PdbFile f = PdbFile::Read(source);
    ASSERT_EQ(f.atoms.size(), 18u);
    EXPECT_EQ(f.atoms[0].model, 1);
    EXPECT_EQ(f.atoms[17].model, 3);
    EXPECT_DOUBLE_EQ(f.atoms[0].occupancy, 0.0);
    EXPECT_DOUBLE_EQ(f.atoms[6].occupancy, 0.33);
    EXPECT_DOUBLE_EQ(f.atoms[12].occupancy, 0.67);

    // Read back as a trajectory: the frames written, to the written precision.
    RecordingUiHooks ui2;
    CVelmDoc back(ui2);
    back.options.multipleAsTrajectory = 1;
    ASSERT_EQ(back.AddMoleculeFromFile(out), 1);
    ASSERT_EQ(back.Primary()->FrameCount(), 2);
    const Molecule& b = *back.Primary();
    // Exported in the file's coordinates: frames 2 to 4, models 3 to 5 of five.pdb as it
    // has them, whichever was loaded first.
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 6; ++i)
            EXPECT_NEAR(b.Position(i, k).x - b.centreShift.x, 1.5 * i + 0.25 * (k + 2), 1e-3) << k << " " << i;

    struct Case { int start, stop; const char* message; };
    const Case cases[] = {{0, 2, "Invalid starting step"}, {3, 2, "Invalid starting step"},
                          {1, 5, "Invalid stopping step"}};
    for (const Case& c : cases)
        EXPECT_EQ(Error([&] { doc.ExportTrajectory(out, c.start, c.stop); }), c.message) << c.start << "-" << c.stop;
    doc.AddMoleculeFromFile(dir.Write("plain.pdb", AtomLines(3)));
    EXPECT_EQ(Error([&] { doc.ExportTrajectory(out, 1, 1); }), "Cannot export a zero length trajectory");
}

TEST(DocumentCommands, ExportRefusesMultiModelMolecules) {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.AddMoleculeFromFile(dir.Write("m.pdb", "MODEL 1\n" + AtomLines(3) + "ENDMDL\nMODEL 2\n" + AtomLines(3) + "ENDMDL\n"));
    doc.Primary()->frames.Append(Frame(6));
    EXPECT_EQ(Error([&] { doc.ExportTrajectory(dir.File("x.pdb"), 1, 1); }),
              "Unable to export a trajectory for a multi-model data set.");
}

TEST(DocumentCommands, AnimationFrames) {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.options.multipleAsTrajectory = 1;
    auto add = [&](int frames) {
        std::string models;
        for (int k = 0; k <= frames; ++k) models += "MODEL " + std::to_string(k + 1) + "\n" + AtomLines(1) + "ENDMDL\n";
        ASSERT_EQ(doc.AddMoleculeFromFile(dir.Write(std::to_string(frames) + ".pdb", models)), 1);
    };
    add(4);
    EXPECT_EQ(doc.AnimationFrames(), 5);
    std::string shown;
    for (int i = 0; i < 7; ++i) {
        shown += std::to_string(doc.Molecules()[0]->currentFrame);
        doc.Step(0);
    }
    EXPECT_EQ(shown, "0123401");
    add(2);
    EXPECT_EQ(doc.CurrentAnimationFrame(), 0);
    doc.SetFrame(4);
    EXPECT_EQ(doc.Molecules()[0]->currentFrame, 4);
    EXPECT_EQ(doc.Molecules()[1]->currentFrame, 1);
    doc.SetFrame(0);
    doc.Step(1);
    EXPECT_EQ(doc.CurrentAnimationFrame(), 4);
}

TEST(DocumentCommands, MoleculeListCommands) {
    TempDir dir;
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    const std::string one = dir.Write("one.pdb", AtomLines(4));
    for (int i = 0; i < 3; ++i) doc.AddMoleculeFromFile(one);
    Molecule* first = doc.Molecules()[0].get();
    EXPECT_EQ(doc.Primary(), doc.Molecules()[2].get());

    doc.ToggleSelection({2});  // the primary stays selected
    EXPECT_EQ(doc.Primary()->selected, 1);
    doc.ToggleSelection({0});
    EXPECT_EQ(first->selected, 1);

    doc.ToggleFixedFree({1});
    EXPECT_FALSE(doc.Molecules()[1]->trackball.free);

    doc.DuplicateMolecules({1});
    ASSERT_EQ(doc.Molecules().Count(), 4);
    EXPECT_FALSE(doc.Molecules()[3]->trackball.free);
    doc.Molecules()[3]->atoms[0].x = 99.0;
    EXPECT_NE(doc.Molecules()[1]->atoms[0].x, 99.0);

    doc.DeleteMolecules({2});  // the primary
    ASSERT_EQ(doc.Molecules().Count(), 3);
    EXPECT_EQ(doc.Primary(), first);
    EXPECT_EQ(first->selected, 1);

    doc.MakePrimary(2);
    EXPECT_EQ(doc.Primary(), doc.Molecules()[2].get());
    EXPECT_EQ(first->selected, 0);
    doc.DeleteMolecules({0, 1, 2});
    EXPECT_EQ(doc.Primary(), nullptr);
    EXPECT_EQ(doc.AnimationFrames(), 1);
}

TEST(DocumentCommands, OpenCoordinatesAndTrajectory) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    EXPECT_EQ(Error([&] { doc.OpenCoordinatesAndTrajectory("", PdbType, "t.dcd", DcdType, Verbatim); }),
              "Please enter a coordinate file name");
    EXPECT_EQ(Error([&] { doc.OpenCoordinatesAndTrajectory("c.pdb", PdbType, "", DcdType, Verbatim); }),
              "Please enter a trajectory file name");
    EXPECT_EQ(doc.Molecules().Count(), 0);

    const std::string pdb = test::DataPath("1ubi.pdb"), dcd = test::DataPath("1ubi_20frames_le.dcd");
    doc.OpenCoordinatesAndTrajectory(pdb, PdbType, dcd, DcdType, ZeroCenterOfMass);
    const Molecule& m = *doc.Primary();
    EXPECT_EQ(m.FrameCount(), 20);
    EXPECT_EQ(doc.Title(), pdb + "+" + dcd);
    EXPECT_EQ(doc.AnimationFrames(), 21);
    ASSERT_EQ(m.frameCentres.size(), 20u);
    Vec3 c;
    double total = 0;
    for (int i = 0; i < m.AtomCount(); ++i) {
        c += m.Position(i, 7) * m.atoms[i].mass;
        total += m.atoms[i].mass;
    }
    EXPECT_NEAR(Length(c * (1.0 / total)), 0.0, 1e-3);

    // A trajectory of another molecule: the message, and the document as it was.
    EXPECT_EQ(Error([&] {
                  doc.OpenCoordinatesAndTrajectory(pdb, PdbType, test::DataPath("2hhb_20frames_le.dcd"), DcdType,
                                                   Verbatim);
              }),
              "Incorrect Number of atoms in DCD file!");
    EXPECT_EQ(doc.Molecules().Count(), 1);
    EXPECT_EQ(doc.Primary(), &m);
    EXPECT_EQ(m.FrameCount(), 20);
    EXPECT_EQ(doc.Title(), pdb + "+" + dcd);
}

TEST(DocumentCommands, TrajectoryIntoThePrimaryMolecule) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.AddMoleculeFromFile(test::DataPath("2k39_3models.pdb"));
    EXPECT_EQ(Error([&] { doc.ReadTrajectoryIntoPrimary(test::DataPath("2k39_3frames_plugin.dcd"), Verbatim); }),
              "Incorrect Number of atoms in DCD file!");
    EXPECT_EQ(doc.Primary()->FrameCount(), 0);

    RecordingUiHooks ui2;
    CVelmDoc first(ui2);
    first.options.multipleAsTrajectory = 1;
    first.AddMoleculeFromFile(test::DataPath("2k39_3models.pdb"));
    first.options.multipleAsTrajectory = 0;
    first.ReadTrajectoryIntoPrimary(test::DataPath("2k39_3frames_plugin.dcd"), Verbatim);
    EXPECT_EQ(first.Primary()->FrameCount(), 3);
    // The plugin file holds the three models: frame 1, model 1 as written,
    // lies over the structure as the two files have them.
    const Molecule& m = *first.Primary();
    for (int i = 0; i < m.AtomCount(); ++i) ASSERT_NEAR(Length(m.Position(i, 1) - m.Position(i, 0)), 0, 2e-3) << i;
}

TEST(DocumentCommands, ValuesWiderThanTheirColumnsAreNotSaved) {
    // Atom 2 of each file carries the value; the target keeps its contents.
    TempDir dir;
    const char* plain = "ATOM      1  C   LIG A   1       1.000   2.000   3.000  1.00  5.00\n";
    struct Case {
        const char* x;
        const char* y;
        const char* z;
        const char* occupancy;
        const char* temperature;
        const char* refusal;  // empty: saved
    };
    const Case cases[] = {
        {"-99999.999", "-999.999", "9999.999", "99.99", "-99.99", ""},
        {"999999.999", "9999.999", "-999.999", "-9.99", "999.99", ""},
        {"1000000.000", "2.0", "3.0", "1.00", "5.00", "x 1000000.000"},
        {"-100000.000", "2.0", "3.0", "1.00", "5.00", "x -100000.000"},
        {"1.0", "-1000.000", "3.0", "1.00", "5.00", "y -1000.000"},
        {"1.0", "2.0", "10000.000", "1.00", "5.00", "z 10000.000"},
        {"1.0", "2.0", "3.0", "100.00", "5.00", "occupancy 100.00"},
        {"1.0", "2.0", "3.0", "1.00", "1e6", "temperature factor 1000000.00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.refusal);
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        const std::string atom2 = std::string("ATOM 2 N LIG A 1 ") + c.x + " " + c.y + " " + c.z + " " + c.occupancy +
                                  " " + c.temperature + "\n";
        ASSERT_EQ(doc.AddMoleculeFromFile(dir.Write("in.pdb", plain + atom2)), 1);
        const std::string out = dir.Write("out.pdb", "old contents\n");
        const std::string error = Error([&] { doc.SaveCoordinates(out, 3, true, false); });
        if (*c.refusal) {
            EXPECT_EQ(error, "Error saving pdb file, " + out + ": Atom 2 (N LIG A 1): " + c.refusal +
                                 " does not fit in its PDB columns");
            EXPECT_EQ(test::ReadText(out), "old contents\n");
        } else {
            EXPECT_EQ(error, "");
            const PdbFile back = PdbFile::Read(out);
            ASSERT_EQ(back.atoms.size(), 2u);
            EXPECT_EQ(back.atoms[1].x, std::stod(c.x));
        }
    }
    // What no file can give: a coordinate that is not a number.
    PdbFile f(1);
    f.atoms[0].y = std::nan("");
    std::string text;
    EXPECT_THROW(f.Write(text, 3, false), PdbColumnOverflow);
}
