// Inputs the fuzz targets found, replayed through the same code.
#include <gtest/gtest.h>

#include <string>

#include "core/VelmError.h"
#include "model/CommandLine.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"
#include "model/TrajectorySource.h"
#include "support/TestData.h"

using namespace velm;

namespace {

PdbFile ReadText(const std::string& text) {
    MemoryLineSource source(text);
    return PdbFile::Read(source);
}

TEST(FuzzRegression, NulBeforeMonitorWordIsNoMonitor) {
    // A line holding "MONITOR" behind a NUL byte: the C string of the line
    // ends before the word.
    std::string line = "CONECT@";
    line += std::string("\0\0\x80" "1     ' 2   5  MONITOR34%    1", 34);
    const std::string text = "ATOM      1  C1  LIG A   1       1.500   0.000   0.000  1.00  0.00           C\n" + line + "\n";
    try {
        const PdbFile file = ReadText(text);
        EXPECT_TRUE(file.monitors.empty());
    } catch (const VelmError&) {
        // Refusing the line is as good; what matters is no crash.
    }
}

TEST(FuzzRegression, WildcardsInFolderPartsMatchNothing) {
    // "/*/*/*" once walked the whole disk (18 s for one command line); the
    // pattern is the file name in one folder.
    for (const char* word : {"/*/*/*", "*/x.pdb", "/*/*"}) {
        CommandLine c;
        try {
            c.Parse({word});
            ADD_FAILURE() << word;
        } catch (const VelmError& e) {
            EXPECT_EQ(e.text(), "The wildcard failed to match a file name");
        }
    }
}

TEST(FuzzRegression, XtcFrameOfNoAtomsHasItsBoxAndNoCoordinates) {
    // A frame of zero atoms (header only, with a box) before frames of ten:
    // the fuzz target itself then indexed an empty coordinate array.
    const std::string ten = test::ReadText(test::DataPath("1ubi10_mda.xtc"));
    std::string none = ten.substr(0, 56);
    for (size_t at : {4u, 52u}) none.replace(at, 4, std::string(4, '\0'));
    test::TempDir dir;
    auto s = OpenTrajectorySource(dir.Write("none.xtc", none + ten));
    EXPECT_EQ(s->AtomCount(), 0);
    ASSERT_EQ(s->FrameCount(), 1);
    EXPECT_EQ(s->Notice(), "A different number of atoms (10, not 0) in frame 2; the frame before it is read");
    s->ReadFrame(0, nullptr);
    ASSERT_TRUE(s->Box().has_value());
    EXPECT_FLOAT_EQ(s->Box()->vectors[0][0], 50.84f);
}

}  // namespace
