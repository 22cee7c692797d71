#!/usr/bin/env bash
# Compares `tarnbeck-bench duplicates` with `jdupes -r` on one tree.
#   bench/duplicates_vs_jdupes.sh TREE [BENCH_BINARY] [RUNS]
# Both are run once to warm the cache, then RUNS times each (best time kept).
# The groups must agree once files of 4096 bytes or less are left out, hard
# links to one inode count once and symbolic links are ignored; and the
# search (scan included) must take no longer than jdupes.
set -euo pipefail

tree=${1:?usage: duplicates_vs_jdupes.sh TREE [BENCH_BINARY] [RUNS]}
bench=${2:-$(dirname "$0")/../build/bench/tarnbeck-bench}
runs=${3:-3}
command -v jdupes >/dev/null || { echo "jdupes is not installed" >&2; exit 2; }
[ -x "$bench" ] || { echo "no benchmark binary at $bench" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

best() {  # best wall time of "$@" over $runs runs; output of the last run in $work/out
    local best_s=""
    for _ in $(seq "$runs"); do
        local t0 t1
        t0=$(date +%s.%N)
        "$@" >"$work/out"
        t1=$(date +%s.%N)
        best_s=$(python3 -c "a='$best_s'; d=$t1-$t0; print(d if not a or d < float(a) else a)")
    done
    echo "$best_s"
}

"$bench" duplicates "$tree" --limit 100000000 >/dev/null
jdupes -r -q -0 "$tree" >/dev/null || true

ours_s=$(best "$bench" duplicates "$tree" --limit 100000000)
cp "$work/out" "$work/ours.jsonl"
jdupes_s=$(best jdupes -r -q -0 "$tree")
cp "$work/out" "$work/jdupes.out"

python3 - "$work/ours.jsonl" "$work/jdupes.out" "$ours_s" "$jdupes_s" <<'PY'
import json, os, stat, sys

ours_path, jdupes_path, ours_s, jdupes_s = sys.argv[1:5]

def normalise(groups):
    """Each group as the set of distinct inodes of its regular files above 4096 bytes."""
    out = set()
    for paths in groups:
        inodes = set()
        for p in paths:
            try:
                st = os.lstat(p)
            except OSError:
                continue
            if not stat.S_ISREG(st.st_mode) or st.st_size <= 4096:
                continue
            inodes.add((st.st_dev, st.st_ino))
        if len(inodes) >= 2:
            out.add(frozenset(inodes))
    return out

ours, summary = [], None
with open(ours_path, encoding="utf-8") as f:
    for line in f:
        obj = json.loads(line)
        if "paths" in obj:
            # The JSON writer escapes each byte above 0x7f on its own.
            ours.append([os.fsdecode(p.encode("latin-1")) for p in obj["paths"]])
        else:
            summary = obj

raw = open(jdupes_path, "rb").read()
theirs = [[os.fsdecode(p) for p in g.split(b"\0") if p] for g in raw.split(b"\0\0") if g.strip(b"\0")]

a, b = normalise(ours), normalise(theirs)
same = a == b
faster = float(ours_s) <= float(jdupes_s)
print(json.dumps({
    "groups_ours": len(a), "groups_jdupes": len(b),
    "only_ours": len(a - b), "only_jdupes": len(b - a),
    "ours_s": round(float(ours_s), 3), "jdupes_s": round(float(jdupes_s), 3),
    "dup_s": summary and summary["dup_s"], "scan_s": summary and summary["scan_s"],
    "bytes_hashed": summary and summary["bytes_hashed"],
    "hash_mb_s": summary and summary["hash_mb_s"],
    "same_groups": same, "no_slower": faster,
}))
for g in list(a - b)[:5]:
    print("only ours:", sorted(g), file=sys.stderr)
for g in list(b - a)[:5]:
    print("only jdupes:", sorted(g), file=sys.stderr)
sys.exit(0 if same and faster else 1)
PY
