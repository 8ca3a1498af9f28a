#!/usr/bin/python3
"""Reference for the trajectory benchmarks: MDAnalysis iterating the same
trajectory (DCD or XTC), or opening it to its frame count.

    /usr/bin/python3 mdanalysis_reference.py [--repeat N] TOPOLOGY TRAJECTORY
    /usr/bin/python3 mdanalysis_reference.py --open [--repeat N] TRAJECTORY

Prints tab-separated lines:
    mdanalysis  pass  frames  best_seconds  MB/s  frames/s
    mdanalysis  copy  frames  best_seconds  MB/s  frames/s
"pass" only iterates (MDAnalysis 2.x reads each DCD step into new arrays
and drops the last step's); "copy" also keeps ts.positions.copy() of every
frame, the work of a reader that keeps all frames in memory. Best-of-N wall time, in-process, file in the page cache;
building the Universe is not timed.
With --open: "mdanalysis  open  frames  best_seconds", the reader made and
asked for n_frames; an XTC reader rebuilds its frame offsets
(refresh_offsets=True) instead of loading the ones it cached beside the file.
"""
import argparse
import os
import time
import warnings

# MDAnalysis turns its deprecation notices on while it is imported, so a
# filter set beforehand does not hold; they say nothing about speed and are
# dropped during the import, and filtered after it.
with warnings.catch_warnings():
    warnings.showwarning = lambda *args, **kwargs: None
    import MDAnalysis  # noqa: E402
warnings.simplefilter("ignore")


def best(repeat, body):
    seconds = float("inf")
    frames = 0
    for _ in range(repeat):
        start = time.perf_counter()
        kept = body()
        seconds = min(seconds, time.perf_counter() - start)
        frames = kept if isinstance(kept, int) else len(kept)
        del kept  # freed outside the timed span, like the C++ side
    return seconds, frames


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--open", action="store_true")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    repeat = max(1, args.repeat)
    if args.open:
        path = args.files[0]
        if path.endswith(".xtc"):
            make = lambda: MDAnalysis.coordinates.XTC.XTCReader(path, refresh_offsets=True)
        else:
            make = lambda: MDAnalysis.coordinates.DCD.DCDReader(path)
        seconds, frames = best(repeat, lambda: make().n_frames)
        print(f"mdanalysis\topen\t{frames}\t{seconds:.4f}", flush=True)
        return
    args.topology, args.dcd = args.files[:2]
    u = MDAnalysis.Universe(args.topology, args.dcd)

    def iterate():
        for ts in u.trajectory:
            pass
        return u.trajectory.n_frames

    def keep():
        return [ts.positions.copy() for ts in u.trajectory]

    megabytes = os.path.getsize(args.dcd) / 1e6
    print(f"# MDAnalysis {MDAnalysis.__version__}: {u.atoms.n_atoms} atoms, best of {repeat}")
    for label, body in (("pass", iterate), ("copy", keep)):
        seconds, frames = best(repeat, body)
        print(f"mdanalysis\t{label}\t{frames}\t{seconds:.4f}\t{megabytes / seconds:.1f}\t{frames / seconds:.1f}",
              flush=True)


if __name__ == "__main__":
    main()
