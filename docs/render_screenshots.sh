#!/usr/bin/env bash
# Renders docs/main_window.png and docs/track_window.png under a virtual X
# server (Xvfb): real X11 rendering, no window manager, so no frames.
# Usage: docs/render_screenshots.sh [build dir, default build/release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
if [ -f "$build/build.ninja" ]; then
  cmake "$build" >/dev/null  # picks up folders added since
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target lumorafm-screenshots -- -j2
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x720x24" "$build/src/app/lumorafm-screenshots" "$root/docs"
echo "Wrote $root/docs/main_window.png and $root/docs/track_window.png"
