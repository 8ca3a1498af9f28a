#include "dialogs/MovieForm.h"

#include "core/UiHooks.h"
#include "core/VelmError.h"
#include "model/VelmDoc.h"

namespace velm {

namespace {
int TrajectoryFrames(const CVelmDoc& doc) { return doc.AnimationFrames() - 1; }
}  // namespace

MovieForm MovieForm::For(const CVelmDoc& doc, int viewWidth, int viewHeight) {
    MovieForm f;
    f.width = viewWidth;
    f.height = viewHeight;
    f.stop = TrajectoryFrames(doc);
    return f;
}

MovieRequest MovieForm::Request(const std::string& codec) const {
    MovieRequest r;
    r.path = path;
    r.width = width;
    r.height = height;
    r.rate = rate;
    r.depth = depth;
    r.codec = codec;
    r.start = entire ? 1 : start;
    r.stop = entire ? -1 : stop;
    r.updateSurfaceEveryStep = updateSurface;
    return r;
}

std::string MovieForm::Problem(const CVelmDoc& doc) const {
    return MovieRequestProblem(Request(kUncompressedCodec), TrajectoryFrames(doc));
}

MovieForm::Outcome MovieForm::Record(OffscreenRenderer& renderer, CVelmDoc& doc, const std::string& codec,
                                     UiHooks& ui) const {
    if (const std::string problem = Problem(doc); !problem.empty()) {
        ui.Message(problem);
        return Outcome::Refused;
    }
    if (codec.empty()) return Outcome::Cancelled;
    try {
        const RecordedMovie recorded = RecordMovie(renderer, doc, Request(codec), ui);
        if (recorded.frames == 0) return Outcome::Cancelled;
    } catch (const VelmError& e) {
        ui.Message(e.shownText());
        return Outcome::Failed;
    }
    ui.Message(kDone);
    return Outcome::Recorded;
}

}  // namespace velm
