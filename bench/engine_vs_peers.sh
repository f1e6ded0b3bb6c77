#!/usr/bin/env bash
# Times lumorafm-fetch (10 connections) against aria2c (10 connections) and
# curl (one connection) on a 256 MiB random file served by nginx on loopback,
# alternating the tools in the same run and checking every file by SHA-256.
#
# Cases: nginx "limit_rate 2m" per connection; unthrottled; uneven (the
# connection asking for the sixth segment gets a tenth of the others' rate);
# https: unthrottled over TLS, with a certificate authority made by the
# openssl command for this run that each tool is told to trust (the goals:
# CPU at most 0.8 x aria2c's, wall at most 1.0 x curl's, maximum resident
# size at most 16 MiB).
# Prints, per run: wall seconds, user+sys CPU seconds, peak RssAnon (KiB)
# sampled every 50 ms, and the maximum resident size (KiB, file pages
# included) that /usr/bin/time reports.
# First the resume case; CASES picks cases (RESUME_ONLY=1: the resume case
# alone).
#
# Usage: bench/engine_vs_peers.sh [FETCH_BINARY] [RUNS]
#   FETCH_BINARY defaults to build/release/src/download/lumorafm-fetch
#   RUNS (default 3) for the timed cases; the throttled curl run is done
#   once (about 128 s). CASES (default "resume throttled fast uneven https")
#   picks cases. BASELINE=another lumorafm-fetch runs it too, interleaved
#   with the first in the throttled and fast cases (as "baseline"), so that
#   two builds meet the same machine load.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/bench/nginx_common.sh"
fetch=${1:-$root/build/release/src/download/lumorafm-fetch}
baseline=${BASELINE:-}
runs=${2:-3}
size_mib=${SIZE_MIB:-256}
[ -x "$fetch" ] || { echo "no lumorafm-fetch at $fetch (build with -DCMAKE_BUILD_TYPE=Release)"; exit 1; }
if [ -n "$baseline" ] && [ ! -x "$baseline" ]; then
  echo "no lumorafm-fetch at BASELINE=$baseline"
  exit 1
fi

work=$(mktemp -d /tmp/lumora-bench-XXXXXX)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ] && kill -0 "$nginx_pid" 2>/dev/null; then
    kill "$nginx_pid"
    wait "$nginx_pid" 2>/dev/null || true
  fi
  [ "${KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/www" "$work/out" "$work/temp"
chmod 755 "$work" "$work/www"  # the nginx worker may run as another user
head -c $((size_mib * 1024 * 1024)) /dev/urandom > "$work/www/file.bin"
want=$(sha256sum "$work/www/file.bin" | cut -d' ' -f1)
size=$((size_mib * 1024 * 1024))
sixth=$((size / 10 * 5))

port=$(free_port)
tls_port=$(free_port)

# An authority of this run's own and a certificate it issues for 127.0.0.1.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj /CN=bench-authority -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
  -keyout "$work/server.key" -out "$work/server.csr" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\n' > "$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -days 2 -extfile "$work/server.ext" -out "$work/server.pem" 2>/dev/null
{ nginx_conf_head "$work"; cat <<CONF
  map \$http_range \$uneven_rate {
    "bytes=$sixth-" 204k;
    default 2m;
  }
  server {
    listen 127.0.0.1:$port;
    location /fast/ { alias $work/www/; }
    location /slow/ { alias $work/www/; limit_rate 2m; }
    location /uneven/ { alias $work/www/; limit_rate \$uneven_rate; }
  }
  server {
    listen 127.0.0.1:$tls_port ssl;
    ssl_certificate $work/server.pem;
    ssl_certificate_key $work/server.key;
    location /fast/ { alias $work/www/; }
  }
}
CONF
} >"$work/nginx.conf"
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/fast/file.bin" -r 0-0 && break
  sleep 0.1
done

# run NAME CASE COMMAND...: one timed download into $work/out/file.bin.
run() {
  local name=$1 case=$2
  shift 2
  rm -f "$work/out/"*
  /usr/bin/time -f "%e %U %S %M" -o "$work/time.txt" "$@" >"$work/tool.log" 2>&1 &
  local tpid=$! peak=0 child v
  while kill -0 "$tpid" 2>/dev/null; do
    child=$(pgrep -P "$tpid" | head -1 || true)
    if [ -n "$child" ]; then
      v=$(awk '/^RssAnon/ {print $2}' "/proc/$child/status" 2>/dev/null || true)
      if [ -n "$v" ] && [ "$v" -gt "$peak" ]; then peak=$v; fi
    fi
    sleep 0.05
  done
  local rc=0
  wait "$tpid" || rc=$?
  local got
  got=$(sha256sum "$work/out/file.bin" 2>/dev/null | cut -d' ' -f1 || true)
  local ok=ok
  [ "$rc" = 0 ] && [ "$got" = "$want" ] || ok="BAD(rc=$rc)"
  read -r wall user sys maxrss < <(tail -1 "$work/time.txt")
  local cpu
  cpu=$(echo "$user + $sys" | bc)
  local extra
  extra=$(grep -o 'progress:.*' "$work/tool.log" || true)
  printf '%-9s %-8s wall %7.2f s  cpu %6.2f s  rssanon %7d KiB  maxrss %7d KiB  sha %s %s\n' \
    "$case" "$name" "$wall" "$cpu" "$peak" "$maxrss" "$ok" "$extra"
  # A failed run (a baseline that cannot fetch https, say) has no figures.
  if [ "$ok" = ok ]; then echo "$case $name $wall $cpu $maxrss" >>"$work/results.txt"; fi
}

