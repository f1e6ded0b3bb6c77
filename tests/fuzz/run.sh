#!/usr/bin/env bash
# Runs one fuzz target for a while from the fuzz build.
# Usage: tests/fuzz/run.sh TARGET SECONDS   (e.g. fuzz_request_text 600)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
target=${1:?target name}
seconds=${2:-60}
build=$root/build/fuzz
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLUMORA_SANITIZE=fuzz -DLUMORA_FUZZ=ON -DLUMORA_GUI=OFF -DLUMORA_BENCH=OFF \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
cmake --build "$build" --target "$target"
corpus=$build/corpus/$target
mkdir -p "$corpus"
exec "$build/tests/fuzz/$target" "$corpus" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10
