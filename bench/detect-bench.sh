#!/usr/bin/env bash
# Builds and runs the classification benchmark under the Wine harness of the Windows build
# and writes its report to docs/bench-detect.txt.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/windows"
cmake --build "$build" --target detect_bench
export VELKO_HARNESS_DIR="$build/harness"
# wine-run brings up the prefix's display and wineserver; they come down however the run ends.
trap '"$root/scripts/harness/harness-ctl" down "$VELKO_HARNESS_DIR"' EXIT
"$root/scripts/harness/wine-run" "$build/detect_bench.exe" | tr -d '\r' | tee "$root/docs/bench-detect.txt"
