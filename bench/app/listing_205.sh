#!/usr/bin/env bash
# Time from the double-click on the 205-track album to its last row in the
# Track list, through the real widgets (offscreen) against the in-process
# simulator; median of several runs against the 205 ms that the 1 ms pause
# a row costs at least.
# Usage: bench/app/listing_205.sh [build dir] [runs, default 9]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/release}
runs=${2:-9}
if [ -f "$build/build.ninja" ]; then
  cmake "$build" >/dev/null  # picks up folders added since
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target lumorafm-road-bench -- -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/app/lumorafm-road-bench" listing "$runs" 2> >(grep -v XDG_RUNTIME_DIR >&2)
