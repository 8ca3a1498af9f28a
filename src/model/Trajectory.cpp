#include "model/Trajectory.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "core/VelmError.h"
#include "model/Molecule.h"

namespace velm {

OpenTrajectory ReadTrajectoryHeader(Molecule& mol, const std::string& path, FileType type) {
    if (type == ByExtension) type = FileTypeFromPath(path);
    if (type == PtfType) throw VelmError("PTF files are not currently supported!");
    if (type != DcdType) throw VelmError("Unknown file type!");
    mol.frames.Clear();
    mol.frameCentres.clear();
    mol.currentFrame = 0;
    OpenTrajectory t;
    t.file = std::make_unique<DcdFile>(path);
    if (!t.file->IsOpen()) throw VelmError("Can't open DCD file for reading!");
    t.header = t.file->ReadHeader();
    if (t.header.atoms != mol.AtomCount()) throw VelmError("Incorrect Number of atoms in DCD file!");
    if (t.header.width != 4 && t.header.width != 8) throw VelmError("Incompatible data size in DCD file!");
    return t;
}

bool ReadTrajectorySteps(Molecule& mol, OpenTrajectory& t, UiHooks& ui) {
    DcdFile& file = *t.file;
    return ReadStepsOnWorker(mol, t.header.steps, [&file](float* xyz) {
        if (!file.ReadStep(xyz)) throw VelmError(file.Message());
    }, ui);
}

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
    if (error) std::rethrow_exception(error);
    if (!keepGoing.load()) return false;
    mol.frames = std::move(frames);
    return true;
}

}  // namespace velm
