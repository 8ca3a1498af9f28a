#include "model/Trajectory.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "core/VelmError.h"
#include "model/FrameStream.h"
#include "model/Molecule.h"

namespace velm {

OpenTrajectory ReadTrajectoryHeader(Molecule& mol, const std::string& path, FileType type) {
    if (type == ByExtension) type = FileTypeFromPath(path);
    if (type == PtfType) throw VelmError("PTF files are not currently supported!");
    mol.frames.Clear();
    mol.frameCentres.clear();
    mol.currentFrame = 0;
    // Whatever the name says: the content tells DCD, XTC and TRR apart.
    OpenTrajectory t;
    t.source = OpenTrajectorySource(path);
    // Cut inside the first frame: the header's claims are not worth checking.
    if (t.source->FrameCount() == 0 && !t.source->Notice().empty()) throw VelmError("Unexpected end of file!");
    CheckAtomCount(*t.source, mol.AtomCount());
    return t;
}

bool ReadTrajectorySteps(Molecule& mol, OpenTrajectory& t, UiHooks& ui) {
    TrajectorySource& source = *t.source;
    int k = 0;
    return ReadStepsOnWorker(mol, source.FrameCount(), [&source, &k](float* xyz) { source.ReadFrame(k++, xyz); }, ui);
}

void StreamTrajectorySteps(Molecule& mol, OpenTrajectory& t, int cacheFrames) {
    mol.frames.SetStream(std::make_shared<FrameStream>(std::move(t.source), cacheFrames));
}

namespace {
// "... in frame 5; the 4 frames before it are read" for an error that names
// its frame, or the same with the frame added.
std::string StoppedAt(const std::string& error, int read) {
    if (error.find(" in frame ") == std::string::npos) {
        std::string reason = error;
        while (!reason.empty() && reason.back() == '!') reason.pop_back();
        return FramesStopNotice(reason, read);
    }
    return error + (read == 1 ? "; the frame before it is read" : "; the " + std::to_string(read) + " frames before it are read");
}
}  // namespace

bool ReadStepsOnWorker(Molecule& mol, int steps, const std::function<void(float*)>& readStep, UiHooks& ui) {
    const size_t atoms = mol.atoms.size();
    // The worker fills a list of its own; the molecule gets it only after the
    // worker has joined, so this thread may draw, animate or answer "Cancel"
    // meanwhile. The two threads share only these atomics.
    list<Frame> frames;
    std::atomic<bool> keepGoing{true};
    std::atomic<int> read{0};
    bool finished = false;  // under `lock`: wakes this thread at once
    std::mutex lock;
    std::condition_variable done;
    std::exception_ptr error;

    ui.ProgressBegin("Reading Trajectory", steps);
    {
        std::jthread worker([&] {
            try {
                while (keepGoing.load() && read.load() < steps) {
                    Frame frame(atoms);
                    readStep(frame.xyz.data());
                    frames.Append(std::move(frame));
                    read.fetch_add(1);
                }
            } catch (const std::bad_alloc&) {
                error = std::make_exception_ptr(VelmError("Out of memory"));
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard<std::mutex> guard(lock);
            finished = true;
            done.notify_one();
        });
        int shown = -1;
        for (;;) {
            if (const int r = read.load(); r != shown) ui.ProgressSet(shown = r);
            if (ui.ProgressCancelled()) keepGoing.store(false);
            std::unique_lock<std::mutex> wait(lock);
            if (done.wait_for(wait, std::chrono::milliseconds(10), [&] { return finished; })) break;
        }
    }  // joined
    ui.ProgressSet(read.load());
    ui.ProgressEnd();
    if (!keepGoing.load()) return false;
    if (error) {
        // The frames before a damaged one are worth showing; with none there
        // is nothing to show.
        const int kept = read.load();
        std::string text;
        try {
            std::rethrow_exception(error);
        } catch (const VelmError& e) {
            if (kept == 0 || e.text() == "Out of memory") throw;
            text = StoppedAt(e.text(), kept);
        }
        mol.frames = std::move(frames);
        ui.Message(text);
        return true;
    }
    mol.frames = std::move(frames);
    return true;
}

}  // namespace velm
