#!/usr/bin/env bash
# Start time to the Main window's first paint, and resident memory, under a
# virtual X server. Also the resident memory of the real program 1 s after
# start. Usage: bench/app/start_and_memory.sh [build dir] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
runs=${2:-10}
lumora_build_targets "$build" lumorafm lumorafm-start-probe
unset QT_QPA_PLATFORM
probe="$build/bench/app/lumorafm-start-probe"
program="$build/src/app/lumorafm"
xvfb-run -a -s "-screen 0 1280x720x24" bash -c '
  probe=$1 program=$2 runs=$3
  for i in $(seq "$runs"); do "$probe" "$(date +%s%N)" 2>/dev/null; done
  "$program" 2>/dev/null & pid=$!
  sleep 1
  echo "lumorafm_rss_after_1s_mib $(awk "/VmRSS/ {printf \"%.1f\", \$2/1024}" /proc/$pid/status)"
  kill "$pid"; wait "$pid" 2>/dev/null || true
' _ "$probe" "$program" "$runs"
