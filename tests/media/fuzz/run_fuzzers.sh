#!/usr/bin/env bash
# Builds the mesh-loader fuzzers with clang and runs each briefly on a seed
# corpus written by tools/meshfile.py.
#   run_fuzzers.sh SOURCE_ROOT WORK_DIR [SECONDS]
set -euo pipefail
root=$1
work=$2
seconds=${3:-4}
mkdir -p "$work"
cmake -S "$root/tests/media/fuzz" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ >"$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build "$work/build" -j4 >"$work/build.log" 2>&1 || { tail -50 "$work/build.log"; exit 1; }

seeds="$work/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/binary" "$seeds/xml"
python3 - "$root/tools" "$seeds" <<'PY'
import os, sys
sys.path.insert(0, sys.argv[1])
import meshfile as m
out = sys.argv[2]
verts, tris, parts = m._cube("tex.png")
two = [m.SubMesh(0, 6, 0, 12, "a.png"), m.SubMesh(6, 6, 12, 12)]
for name, p in (("cube", parts), ("two", two)):
    open(os.path.join(out, "binary", name), "wb").write(m.cmsh_bytes(verts, tris, p))
    open(os.path.join(out, "xml", name), "w").write(m.msh_text(verts, tris, p))
one = [m.Vertex((0, 0, 0)), m.Vertex((1, 0, 0)), m.Vertex((0, 1, 0))]
open(os.path.join(out, "binary", "tri"), "wb").write(m.cmsh_bytes(one, [(0, 1, 2)]))
open(os.path.join(out, "xml", "tri"), "w").write(m.msh_text(one, [(0, 1, 2)]))
PY

status=0
for kind in binary xml; do
    max_len=4096
    [ "$kind" = xml ] && max_len=16384
    corpus="$work/corpus-$kind"
    mkdir -p "$corpus"
    echo "fuzzing the $kind mesh loader for ${seconds}s"
    if ! "$work/build/${kind}_mesh_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 \
            -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$work/$kind-" \
            "$corpus" "$seeds/$kind" >"$work/$kind.log" 2>&1; then
        tail -60 "$work/$kind.log"
        status=1
    else
        grep -E "stat::number_of_executed_units|Done" "$work/$kind.log" | tail -2
    fi
done
exit $status
