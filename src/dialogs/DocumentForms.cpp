#include "dialogs/DocumentForms.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

std::vector<std::string> OpenCoordinateFiles(CVelmDoc& doc, const std::vector<std::string>& paths, UiHooks& ui) {
    std::vector<std::string> read;
    for (const std::string& path : paths) {
        // A file that cannot be read leaves the document, and its title, as they were.
        try {
            if (!doc.AddMoleculeFromFile(path)) throw VelmError("Unable to read file");
            doc.SetTitle(path);
            read.push_back(path);
        } catch (const VelmError& e) {
            ui.Message(e.shownText());
            ui.SetStatusText("Ready");  // not the stage the read stopped at
            break;
        } catch (const std::exception&) {
            ui.Message("Unable to read input file!");
            ui.SetStatusText("Ready");
            break;
        }
    }
    return read;
}

const std::vector<FileTypeChoice>& CoordinateAndTrajectoryForm::CoordinateTypes() {
    static const std::vector<FileTypeChoice> types{{"PDB", PdbType, "PDB files (*.pdb *.ent *.pdb.gz *.ent.gz)"},
                                                   {"mmCIF", MmcifType, "mmCIF files (*.cif *.mmcif *.cif.gz *.mmcif.gz)"},
                                                   {"XYZ", XyzType, "XYZ files (*.xyz)"},
                                                   {"CRD", CrdType, "CRD files (*.crd)"}};
    return types;
}

const std::vector<FileTypeChoice>& CoordinateAndTrajectoryForm::TrajectoryTypes() {
    static const std::vector<FileTypeChoice> types{{"DCD", DcdType, "DCD files (*.dcd)"},
                                                   {"PTF", PtfType, "PTF files (*.ptf)"}};
    return types;
}

std::string CoordinateAndTrajectoryForm::Problem() const {
    if (coordinates.empty()) return "Please enter a coordinate file name";
    if (trajectory.empty()) return "Please enter a trajectory file name";
    return {};
}

bool CoordinateAndTrajectoryForm::Accept(CVelmDoc& doc, UiHooks& ui) const {
    if (const std::string p = Problem(); !p.empty()) {
        ui.Message(p);
        return false;
    }
    try {
        doc.OpenCoordinatesAndTrajectory(coordinates, coordinateType, trajectory, trajectoryType, readMode);
        return true;
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
    } catch (const std::exception&) {
        ui.Message("Unable to read input files!");
    }
    ui.SetStatusText("Ready");
    return false;
}

const std::vector<FileTypeChoice>& SaveCoordinatesForm::FileTypes() {
    static const std::vector<FileTypeChoice> types{{"PDB", PdbType, "PDB files (*.pdb)"},
                                                   {"XYZ", XyzType, "XYZ files (*.xyz)"},
                                                   {"CRD", CrdType, "CRD files (*.crd)"}};
    return types;
}

std::string SaveCoordinatesForm::Problem() const {
    if (path.empty()) return "Please enter a file name";
    return {};
}

bool SaveCoordinatesForm::Accept(CVelmDoc& doc, UiHooks& ui) const {
    if (const std::string p = Problem(); !p.empty()) {
        ui.Message(p);
        return false;
    }
    try {
        WaitCursor wait(ui);
        doc.SaveCoordinates(path, precision, writeConect, normalise, type);
        return true;
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
    } catch (const std::exception&) {
        ui.Message("Unable to open file for saving");
    }
    return false;
}

}  // namespace velm
