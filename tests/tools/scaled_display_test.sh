#!/usr/bin/env bash
# The window tests of a scaled display, in a Wine prefix of their own whose display is at 144 DPI
# (150 %): LogPixels is read when a process starts, so the shared test prefix, which stays at
# 96 DPI, cannot serve. The prefix is made once and kept; the display and the wineserver end with
# the run. Usage: scaled_display_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build=$2
export VELKO_HARNESS_DIR="$build/harness-144dpi"
source "$source_dir/scripts/harness/wine-env.sh"
mkdir -p "$VELKO_HARNESS_DIR"
n=$(velko_harness_display)
export DISPLAY=":$n"
stop() {
  "$VELKO_WINESERVER" -k 2>/dev/null || true
  if [ -f "$VELKO_HARNESS_DIR/xvfb.pid" ]; then kill "$(cat "$VELKO_HARNESS_DIR/xvfb.pid")" 2>/dev/null || true; fi
}
trap stop EXIT
velko_start_xvfb "$n"
if [ ! -f "$WINEPREFIX/.velko-ready" ]; then velko_make_prefix; fi
"$VELKO_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
"$VELKO_WINESERVER" -w
output=$("$VELKO_WINE" "$build/window_test.exe" --gtest_filter='ScaledDisplay.*' 2>&1 | tr -d '\r') || status=$?
printf '%s\n' "$output"
# A test that skipped (the prefix not at 144 DPI) proves nothing.
if [ "${status:-0}" -ne 0 ] || ! grep -q '^\[  PASSED  \] 1 test' <<<"$output" || grep -q 'SKIPPED' <<<"$output"; then
  echo "scaled_display_test: the window test at 144 DPI did not pass" >&2
  exit 1
fi
