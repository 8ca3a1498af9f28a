#pragma once
// The AVI writer behind movies. FFmpeg's libraries (more than a hundred
// shared objects) are mapped only when a movie is made: the writer is a
// module of its own, opened on first use, so that batch runs and the window
// start without them. Nothing crosses the boundary but plain values; a
// failure comes back as its text, never as an exception.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace velm {

struct MovieCodec {
    std::string name;         // what -codec takes: "DIB ", "mjpeg", "mpeg4", ...
    std::string description;
};

// One open AVI file being written.
class AviEncoder {
public:
    virtual ~AviEncoder() = default;
    // The size recorded: encoders of subsampled colour need even sides.
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Appends one frame of Width() x Height() RGBA pixels, rows bottom first
    // as GL reads them. Empty on success, else what went wrong.
    virtual std::string Add(const std::uint8_t* rgba) = 0;
    // Writes the rest and closes the file; empty on success.
    virtual std::string Finish() = 0;
};

// What the module hands out.
struct AviEncoderModule {
    std::vector<MovieCodec> (*codecs)();
    // Opens `path` for a movie of the size, rate (frames a second) and depth
    // (16, 24, 32: uncompressed frames only) through `codec`; on failure
    // nullptr and `problem` set to the system's message.
    std::unique_ptr<AviEncoder> (*open)(const std::string& path, int width, int height, int rate, int depth,
                                        const std::string& codec, std::string& problem);
};

// The module, opened on first call; throws VelmError "Movies cannot be made
// here: " and the loader's reason when it cannot be found or opened.
const AviEncoderModule& LoadAviEncoderModule();

}  // namespace velm

// The one symbol the module exports.
extern "C" const velm::AviEncoderModule* VelmAviEncoderModule();
