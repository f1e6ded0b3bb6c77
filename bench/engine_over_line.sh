#!/usr/bin/env bash
# Times lumorafm-fetch (10 connections) against aria2c (-x10 -s10 -k1M) and
# curl (one connection) over a line with a round trip: nginx paces each
# connection at 4 MiB/s and bench/line_relay.py in front of it makes each
# connection's setup cost a round trip (40 ms, RTT_MS to change) and each
# direction half of one. Each track is one run of the tool, one after the
# other, as the window walk starts one task per track; every file is checked
# by SHA-256.
#
# Cases (CASES picks): small, twenty 300 KB tracks (goals: at most 1.0 x
# aria2c's wall and 1.1 x curl's); large, two 24 MiB tracks (at most 1.0 x
# aria2c's wall; curl's single connection is not timed there).
#
# Usage: bench/engine_over_line.sh [FETCH_BINARY] [RUNS]
#   FETCH_BINARY defaults to build/release/src/download/lumorafm-fetch
#   (a Release tree: cmake --build build/release --target lumorafm-fetch);
#   RUNS (default 3) per case and tool, the tools taking turns.
#   LUMORAFM_FETCH_EVENTS=1 keeps each lumorafm-fetch timeline in the work
#   folder (KEEP_WORK=1 keeps the folder).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/nginx_common.sh"
fetch=${1:-$root/build/release/src/download/lumorafm-fetch}
runs=${2:-3}
rtt_ms=${RTT_MS:-40}
[ -x "$fetch" ] || { echo "no lumorafm-fetch at $fetch (build with -DCMAKE_BUILD_TYPE=Release)"; exit 1; }

work=$(mktemp -d /tmp/lumora-line-XXXXXX)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null || true; done
  [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/out" "$work/temp"
chmod 755 "$work" "$work/www"  # the nginx worker may run as another user
small=()
for i in $(seq -w 1 20); do
  head -c 300000 /dev/urandom >"$work/www/small$i.bin"
  small+=("small$i.bin")
done
large=(large1.bin large2.bin)
for f in "${large[@]}"; do head -c $((24 << 20)) /dev/urandom >"$work/www/$f"; done
(cd "$work/www" && sha256sum -- *.bin) >"$work/want.txt"

port=$(free_port)
{ nginx_conf_head "$work"; cat <<CONF
  server {
    listen 127.0.0.1:$port;
    location /line/ { alias $work/www/; limit_rate 4m; }
  }
}
CONF
} >"$work/nginx.conf"
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" &
pids+=($!)
/usr/bin/python3 "$root/bench/line_relay.py" 0 "$port" "$rtt_ms" "$work/relay.port" 2>"$work/relay.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/relay.port" ] && curl -s -o /dev/null -r 0-0 "http://127.0.0.1:$port/line/small01.bin" && break
  sleep 0.1
done
base="http://127.0.0.1:$(cat "$work/relay.port")/line"

# One track with each tool into $work/out.
get_lumora() {
  if [ -n "${LUMORAFM_FETCH_EVENTS:-}" ]; then
    "$fetch" "$base/$1" "$work/out/$1" 10 2>>"$work/events-$1.txt"
  else
    "$fetch" "$base/$1" "$work/out/$1" 10
  fi
}
get_aria2c() {
  aria2c -x10 -s10 -k1M --file-allocation=falloc --allow-overwrite=true \
    --console-log-level=error --summary-interval=0 -d "$work/out" -o "$1" "$base/$1" >/dev/null
}
get_curl() { curl -s -o "$work/out/$1" "$base/$1"; }

# run TOOL CASE FILE...: the tracks one after the other, timed together.
run() {
  local tool=$1 case=$2
  shift 2
  rm -f "$work/out/"*
  local began ended ok=ok f
  began=$(date +%s.%N)
  for f in "$@"; do "get_$tool" "$f" || ok="BAD(exit)"; done
  ended=$(date +%s.%N)
  for f in "$@"; do
    [ "$(cd "$work/out" && sha256sum -- "$f")" = "$(grep " $f\$" "$work/want.txt")" ] || ok="BAD(sha $f)"
  done
  local wall
  wall=$(echo "$ended - $began" | bc)
  printf '%-6s %-8s wall %6.2f s  %s\n' "$case" "$tool" "$wall" "$ok"
  if [ "$ok" = ok ]; then echo "$case $tool $wall" >>"$work/results.txt"; fi
}

summary() {
  [ -s "$work/results.txt" ] || return 0
  /usr/bin/python3 - "$work/results.txt" <<'PY'
import collections, statistics, sys
rows = collections.defaultdict(list)
for line in open(sys.argv[1]):
    case, tool, wall = line.split()
    rows[case, tool].append(float(wall))
med = {k: statistics.median(v) for k, v in rows.items()}
print("medians: case tool runs wall")
for (case, tool), wall in sorted(med.items()):
    print(f"  {case:6} {tool:8} {len(rows[case, tool]):2} {wall:6.2f}")
for (case, tool), wall in sorted(med.items()):
    if tool != "lumora" and (case, "lumora") in med:
        print(f"  {case:6} lumora/{tool:8} wall {med[case, 'lumora'] / wall:5.3f}")
PY
}
trap 'summary; cleanup' EXIT

cases=" ${CASES:-small large} "
echo "line: ${rtt_ms} ms round trip, 4 MiB/s a connection"
for i in $(seq "$runs"); do
  if [[ $cases == *" small "* ]]; then
    run lumora small "${small[@]}"
    run aria2c small "${small[@]}"
    run curl small "${small[@]}"
  fi
  if [[ $cases == *" large "* ]]; then
    run lumora large "${large[@]}"
    run aria2c large "${large[@]}"
  fi
done
