#pragma once
// "Export Trajectory": the primary molecule's frames, all or a range of
// them, into a multi-model PDB file.
#include <string>

namespace velm {

class CVelmDoc;
class UiHooks;

struct ExportTrajectoryForm {
    static constexpr const char* kBrowseTitle = "Specify PDB file to create";
    static constexpr const char* kBrowseFilter = "PDB files (*.pdb)";
    static constexpr const char* kFileType = "PDB";  // the only entry of "File Type"

    std::string path;     // "Enter File Name"
    bool entire = true;   // "Export entire trajectory"; else start..stop
    int start = 1, stop = 1;

    // Opens on the primary molecule's whole range.
    static ExportTrajectoryForm For(const CVelmDoc& document);

    // The message that keeps the dialog open, for a trajectory of `frames`
    // list frames; empty when OK may export.
    std::string Problem(int frames) const;
    // The 1-based range OK exports.
    int First() const { return entire ? 1 : start; }
    int Last(int frames) const { return entire ? frames : stop; }
    // OK: the export. A problem or a failed export is shown through ui;
    // returns whether the file was written.
    bool Accept(CVelmDoc& document, UiHooks& ui) const;
};

}  // namespace velm
