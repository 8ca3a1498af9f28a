// The picture module, velm_picture.so: batch mode with its drawing (pictures,
// picks, surfaces, movies), opened by the program only for a run that draws,
// so that a run that loads, measures or saves starts without mapping the GL,
// EGL, font and image libraries. Nothing crosses the boundary but the
// arguments, the two streams and the exit status.
#include "batch/Batch.h"

extern "C" __attribute__((visibility("default"))) int VelmRunPictureBatch(const std::vector<std::string>* args,
                                                                          std::FILE* out, std::FILE* err) {
    return velm::RunBatch(*args, out, err, true);  // the program ends right after
}
