#!/usr/bin/python3
"""Reference for the loading benchmark: gemmi.read_structure on the same files.

    /usr/bin/python3 gemmi_reference.py [--repeat N] FILE...

Prints one tab-separated line per file:
    gemmi  path  atoms  best_seconds  MB/s  atoms/s
Best-of-N wall time, in-process, file in the page cache, as the C++ side does.
"""
import argparse
import os
import time

import gemmi


def best_read_time(path, repeat):
    best = float("inf")
    atoms = 0
    for _ in range(repeat):
        start = time.perf_counter()
        st = gemmi.read_structure(path)
        best = min(best, time.perf_counter() - start)
        atoms = sum(model.count_atom_sites() for model in st)
        del st  # freed outside the timed span, like the C++ side
    return best, atoms


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--repeat", type=int, default=5)
    parser.add_argument("files", nargs="+")
    args = parser.parse_args()
    print(f"# gemmi {gemmi.__version__}: file, atoms, best of {args.repeat} s, MB/s, atoms/s")
    for path in args.files:
        seconds, atoms = best_read_time(path, max(1, args.repeat))
        megabytes = os.path.getsize(path) / 1e6
        print(f"gemmi\t{path}\t{atoms}\t{seconds:.4f}\t{megabytes / seconds:.1f}\t{atoms / seconds:.0f}", flush=True)


if __name__ == "__main__":
    main()
