# Distances, angles and torsions of atoms of real structures, computed with
# numpy from the coordinates as the files give them (columns 31-54), for the
# measurement tests. Run once: /usr/bin/python3 make_measurements.py > measurements.json
import json
import numpy as np

CASES = {
    # (chain, residue number, atom name) quadruples: backbone phi and psi,
    # a side-chain chi1, and four atoms of different residues and chains.
    "1ubi.pdb": [
        [("A", 10, "C"), ("A", 11, "N"), ("A", 11, "CA"), ("A", 11, "C")],
        [("A", 11, "N"), ("A", 11, "CA"), ("A", 11, "C"), ("A", 12, "N")],
        [("A", 27, "N"), ("A", 27, "CA"), ("A", 27, "CB"), ("A", 27, "CG")],
        [("A", 1, "N"), ("A", 30, "CA"), ("A", 48, "NZ"), ("A", 76, "O")],
    ],
    "2hhb.pdb": [
        [("A", 87, "N"), ("A", 87, "CA"), ("A", 87, "CB"), ("A", 87, "CG")],
        [("B", 92, "NE2"), ("B", 92, "CD2"), ("B", 92, "CG"), ("B", 92, "CB")],
        [("A", 1, "N"), ("B", 1, "N"), ("C", 1, "N"), ("D", 1, "N")],
    ],
}


def atoms(path):
    found = {}
    for line in open(path):
        if line.startswith(("ATOM  ", "HETATM")) and line[16] in " A":
            key = (line[21], int(line[22:26]), line[12:16].strip())
            found.setdefault(key, (int(line[6:11]), np.array([float(line[30:38]), float(line[38:46]), float(line[46:54])])))
    return found


def angle(a, b, c):
    u, v = a - b, c - b
    return float(np.arccos(np.clip(np.dot(u, v) / np.linalg.norm(u) / np.linalg.norm(v), -1, 1)))


def dihedral(p0, p1, p2, p3):
    b1, b2, b3 = p1 - p0, p2 - p1, p3 - p2
    n1, n2 = np.cross(b1, b2), np.cross(b2, b3)
    return float(np.arctan2(np.linalg.norm(b2) * np.dot(b1, n2), np.dot(n1, n2)))


out = []
for path, quads in CASES.items():
    table = atoms(path)
    for quad in quads:
        serials = [table[k][0] for k in quad]
        p = [table[k][1] for k in quad]
        out.append({
            "file": path,
            "serials": serials,
            "bonds": [float(np.linalg.norm(p[i + 1] - p[i])) for i in range(3)],
            "angles": [angle(p[0], p[1], p[2]), angle(p[1], p[2], p[3])],
            "torsion": dihedral(*p),
        })
print(json.dumps({"numpy": np.__version__, "measurements": out}, indent=1))
