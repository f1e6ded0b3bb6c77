#!/usr/bin/env bash
# Time from the double-click on the 205-track album to its last row in the
# Track list, through the real widgets (offscreen) against the in-process
# simulator; median of several runs against the 205 ms that the 1 ms pause
# a row costs at least. Then the same for the 2,000-track album: its time per
# row must not exceed the short album's.
# Usage: bench/app/listing_205.sh [build dir] [runs, default 9]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
runs=${2:-9}
lumora_build_targets "$build" lumorafm-road-bench
QT_QPA_PLATFORM=offscreen "$build/bench/app/lumorafm-road-bench" listing "$runs" 2> >(grep -v XDG_RUNTIME_DIR >&2)
