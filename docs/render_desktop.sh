#!/usr/bin/env bash
# Renders docs/desktop.png: the Main window and the Track window side by side
# as a window manager (openbox) frames and places them, on a virtual X server
# of its own (Xvfb), with sample rows in both lists.
# Usage: docs/render_desktop.sh [build dir, default build/release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
LUMORA_ROOT=$root
. "$root/scripts/setup.sh"
build=${1:-$root/build/release}
lumora_build_targets "$build" lumorafm-desktop-probe
/usr/bin/python3 "$root/docs/render_desktop.py" "$build/tests/desktop/lumorafm-desktop-probe" \
  "$root/docs/desktop.png"
echo "Wrote $root/docs/desktop.png"
