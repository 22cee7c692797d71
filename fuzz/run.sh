#!/bin/sh
# Runs every fuzz target for SECONDS at once, each on its own corpus (seeded
# from fuzz/corpus); an input that finds a fault lands in fuzz/regressions,
# which the test build replays from then on.
set -eu
BUILD=${1:-build-fuzz}
SECONDS_EACH=${2:-600}
cd "$(dirname "$0")/.."
pids=""
for target in ncdu_reader scan_file receipt_log; do
    exe="$BUILD/fuzz/fuzz-$(echo "$target" | tr _ -)"
    corpus="$BUILD/corpus/$target"
    mkdir -p "$corpus" "fuzz/regressions/$target"
    dict=""
    [ -f "fuzz/$target.dict" ] && dict="-dict=fuzz/$target.dict"
    # shellcheck disable=SC2086
    "$exe" -max_total_time="$SECONDS_EACH" -print_final_stats=1 -rss_limit_mb=1024 -timeout=20 \
        -artifact_prefix="fuzz/regressions/$target/" $dict "$corpus" "fuzz/corpus/$target" \
        >"$BUILD/$target.log" 2>&1 &
    pids="$pids $!"
done
status=0
for p in $pids; do wait "$p" || status=1; done
for target in ncdu_reader scan_file receipt_log; do
    runs=$(grep -h 'stat::number_of_executed_units' "$BUILD/$target.log" | awk '{print $2}')
    echo "$target: ${runs:-?} executions, $(ls "$BUILD/corpus/$target" | wc -l) corpus inputs"
done
[ "$status" -eq 0 ] || echo "a target found a fault: see $BUILD/*.log and fuzz/regressions/"
exit "$status"
