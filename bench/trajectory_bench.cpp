// Trajectory sources: a full pass (every frame decoded once, into one
// buffer) over a 50,293-atom trajectory as DCD and as XTC beside MDAnalysis
// iterating the same files in the same run, and the time from opening a
// 1 GB DCD and a 1 GB XTC file to knowing its frame count.
//
//   trajectory_bench [--dir DIR] [--repeat N] [--no-mdanalysis]
//       reads DIR/dcd_50k.pdb, DIR/dcd_50k_500.dcd (make_large_dcd) and
//       DIR/xtc_50k_500.xtc (MDAnalysis's XTC writer, run-trajectory-bench),
//       writes DIR/dcd_50k_1g.dcd and DIR/xtc_50k_1g.xtc once from them and
//       prints one table
//   trajectory_bench --time pass|open|cold FILE [--repeat N]
//       one measurement as key=value pairs on one line; "cold" opens the file
//       with its pages dropped from the page cache before every round
//   trajectory_bench --time first|play FILE [--dir DIR] [--repeat N]
//       through the document, frames on demand: "first" from
//       ReadTrajectoryIntoPrimary to the first frame shown; "play" the
//       frames per second of stepping through every frame (decode + centre,
//       read-ahead on the worker) with the budget at half the trajectory, and
//       the resident set sampled at every frame
//
// Times are best-of-N wall times in fresh processes, files in the page cache
// unless "cold".
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/MakeDocument.h"
#include "core/VelmError.h"
#include "model/FrameStream.h"
#include "model/TrajectorySource.h"
#include "model/VelmDoc.h"

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using namespace velm::bench;
struct Paths {
    fs::path dir = "/tmp/velm-bench";
    std::string Topology() const { return (dir / "dcd_50k.pdb").string(); }
    std::string Dcd() const { return (dir / "dcd_50k_500.dcd").string(); }
    std::string Xtc() const { return (dir / "xtc_50k_500.xtc").string(); }
    std::string BigDcd() const { return (dir / "dcd_50k_1g.dcd").string(); }
    std::string BigXtc() const { return (dir / "xtc_50k_1g.xtc").string(); }
};

constexpr std::uintmax_t kGigabyte = 1000000000;

// Drops the file's pages from the page cache, so that the next read comes
// from the disk.
void DropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

void Warm(const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) return;
    std::vector<char> buf(1 << 20);
    while (std::fread(buf.data(), 1, buf.size(), in) == buf.size()) {
    }
    std::fclose(in);
}

// Every frame once, in order, into one buffer: what playing the whole
// trajectory costs the reader.
Figures TimePass(const std::string& path, int repeat) {
    Figures f;
    std::vector<float> xyz;
    double check = 0;
    f["seconds"] = Best(repeat, [&] {
        auto s = velm::OpenTrajectorySource(path);
        xyz.resize(3 * static_cast<size_t>(s->AtomCount()));
        for (int k = 0; k < s->FrameCount(); ++k) {
            s->ReadFrame(k, xyz.data());
            check += xyz[0];
        }
        f["frames"] = s->FrameCount();
        f["atoms"] = s->AtomCount();
    });
    f["check"] = check;
    return f;
}

Figures TimeOpen(const std::string& path, int repeat, bool cold) {
    Figures f;
    f["seconds"] = Best(
        repeat,
        [&] {
            auto s = velm::OpenTrajectorySource(path);
            f["frames"] = s->FrameCount();
            f["atoms"] = s->AtomCount();
        },
        [&] {
            if (cold) DropFromCache(path);
        });
    return f;
}

long ResidentKb() {
    std::FILE* in = std::fopen("/proc/self/status", "r");
    long kb = -1;
    char line[256];
    while (in && std::fgets(line, sizeof line, in))
        if (std::sscanf(line, "VmRSS: %ld", &kb) == 1) break;
    if (in) std::fclose(in);
    return kb;
}

