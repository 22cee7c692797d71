#!/bin/sh
# Times tarnbeck-bench scan against its peers on the same trees in one run:
# warm cache, one warm-up, median of 5 (hyperfine). Prints the ratios.
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
for tree in "$@"; do
    [ -d "$tree" ] || { echo "skip $tree (absent)"; continue; }
    echo "== $tree"
    hyperfine -N --warmup 1 --runs 5 --export-json "$OUT/t.json" \
        -n tarnbeck "$BIN scan $tree" \
        -n bare "$BIN bare-walk $tree" \
        -n gdu "gdu -n -p $tree" \
        -n ncdu "ncdu -0 -o /dev/null $tree" \
        -n du "du -s $tree" >/dev/null
    jq -r '.results[] | "\(.command) \(.median)"' "$OUT/t.json" > "$OUT/m.txt"
    t=$(awk '$1=="tarnbeck"{print $2}' "$OUT/m.txt")
    awk -v t="$t" '{printf "  %-9s median %7.3f s   tarnbeck/this %.2f\n", $1, $2, t/$2}' "$OUT/m.txt"
    line=$("$BIN" scan "$tree")
    echo "  tarnbeck: $line"
    entries=$(echo "$line" | jq .entries)
    rss=$(echo "$line" | jq .peak_rss_kb)
    echo "  peak memory per entry: $(( rss * 1024 / (entries > 0 ? entries : 1) )) bytes"
    # Totals as find sees them: every hard link counted, blocks * 512.
    find "$tree" -mindepth 1 ! -type d -printf '%b %s\n' 2>/dev/null |
        awk '{a+=$1*512; l+=$2} END {printf "  find: allocated %.0f logical %.0f\n", a, l}'
    echo "  find entries: $(find "$tree" -mindepth 1 2>/dev/null | wc -l)"
done
rm -rf "$OUT"
