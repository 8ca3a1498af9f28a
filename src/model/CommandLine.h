#pragma once
// The program's command line: coordinate files, a trajectory and how to read
// them, and the display depths. Switches are written with '-' or '/', exact
// and case-sensitive; unknown switches are ignored.
#include <string>
#include <string_view>
#include <vector>

namespace velm {

inline constexpr const char* kCommandLineHelp =
    "[filename]\t\tOpen coordinate file (type based on file extension)\r\n"
    "-pdb [filename]\tRead PDB coordinate file\r\n"
    "-dcd [filename]\tRead DCD trajectory file\r\n"
    "-align\t\tAlign all trajectory structures by rotation and translation\r\n"
    "-cm\t\tRemove the center of mass from all trajectory structures\r\n"
    "-no_connect\tDon't compute covalent bonds from atomic coordinates\r\n"
    "-multi\t\tInterpret multiple structures in a pdb file as a trajectory\r\n"
    "-bpp [number]\tOverride the default color depth\r\n"
    "-zbuf [number]\tOverride the default Z buffer size\r\n"
    "-?\t\tShow the list of allowed command line options\r\n"
    "-help\t\tShow the list of allowed command line options";

class CommandLine {
public:
    int pdb = 0, dcd = 0, plainFile = 0;
    int align = 0, cm = 0, connect = 1, multi = 0, help = 0;
    int bppGiven = 0, bpp = 0;
    int zbufGiven = 0, zbuf = 0;
    std::vector<std::string> files;
    std::string trajectory;

    // Parses the words after the program's name. Throws VelmError (source
    // "CommandLine") for a missing file name or number and for a wildcard
    // that matches nothing.
    void Parse(const std::vector<std::string>& words);

    // One word; `last` when no word follows.
    void ParseParameter(std::string_view word, bool isSwitch, bool last);

    // Whether a word is a switch, and its name without the '-' or '/'. A word
    // beginning with '/' is a switch only when it names one of the program's
    // switches, so absolute paths stay file names.
    static bool IsSwitch(std::string_view word, std::string_view& name);

    bool NamesFiles() const { return pdb || plainFile; }
    // Trajectory post-processing: 2 align, 1 centre of mass, 0 as read.
    int TrajectoryMode() const { return align ? 2 : cm ? 1 : 0; }

private:
    void AddFiles(std::string_view word);

    bool awaitPdb_ = false, awaitDcd_ = false, awaitBpp_ = false, awaitZbuf_ = false;
};

// The files a word with '*' names: the regular files of the word's folder
// whose names match its last part, with the folder part in front, sorted.
// Empty when nothing matches, and for a '*' in the folder part.
std::vector<std::string> ExpandWildcard(std::string_view word);

}  // namespace velm
