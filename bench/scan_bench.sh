#!/bin/sh
# Times tarnbeck-bench scan against its peers on the same trees in one run:
# warm cache, one warm-up, median of 5 (hyperfine). Prints the ratios, then
# save and load against the walk of the same run, and, where the page cache
# may be dropped (root), the cold walk against a bare 8-thread walk.
#   bench/scan_bench.sh [TREE...]      default: /usr and /tmp/tb-big
# The large tree is made once with: tarnbeck-bench gen-tree /tmp/tb-big 1000000 42
set -eu
HERE=$(cd "$(dirname "$0")" && pwd)
BIN=${BIN:-$HERE/../build/bench/tarnbeck-bench}
for tool in hyperfine gdu ncdu du jq; do
    command -v $tool >/dev/null || { echo "missing $tool (apt-get install $tool)"; exit 1; }
done
[ $# -gt 0 ] || set -- /usr /tmp/tb-big
OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
can_drop() { [ -w /proc/sys/vm/drop_caches ]; }
drop() { sync; echo 3 > /proc/sys/vm/drop_caches; }
for tree in "$@"; do
    [ -d "$tree" ] || { echo "skip $tree (absent)"; continue; }
    echo "== $tree"
    workers=$("$BIN" scan "$tree" | jq .workers)
    hyperfine -N --warmup 1 --runs 5 --export-json "$OUT/t.json" \
        -n tarnbeck "$BIN scan $tree" \
        -n bare "$BIN bare-walk $tree --workers $workers" \
        -n gdu "gdu -n -p $tree" \
        -n ncdu "ncdu -0 -o /dev/null $tree" \
        -n du "du -s $tree" >/dev/null
    jq -r '.results[] | "\(.command) \(.median)"' "$OUT/t.json" > "$OUT/m.txt"
    t=$(awk '$1=="tarnbeck"{print $2}' "$OUT/m.txt")
    echo "  warm, $workers workers (bare walk at equal threads):"
    awk -v t="$t" '{printf "  %-9s median %7.3f s   tarnbeck/this %.2f\n", $1, $2, t/$2}' "$OUT/m.txt"

    # Save and load against the walk of the same process run.
    line=$("$BIN" scan "$tree" --store "$OUT/store")
    echo "  tarnbeck: $line"
    walk=$(echo "$line" | jq .walk_s)
    save=$(echo "$line" | jq .save_s)
    load=$("$BIN" load "$(echo "$line" | jq -r .file)" | jq .load_s)
    echo "  save $save s (save/walk $(ratio "$save" "$walk")), load $load s" \
         "(load/walk $(ratio "$load" "$walk")), file $(echo "$line" | jq .file_bytes) bytes"
    rm -rf "$OUT/store"
    entries=$(echo "$line" | jq .entries)
    rss=$(echo "$line" | jq .peak_rss_kb)
    echo "  peak memory per entry: $(( rss * 1024 / (entries > 0 ? entries : 1) )) bytes"

    if can_drop; then
        drop; cold=$("$BIN" scan "$tree" | jq .walk_s)
        drop; bare8=$("$BIN" bare-walk "$tree" --workers 8 | jq .walk_s)
        echo "  cold: tarnbeck $cold s, bare 8-thread walk $bare8 s, ratio $(ratio "$cold" "$bare8")"
    else
        echo "  cold: skipped (the page cache can be dropped by root only)"
    fi

    # Totals as find sees them: every hard link counted, blocks * 512.
    find "$tree" -mindepth 1 ! -type d -printf '%b %s\n' 2>/dev/null |
        awk '{a+=$1*512; l+=$2} END {printf "  find: allocated %.0f logical %.0f\n", a, l}'
    echo "  find entries: $(find "$tree" -mindepth 1 2>/dev/null | wc -l)"
done
