#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/MakeDocument.h"
#include "core/RecordingUiHooks.h"
#include "dialogs/MovieForm.h"
#include "dialogs/PasteForm.h"
#include "dialogs/PdbDownloadForm.h"
#include "model/Molecule.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"
#include "render/Scene.h"
#include "render/SceneDocumentLink.h"
#include "support/HttpServer.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::DataPath;
using velm::test::HttpServer;
using velm::test::TempDir;

TEST(PasteForm, RefusesWhatIsNoTextOrNoNumbersAndKeepsTheDialogOpenOnTooFewValues) {
    const struct {
        ClipboardText clipboard;
        bool primary;
        std::string message;
    } refusals[] = {
        {{true, false, ""}, true, "Sorry -- only ASCII text can be pasted!"},
        {{false, false, ""}, true, "The clipboard is empty - nothing to paste"},
        {{true, true, " \r\n\t"}, true, "The clipboard is empty - nothing to paste"},
        {{true, true, "1 2 x3"}, true, "Warning - non-numeric value found in clipboard"},
        {{true, true, "1 2 3"}, false, "The clipboard is empty - nothing to paste"},
    };
    for (const auto& r : refusals) {
        RecordingUiHooks ui;
        auto doc = MakeDocument(ui);
        if (r.primary) doc->AddMoleculeFromFile(DataPath("1ubi.pdb"));
        EXPECT_FALSE(PasteForm::Open(*doc, r.clipboard, ui)) << r.clipboard.text;
        EXPECT_EQ(ui.with("message:"), std::vector<std::string>{r.message}) << r.clipboard.text;
    }

    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->AddMoleculeFromFile(DataPath("1ubi.pdb"));  // 683 atoms, 76 residues and 58 waters
    std::string text;
    for (int i = 0; i < 76; ++i) text += std::to_string(i) + ".5\n";
    std::optional<PasteForm> form = PasteForm::Open(*doc, {true, true, text}, ui);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->AtomsText(), "Number of atoms: 683");
    EXPECT_EQ(form->AlphaCarbonsText(), "Number of alpha carbons: 76");
    EXPECT_EQ(form->InputsText(), "Number of inputs on clipboad: 76");
    EXPECT_EQ(form->options.stop, 683);
    const Molecule& m = *doc->Primary();
    const double before = m.atoms[0].occupancy, water = m.atoms.back().occupancy;
    const struct {
        PasteMode mode;
        int serial;
        bool accepted;
        std::string message;
    } oks[] = {
        {PasteMode::AllAtoms, 1, false, "Unable to paste data, number of inputs is less\nthan the number of atoms"},
        {PasteMode::SingleAtom, 99999, false, "Invalid atom id, can't paste data"},
        {PasteMode::AlphaCarbons, 1, true, ""},
    };
    for (const auto& c : oks) {
        ui.calls.clear();
        form->options.target = PasteTarget::Occupancy;
        form->options.mode = c.mode;
        form->options.serial = c.serial;
        EXPECT_EQ(form->SerialEnabled(), c.mode == PasteMode::SingleAtom);
        EXPECT_EQ(form->Accept(*doc, ui), c.accepted);
        EXPECT_EQ(ui.with("message:"), c.message.empty() ? std::vector<std::string>{} : std::vector{c.message});
        if (!c.accepted) {
            EXPECT_EQ(m.atoms[0].occupancy, before);
        }
    }
    EXPECT_EQ(m.atoms[0].occupancy, 0.5);                 // residue 1
    EXPECT_EQ(m.atoms.back().occupancy, water);  // a water is no residue of the walk
}

