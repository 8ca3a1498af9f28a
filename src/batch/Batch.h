#pragma once
// Headless front end: velm -batch FILE... loads the files as the window does
// and prints one line of key=value pairs per molecule.
#include <cstdio>
#include <string>
#include <vector>

// The picture module's entry: RunBatch of a build that draws, leaving its
// document to the end of the process.
extern "C" int VelmRunPictureBatch(const std::vector<std::string>* args, std::FILE* out, std::FILE* err);

namespace velm {

class Molecule;

// Runs batch mode on the arguments after "-batch"; returns the exit status.
// With `leaveDocument` the document is not freed at the end: a process about
// to end need not spend its last moments taking apart a million atoms.
int RunBatch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err, bool leaveDocument = false);

// Whether the run draws (pictures, picks, surfaces, movies, the codec list)
// or downloads: the program then hands it whole to the module host, which
// runs it in the picture module, with the drawing libraries and the
// downloader that a run that only loads never maps.
bool BatchOpensModules(const std::vector<std::string>& args);

// The summary line of a loaded molecule (no line feed).
std::string MoleculeSummary(const Molecule& molecule);

}  // namespace velm
