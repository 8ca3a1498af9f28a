#pragma once
// What every trajectory format offers: the atom count, the number of whole
// frames (from the file size, or from an index of frame offsets built once
// from the frame headers when the file is opened) and any frame on demand.
// Coordinates are 3 floats per atom, x y z, in ångström whatever the unit of
// the file. Frames are counted from 0 here and named from 1 in messages, as
// the document numbers the frames after the molecule's own coordinates.
//
// One source serves one thread at a time; reads of different frames need no
// order. Nothing is allocated from a size in the file before that size has
// been checked against the bytes the file holds.
#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace velm {

enum class TrajectoryFormat { Dcd, Xtc, Trr };

// The periodic box of one frame: the edge vectors a, b and c in ångström.
struct TrajectoryBox {
    float vectors[3][3] = {};
};

// The box of the edge lengths and angles (degrees) in the usual orientation:
// a along x, b in the xy plane.
TrajectoryBox BoxFromLengthsAndAngles(double a, double b, double c, double alpha, double beta, double gamma);

class TrajectorySource {
public:
    virtual ~TrajectorySource() = default;

    virtual TrajectoryFormat Format() const = 0;
    virtual int AtomCount() const = 0;
    // Whole frames in the file; frames after a damaged or cut one are not counted.
    virtual int FrameCount() const = 0;
    // Empty when the frames run to the end of the file; else why they stop
    // early and how many were kept ("Unexpected end of file in frame 21; the
    // 20 frames before it are read").
    virtual const std::string& Notice() const = 0;

    // Reads frame k (0 <= k < FrameCount()) into xyz, 3 * AtomCount() floats.
    // Throws VelmError naming the frame when its data cannot be decoded.
    virtual void ReadFrame(int k, float* xyz) = 0;

    // The box of the frame last read, when the file holds one for it.
    virtual std::optional<TrajectoryBox> Box() const = 0;
    // Velocities and forces of the frame last read, 3 floats per atom in the
    // units of the file; empty when the frame holds none (only TRR files do).
    virtual std::span<const float> Velocities() const { return {}; }
    virtual std::span<const float> Forces() const { return {}; }
};

// Whether every one of n values is a finite number. Frames that are not are
// refused: nothing drawn, measured or written from them would mean anything.
bool AllFinite(const float* values, std::size_t n);

// A double as the nearest float; infinite beyond the range of floats (where
// the plain conversion is undefined).
float ToFloat(double d);

// The caller's check of the atom count against its structure, with the
// program's text for every format: "Incorrect Number of atoms in DCD file!".
void CheckAtomCount(const TrajectorySource& source, int atoms);

// A source's notice when its frames stop at frame k (0-based) for `reason`.
std::string FramesStopNotice(const std::string& reason, int k);

// Opens a DCD, XTC or TRR file by its content (the first record's length or
// the magic number), whatever its name, and counts its frames. Throws
// VelmError: "Can't open DCD file for reading!", "Unknown file type!", or
// what the format's reader says of a header it cannot use.
std::unique_ptr<TrajectorySource> OpenTrajectorySource(const std::string& path);

}  // namespace velm
