#pragma once
// Recording a range of trajectory frames as an AVI movie: what the movie
// dialog's "Record" does, below any window.
#include <string>

#include "output/VelmMovie.h"

namespace velm {

class CVelmDoc;
class OffscreenRenderer;
class UiHooks;

struct MovieRequest {
    std::string path;
    int width = 0, height = 0;
    int rate = 15;   // frames per second
    int depth = 24;  // bits per pixel: 16, 24 or 32
    std::string codec = kUncompressedCodec;
    // Document frames start..stop (from 1); stop < 0: up to the last frame.
    int start = 1, stop = -1;
    bool updateSurfaceEveryStep = false;
};

inline constexpr int kMaxMovieRate = 120;

// The request's problem in the dialog's words ("Please enter a valid step
// range!", "Please enter a frame rate between 1 and 120", "Please enter a
// valid width", ... "Please enter a file name"), or empty when it can be
// recorded from a document of `frames` trajectory frames.
std::string MovieRequestProblem(const MovieRequest& request, int frames);

struct RecordedMovie {
    int frames = 0;            // 0: the codec choice, or the recording, was cancelled
    bool cancelled = false;    // stopped from the progress bar; the file at the path is as it was
    int width = 0, height = 0;  // as recorded (see VelmMovie::Open)
};

// Checks the request, then sets the document to each frame from start to
// stop and records it, with a progress bar "Recording WxH" of the size
// recorded, which the user may cancel (ui.ProgressCancelled after each
// frame). The movie replaces the file at the path only when complete.
// Throws VelmError: the check's message, or "Unable to create movie! "
// followed by what failed. The document is left on the last frame recorded.
RecordedMovie RecordMovie(OffscreenRenderer& renderer, CVelmDoc& document, const MovieRequest& request, UiHooks& ui);

}  // namespace velm
