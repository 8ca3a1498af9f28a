#pragma once
// Headless front end: velm -batch FILE... loads the files as the window does
// and prints one line of key=value pairs per molecule.
#include <cstdio>
#include <string>
#include <vector>

namespace velm {

class Molecule;

// Runs batch mode on the arguments after "-batch"; returns the exit status.
int RunBatch(const std::vector<std::string>& args, std::FILE* out, std::FILE* err);

// The summary line of a loaded molecule (no line feed).
std::string MoleculeSummary(const Molecule& molecule);

}  // namespace velm
