#!/usr/bin/env bash
# UI benchmark under the Wine harness: start-up to the first painted window against a minimal
# Win32 window, the paint time of one frame against one BitBlt, the processor time of a window
# idling in Ready against the minimal window, and the size of the program.
# Output also goes to docs/bench-ui.txt.
set -euo pipefail
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$source_dir/build/windows"
cd "$source_dir"
cmake --build --preset windows --target ui_bench trust-ca >/dev/null
export VELKO_HARNESS_DIR="$build/harness"
# The build carries debug information (RelWithDebInfo), which a release strips and which Wine
# reads into memory at every start: stripped copies give the shipped size and start-up.
shipped=$(mktemp -d /tmp/velko-ui-bench-shipped.XXXXXX)
# The harness comes down however the run ends: its service holds port 443 for the next user.
trap 'rm -rf "$shipped"; "$source_dir/scripts/harness/harness-ctl" down "$VELKO_HARNESS_DIR"' EXIT
"$source_dir/scripts/harness/harness-ctl" up "$VELKO_HARNESS_DIR"

for program in VelkoTarnOnlineInstaller.exe minimal_window.exe; do
  x86_64-w64-mingw32-strip -o "$shipped/$program" "$build/$program"
done

{
  echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) CPUs, Wine $("${VELKO_WINE:-/usr/lib/wine/wine64}" --version 2>/dev/null)"
  echo "UI benchmark: the installer window against a minimal Win32 window and plain GDI copies"
  echo
  "$source_dir/scripts/harness/wine-run" "$build/ui_bench.exe" "Z:$(printf '%s' "$shipped" | tr '/' '\\')" | tr -d '\r'
} | tee "$source_dir/docs/bench-ui.txt"