// The document with the topology loaded (bonds and secondary structure off:
// they are not what is timed).
std::unique_ptr<velm::CVelmDoc> Document(velm::UiHooks& ui, const Paths& p) {
    auto doc = velm::MakeDocument(ui);
    doc->options.computeConnectivity = 0;
    doc->options.computeSecondaryStructure = 0;
    if (!doc->AddMoleculeFromFile(p.Topology())) throw std::runtime_error("cannot load " + p.Topology());
    return doc;
}

// Opening a trajectory on demand until its first frame is shown.
Figures TimeFirstFrame(const Paths& p, const std::string& path, int repeat) {
    velm::SilentUiHooks ui;
    auto doc = Document(ui, p);
    doc->options.framesOnDemand = true;
    Figures f;
    f["seconds"] = Best(repeat, [&] {
        doc->ReadTrajectoryIntoPrimary(path, velm::Verbatim);
        doc->SetFrame(1);
    });
    f["frames"] = doc->Primary()->FrameCount();
    f["atoms"] = doc->Primary()->AtomCount();
    return f;
}

// Playback on demand with the centre of mass removed from every frame: the
// budget at half the frames' size, so that the budget, not a switch, leaves
// them in the file.
Figures TimePlay(const Paths& p, const std::string& path) {
    velm::SilentUiHooks ui;
    auto doc = Document(ui, p);
    const long structureKb = ResidentKb();
    auto source = velm::OpenTrajectorySource(path);
    const double frameBytes = 12.0 * source->AtomCount();
    const double framesMb = frameBytes * source->FrameCount() / (1 << 20);
    source.reset();
    doc->options.trajectoryMemory = static_cast<int>(framesMb / 2);
    doc->ReadTrajectoryIntoPrimary(path, velm::ZeroCenterOfMass);
    if (!doc->Primary()->frames.OnDemand()) throw std::runtime_error("the frames were read whole");
    const int frames = doc->Primary()->FrameCount();
    long most = 0;
    const double start = Now();
    for (int k = 0; k < frames; ++k) {
        doc->Step(0);
        most = std::max(most, ResidentKb());
    }
    const double seconds = Now() - start;
    Figures f;
    f["seconds"] = seconds;
    f["fps"] = frames / seconds;
    f["frames"] = frames;
    f["budgetMb"] = doc->options.trajectoryMemory;
    f["framesMb"] = framesMb;
    f["cacheFrames"] = doc->Primary()->frames.Stream()->CacheFrames();
    f["structureKb"] = structureKb;
    f["peakKb"] = most;
    return f;
}

Figures InChild(const std::string& kind, const std::string& file, int repeat, const fs::path& dir = "/tmp/velm-bench") {
    std::printf("measuring %s %s\n", kind.c_str(), fs::path(file).filename().c_str());
    std::fflush(stdout);
    std::istringstream words(
        Capture(Self() + " --time " + kind + " " + Quote(file) + " --repeat " + std::to_string(repeat) + " --dir " +
                Quote(dir.string())));
    Figures f;
    for (std::string w; words >> w;)
        if (const size_t eq = w.find('='); eq != std::string::npos) f[w.substr(0, eq)] = std::atof(w.c_str() + eq + 1);
    if (!f.count("seconds")) throw std::runtime_error("no figures for " + kind + " " + file);
    return f;
}

// MDAnalysis's lines read "mdanalysis <tab> label <tab> frames <tab> seconds ...".
Figures MdAnalysis(const std::string& arguments, const std::string& prefix) {
    const std::string out = Capture("/usr/bin/python3 " + Quote(VELM_BENCH_DIR "/mdanalysis_reference.py") + " " +
                                    arguments);
    Figures f;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        char label[16] = {};
        long frames = 0;
        double seconds = 0;
        if (std::sscanf(line.c_str(), "mdanalysis\t%15[a-z]\t%ld\t%lf", label, &frames, &seconds) == 3) {
            f[prefix + label] = seconds;
            f[prefix + label + "Frames"] = static_cast<double>(frames);
        } else if (line.rfind("# MDAnalysis ", 0) == 0 && prefix == "dcd.") {
            std::printf("%s\n", line.c_str() + 2);
        }
    }
    return f;
}

