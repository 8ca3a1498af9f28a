#!/usr/bin/python3
"""Writes the XTC and TRR fixtures once, with MDAnalysis's writers and gmx
trjconv, from the DCD trajectories of the reference corpus, and records what
MDAnalysis reads from every fixture (the DCD ones too) in trajectories.json.

    /usr/bin/python3 tests/data/make_xtc_trr.py [CORPUS]   (CORPUS: ../shared/data)

Needs python3-mdanalysis and gromacs (Debian); the tests need neither.
"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore")
    import MDAnalysis as mda
    import numpy as np
    from MDAnalysis.coordinates.memory import MemoryReader
warnings.simplefilter("ignore")

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "..", "shared", "data")


def dcd(name, atoms):
    u = mda.Universe.empty(atoms, trajectory=True)
    u.load_new(os.path.join(CORPUS, "dcd", name + ".dcd"))
    return u


def write(path, group, frames, **options):
    with mda.Writer(path, group.n_atoms, **options) as w:
        for _ in frames:
            w.write(group)


def gmx(program, source, target, *options):
    # GMX_MAXBACKUP=-1: overwrite instead of keeping "#name.1#" backups
    subprocess.run([program, "-quiet", "trjconv", "-f", source, "-o", target, *options], check=True,
                   env=dict(os.environ, GMX_MAXBACKUP="-1"),
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make(tmp):
    out = lambda name: os.path.join(HERE, name)
    ubi = dcd("1ubi_20frames_le", 683)
    write(out("1ubi_mda.xtc"), ubi.atoms, ubi.trajectory)
    write(out("1ubi9_mda.xtc"), ubi.atoms[:9], ubi.trajectory)     # nine atoms: plain floats
    write(out("1ubi10_mda.xtc"), ubi.atoms[:10], ubi.trajectory)   # ten: the fewest compressed
    k39 = dcd("2k39_3frames_plugin", 167)
    # 10^7 grid points per nm: ranges beyond 2^24 points, sent one coordinate at a time
    write(out("2k39_p7_mda.xtc"), k39.atoms, k39.trajectory, precision=7)

    # Velocities: the steps' differences over 1 ps (the last repeats the one
    # before); forces: minus the offset from the frame's centre. Any values do.
    x = np.array([ts.positions.copy() for ts in k39.trajectory])
    v = np.empty_like(x)
    v[:-1] = x[1:] - x[:-1]
    v[-1] = v[-2]
    f = -(x - x.mean(axis=1, keepdims=True))
    m = mda.Universe.empty(167, trajectory=True)
    m.load_new(x, format=MemoryReader, velocities=v, forces=f, dt=1.0,
               dimensions=np.array([60, 60, 60, 90, 90, 90], dtype=np.float32))
    write(out("2k39_vf_mda.trr"), m.atoms, m.trajectory)
    gmx("gmx_d", out("2k39_vf_mda.trr"), out("2k39_vf_gmx_d.trr"))  # double precision; trjconv drops forces

    ubi_trr = os.path.join(tmp, "1ubi.trr")
    write(ubi_trr, ubi.atoms, ubi.trajectory)
    gmx("gmx", ubi_trr, out("1ubi_gmx.trr"), "-e", "4")  # times 0..4 ps: five frames
    hhb = dcd("2hhb_20frames_le", 4779)
    hhb_trr = os.path.join(tmp, "2hhb.trr")
    write(hhb_trr, hhb.atoms, hhb.trajectory[:6])
    gmx("gmx", hhb_trr, out("2hhb_gmx.xtc"), "-ndec", "2")


def grid_sum(positions, precision):
    """sum over atoms i of (i+1)(X + 2Y + 3Z), X Y Z the coordinates as
    integers on the file's grid: exact, and changed by any atom out of place."""
    g = np.rint(positions.astype(np.float64) * precision / 10.0).astype(np.int64)
    w = np.arange(1, len(g) + 1, dtype=object)
    return int(np.sum(w * (g[:, 0] + 2 * g[:, 1] + 3 * g[:, 2]).astype(object)))


