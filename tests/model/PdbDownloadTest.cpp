#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/RecordingUiHooks.h"
#include "core/VelmError.h"
#include "model/PdbDownload.h"
#include "model/VelmDoc.h"
#include "support/HttpServer.h"
#include "support/TestData.h"

using namespace velm;
using velm::test::TempDir;

namespace {

constexpr const char* kTemplate = "http://%SERVER%/%PDBID%.pdb.gz";

std::vector<std::string> Entries(const list<std::string>& l) {
    std::vector<std::string> out;
    for (const std::string& e : l) out.push_back(e);
    return out;
}

std::string UrlError(const std::string& templateText, const std::string& server, const std::string& id) {
    try {
        PdbRequestUrl(templateText, server, id);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

// The download command's message, empty when it succeeded.
std::string Fetch(CVelmDoc& doc, PdbHistory& history, const std::string& templateText, const std::string& server,
                  const std::string& id, UiHooks& ui) {
    try {
        FetchPdbEntry(doc, history, templateText, server, id, ui);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

// A server with 1ubi.pdb.gz, and the temporary folder pointed at a scratch
// folder of its own so that leftover downloads can be counted exactly.
class PdbDownload : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(test::DataPath("1ubi.pdb.gz"), served_.File("1ubi.pdb.gz"));
        if (const char* old = std::getenv("TMPDIR")) oldTmp_ = old;
        setenv("TMPDIR", scratch_.path().c_str(), 1);
        server_ = std::make_unique<test::HttpServer>(served_.path());
        if (!server_->Running()) GTEST_SKIP() << "no local web server: " << server_->Problem();
    }
    void TearDown() override {
        server_.reset();
        if (oldTmp_) setenv("TMPDIR", oldTmp_->c_str(), 1);
        else unsetenv("TMPDIR");
    }

    std::vector<std::string> Leftovers() const {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(scratch_.path()))
            if (e.path().filename().string().starts_with(".velm-pdb.velm-")) out.push_back(e.path().string());
        return out;
    }

    TempDir served_, scratch_;
    std::optional<std::string> oldTmp_;
    std::unique_ptr<test::HttpServer> server_;
};

}  // namespace

TEST(PdbRequestUrl, FillsTheTemplateAndRefusesUnsafeParts) {
    EXPECT_EQ(PdbRequestUrl(kDefaultPdbTemplate, "files.rcsb.org", "1ubi"), "https://files.rcsb.org/download/1ubi.pdb.gz");
    EXPECT_EQ(PdbRequestUrl("http://%SERVER%/%PDBID%/%PDBID%", "h:8080", "2hhb"), "http://h:8080/2hhb/2hhb");
    // The id cannot reach past its place in the path or the query.
    EXPECT_EQ(PdbRequestUrl(kTemplate, "h", "1 a/"), "http://h/1%20a%2F.pdb.gz");
    EXPECT_EQ(PdbRequestUrl(kTemplate, "h", "a?b#c%"), "http://h/a%3Fb%23c%25.pdb.gz");

    const std::string invalid = "Invalid query format!";
    EXPECT_EQ(UrlError("http://%SERVER%/x.pdb", "h", "1ubi"), invalid);
    EXPECT_EQ(UrlError("http://h/%PDBID%.pdb", "h", "1ubi"), invalid);
    for (const char* server : {"a/b", "u@h", "h st", "", "h\tx", "h\x7f"})
        EXPECT_EQ(UrlError(kTemplate, server, "1ubi"), invalid) << '"' << server << '"';
    EXPECT_EQ(UrlError(kTemplate, "h", ""), invalid);
}

TEST(PdbHistory, StartsWithTheDefaultsAndRemembersNewEntriesOnce) {
    PdbHistory h;
    EXPECT_EQ(Entries(h.servers), std::vector<std::string>{"files.rcsb.org"});
    EXPECT_EQ(Entries(h.ids), std::vector<std::string>{"1ckw"});
    h.Remember("127.0.0.1:8000", "1ubi");
    h.Remember("127.0.0.1:8000", "1ubi");
    h.Remember("files.rcsb.org", "2hhb");
    EXPECT_EQ(Entries(h.servers), (std::vector<std::string>{"files.rcsb.org", "127.0.0.1:8000"}));
    EXPECT_EQ(Entries(h.ids), (std::vector<std::string>{"1ckw", "1ubi", "2hhb"}));
}

TEST_F(PdbDownload, EntryLoadsAndIsRememberedOnce) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    PdbHistory history;
    ASSERT_EQ(Fetch(doc, history, kTemplate, server_->Host(), "1ubi", ui), "");
    ASSERT_NE(doc.Primary(), nullptr);
    EXPECT_EQ(doc.Primary()->AtomCount(), 683);
    EXPECT_EQ(doc.Title(), "1ubi");
    EXPECT_EQ(doc.Primary()->path, "1ubi");
    EXPECT_TRUE(ui.with("message:").empty()) << testing::PrintToString(ui.calls);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_EQ(Entries(history.servers), (std::vector<std::string>{"files.rcsb.org", server_->Host()}));
    EXPECT_EQ(Entries(history.ids), (std::vector<std::string>{"1ckw", "1ubi"}));

