#include "model/DcdSource.h"

#include <cmath>

#include "core/VelmError.h"

namespace velm {

DcdSource::DcdSource(const std::string& path) : file_(path) {
    if (!file_.IsOpen()) throw VelmError("Can't open DCD file for reading!");
    header_ = file_.ReadHeader(true);
    if (header_.width != 4 && header_.width != 8) throw VelmError("Incompatible data size in DCD file!");
    if (header_.cutShort) notice_ = FramesStopNotice("Unexpected end of file", header_.steps);
}

void DcdSource::ReadFrame(int k, float* xyz) {
    if (k < 0 || k >= header_.steps) throw VelmError("No frame " + std::to_string(k + 1) + " in the trajectory");
    // Sequential reads, the common case, need no seek.
    if (k != next_ && !file_.SeekStep(k)) throw VelmError("Error reading DCD file!");
    next_ = -1;
    if (!file_.ReadStep(xyz)) throw VelmError(file_.Message());
    next_ = k + 1;
    box_.reset();
    if (!header_.unitCell) return;
    // The record holds A, gamma, B, beta, alpha, C; newer CHARMM versions
    // store the cosines of the angles, NAMD the angles in degrees. A record
    // of zeros (written by programs without a box) is no box.
    const double* cell = file_.UnitCell();
    double angle[3] = {cell[4], cell[3], cell[1]};  // alpha, beta, gamma
    if (cell[0] == 0 && cell[2] == 0 && cell[5] == 0) return;
    if (std::fabs(angle[0]) <= 1 && std::fabs(angle[1]) <= 1 && std::fabs(angle[2]) <= 1)
        for (double& a : angle) a = std::acos(a) * 180.0 / M_PI;
    box_ = BoxFromLengthsAndAngles(cell[0], cell[2], cell[5], angle[0], angle[1], angle[2]);
}

}  // namespace velm
