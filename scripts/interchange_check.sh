#!/bin/sh
# Compares an ncdu export of DIR, imported by Tarnbeck, with Tarnbeck's own
# scan of DIR: the entry counts must match, and so must the byte totals once
# the folders' own blocks (counted by ncdu, left out by Tarnbeck) are set
# aside. Then checks that ncdu reads Tarnbeck's export back.
# Needs ncdu (scripts/setup.sh --checks). Usage: scripts/interchange_check.sh DIR
set -eu
dir=${1:?usage: $0 DIR}
tarnbeck=${TARNBECK:-build/src/app/tarnbeck}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data"

ncdu -0 -o "$work/theirs.json" "$dir"
"$tarnbeck" import "$work/theirs.json" >/dev/null 2>"$work/import.txt"
"$tarnbeck" scan "$dir" -o "$work/ours.sqlite" >/dev/null 2>"$work/scan.txt"
"$tarnbeck" export "$work/ours.sqlite" | ncdu -0 -f - -o /dev/null

# Counts are printed with thousands separators.
their_entries=$(sed -n 's/^\([0-9,]*\) entries.*/\1/p' "$work/import.txt" | tr -d ,)
their_bytes=$(sed -n 's/.*leave out: \([0-9]*\) bytes.*/\1/p' "$work/import.txt")
our_entries=$(sed -n 's/^\([0-9,]*\) entries.*/\1/p' "$work/scan.txt" | tr -d ,)
our_bytes=$(sed -n 's/^[0-9,]* entries, \([0-9]*\) bytes.*/\1/p' "$work/scan.txt")
echo "ncdu export: $their_entries entries, $their_bytes bytes without folders' own blocks"
echo "tarnbeck:    $our_entries entries, $our_bytes bytes"
[ "$their_entries" = "$our_entries" ] && [ "$their_bytes" = "$our_bytes" ]