    // Again: a second molecule, the history as it was.
    ASSERT_EQ(Fetch(doc, history, kTemplate, server_->Host(), "1ubi", ui), "");
    EXPECT_EQ(doc.Molecules().Count(), 2);
    EXPECT_EQ(history.servers.Count(), 2);
    EXPECT_EQ(history.ids.Count(), 2);
    EXPECT_TRUE(Leftovers().empty()) << testing::PrintToString(Leftovers());
}

// An entry the server has as mmCIF only is fetched in that form; asked for,
// the mmCIF file is fetched first.
TEST_F(PdbDownload, MmcifWhenAskedOrWhenNoPdbFileExists) {
    std::filesystem::copy_file(test::DataPath("3al1.cif.gz"), served_.File("3al1.cif.gz"));
    std::filesystem::copy_file(test::DataPath("1ubi.cif.gz"), served_.File("1ubi.cif.gz"));
    EXPECT_EQ(MmcifTemplate(kTemplate), "http://%SERVER%/%PDBID%.cif.gz");
    EXPECT_EQ(MmcifTemplate("http://%SERVER%/x.cgi?format=PDB&pdbId=%PDBID%"), "http://%SERVER%/x.cgi?format=mmCIF&pdbId=%PDBID%");
    EXPECT_EQ(MmcifTemplate("http://%SERVER%/get/%PDBID%"), "");
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    PdbHistory history;
    ASSERT_EQ(Fetch(doc, history, kTemplate, server_->Host(), "3al1", ui), "");
    EXPECT_EQ(doc.Primary()->AtomCount(), 679);
    // 1ubi's waters follow a TER record in the PDB file, which gives them
    // chain B; the mmCIF file keeps the author's A.
    FetchPdbEntry(doc, history, kTemplate, server_->Host(), "1ubi", ui, true);
    EXPECT_EQ(doc.Primary()->AtomCount(), 683);
    EXPECT_EQ(doc.Primary()->atoms.back().chain, 'A');
    FetchPdbEntry(doc, history, kTemplate, server_->Host(), "1ubi", ui);
    EXPECT_EQ(doc.Primary()->atoms.back().chain, 'B');
    EXPECT_TRUE(Leftovers().empty()) << testing::PrintToString(Leftovers());
}

TEST_F(PdbDownload, MissingEntryIsNoPdbFile) {
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.SetTitle("before");
    PdbHistory history;
    // The server answers 404 with its error page: the download failed.
    EXPECT_EQ(Fetch(doc, history, kTemplate, server_->Host(), "9zzz", ui),
              "Unable to download pdb entry -- please check server and pdb id");
    EXPECT_EQ(history.ids.Count(), 1);
    EXPECT_EQ(doc.Title(), "before");
    EXPECT_EQ(doc.Molecules().Count(), 0);
    EXPECT_TRUE(Leftovers().empty()) << testing::PrintToString(Leftovers());
}

TEST_F(PdbDownload, RefusedConnectionLeavesTheHistoryAlone) {
    const int closed = test::FreeLocalPort();
    ASSERT_NE(closed, 0);
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    doc.SetTitle("before");
    PdbHistory history;
    EXPECT_EQ(Fetch(doc, history, kTemplate, "127.0.0.1:" + std::to_string(closed), "1ubi", ui),
              "Unable to download pdb entry -- please check server and pdb id");
    EXPECT_EQ(doc.Title(), "before");
    EXPECT_EQ(doc.Molecules().Count(), 0);
    EXPECT_EQ(history.servers.Count(), 1);
    EXPECT_EQ(history.ids.Count(), 1);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_TRUE(Leftovers().empty()) << testing::PrintToString(Leftovers());

    // A bad template never reaches the network, nor the temporary folder.
    EXPECT_EQ(Fetch(doc, history, "http://%SERVER%/x", server_->Host(), "1ubi", ui), "Invalid query format!");
    EXPECT_EQ(history.servers.Count(), 1);
    EXPECT_TRUE(Leftovers().empty());
}
