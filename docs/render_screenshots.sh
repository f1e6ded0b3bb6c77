#!/usr/bin/env bash
# Renders docs/main_window.png and docs/track_window.png under a virtual X
# server (Xvfb): real X11 rendering, no window manager, so no frames.
# Usage: docs/render_screenshots.sh [build dir, default build/release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
lumora_build_targets "$build" lumorafm-screenshots
unset QT_QPA_PLATFORM
xvfb-run -a -s "-screen 0 1280x720x24" "$build/src/app/lumorafm-screenshots" "$root/docs"
echo "Wrote $root/docs/main_window.png and $root/docs/track_window.png"
