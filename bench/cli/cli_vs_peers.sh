#!/usr/bin/env bash
# lumorafm-cli against peer tools on the same simulator, in the same run:
#  - listing the 2,000-track album (100 pages) against curl fetching the same
#    101 addresses one after the other;
#  - get of ten 20 MiB files, each connection capped at 1 MiB/s, against
#    aria2c -x10 -s10 -k1M -j1, and with --jobs 3 against aria2c -j3 (every
#    file of both checked by SHA-256);
#  - start to first request, and the maximum resident size during get.
# Usage: bench/cli/cli_vs_peers.sh [build dir] [rounds, default 3]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
rounds=${2:-3}
for tool in aria2c curl python3; do
  command -v $tool >/dev/null || { echo "$tool is not installed" >&2; exit 1; }
done
lumora_build_targets "$build" lumorafm-cli lumorafm-cli-bench-sim
cli=$build/src/cli/lumorafm-cli
work=$(mktemp -d)
trap 'exec 3>&-; wait; rm -rf "$work"' EXIT

. "$root/bench/cli/bench_sim.sh"
start_bench_sim
album=$(awk '$1 == "album" {print $2}' "$work/sim_out")
awk '$1 == "file" {print $2}' "$work/sim_out" >"$work/urls"
awk '$1 == "file" {print $3}' "$work/sim_out" | sort >"$work/sums"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {print b - a}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {print a / b}'; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
check_sums() {  # folder: every .mp3's SHA-256 against the simulator's
  (cd "$1" && sha256sum -- *.mp3 2>/dev/null | awk '{print $1}' | sort) | cmp -s - "$work/sums" \
    || { echo "checksums differ in $1" >&2; exit 1; }
}

echo "== listing the 2,000-track album (100 pages), $((rounds * 3)) rounds"
page_url() {
  echo "$mobile/mobile/v1/album/track/ts-1534855383505?albumId=3700008&device=android&isAsc=true&isQueryInvitationBrand=true&pageId=$1&pageSize=20&pre_page=0"
}
{ page_url 1; for n in $(seq 1 100); do page_url "$n"; done; } | sed 's/^/url = /' >"$work/curl_pages"
: >"$work/list_cli"; : >"$work/list_curl"
for _ in $(seq 1 $((rounds * 3))); do
  t0=$(now); "$cli" --mobile-base "$mobile" tracks 3700008 >"$work/tracks.txt"; t1=$(now)
  curl -s -K "$work/curl_pages" >/dev/null; t2=$(now)
  [ "$(wc -l <"$work/tracks.txt")" -eq 2000 ] || { echo "listing incomplete" >&2; exit 1; }
  elapsed "$t0" "$t1" >>"$work/list_cli"; elapsed "$t1" "$t2" >>"$work/list_curl"
done
lc=$(median <"$work/list_cli"); lu=$(median <"$work/list_curl")
printf 'lumorafm-cli %.3f s, curl %.3f s, ratio %.2f (goal <= 1.5)\n' "$lc" "$lu" "$(ratio "$lc" "$lu")"

compare_get() {  # jobs
  local jobs=$1; : >"$work/get_cli"; : >"$work/get_aria"
  echo "== get of 10 x 20 MiB at 1 MiB/s per connection, --jobs $jobs vs aria2c -j$jobs, $rounds rounds"
  for r in $(seq 1 "$rounds"); do
    rm -rf "$work/cli" "$work/aria"; mkdir -p "$work/cli" "$work/aria"
    t0=$(now); "$cli" --mobile-base "$mobile" get "$album" --dir "$work/cli" --jobs "$jobs" >/dev/null; t1=$(now)
    aria2c -q -x10 -s10 -k1M -j"$jobs" \
      -d "$work/aria" -i "$work/urls"; t2=$(now)
    check_sums "$work/cli"; check_sums "$work/aria"
    a=$(elapsed "$t0" "$t1"); b=$(elapsed "$t1" "$t2")
    echo "$a" >>"$work/get_cli"; echo "$b" >>"$work/get_aria"
    printf 'round %d: lumorafm-cli %.2f s, aria2c %.2f s, ratio %.3f\n' "$r" "$a" "$b" "$(ratio "$a" "$b")"
  done
  gc=$(median <"$work/get_cli"); ga=$(median <"$work/get_aria")
  printf 'median: lumorafm-cli %.2f s, aria2c %.2f s, ratio %.3f\n' "$gc" "$ga" "$(ratio "$gc" "$ga")"
}
compare_get 1
compare_get 3

echo "== start to first request"
python3 "$root/bench/cli/first_request.py" "$cli" 21
echo "== maximum resident size during get (--jobs 1, then --jobs 3)"
for jobs in 1 3; do
  rm -rf "$work/cli"
  python3 "$root/bench/cli/max_rss.py" "$cli" --mobile-base "$mobile" get "$album" --dir "$work/cli" --jobs "$jobs"
done
