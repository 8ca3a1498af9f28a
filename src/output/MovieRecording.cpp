#include "output/MovieRecording.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"
#include "render/OffscreenRenderer.h"

namespace velm {

namespace {
int LastFrame(const MovieRequest& r, int frames) { return r.stop < 0 ? frames : r.stop; }
}  // namespace

std::string MovieRequestProblem(const MovieRequest& r, int frames) {
    const int stop = LastFrame(r, frames);
    if (r.start < 0 || stop < r.start || stop > frames) return "Please enter a valid step range!";
    if (r.rate < 1 || r.rate > kMaxMovieRate)
        return "Please enter a frame rate between 1 and " + std::to_string(kMaxMovieRate);
    if (r.width <= 0) return "Please enter a valid width";
    if (r.height <= 0) return "Please enter a valid height";
    if (r.path.empty()) return "Please enter a file name";
    return {};
}

RecordedMovie RecordMovie(OffscreenRenderer& renderer, CVelmDoc& doc, const MovieRequest& r, UiHooks& ui) {
    const int frames = doc.AnimationFrames() - 1;
    if (const std::string problem = MovieRequestProblem(r, frames); !problem.empty()) throw VelmError(problem);
    const int stop = LastFrame(r, frames);
    WaitCursor wait(ui);
    VelmMovie movie;
    RecordedMovie recorded;
    try {
        if (!movie.Open(r.path, r.width, r.height, r.rate, r.depth, &renderer, &doc.Molecules(),
                        r.updateSurfaceEveryStep, r.codec))
            return recorded;
        recorded.width = movie.Width();
        recorded.height = movie.Height();
        // The size recorded, which the encoder may have rounded.
        ui.ProgressBegin("Recording " + std::to_string(recorded.width) + "x" + std::to_string(recorded.height),
                         stop - r.start + 1);
        for (int k = r.start; k <= stop; ++k) {
            doc.SetFrame(k);
            movie.AddFrame();
            ui.ProgressStep();
            if (ui.ProgressCancelled()) {
                movie.Close();  // drops the unfinished file
                ui.ProgressEnd();
                recorded.cancelled = true;
                return recorded;
            }
        }
        ui.ProgressEnd();
        movie.Finish();
    } catch (const VelmError& e) {
        movie.Close();
        ui.ProgressEnd();
        throw VelmError("Unable to create movie! " + e.shownText());
    }
    recorded.frames = stop - r.start + 1;
    return recorded;
}

}  // namespace velm
