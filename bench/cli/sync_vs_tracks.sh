#!/usr/bin/env bash
# `lumorafm-cli sync` of ten followed albums that have nothing new, against
# listing the same ten albums with `lumorafm-cli tracks` one after the
# other, in the same run against the same simulator. Nothing but the
# listings should cost time: the goal is a ratio of at most 1.2.
# Usage: bench/cli/sync_vs_tracks.sh [build dir] [rounds, default 15]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
rounds=${2:-15}
lumora_build_targets "$build" lumorafm-cli lumorafm-sim
cli=$build/src/cli/lumorafm-cli
work=$(mktemp -d)
"$build/sim/lumorafm-sim" >"$work/sim_out" &
sim_pid=$!
trap 'kill $sim_pid; wait; rm -rf "$work"' EXIT
while ! grep -q '^audio' "$work/sim_out" 2>/dev/null; do sleep 0.1; done
mobile=$(awk '$1 == "mobile" {print $2}' "$work/sim_out")
export XDG_CONFIG_HOME=$work/config

# 79 tracks over 10 albums of 1 to 45 tracks (1, 2 and 3 pages of listing).
albums="3700001 3700002 3700003 3700005 3700101 3700102 3700103 3700104 3700105 3700106"
for id in $albums; do "$cli" --mobile-base "$mobile" follow "$id" --dir "$work/albums/$id" --playlist >/dev/null; done
"$cli" --mobile-base "$mobile" sync >/dev/null   # fetches everything once

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {print b - a}'; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }

echo "== sync of 10 albums with nothing new vs tracks of each, $rounds rounds"
: >"$work/sync"; : >"$work/tracks"; : >"$work/ratios"
for _ in $(seq 1 "$rounds"); do
  t0=$(now)
  "$cli" --mobile-base "$mobile" sync >"$work/sync_out"
  t1=$(now)
  for id in $albums; do "$cli" --mobile-base "$mobile" tracks "$id" >/dev/null; done
  t2=$(now)
  [ "$(grep -c 'done 0, skipped' "$work/sync_out")" -eq 10 ] \
    || { echo "sync fetched something:" >&2; cat "$work/sync_out" >&2; exit 1; }
  s=$(elapsed "$t0" "$t1"); l=$(elapsed "$t1" "$t2")
  echo "$s" >>"$work/sync"; echo "$l" >>"$work/tracks"
  awk -v a="$s" -v b="$l" 'BEGIN {print a / b}' >>"$work/ratios"
done
ms=$(median <"$work/sync"); ml=$(median <"$work/tracks"); mr=$(median <"$work/ratios")
printf 'sync %.1f ms, tracks x10 %.1f ms, median ratio %.2f (goal <= 1.2)\n' \
  "$(awk -v s="$ms" 'BEGIN {print s * 1000}')" "$(awk -v s="$ml" 'BEGIN {print s * 1000}')" "$mr"
