#pragma once
// What the document dialogs do with their fields, without any window: the
// checks that keep a dialog open with the program's message, and the command
// OK runs. A dialog whose OK fails stays open, the document as it was.
#include <string>
#include <vector>

#include "model/FileType.h"
#include "model/ReadCoordinates.h"

namespace velm {

class CVelmDoc;
class UiHooks;

// One entry of a dialog's file-type list.
struct FileTypeChoice {
    const char* text;    // "PDB"
    FileType type;
    const char* filter;  // for the Browse dialog
};

// "Open Coord": each chosen file in turn as a new primary molecule, the title
// its path; the first that cannot be read is shown and ends the loop.
// Returns the files that were read.
std::vector<std::string> OpenCoordinateFiles(CVelmDoc& document, const std::vector<std::string>& paths, UiHooks& ui);

// "Open Coordiante and Trajectory".
struct CoordinateAndTrajectoryForm {
    static const std::vector<FileTypeChoice>& CoordinateTypes();  // PDB, mmCIF, XYZ, CRD
    static const std::vector<FileTypeChoice>& TrajectoryTypes();  // DCD, PTF

    std::string coordinates;
    FileType coordinateType = PdbType;
    std::string trajectory;
    FileType trajectoryType = DcdType;
    int readMode = Verbatim;  // "Trajectory Read Options"

    // The message that keeps the dialog open; empty when OK may read.
    std::string Problem() const;
    // OK: both files into a new primary molecule. A problem or a failed read
    // is shown through ui; returns whether the files were read.
    bool Accept(CVelmDoc& document, UiHooks& ui) const;
};

// "Save Coordinates".
struct SaveCoordinatesForm {
    static constexpr int kMinimumPrecision = 3, kMaximumPrecision = 15;
    static const std::vector<FileTypeChoice>& FileTypes();  // PDB, XYZ, CRD

    std::string path;
    int precision = 3;  // "File Precision"
    FileType type = PdbType;
    bool writeConect = true;  // "Write molecular connectivity (CONECT entries)"
    // "Normalize Temperature factors": off by default, as in batch mode, so a
    // saved file keeps the temperature factors it was read with.
    bool normalise = false;

    std::string Problem() const;
    // OK: every molecule into the file. A problem or a failed write is shown
    // through ui; returns whether the file was written.
    bool Accept(CVelmDoc& document, UiHooks& ui) const;
};

}  // namespace velm
