#pragma once
// "Render Trajectory As AVI Movie": the file, the frame size, the range of
// trajectory frames, colour depth, rate and whether surfaces follow each
// frame; "Record" checks them and records through the movie writer.
#include <string>

#include "output/MovieRecording.h"

namespace velm {

class CVelmDoc;
class OffscreenRenderer;
class UiHooks;

struct MovieForm {
    static constexpr const char* kTitle = "Render Trajectory As AVI Movie";
    static constexpr const char* kBrowseTitle = "Specify AVI file to create";
    static constexpr const char* kBrowseFilter = "AVI files (*.avi)";
    static constexpr const char* kCodecTitle = "Compression Options";
    static constexpr const char* kDone = "Movie creation successfull!";
    static constexpr int kMaxSide = 32767;  // the size spin buttons' range
    static constexpr const char* kDepths[2] = {"16 bpp", "24 bpp"};

    std::string path;      // "Output file name"
    int width = 1, height = 1;
    bool entire = true;    // "Render entire trajectory"; else "Render selection"
    int start = 1, stop = 1;
    int depth = 16;        // bits per pixel, from "Color depth:"
    int rate = 15;         // "Frame Rate: "
    bool updateSurface = false;  // "Update Molecular Surface Every Step"

    // Opens at the view's size over the document's whole trajectory.
    static MovieForm For(const CVelmDoc& document, int viewWidth, int viewHeight);

    MovieRequest Request(const std::string& codec) const;
    // The message that keeps the dialog open, before any codec is chosen or
    // file made; empty when "Record" may go on.
    std::string Problem(const CVelmDoc& document) const;

    enum class Outcome { Refused, Cancelled, Recorded, Failed };
    // "Record" with the codec chosen in "Compression Options" (empty: that
    // choice was cancelled). Refused: the problem shown, nothing made.
    // Cancelled: the codec choice or the recording was cancelled, the file at
    // the path as it was. Recorded: "Movie creation successfull!" shown.
    // Failed: the writer's message shown, the file as it was. The dialog
    // stays open after Refused and Cancelled.
    Outcome Record(OffscreenRenderer& renderer, CVelmDoc& document, const std::string& codec, UiHooks& ui) const;
};

}  // namespace velm
