#!/usr/bin/env bash
# The download walk through the real widgets (offscreen) against aria2c on
# the same addresses, in the same run: 10 files of 20 MiB from the in-process
# simulator, each connection capped at 1 MiB/s. Prints both wall times, the
# ratio per round and the medians; every file is checked by SHA-256.
# Usage: bench/app/walk_vs_aria2c.sh [build dir] [rounds, default 3]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
rounds=${2:-3}
command -v aria2c >/dev/null || { echo "aria2c is not installed" >&2; exit 1; }
lumora_build_targets "$build" lumorafm-road-bench
QT_QPA_PLATFORM=offscreen "$build/bench/app/lumorafm-road-bench" walk "$rounds" 2> >(grep -v XDG_RUNTIME_DIR >&2)