TEST(PdbDownloadForm, DownloadsOnAWorkerAndRemembersOnlyWhatWasFetched) {
    TempDir dir;
    std::filesystem::copy_file(DataPath("1ubi.pdb.gz"), dir.File("1ubi.pdb.gz"));
    dir.Write("9bad.pdb.gz", "<html>not here</html>");
    HttpServer server(dir.path());
    ASSERT_TRUE(server.Running()) << server.Problem();
    HttpServer stalling(dir.path(), HttpServer::Answer::Stalling);
    ASSERT_TRUE(stalling.Running()) << stalling.Problem();

    PdbDownloadForm bad;
    bad.templateText = "http://%SERVER%/1ubi.pdb.gz";
    EXPECT_EQ(bad.Problem(), "Invalid query format!");
    EXPECT_TRUE(PdbDownloadForm{}.MmcifOffered());
    EXPECT_FALSE(bad.MmcifOffered());

    const struct {
        std::string host, id;
        bool cancel;
        PdbDownloadJob::State state;
        std::string downloadMessage;
        bool read;
        std::string readMessage;
    } cases[] = {
        {server.Host(), "1ubi", false, PdbDownloadJob::State::Done, "", true, ""},
        {server.Host(), "7zzz", false, PdbDownloadJob::State::Failed, PdbDownloadForm::kDownloadFailed, false, ""},
        {server.Host(), "9bad", false, PdbDownloadJob::State::Done, "", false,
         "Can't read pdb file -- please check server and pdb id"},
        {stalling.Host(), "1ubi", true, PdbDownloadJob::State::Cancelled, "", false, ""},
    };
    for (const auto& c : cases) {
        RecordingUiHooks ui;
        auto doc = MakeDocument(ui);
        PdbHistory history;
        PdbDownloadForm form;
        form.templateText = "http://%SERVER%/%PDBID%.pdb.gz";
        form.server = c.host;
        form.id = c.id;
        std::unique_ptr<PdbDownloadJob> job = form.Start(ui);
        ASSERT_TRUE(job);
        if (c.cancel) {
            // The first kilobyte comes, then the server stalls.
            for (int i = 0; i < 1000 && job->ProgressText() != "1.00kb read"; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            EXPECT_EQ(job->ProgressText(), "1.00kb read");
            job->Cancel();
        }
        job->Wait();
        EXPECT_EQ(job->Poll(), c.state) << c.id;
        const bool done = form.Finished(*job, history, ui);
        EXPECT_EQ(done, c.state == PdbDownloadJob::State::Done);
        EXPECT_EQ(ui.with("message:"), c.downloadMessage.empty() ? std::vector<std::string>{}
                                                                  : std::vector{c.downloadMessage});
        EXPECT_EQ(history.servers.Count(), done ? 2 : 1) << c.id;
        if (!done) continue;
        ui.calls.clear();
        const std::string path = job->File().Path();
        EXPECT_EQ(form.Read(*doc, *job, ui), c.read);
        EXPECT_EQ(doc->MoleculeCount(), c.read ? 1 : 0);
        EXPECT_EQ(doc->Title(), c.read ? c.id : "No Molecule Loaded");
        if (c.read) EXPECT_FALSE(std::filesystem::exists(path));
        else EXPECT_EQ(ui.with("message:"), std::vector{c.readMessage});
    }
}

TEST(MovieForm, ChecksTheRangeAndValuesAndLeavesAnOlderFileWhenCancelled) {
    RecordingUiHooks ui;
    auto doc = MakeDocument(ui);
    doc->OpenCoordinatesAndTrajectory(DataPath("1ubi.pdb"), PdbType, DataPath("1ubi_20frames_le.dcd"), DcdType, Verbatim);
    TempDir dir;
    MovieForm opened = MovieForm::For(*doc, 320, 200);
    EXPECT_EQ(opened.stop, 20);
    EXPECT_EQ(opened.depth, 16);
    EXPECT_EQ(opened.rate, 15);
    opened.path = dir.File("m.avi");
    const std::string rateMessage = "Please enter a frame rate between 1 and 120";
    const struct {
        std::function<void(MovieForm&)> change;
        std::string problem;
    } cases[] = {
        {[](MovieForm&) {}, ""},
        {[](MovieForm& f) { f.rate = 120; }, ""},
        {[](MovieForm& f) { f.rate = 0; }, rateMessage},
        {[](MovieForm& f) { f.rate = 121; }, rateMessage},
        {[](MovieForm& f) { f.entire = false, f.start = 5, f.stop = 4; }, "Please enter a valid step range!"},
        {[](MovieForm& f) { f.start = 5, f.stop = 4; }, ""},  // the range counts only for a selection
        {[](MovieForm& f) { f.width = 0; }, "Please enter a valid width"},
        {[](MovieForm& f) { f.height = -1; }, "Please enter a valid height"},
        {[](MovieForm& f) { f.path.clear(); }, "Please enter a file name"},
    };
    for (const auto& c : cases) {
        MovieForm f = opened;
        c.change(f);
        EXPECT_EQ(f.Problem(*doc), c.problem);
    }

    Scene scene;
    SceneDocumentLink link(scene, *doc);
    OffscreenRenderer renderer(scene);
    MovieForm f = opened;
    f.width = 64, f.height = 48;
    f.entire = false, f.start = 2, f.stop = 1;
    EXPECT_EQ(f.Record(renderer, *doc, kUncompressedCodec, ui), MovieForm::Outcome::Refused);
    EXPECT_FALSE(std::filesystem::exists(f.path));
    f.entire = true;
    EXPECT_EQ(f.Record(renderer, *doc, "", ui), MovieForm::Outcome::Cancelled);  // no codec chosen
    const std::string older = dir.Write("m.avi", "an older movie");
    ui.calls.clear();
    ui.progress = 0;
    ui.cancelAt = 3;
    EXPECT_EQ(f.Record(renderer, *doc, kUncompressedCodec, ui), MovieForm::Outcome::Cancelled);
    EXPECT_EQ(ui.with("progress-step").size(), 3u);
    EXPECT_EQ(test::ReadText(older), "an older movie");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);  // no leftover beside it
    ui.cancelAt = -1;
    EXPECT_EQ(f.Record(renderer, *doc, kUncompressedCodec, ui), MovieForm::Outcome::Recorded);
    EXPECT_EQ(ui.with("message:").back(), MovieForm::kDone);
    EXPECT_NE(test::ReadText(older), "an older movie");
}