def triple(v):
    return [float(a) for a in v]


def facts(name, fmt):
    path = os.path.join(HERE, name)
    reader = {"xtc": mda.coordinates.XTC.XTCReader, "trr": mda.coordinates.TRR.TRRReader,
              "dcd": mda.coordinates.DCD.DCDReader}[fmt]
    r = reader(path)
    native = reader(path, convert_units=False) if fmt == "trr" else None
    n = r.n_atoms
    entry = {"format": fmt.upper(), "natoms": n, "nframes": r.n_frames, "bytes": os.path.getsize(path)}
    raw = open(path, "rb").read()
    if fmt == "dcd":
        title = struct.unpack("<i", raw[92:96])[0]
        first = 4 + 84 + 4 + 4 + title + 4 + 12
        step = 56 + 3 * (4 * n + 8)
        entry["offsets"] = [first + k * step for k in range(r.n_frames)]
    else:
        entry["offsets"] = [int(o) for o in r._xdr.offsets]
    precision = None
    if fmt == "xtc" and n > 9:
        precision = struct.unpack(">f", raw[56:60])[0]
        entry["precision"] = precision
        # Exact integers only while the grid fits a float's 24 bits.
        exact = float(np.abs(r[0].positions).max()) * precision / 10 < 2 ** 23
        if not exact:
            precision = None
    entry["tolerance"] = max(0.5 * 10 / entry["precision"], 1e-5) if "precision" in entry else 1e-5
    frames = []
    for k, ts in enumerate(r):
        p = ts.positions
        s = p.astype(np.float64).sum(axis=0)
        frame = {"sum_x": float(s[0]), "sum_y": float(s[1]), "sum_z": float(s[2]),
                 "first_atom": triple(p[0]), "last_atom": triple(p[-1]),
                 "dimensions": None if ts.dimensions is None else triple(ts.dimensions)}
        if precision:
            frame["grid_sum"] = grid_sum(p, precision)
        if native is not None:
            t = native[k]
            for key, has, values in (("velocities", t.has_velocities, t.velocities if t.has_velocities else None),
                                     ("forces", t.has_forces, t.forces if t.has_forces else None)):
                if has:
                    frame[key] = {"sum": triple(values.astype(np.float64).sum(axis=0)), "first_atom": triple(values[0])}
        frames.append(frame)
    entry["frames"] = frames
    return entry


FILES = [("1ubi_mda.xtc", "xtc"), ("1ubi9_mda.xtc", "xtc"), ("1ubi10_mda.xtc", "xtc"), ("2k39_p7_mda.xtc", "xtc"),
         ("2hhb_gmx.xtc", "xtc"), ("2k39_vf_mda.trr", "trr"), ("2k39_vf_gmx_d.trr", "trr"), ("1ubi_gmx.trr", "trr"),
         ("1ubi_20frames_le.dcd", "dcd"), ("2hhb_20frames_le.dcd", "dcd"), ("2k39_3frames_plugin.dcd", "dcd")]


def main():
    with tempfile.TemporaryDirectory() as tmp:
        make(tmp)
    out = {"definition": "what MDAnalysis " + mda.__version__ + " reads from each file: positions in A (sums "
                         "accumulated in float64), dimensions [a, b, c, alpha, beta, gamma] (A, degrees); "
                         "velocities and forces in the file's units (nm/ps, kJ/(mol nm)); offsets: where each "
                         "frame starts; grid_sum: see make_xtc_trr.py; tolerance: half the file's grid step "
                         "in A, at least 1e-5 A (a float near 50 A)",
           "files": {name: facts(name, fmt) for name, fmt in FILES}}
    with open(os.path.join(HERE, "trajectories.json"), "w") as f:
        json.dump(out, f, indent=1)
        f.write("\n")
    # MDAnalysis leaves its offset caches beside the files it read.
    for name in os.listdir(HERE):
        if name.startswith(".") and "_offsets." in name:
            os.remove(os.path.join(HERE, name))


if __name__ == "__main__":
    main()
