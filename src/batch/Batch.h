#pragma once
// Headless front end: velm -batch FILE... loads the files as the window does
// and prints one line of key=value pairs per molecule.
#include <cstdio>
#include <string>
#include <vector>

// The picture module's entry: RunBatch of a build that draws.
extern "C" int VelmRunPictureBatch(const std::vector<std::string>* args, std::FILE* out, std::FILE* err);

namespace velm {

class Molecule;

// Runs batch mode on the arguments after "-batch"; returns the exit status.
int RunBatch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// Whether the run draws (pictures, picks, surfaces, movies, the codec list):
// the program then hands it whole to the picture module, which holds the
// drawing libraries that a run that only loads never maps.
bool BatchDrawsPictures(const std::vector<std::string>& args);

// The summary line of a loaded molecule (no line feed).
std::string MoleculeSummary(const Molecule& molecule);

}  // namespace velm
