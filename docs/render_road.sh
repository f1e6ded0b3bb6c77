#!/usr/bin/env bash
# Renders docs/road_*.png: the album road (search 心理罪, open an album, tick
# all, choose a folder, download) walked through the real windows against the
# in-process simulator, under a virtual X server (Xvfb). The album's files
# are served slowly so that one picture catches a download half done.
# Usage: docs/render_road.sh [build dir, default build/release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
lumora_build_targets "$build" lumorafm-road-shots
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x720x24" "$build/bench/app/lumorafm-road-shots" "$root/docs"
echo "Wrote $root/docs/road_search.png, road_tracks.png, road_downloading.png, road_done.png"
