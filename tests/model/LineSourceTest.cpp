// A file read whole gives the same lines, line numbers, cuts and errors as
// the same file streamed: the loader takes either.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/VelmError.h"
#include "model/LineSource.h"
#include "support/TestData.h"

namespace velm {
namespace {

// Every line with its number and cut flag, then "error" when reading threw.
std::vector<std::string> Lines(LineSource& s) {
    std::vector<std::string> out;
    for (int pass = 0; pass < 2; ++pass) {  // and again after a rewind
        try {
            for (std::string_view line; s.ReadLine(line);)
                out.push_back(std::to_string(s.LineNumber()) + (s.LineCut() ? "c " : " ") + std::string(line));
        } catch (const VelmError& e) {
            out.push_back("error " + e.text() + " at " + std::to_string(s.LineNumber()));
        }
        s.Rewind();
    }
    return out;
}

TEST(LineSource, WholeFileReadsAsTheStream) {
    const std::string longLine(kLongestLine + 10, 'x');
    // A CR LF across the stream's 256 KB blocks, and one at the very end.
    std::string blocks;
    while (blocks.size() < (1u << 18) - 1) blocks += "ATOM      1  N   MET A   1      27.340  24.430   2.614\n";
    blocks.resize((1u << 18) - 1);
    const std::string texts[] = {
        "ATOM 1\nATOM 2\n",
        "a\r\nb\rc\n\n  \t\nd",
        "\n\n \nlast\r",
        "before\n" + longLine + "\nafter\n",
        longLine,
        std::string("one\ntwo\0three\nfour\n", 19),
        blocks + "\r\nnext\r\n",
        "",
    };
    test::TempDir dir;
    int k = 0;
    for (const std::string& text : texts) {
        const std::string path = dir.Write("t" + std::to_string(k++) + ".pdb", text);
        GzLineSource stream(path);
        ASSERT_TRUE(stream.IsOpen());
        const auto whole = OpenLineSource(path);
        ASSERT_TRUE(whole);
        EXPECT_EQ(Lines(*whole), Lines(stream)) << "text " << k - 1;
        EXPECT_EQ(whole->MayHold("three"), text.find("three") != std::string::npos);
    }
    EXPECT_FALSE(OpenLineSource(dir.File("absent.pdb")));
}

}  // namespace
}  // namespace velm
