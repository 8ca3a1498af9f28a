#!/usr/bin/python3
"""The whole load as a user waits for it: `velm -batch FILE` from start to
exit, with bonds and without (-no_connect), on both cores and on one
(affinity to one CPU, which the loading code reads as its thread count),
beside gemmi.read_structure of the same file timed inside this process (so
its Python start-up is never counted), in the same rounds.

    /usr/bin/python3 process_load_bench.py VELM [--repeat N] [--other VELM2] FILE...

Rounds alternate the programs; each figure is the best of N. Peak is the
child's maximum resident size (wait4) over its atoms.
"""
import argparse
import os
import subprocess
import time

import gemmi


def run(cmd, one_cpu=False):
    start = time.perf_counter()
    p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         preexec_fn=(lambda: os.sched_setaffinity(0, {min(os.sched_getaffinity(0))}))
                         if one_cpu else None)
    _, status, usage = os.wait4(p.pid, 0)
    seconds = time.perf_counter() - start
    if status != 0:
        raise SystemExit(f"{' '.join(cmd)} failed ({status})")
    return seconds, usage.ru_maxrss * 1024


def gemmi_read(path):
    start = time.perf_counter()
    st = gemmi.read_structure(path)
    seconds = time.perf_counter() - start
    atoms = sum(model.count_atom_sites() for model in st)
    del st
    return seconds, atoms


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("velm")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--other", help="a second velm build, timed in the same rounds")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    builds = [("", args.velm)] + ([("other ", args.other)] if args.other else [])
    print(f"# gemmi {gemmi.__version__}; best of {args.repeat}; {len(os.sched_getaffinity(0))} CPUs; "
          f"load average {os.getloadavg()[0]:.2f}")
    for path in args.files:
        kinds = {}
        atoms = 0
        for _ in range(max(1, args.repeat)):
            for label, velm in builds:
                for kind, cmd, one in ((label + "no_connect", [velm, "-batch", "-no_connect", path], False),
                                       (label + "full", [velm, "-batch", path], False),
                                       (label + "full 1 thread", [velm, "-batch", path], True)):
                    s, peak = run(cmd, one)
                    best = kinds.get(kind, (1e30, 0))
                    kinds[kind] = (min(best[0], s), max(best[1], peak))
            s, atoms = gemmi_read(path)
            kinds["gemmi"] = (min(kinds.get("gemmi", (1e30, 0))[0], s), 0)
        g = kinds["gemmi"][0]
        print(f"{os.path.basename(path)}: {atoms} atoms, gemmi read {g:.4f} s")
        for kind, (s, peak) in kinds.items():
            if kind == "gemmi":
                continue
            print(f"  {kind:24s} {s:8.4f} s  {s / g:6.2f} x gemmi  peak {peak / atoms:7.0f} B/atom", flush=True)


if __name__ == "__main__":
    main()
