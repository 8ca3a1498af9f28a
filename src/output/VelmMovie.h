#pragma once
// AVI movies of the scene: each frame drawn off screen through the render
// pass, as pictures are, and appended to one video stream, uncompressed or
// through an encoder. The program's off-screen renderer serves every frame.
#include <memory>
#include <string>
#include <vector>

#include "core/List.h"
#include "output/AviEncoder.h"

namespace velm {

class Molecule;
class OffscreenRenderer;

// The uncompressed choice: the bitmap's rows as they are.
inline constexpr const char* kUncompressedCodec = "DIB ";

// The encoders this build offers for AVI files, uncompressed frames first.
std::vector<MovieCodec> AvailableMovieCodecs();

class VelmMovie {
public:
    VelmMovie();
    ~VelmMovie();
    VelmMovie(const VelmMovie&) = delete;
    VelmMovie& operator=(const VelmMovie&) = delete;

    // Starts a recording; an open one is closed first. `codec` is the
    // compressor chosen: empty means the choice was cancelled, and nothing
    // opens (false). The movie is written beside `path` and replaces it only
    // when finished. Encoders of subsampled colour get frames of the size
    // rounded down to what they need (even sides for 4:2:0): Width() and
    // Height() tell the size recorded. Throws VelmError ("Frame width out of bounds", "Frame
    // height out of bounds", "Frame rate out of bounds", "Frame depth out of
    // bounds", "Bad view pointer", "Error opening the AVI file. File name must
    // end with '.avi'", "Error opening the AVI file: " and the system's
    // reason, ...), closing whatever was made.
    bool Open(const std::string& path, int width, int height, int rate, int depth, OffscreenRenderer* renderer,
              const list<std::unique_ptr<Molecule>>* molecules, bool updateSurfaceEveryStep, const std::string& codec);
    // Draws the scene as it is now and appends it. Throws "Invalid state"
    // when no recording is open, "Error compressing frame", "Can't write movie frame!".
    void AddFrame();
    // Writes the rest and moves the movie into place, then closes. Throws
    // "Invalid state" when not open, "Can't write movie frame! (<reason>)"
    // when the file cannot be completed; the file at the path is then as it was.
    void Finish();
    // Releases everything; safe when not open. An unfinished recording is
    // dropped, leaving the file at the path as it was.
    void Close();

    bool IsOpen() const;
    int FrameCount() const;
    int Width() const;
    int Height() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace velm