// A DCD file of about 1 GB: the header of the 500-step file with a larger step
// count, then its steps over and over.
void MakeBigDcd(const Paths& p) {
    if (fs::exists(p.BigDcd())) return;
    const std::string dcd = p.Dcd();
    auto source = velm::OpenTrajectorySource(dcd);
    const auto size = static_cast<std::int64_t>(fs::file_size(dcd));
    const int steps = source->FrameCount();
    std::FILE* in = std::fopen(dcd.c_str(), "rb");
    std::vector<char> bytes(static_cast<size_t>(size));
    if (!in || std::fread(bytes.data(), 1, bytes.size(), in) != bytes.size())
        throw std::runtime_error("cannot read " + dcd);
    std::fclose(in);
    std::int32_t title = 0;
    std::memcpy(&title, bytes.data() + 92, 4);
    const std::int64_t first = 4 + 84 + 4 + 4 + title + 4 + 12;
    const std::int64_t stepBytes = (size - first) / steps;
    const auto total = static_cast<std::int32_t>((kGigabyte - first) / stepBytes + 1);
    std::memcpy(bytes.data() + 8, &total, 4);   // steps
    std::memcpy(bytes.data() + 20, &total, 4);  // steps of the run
    const std::string partial = p.BigDcd() + ".partial";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    bool ok = out && std::fwrite(bytes.data(), 1, static_cast<size_t>(first), out) == static_cast<size_t>(first);
    for (std::int32_t s = 0; ok && s < total; ++s)
        ok = std::fwrite(bytes.data() + first + (s % steps) * stepBytes, 1, static_cast<size_t>(stepBytes), out) ==
             static_cast<size_t>(stepBytes);
    if (!out || std::fclose(out) != 0 || !ok) throw std::runtime_error("cannot write " + partial);
    fs::rename(partial, p.BigDcd());
    std::printf("wrote %s: %d steps, %.1f MB\n", p.BigDcd().c_str(), total, fs::file_size(p.BigDcd()) / 1e6);
}

// An XTC file of about 1 GB: copies of the 500-frame file one after the
// other, which is itself an XTC file (frames carry everything they need).
void MakeBigXtc(const Paths& p) {
    if (fs::exists(p.BigXtc())) return;
    const std::uintmax_t size = fs::file_size(p.Xtc());
    std::FILE* in = std::fopen(p.Xtc().c_str(), "rb");
    std::vector<char> bytes(size);
    if (!in || std::fread(bytes.data(), 1, size, in) != size) throw std::runtime_error("cannot read " + p.Xtc());
    std::fclose(in);
    const std::string partial = p.BigXtc() + ".partial";
    std::FILE* out = std::fopen(partial.c_str(), "wb");
    bool ok = out != nullptr;
    int copies = 0;
    for (std::uintmax_t written = 0; ok && written < kGigabyte; written += size, ++copies)
        ok = std::fwrite(bytes.data(), 1, size, out) == size;
    if (!out || std::fclose(out) != 0 || !ok) throw std::runtime_error("cannot write " + partial);
    fs::rename(partial, p.BigXtc());
    std::printf("wrote %s: %d copies of %s, %.1f MB\n", p.BigXtc().c_str(), copies, p.Xtc().c_str(),
                fs::file_size(p.BigXtc()) / 1e6);
}

void Row(const char* label, double seconds, double frames, double megabytes, double reference) {
    std::printf("%-44s %9.4f %9.1f %9.1f", label, seconds, frames / seconds, megabytes / seconds);
    if (reference > 0) std::printf("   %5.2fx", reference / seconds);
    std::printf("\n");
}