# Medians per case and tool, and lumora's ratios to the peers (and to the
# baseline build when one ran).
summary() {
  [ -s "$work/results.txt" ] || return 0
  /usr/bin/python3 - "$work/results.txt" <<'PY'
import collections, statistics, sys
rows = collections.defaultdict(list)
for line in open(sys.argv[1]):
    case, name, wall, cpu, rss = line.split()
    rows[case, name].append((float(wall), float(cpu), int(rss)))
med = {k: [statistics.median(x[i] for x in v) for i in range(3)] for k, v in rows.items()}
print("medians: case tool runs wall cpu maxrss(MiB)")
for (case, name), (wall, cpu, rss) in sorted(med.items()):
    print(f"  {case:9} {name:8} {len(rows[case, name]):2} {wall:7.2f} {cpu:6.2f} {rss / 1024:6.2f}")
for (case, name), (wall, cpu, _) in sorted(med.items()):
    if name == "lumora": continue
    if (case, "lumora") not in med: continue
    lw, lc, _ = med[case, "lumora"]
    print(f"  {case:9} lumora/{name:8} wall {lw / wall:5.3f}  cpu {lc / cpu:5.3f}")
PY
}
trap 'summary; cleanup' EXIT

# Each tool trusts the run's authority; it matters to the https case only.
fetch_run() {
  run "$1" "$2" env LUMORAFM_FETCH_PROGRESS=1 SSL_CERT_FILE="$work/ca.pem" "$3" "$4" \
    "$work/out/file.bin" 10
}
turn=0
lumora() {  # with a baseline, each goes first every other time
  turn=$((turn + 1))
  if [ -n "$baseline" ] && [ $((turn % 2)) = 0 ]; then fetch_run baseline "$1" "$baseline" "$2"; fi
  fetch_run lumora "$1" "$fetch" "$2"
  if [ -n "$baseline" ] && [ $((turn % 2)) = 1 ]; then fetch_run baseline "$1" "$baseline" "$2"; fi
}
aria() {
  run aria2c "$1" aria2c -x10 -s10 -k1M --file-allocation=falloc --allow-overwrite=true \
    --ca-certificate="$work/ca.pem" \
    --console-log-level=error --summary-interval=0 -d "$work/out" -o file.bin "$2"
}
curl1() { run curl "$1" curl -s --cacert "$work/ca.pem" -o "$work/out/file.bin" "$2"; }


# Resume: lumorafm-fetch killed (SIGKILL) once its record claims half the
# file, then run again on the same name; its time against a full download,
# both on the throttled location. The goal is a ratio of at most 0.6.
recorded_bytes() {  # bytes the record beside $1 claims, 0 when none
  awk 'p && $1 != "check" {sum += $3} /^segments / {p = 1} END {print sum + 0}' "$1.part.rec" \
    2>/dev/null || echo 0
}
timed_fetch() {  # URL: wall seconds of one lumorafm-fetch run, checked
  /usr/bin/time -f "%e" -o "$work/time.txt" "$fetch" "$1" "$work/out/file.bin" 10 \
    >"$work/tool.log" 2>&1
  [ "$(sha256sum "$work/out/file.bin" | cut -d' ' -f1)" = "$want" ] || { echo "resume: BAD sha"; exit 1; }
  tail -1 "$work/time.txt"
}
resume_case() {
  local url=$1 full second pid
  rm -f "$work/out/"*
  full=$(timed_fetch "$url")
  rm -f "$work/out/"*
  "$fetch" "$url" "$work/out/file.bin" 10 >/dev/null 2>&1 &
  pid=$!
  while [ "$(recorded_bytes "$work/out/file.bin")" -lt $((size / 2)) ]; do sleep 0.05; done
  kill -9 "$pid"
  wait "$pid" 2>/dev/null || true
  local claimed
  claimed=$(recorded_bytes "$work/out/file.bin")
  second=$(timed_fetch "$url")
  printf 'resume    lumora   full %7.2f s  after kill at %d bytes: %7.2f s  ratio %.2f\n' \
    "$full" "$claimed" "$second" "$(echo "scale=4; $second / $full" | bc)"
}

base="http://127.0.0.1:$port"
cases=" ${CASES:-resume throttled fast uneven https} "
[ "${RESUME_ONLY:-0}" = 1 ] && cases=" resume "
echo "file: $size_mib MiB; ideal throttled wall: $(echo "scale=2; $size_mib / 20" | bc) s"
if [[ $cases == *" resume "* ]]; then
  for i in $(seq "$runs"); do resume_case "$base/slow/file.bin"; done
fi
if [[ $cases == *" throttled "* ]]; then
  for i in $(seq "$runs"); do
    lumora throttled "$base/slow/file.bin"
    aria throttled "$base/slow/file.bin"
  done
  [ "${SKIP_SLOW_CURL:-0}" = 1 ] || curl1 throttled "$base/slow/file.bin"
fi
if [[ $cases == *" fast "* ]]; then
  for i in $(seq "$runs"); do
    lumora fast "$base/fast/file.bin"
    aria fast "$base/fast/file.bin"
    curl1 fast "$base/fast/file.bin"
  done
fi
[[ $cases != *" uneven "* ]] || lumora uneven "$base/uneven/file.bin"
if [[ $cases == *" https "* ]]; then
  for i in $(seq "$runs"); do
    lumora https "https://127.0.0.1:$tls_port/fast/file.bin"
    aria https "https://127.0.0.1:$tls_port/fast/file.bin"
    curl1 https "https://127.0.0.1:$tls_port/fast/file.bin"
  done
fi

