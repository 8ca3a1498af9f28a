#!/usr/bin/python3
"""Writes rmsd_series.json: per trajectory frame, the RMSD of the protein's
alpha carbons to those of the structure after superposition, as MDAnalysis
computes it (rms.rmsd with centring and superposition). Run once from the
repository: /usr/bin/python3 tests/data/make_rmsd_series.py
"""
import json
import os
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore")
    import MDAnalysis
    from MDAnalysis.analysis import rms

here = os.path.dirname(os.path.abspath(__file__))
pairs = [("1ubi.pdb", "1ubi_mda.xtc"), ("1ubi.pdb", "1ubi_gmx.trr"), ("1ubi.pdb", "1ubi_20frames_le.dcd")]
out = {"mdanalysis": MDAnalysis.__version__, "series": {}}
with warnings.catch_warnings():
    warnings.simplefilter("ignore")
    for structure, trajectory in pairs:
        reference = MDAnalysis.Universe(os.path.join(here, structure)).select_atoms("protein and name CA").positions
        u = MDAnalysis.Universe(os.path.join(here, structure), os.path.join(here, trajectory))
        ca = u.select_atoms("protein and name CA")
        values = [0.0] + [float(rms.rmsd(ca.positions, reference, center=True, superposition=True))
                          for _ in u.trajectory]
        out["series"][trajectory] = {"structure": structure, "atoms": len(ca), "rmsd": values}
with open(os.path.join(here, "rmsd_series.json"), "w") as f:
    json.dump(out, f, indent=1)
# MDAnalysis leaves its XTC/TRR frame offsets beside the files; they are not fixtures.
for name in os.listdir(here):
    if name.startswith(".") and "_offsets." in name:
        os.remove(os.path.join(here, name))
