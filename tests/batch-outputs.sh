#!/usr/bin/env bash
# Prints what batch mode writes for every structure and trajectory of a data
# folder: summaries, secondary structure, saved and exported files, pictures,
# picks, surface areas, hydrogen bonds and movies, one block per run with
# checksums of the files written. Two builds give the same text when a change
# left every batch result alone:
#
#   tests/batch-outputs.sh OLD/velm > old.txt
#   tests/batch-outputs.sh build/velm > new.txt
#   diff old.txt new.txt
#
# DATA (second argument) defaults to ../shared/data beside the checkout, or
# tests/data when that is absent.
set -u
velm=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
data=${2:-$here/../../shared/data}
[ -d "$data" ] || data=$here/data
pdbs=$(ls "$data"/pdb/*.pdb "$data"/pdb/*.pdb.gz "$data"/*.pdb "$data"/*.pdb.gz 2>/dev/null | sort -u)
dcd() { ls "$data"/dcd/"$1" "$data"/"$1" 2>/dev/null | head -n 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LIBGL_ALWAYS_SOFTWARE=1 LC_ALL=C XDG_CONFIG_HOME=$work/config

# One run: its arguments, exit status, what it printed (paths shortened to
# their names) and the checksum of every file it wrote.
run() {
    rm -rf "$work/out" && mkdir "$work/out"
    echo "== $(echo "$*" | sed "s#$data/##g; s#$work/##g")"
    (cd "$work/out" && "$velm" -batch "$@" >"$work/stdout" 2>"$work/stderr")
    echo "status $?"
    sed "s#$data/##g; s#$work/##g" "$work/stdout"
    grep -v '^Reading Trajectory\|%' "$work/stderr" | sed "s#$data/##g; s#$work/##g"
    local written
    for written in $(cd "$work/out" && ls | sort); do
        echo "file $written $(md5sum <"$work/out/$written" | cut -c1-32)"
    done
}

for f in $pdbs; do
    small=$(($(gzip -cdf "$f" | grep -c '^ATOM\|^HETATM') < 6000))
    run "$f" -ss
    run -no_connect "$f"
    run -multi -cm "$f"
    run -multi -align "$f" -export-trajectory x.pdb 1 2
    run "$f" -save s.pdb
    run "$f" -save p.pdb -precision 5 -noconect -nonormalize
    run -defaults "$f" -image w.png -width 160 -height 120 -solvent -labels -axes -monitors
    run -defaults "$f" -image c.png -width 160 -height 120 -render cpk -color structure -stereo -pick 40 60
    run -defaults "$f" -image t.png -width 160 -height 120 -render tube -color temperature -rotate 30 40 0 -zoom 1.5
    run -defaults "$f" -image r.bmp -width 160 -height 120 -render solidribbon -color aminoacid -clip -clip-depth 0.5
    run -defaults "$f" -image b.png -width 160 -height 120 -render ballandstick -radius occupancy -quality low -pick 80 60
    run -defaults "$f" -list-hbonds
    if [ "$small" = 1 ]; then
        run -defaults "$f" -image e.eps -width 160 -height 120 -render sticks
        run -defaults "$f" -area residue -probe 1.4 -surface-resolution 40
        run -defaults "$f" -image s.png -width 160 -height 120 -surface solid -surface-color 200,100,50,128
    fi
done

# Trajectories over their structures, and two structures superposed.
for pair in "1ubi.pdb 1ubi_20frames_le.dcd" "2hhb.pdb 2hhb_20frames_le.dcd" "2k39_3models.pdb 2k39_3frames_plugin.dcd"; do
    set -- $pair
    s=$(ls "$data"/pdb/"$1" "$data"/"$1" 2>/dev/null | head -n 1)
    t=$(dcd "$2")
    [ -n "$s" ] && [ -n "$t" ] || continue
    run "$s" -dcd "$t"
    run "$s" -dcd "$t" -cm -export-trajectory x.pdb 2 4
    run "$s" -dcd "$t" -align -export-trajectory x.pdb 1 3
    run -defaults "$s" -dcd "$t" -image f.png -frame 2 -width 160 -height 120
    run -defaults "$s" -dcd "$t" -movie m.avi -start 1 -stop 3 -width 64 -height 48
    run -defaults "$s" -dcd "$t" -hbonds -list-hbonds -frame 1
done
ubi=$(ls "$data"/pdb/1ubi.pdb "$data"/1ubi.pdb 2>/dev/null | head -n 1)
hhb=$(ls "$data"/pdb/2hhb.pdb "$data"/2hhb.pdb 2>/dev/null | head -n 1)
if [ -n "$ubi" ] && [ -n "$hhb" ]; then
    run "$hhb" "$ubi" -superpose -save two.pdb
    printf '%s\n' $(seq 1 683) >"$work/values"
    run -defaults "$ubi" -values "$work/values" -mode all -image v.png -width 160 -height 120 -color temperature
fi
