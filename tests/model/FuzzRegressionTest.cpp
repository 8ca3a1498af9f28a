// Inputs the fuzz targets found, replayed through the same code.
#include <gtest/gtest.h>

#include <string>

#include "core/VelmError.h"
#include "model/CommandLine.h"
#include "model/LineSource.h"
#include "model/PdbFile.h"

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

}  // namespace
