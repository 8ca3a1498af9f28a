// Malformed files give the program's message and leave the document as it was.
#include <gtest/gtest.h>
#include <zlib.h>

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

const char* kGood = "ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00\n";

std::string ParseError(const std::string& text) {
    try {
        MemoryLineSource s(text);
        PdbFile::Read(s);
    } catch (const VelmError& e) {
        return e.text();
    }
    return "";
}

std::string Gzip(const std::string& text) {
    uLongf size = compressBound(static_cast<uLong>(text.size())) + 64;
    std::string out(size, '\0');
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);  // 31: gzip wrapper
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

}  // namespace

TEST(BadInput, MalformedRecordsAreParseErrors) {
    const char* lines[] = {
        "ATOM\n",
        "ATOM 1\n",
        "ATOM 1 CA\n",
        "ATOM 1 CA ALA\n",
        "ATOM 1 CA ALA A\n",
        "ATOM 1 CA ALA A 1\n",
        "ATOM 1 CA ALA A 1 1.0 2.0\n",
        "ATOM 1 CA ALA A x 1.0 2.0 3.0\n",
        "ATOM 1 CA ALA A 1 abc 2.0 3.0\n",
        "ATOM 1 CA ALA A 1 1.0 nan 3.0\n",
        "ATOM 1 CA ALA A 1 1.0 2.0 inf\n",
        "ATOM 1 CA ALA A 1 1.0 2.0 1e999\n",
        "ATOM 1 CA ALA A 1 1.0 2.0 3.0.\n",
        "ATOM 1 CA ALA A 99999999999 1.0 2.0 3.0\n",
        "ATOM 1 CA ALA A 1 ..5 1.0\n",
        "CONECT\n",
        "CONECT x 1\n",
        "CONECT - 1\n",
    };
    for (const char* line : lines) EXPECT_EQ(ParseError(std::string(kGood) + line), "Error parsing file!") << line;
}

TEST(BadInput, FilesThatCannotBeLoaded) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 70000; ++i) garbage += static_cast<char>((i * 7919 + i / 13) % 256);
    std::string longLine = kGood;
    longLine.insert(longLine.size() - 1, std::string(2000, ' '));
    longLine += "ATOM 2 C ALA A 1 1 2 3" + std::string(700, 'x') + "\n";
    const std::string full = test::ReadText(test::DataPath("1ubi.pdb.gz"));

    struct Case { const char* name; std::string content; int result; };
    const Case cases[] = {
        {"empty.pdb", "", 0},
        {"blank.pdb", "\n\n   \n", 0},
        {"garbage.pdb", garbage, -1},  // binary: its NUL bytes are refused
        {"truncated.pdb.gz", full.substr(0, full.size() / 2), -1},
        {"badgz.pdb.gz", full.substr(0, 10) + std::string(200, 'z'), -1},
        {"longline.pdb", longLine, -1},
        {"nan.pdb", std::string(kGood) + "ATOM 2 CA ALA A 1 nan 1.0 1.0\n", -1},
        {"conect-absent.pdb", std::string(kGood) + "CONECT 1 77\n", 1},
        {"unequal.pdb", "MODEL 1\n" + std::string(kGood) + "ENDMDL\nMODEL 2\nENDMDL\n", 1},
    };
    RecordingUiHooks ui;
    CVelmDoc doc(ui);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        doc.DeleteMolecules({0, 1});
        ASSERT_EQ(doc.AddMoleculeFromFile(test::DataPath("1ubi.pdb")), 1);
        Molecule* good = doc.Primary();
        const std::string path = dir.Write(c.name, c.content);
        int result = -1;
        std::string error;
        try {
            result = doc.AddMoleculeFromFile(path);
        } catch (const VelmError& e) {
            error = e.text();
        }
        EXPECT_EQ(result, c.result);
        if (c.result < 0) {
            EXPECT_TRUE(error.starts_with("Can't open ``" + path + "'' for reading. ")) << error;
        }
        if (c.result != 1) {  // nothing was added: the document is as it was
            EXPECT_EQ(doc.Molecules().Count(), 1);
            EXPECT_EQ(doc.Primary(), good);
        }
        EXPECT_EQ(good->AtomCount(), 660 + 23) << "an earlier molecule was touched";
        EXPECT_EQ(ui.waitDepth, 0);
    }
}

TEST(BadInput, AFileThatCannotBeReadSaysWhereAndWhy) {
    // A coordinate of 1ubi spoilt on line 569, after blank lines and a long
    // remark, plain and compressed; and a file that is not there.
    std::string text = test::ReadText(test::DataPath("1ubi.pdb"));
    size_t at = 0;
    for (int line = 1; line < 569; ++line) at = text.find('\n', at) + 1;
    const size_t x = text.find("40.507", at);
    ASSERT_EQ(x, at + 32);  // the x column of that line
    text.replace(x, 6, "40.5x7");
    text.insert(0, "\n  \r\n" + std::string("REMARK ") + std::string(1500, 'r') + "\n");
    TempDir dir;
    const std::string missing = dir.File("missing.pdb");
    const struct {
        std::string path, reason;
    } cases[] = {{dir.Write("bad.pdb", text), "line 572: Error parsing file!"},
                 {dir.Write("bad.pdb.gz", Gzip(text)), "line 572: Error parsing file!"},
                 {missing, "No such file or directory"}};
    for (const auto& c : cases) {
        RecordingUiHooks ui;
        CVelmDoc doc(ui);
        doc.SetTitle("before");
        try {
            doc.AddMoleculeFromFile(c.path);
            ADD_FAILURE() << c.path << " loaded";
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "Can't open ``" + c.path + "'' for reading. " + c.reason);
        }
        EXPECT_EQ(doc.Molecules().Count(), 0);
        EXPECT_EQ(doc.Title(), "before");
    }
}

TEST(BadInput, MissingFileAndDirectory) {
    TempDir dir;
    EXPECT_THROW(PdbFile::Read(dir.File("absent.pdb")), VelmError);
    try {
        PdbFile::Read(dir.File("absent.pdb"));
    } catch (const VelmError& e) {
        EXPECT_EQ(e.text(), "Can't open file!");
    }
    // A folder opens but cannot be read.
    EXPECT_THROW(PdbFile::Read(dir.File("")), VelmError);
}

TEST(BadInput, GzipAndPlainReadAlike) {
    const std::string text = std::string(kGood) + "HETATM22133  PB  ADP B2601     -17.534 -30.951 -63.634  1.00 62.13\n";
    TempDir dir;
    const PdbFile plain = PdbFile::Read(dir.Write("p.pdb", text));
    const PdbFile packed = PdbFile::Read(dir.Write("p.pdb.gz", Gzip(text)));
    ASSERT_EQ(plain.atoms.size(), 2u);
    ASSERT_EQ(packed.atoms.size(), 2u);
    EXPECT_EQ(packed.atoms[1].serial, 22133);
    EXPECT_DOUBLE_EQ(packed.atoms[1].z, plain.atoms[1].z);
}
