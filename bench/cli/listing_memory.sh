#!/usr/bin/env bash
# lumorafm-cli's memory and first row for long listings, against the same
# simulator in the same run:
#  - the maximum resident size of `tracks` of the 2,000-track album (100
#    pages) and of a one-page album: flat in the number of pages, goal at most
#    16 MiB;
#  - one listing answer of about 40 MiB: the peak above the one-page run,
#    as a multiple of the answer's size (goal at most 3); one of 100 MiB is
#    refused with its reason;
#  - the first row of `tracks` against curl's first byte of the first page
#    (first_row.py; goal at most 1.5).
# Usage: bench/cli/listing_memory.sh [build dir] [runs, default 5]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
runs=${2:-5}
lumora_build_targets "$build" lumorafm-cli lumorafm-cli-bench-sim
cli=$build/src/cli/lumorafm-cli
work=$(mktemp -d)
trap 'exec 3>&-; wait; rm -rf "$work"' EXIT
. "$root/bench/cli/bench_sim.sh"
start_bench_sim
read -r _ big big_bytes < <(grep '^large ' "$work/sim_out" | head -1)
read -r _ huge huge_bytes < <(grep '^large ' "$work/sim_out" | tail -1)

median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
rss() {  # album -> maximum resident size in KiB, median of the runs
  for _ in $(seq 1 "$runs"); do
    python3 - "$cli" --mobile-base "$mobile" tracks "$1" <<'PY'
import resource, subprocess, sys
subprocess.call(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
  done | median
}

echo "== maximum resident size of tracks, median of $runs runs"
one=$(rss 3700002); long=$(rss 3700008); large=$(rss "$big")
awk -v a="$one" -v b="$long" 'BEGIN {printf "one page: %.1f MiB, 100 pages: %.1f MiB (goal <= 16)\n", a/1024, b/1024}'
awk -v a="$one" -v c="$large" -v s="$big_bytes" 'BEGIN {
  printf "one answer of %.1f MiB: %.1f MiB, %.1f MiB above one page: %.2f x the answer (goal <= 3)\n",
         s/1048576, c/1024, (c-a)/1024, (c-a)*1024/s }'
echo "== an answer of $((huge_bytes / 1048576)) MiB"
"$cli" --mobile-base "$mobile" tracks "$huge" >/dev/null || echo "exit $?"
echo "== first row"
python3 "$root/bench/cli/first_row.py" "$cli" "$mobile" 3700008 31
