#!/usr/bin/python3
"""The whole load as a user waits for it: `velm -batch FILE` from start to
exit, with bonds and without (-no_connect), on both cores and on one
(affinity to one CPU, which the loading code reads as its thread count),
beside gemmi.read_structure of the same file timed inside this process (so
its Python start-up is never counted), in the same rounds.

    /usr/bin/python3 process_load_bench.py VELM [--repeat N] [--other VELM2] [--pause S] FILE...

Rounds alternate the programs, each round beginning with another run; each
figure is the best of N (with --pause, the median), wall clock and CPU time
(user + system, all threads: on a busy machine the steadier one). Peak is
the program's maximum resident size (/usr/bin/time, in a run of its own, so
that the start of /usr/bin/time is not timed) over its atoms.
"""
import argparse
import os
import resource
import statistics
import subprocess
import time

import gemmi


PEAK = f"/tmp/process_load_bench.{os.getpid()}"


def run(cmd, one_cpu=False, peak=False, pause=0):
    # Timed runs start the program straight from here; its peak is taken in a
    # run of its own under /usr/bin/time, which reports the program alone (a
    # child forked from this interpreter would start from its size) but whose
    # own start would count in the time. taskset pins it to one CPU.
    if one_cpu:
        cmd = ["taskset", "-c", str(min(os.sched_getaffinity(0)))] + cmd
    if peak:
        cmd = ["/usr/bin/time", "-f", "%M", "-o", PEAK] + cmd
    if pause:
        time.sleep(pause)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    status = subprocess.call(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    seconds = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if status != 0:
        raise SystemExit(f"{' '.join(cmd)} failed ({status})")
    cpu = after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime
    if not peak:
        return seconds, cpu, 0
    with open(PEAK) as f:
        return seconds, cpu, int(f.read().split()[-1]) * 1024


def gemmi_read(path):
    start, cpu = time.perf_counter(), time.process_time()
    st = gemmi.read_structure(path)
    seconds, cpu = time.perf_counter() - start, time.process_time() - cpu
    atoms = sum(model.count_atom_sites() for model in st)
    del st
    return seconds, cpu, atoms


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("velm")
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("--other", help="a second velm build, timed in the same rounds")
    parser.add_argument("--pause", type=float, default=0,
                        help="seconds of rest before each timed run: a load after a pause, as a user "
                             "opening one file meets it (a virtual machine may have handed free memory "
                             "back to its host meanwhile)")
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    builds = [("", args.velm)] + ([("other ", args.other)] if args.other else [])
    # After a rest a run may meet a slow first touch of its memory or not:
    # the median says what a user waits for, the best only what is possible.
    pick, how = (statistics.median, "median") if args.pause else (min, "best")
    print(f"# gemmi {gemmi.__version__}; {how} of {args.repeat}; {len(os.sched_getaffinity(0))} CPUs; "
          f"{f'{args.pause:g} s pause before each run; ' if args.pause else ''}"
          f"load average {os.getloadavg()[0]:.2f}")
    for path in args.files:
        kinds = {}  # kind: (wall times, CPU times, peak)
        atoms = 0
        runs = [(label + kind, cmd, one)
                for label, velm in builds
                for kind, cmd, one in (("no_connect", [velm, "-batch", "-no_connect", path], False),
                                       ("full", [velm, "-batch", path], False),
                                       ("full 1 thread", [velm, "-batch", path], True))]
        for kind, _, _ in runs:
            kinds[kind] = ([], [], 0)
        for r in range(max(1, args.repeat)):
            # Each round begins with another run: the first after gemmi's read
            # meets the memory that read gave back, which a virtual machine
            # may have handed to its host, and would be slow in every round.
            k = r % len(runs)
            for kind, cmd, one in runs[k:] + runs[:k]:
                s, cpu, _ = run(cmd, one, pause=args.pause)
                peak = run(cmd, one, peak=True)[2] if r == 0 else 0
                walls, cpus, most = kinds[kind]
                kinds[kind] = (walls + [s], cpus + [cpu], max(most, peak))
            if args.pause:
                time.sleep(args.pause)
            s, cpu, atoms = gemmi_read(path)
            walls, cpus, _ = kinds.get("gemmi", ([], [], 0))
            kinds["gemmi"] = (walls + [s], cpus + [cpu], 0)
        g, gc = pick(kinds["gemmi"][0]), pick(kinds["gemmi"][1])
        print(f"{os.path.basename(path)}: {atoms} atoms, gemmi read {g:.4f} s wall, {gc:.4f} s CPU")
        for kind, (walls, cpus, peak) in kinds.items():
            if kind == "gemmi":
                continue
            s, cpu = pick(walls), pick(cpus)
            print(f"  {kind:22s} {s:8.4f} s {s / g:6.2f} x gemmi | CPU {cpu:8.4f} s {cpu / gc:6.2f} x | "
                  f"peak {peak / atoms:5.0f} B/atom", flush=True)

if __name__ == "__main__":
    main()
