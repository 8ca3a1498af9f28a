#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "analysis/Kabsch.h"
#include "core/RecordingUiHooks.h"
#include "core/SettingsStore.h"
#include "core/VelmError.h"
#include "model/CommandLine.h"
#include "model/StartUp.h"
#include "model/VelmDoc.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;
using velm::test::TempDir;

namespace {

CommandLine Parsed(const std::vector<std::string>& words) {
    CommandLine c;
    c.Parse(words);
    return c;
}

// The error text of parsing `words` into `c`, empty when there was none.
std::string ParseError(CommandLine& c, const std::vector<std::string>& words) {
    try {
        c.Parse(words);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

struct Started {
    RecordingUiHooks ui;
    CVelmDoc doc{ui};
    DisplayDepths depths;
    int alignerCalls = 0;
    bool help = false;

    explicit Started(const std::vector<std::string>& words) {
        doc.frameAligner = [this](const Molecule& m, float* frame, const double* w) {
            ++alignerCalls;
            superposeFrame(m, frame, w);
        };
        help = StartUp(Parsed(words), doc, depths, ui);
    }
    std::vector<std::string> Messages() const { return ui.with("message:"); }
};

}  // namespace

TEST(CommandLine, FlagsFilesAndNumbers) {
    const CommandLine none = Parsed({});
    EXPECT_FALSE(none.NamesFiles());
    EXPECT_EQ(none.connect, 1);
    EXPECT_EQ(none.TrajectoryMode(), 0);

    const CommandLine c = Parsed({"-no_connect", "-multi", "-cm", "a.pdb", "-bpp", "24", "-zbuf", "32"});
    EXPECT_EQ(c.connect, 0);
    EXPECT_EQ(c.multi, 1);
    EXPECT_EQ(c.TrajectoryMode(), 1);
    EXPECT_EQ(c.plainFile, 1);
    EXPECT_EQ(c.pdb, 0);
    EXPECT_EQ(c.files, std::vector<std::string>{"a.pdb"});
    EXPECT_EQ(c.bppGiven, 1);
    EXPECT_EQ(c.bpp, 24);
    EXPECT_EQ(c.zbufGiven, 1);
    EXPECT_EQ(c.zbuf, 32);
    // Aligning wins over centring whichever comes first.
    EXPECT_EQ(Parsed({"-align", "-cm"}).TrajectoryMode(), 2);
    EXPECT_EQ(Parsed({"-cm", "-align"}).TrajectoryMode(), 2);

    const CommandLine d = Parsed({"-dcd", "run.dcd", "-pdb", "x.pdb"});
    EXPECT_EQ(d.dcd, 1);
    EXPECT_EQ(d.pdb, 1);
    EXPECT_EQ(d.trajectory, "run.dcd");
    EXPECT_EQ(d.files, std::vector<std::string>{"x.pdb"});
    EXPECT_TRUE(d.NamesFiles());

    EXPECT_EQ(Parsed({"-?"}).help, 1);
    EXPECT_EQ(Parsed({"/help"}).help, 1);
}

TEST(CommandLine, SwitchesAreExactAndSlashesNameOnlyTheProgramsSwitches) {
    TempDir dir;
    const std::string absolute = dir.Write("x.pdb", "");
    const CommandLine c = Parsed({"/pdb", "f.pdb", "/multi", absolute, "/align"});
    EXPECT_EQ(c.pdb, 1);
    EXPECT_EQ(c.multi, 1);
    EXPECT_EQ(c.align, 1);
    EXPECT_EQ(c.plainFile, 1);
    EXPECT_EQ(c.files, (std::vector<std::string>{"f.pdb", absolute}));

    std::string_view name;
    EXPECT_TRUE(CommandLine::IsSwitch("/zbuf", name));
    EXPECT_EQ(name, "zbuf");
    EXPECT_FALSE(CommandLine::IsSwitch("/tmp", name));
    EXPECT_FALSE(CommandLine::IsSwitch("/PDB", name));
    EXPECT_FALSE(CommandLine::IsSwitch("/", name));
    EXPECT_FALSE(CommandLine::IsSwitch("-", name));
    EXPECT_TRUE(CommandLine::IsSwitch("-anything", name));

    // Wrong letter case is an unknown switch, ignored: the word after is a plain file.
    const CommandLine upper = Parsed({"-PDB", "y.pdb", "-Multi", "-unknown"});
    EXPECT_EQ(upper.pdb, 0);
    EXPECT_EQ(upper.multi, 0);
    EXPECT_EQ(upper.plainFile, 1);
    EXPECT_EQ(upper.files, std::vector<std::string>{"y.pdb"});
}

TEST(CommandLine, MissingNamesAndNumbers) {
    const std::string noFile = "A filename was not found on the command line";
    {
        CommandLine c;
        EXPECT_EQ(ParseError(c, {"-pdb"}), noFile);
        EXPECT_EQ(c.pdb, 0);
    }
    {
        CommandLine c;
        EXPECT_EQ(ParseError(c, {"-pdb", "-cm", "x.pdb"}), noFile);
        EXPECT_EQ(c.pdb, 0);
        EXPECT_EQ(c.dcd, 0);
        EXPECT_TRUE(c.files.empty());
    }
    {
        CommandLine c;
        EXPECT_EQ(ParseError(c, {"a.pdb", "-dcd"}), noFile);
        EXPECT_EQ(c.dcd, 0);
    }
    {
        // The flag given earlier is cleared too.
        CommandLine c;
        EXPECT_EQ(ParseError(c, {"-pdb", "a.pdb", "-dcd", "/multi", "run.dcd"}), noFile);
        EXPECT_EQ(c.pdb, 0);
        EXPECT_EQ(c.dcd, 0);
    }
    CommandLine b;
    EXPECT_EQ(ParseError(b, {"-bpp"}), "A bpp value was not found on the command line");
    EXPECT_EQ(b.bppGiven, 0);
    CommandLine z;
    EXPECT_EQ(ParseError(z, {"x.pdb", "/zbuf"}), "A zbuf value was not found on the command line");
    EXPECT_EQ(z.zbufGiven, 0);
}

TEST(CommandLine, WildcardsExpandInNameOrder) {
    TempDir dir;
    for (const auto& [to, from] : {std::pair{"c.pdb", "pept.pdb"}, std::pair{"a.pdb", "1ubi.pdb"},
                                   std::pair{"b.pdb", "2k39_3models.pdb"}})
        std::filesystem::copy_file(DataPath(from), dir.File(to));
    dir.Write("notes.txt", "not a structure\n");

    const CommandLine c = Parsed({"-pdb", dir.path() + "/*.pdb"});
    EXPECT_EQ(c.files, (std::vector<std::string>{dir.File("a.pdb"), dir.File("b.pdb"), dir.File("c.pdb")}));

    Started s({dir.path() + "/*.pdb"});
    EXPECT_TRUE(s.Messages().empty()) << testing::PrintToString(s.ui.calls);
    ASSERT_EQ(s.doc.Molecules().Count(), 3);
    EXPECT_EQ(s.doc.Molecules()[0]->AtomCount(), 683);
    EXPECT_EQ(s.doc.Molecules()[2]->path, dir.File("c.pdb"));
    EXPECT_EQ(s.doc.Title(), dir.File("a.pdb"));

    CommandLine none;
    EXPECT_EQ(ParseError(none, {dir.path() + "/*.xyz"}), "The wildcard failed to match a file name");
    EXPECT_TRUE(none.files.empty());
}

TEST(StartUp, StructureAndAlignedTrajectory) {
    const std::string pdb = DataPath("1ubi.pdb"), dcd = DataPath("1ubi_20frames_le.dcd");
    Started s({"-pdb", pdb, "-dcd", dcd, "-align"});
    EXPECT_TRUE(s.Messages().empty()) << testing::PrintToString(s.ui.calls);
    EXPECT_FALSE(s.help);
    EXPECT_EQ(s.doc.Title(), pdb + "+" + dcd);
    ASSERT_NE(s.doc.Primary(), nullptr);
    EXPECT_EQ(s.doc.Primary()->FrameCount(), 20);
    EXPECT_EQ(s.doc.Primary()->frameCentres.size(), 20u);
    EXPECT_EQ(s.alignerCalls, 20) << "every frame superimposed";
    EXPECT_EQ(s.doc.AnimationFrames(), 21);

    Started centred({pdb, "-dcd", dcd, "-cm"});
    EXPECT_EQ(centred.doc.Primary()->FrameCount(), 20);
    EXPECT_EQ(centred.alignerCalls, 0);
}

TEST(StartUp, FilesTitleAndReadOptions) {
    const std::string ubi = DataPath("1ubi.pdb"), pept = DataPath("pept.pdb");
    Started two({ubi, pept});
    ASSERT_EQ(two.doc.Molecules().Count(), 2);
    EXPECT_EQ(two.doc.Title(), ubi);
    EXPECT_EQ(two.doc.Primary()->path, pept) << "the last file loaded is the primary molecule";
    EXPECT_EQ(two.depths.colourBits, 16);
    EXPECT_EQ(two.depths.depthBits, 16);

    const std::string nmr = DataPath("2k39_3models.pdb");
    Started multi({"-multi", "-cm", "-no_connect", nmr});
    EXPECT_EQ(multi.doc.options.multipleAsTrajectory, 1);
    EXPECT_EQ(multi.doc.options.trajectoryReadMode, 1);
    EXPECT_EQ(multi.doc.options.computeConnectivity, 0);
    ASSERT_NE(multi.doc.Primary(), nullptr);
    EXPECT_EQ(multi.doc.Primary()->FrameCount(), 2);
    EXPECT_TRUE(multi.doc.Primary()->bonds.empty());

    // Without -multi the trajectory switches leave the document's options alone.
    Started cm({"-cm", ubi});
    const ReadOptions defaults;
    EXPECT_EQ(cm.doc.options.trajectoryReadMode, defaults.trajectoryReadMode);
    EXPECT_EQ(cm.doc.options.multipleAsTrajectory, defaults.multipleAsTrajectory);
    EXPECT_EQ(cm.doc.options.computeConnectivity, defaults.computeConnectivity);

    Started depths({"-bpp", "24", "-zbuf", "32", "/?"});
    EXPECT_TRUE(depths.help);
    EXPECT_EQ(depths.depths.colourBits, 24);
    EXPECT_EQ(depths.depths.depthBits, 32);
    EXPECT_EQ(depths.doc.Title(), "No Molecule loaded");
}

TEST(StartUp, TrajectoryProblemsAreShownAndStartUpGoesOn) {
    const std::string ubi = DataPath("1ubi.pdb"), dcd = DataPath("1ubi_20frames_le.dcd");
    Started two({ubi, DataPath("pept.pdb"), "-dcd", dcd});
    EXPECT_EQ(two.Messages(), std::vector<std::string>{"Only one structure can be read when reading DCD files"});
    EXPECT_EQ(two.doc.Molecules().Count(), 0);

    // A trajectory of another structure: the message, and the structure stays without frames.
    Started wrong({ubi, "-dcd", DataPath("2hhb_20frames_le.dcd")});
    EXPECT_EQ(wrong.Messages(), std::vector<std::string>{"Incorrect Number of atoms in DCD file!"});
    ASSERT_NE(wrong.doc.Primary(), nullptr);
    EXPECT_EQ(wrong.doc.Primary()->FrameCount(), 0);
    EXPECT_EQ(wrong.doc.AnimationFrames(), 1);

    Started alone({"-dcd", dcd});
    EXPECT_EQ(alone.doc.Molecules().Count(), 0);
    EXPECT_EQ(alone.doc.Title(), "No Molecule loaded");
    EXPECT_TRUE(alone.Messages().empty());
}

TEST(OpenDocumentFile, TitleIsThePathOfWhatWasOpened) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    const std::string ubi = DataPath("1ubi.pdb");
    OpenDocumentFile(&doc, ubi, ui);
    EXPECT_EQ(doc.Title(), ubi);
    EXPECT_EQ(doc.Molecules().Count(), 1);
    EXPECT_TRUE(ui.with("message:").empty());

    // A file that cannot be read leaves the title, and the document, as they were.
    TempDir dir;
    OpenDocumentFile(&doc, dir.File("none.pdb"), ui);
    EXPECT_EQ(doc.Title(), ubi);
    EXPECT_EQ(ui.with("message:").size(), 1u);

    ui.calls.clear();
    OpenDocumentFile(&doc, dir.Write("empty.pdb", "REMARK nothing\n"), ui);
    EXPECT_EQ(doc.Title(), ubi);
    EXPECT_EQ(doc.Molecules().Count(), 1);
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Unable to read file"});

    ui.calls.clear();
    OpenDocumentFile(nullptr, ubi, ui);
    EXPECT_EQ(ui.with("message:"), std::vector<std::string>{"Unable to get valid document. Doh!"});
}

TEST(RecentFileList, NewestFirstFourKeptAndStored) {
    RecentFileList recent;
    for (const char* f : {"a", "b", "c", "d", "e"}) recent.Add(f);
    EXPECT_EQ(recent.Files(), (std::vector<std::string>{"e", "d", "c", "b"}));
    recent.Add("c");
    EXPECT_EQ(recent.Files(), (std::vector<std::string>{"c", "e", "d", "b"})) << "opened again: moved to the front";

    MemorySettingsStore store;
    store.Set("Other", "File1", "kept");
    recent.Save(store);
    EXPECT_EQ(store.Get("Recent File List", "File1", ""), "c");
    EXPECT_EQ(store.Get("Recent File List", "File4", ""), "b");

    RecentFileList loaded;
    loaded.Load(store);
    EXPECT_EQ(loaded.Files(), recent.Files());

    // A shorter list removes the keys it no longer fills.
    RecentFileList shorter;
    shorter.Add("only");
    shorter.Save(store);
    EXPECT_EQ(store.Get("Recent File List", "File2", "absent"), "absent");
    loaded.Load(store);
    EXPECT_EQ(loaded.Files(), std::vector<std::string>{"only"});

    recent.Save(store);
    RecentFileList::Purge(store);
    EXPECT_EQ(store.values.size(), 1u);
    EXPECT_EQ(store.Get("Other", "File1", ""), "kept");
    loaded.Load(store);
    EXPECT_TRUE(loaded.Files().empty());
}