int Run(const Paths& p, int repeat, bool mdanalysis) {
    for (const std::string& f : {p.Topology(), p.Dcd(), p.Xtc()})
        if (!fs::exists(f)) {
            std::fprintf(stderr, "trajectory_bench: %s is missing: run bench/run-trajectory-bench\n", f.c_str());
            return 1;
        }
    MakeBigDcd(p);
    MakeBigXtc(p);
    std::printf("build %s, best of %d, %ld cores, %s\n", VELM_BUILD_TYPE, repeat, sysconf(_SC_NPROCESSORS_ONLN),
                CpuName().c_str());
    for (const std::string& f : {p.Dcd(), p.Xtc(), p.BigDcd(), p.BigXtc()}) Warm(f);

    const Figures dcd = InChild("pass", p.Dcd(), repeat), xtc = InChild("pass", p.Xtc(), repeat);
    const Figures openDcd = InChild("open", p.BigDcd(), repeat), openXtc = InChild("open", p.BigXtc(), repeat);
    const Figures coldDcd = InChild("cold", p.BigDcd(), repeat), coldXtc = InChild("cold", p.BigXtc(), repeat);
    const Figures firstDcd = InChild("first", p.BigDcd(), repeat, p.dir), firstXtc = InChild("first", p.BigXtc(), repeat, p.dir);
    const Figures playDcd = InChild("play", p.Dcd(), 1, p.dir), playXtc = InChild("play", p.Xtc(), 1, p.dir);
    Figures mda;
    if (mdanalysis) {
        std::printf("measuring MDAnalysis\n");
        std::fflush(stdout);
        const std::string r = " --repeat " + std::to_string(repeat) + " ";
        for (const auto& [prefix, file] : {std::pair{"dcd.", p.Dcd()}, {"xtc.", p.Xtc()}})
            for (const auto& [k, v] : MdAnalysis(r + Quote(p.Topology()) + " " + Quote(file), prefix)) mda[k] = v;
        for (const auto& [prefix, file] : {std::pair{"bigdcd.", p.BigDcd()}, {"bigxtc.", p.BigXtc()}})
            for (const auto& [k, v] : MdAnalysis("--open" + r + Quote(file), prefix)) mda[k] = v;
        for (const char* key : {"dcd.pass", "xtc.pass", "bigdcd.open", "bigxtc.open"})
            if (!mda.count(key)) std::fprintf(stderr, "trajectory_bench: no MDAnalysis figure %s\n", key);
    }
    auto ref = [&](const std::string& key) { return mda.count(key) ? mda.at(key) : 0.0; };
    auto mb = [](const std::string& f) { return static_cast<double>(fs::file_size(f)) / 1e6; };

    std::printf("\n(a) full pass, %.0f atoms: every frame decoded once into one buffer\n", dcd.at("atoms"));
    std::printf("%-44s %9s %9s %9s   %s\n", "", "s", "frames/s", "MB/s", "speed vs MDAnalysis");
    Row("DCD, TrajectorySource", dcd.at("seconds"), dcd.at("frames"), mb(p.Dcd()), ref("dcd.pass"));
    if (mda.count("dcd.pass")) Row("DCD, MDAnalysis for ts in u.trajectory", ref("dcd.pass"), dcd.at("frames"), mb(p.Dcd()), 0);
    Row("XTC, TrajectorySource", xtc.at("seconds"), xtc.at("frames"), mb(p.Xtc()), ref("xtc.pass"));
    if (mda.count("xtc.pass")) Row("XTC, MDAnalysis for ts in u.trajectory", ref("xtc.pass"), xtc.at("frames"), mb(p.Xtc()), 0);
    std::printf("  goals: DCD >= 1.50x MDAnalysis, XTC >= 1.00x MDAnalysis, decoding >= 60 frames/s\n");

    std::printf("\n(b) open to frame count, 1 GB files\n");
    std::printf("%-44s %9s %9s\n", "", "s", "frames");
    const struct { const char* label; const Figures& f; } opens[] = {
        {"DCD, page cache (frames from the size)", openDcd}, {"DCD, dropped from the cache", coldDcd},
        {"XTC, page cache (index of frame headers)", openXtc}, {"XTC, dropped from the cache", coldXtc}};
    for (const auto& o : opens) std::printf("%-44s %9.4f %9.0f\n", o.label, o.f.at("seconds"), o.f.at("frames"));
    if (mda.count("bigdcd.open"))
        std::printf("%-44s %9.4f %9.0f\n", "DCD, MDAnalysis DCDReader(path).n_frames", ref("bigdcd.open"), ref("bigdcd.openFrames"));
    if (mda.count("bigxtc.open"))
        std::printf("%-44s %9.4f %9.0f\n", "XTC, MDAnalysis XTCReader(refresh_offsets)", ref("bigxtc.open"), ref("bigxtc.openFrames"));
    std::printf("  %s %.1f MB, %s %.1f MB; goal: under 0.2 s\n", fs::path(p.BigDcd()).filename().c_str(), mb(p.BigDcd()),
                fs::path(p.BigXtc()).filename().c_str(), mb(p.BigXtc()));

    std::printf("\n(c) document, frames on demand: ReadTrajectoryIntoPrimary + SetFrame(1), 1 GB files, page cache\n");
    std::printf("%-44s %9.4f %9.0f\n", "DCD open to first frame", firstDcd.at("seconds"), firstDcd.at("frames"));
    std::printf("%-44s %9.4f %9.0f\n", "XTC open to first frame", firstXtc.at("seconds"), firstXtc.at("frames"));
    std::printf("  goal: under 0.2 s\n");

    std::printf("\n(d) playback on demand, %.0f atoms, centre of mass removed per frame, budget half the frames\n",
                dcd.at("atoms"));
    std::printf("%-12s %9s %9s %10s %10s %7s %12s %12s %12s\n", "", "frames", "frames/s", "frames MB", "budget MB",
                "cache", "structure MB", "peak MB", "above MB");
    for (const auto& [label, f] : {std::pair<const char*, const Figures&>{"DCD", playDcd}, {"XTC", playXtc}})
        std::printf("%-12s %9.0f %9.1f %10.1f %10.0f %7.0f %12.1f %12.1f %12.1f\n", label, f.at("frames"), f.at("fps"),
                    f.at("framesMb"), f.at("budgetMb"), f.at("cacheFrames"), f.at("structureKb") / 1024,
                    f.at("peakKb") / 1024, (f.at("peakKb") - f.at("structureKb")) / 1024);
    std::printf("  goals: at least 60 frames/s; peak within the structure plus the budget\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Paths paths;
    std::string kind, file;
    int repeat = 5;
    bool mdanalysis = true;
    try {
        for (int i = 1; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--time" && i + 2 < argc) {
                kind = argv[++i];
                file = argv[++i];
            } else if (a == "--dir" && i + 1 < argc) {
                paths.dir = argv[++i];
            } else if (a == "--repeat" && i + 1 < argc) {
                repeat = std::max(1, std::atoi(argv[++i]));
            } else if (a == "--no-mdanalysis") {
                mdanalysis = false;
            } else {
                std::fprintf(stderr, "usage: trajectory_bench [--dir DIR] [--repeat N] [--no-mdanalysis]\n"
                                     "       trajectory_bench --time pass|open|cold|first|play FILE [--dir DIR] [--repeat N]\n");
                return 2;
            }
        }
        if (kind == "pass") Print(TimePass(file, repeat));
        else if (kind == "first") Print(TimeFirstFrame(paths, file, repeat));
        else if (kind == "play") Print(TimePlay(paths, file));
        else if (kind == "open" || kind == "cold") Print(TimeOpen(file, repeat, kind == "cold"));
        else if (!kind.empty()) throw std::runtime_error("unknown --time " + kind);
        else return Run(paths, repeat, mdanalysis);
        return 0;
    } catch (const velm::VelmError& e) {
        std::fprintf(stderr, "trajectory_bench: %s\n", e.text().c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trajectory_bench: %s\n", e.what());
    }
    return 1;
}
