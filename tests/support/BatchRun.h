#pragma once
// Batch mode run in-process, with what it printed on stdout and stderr.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "batch/Batch.h"

namespace velm::test {

struct BatchRun {
    int status = -1;
    std::string out, err;
};

inline BatchRun RunVelm(const std::vector<std::string>& args) {
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    BatchRun r;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    r.status = RunBatch(args, out, err);
    for (auto [f, s] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
        std::rewind(f);
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s->append(buf, n);
        std::fclose(f);
    }
    return r;
}

}  // namespace velm::test
