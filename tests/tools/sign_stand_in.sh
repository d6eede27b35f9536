#!/usr/bin/env bash
# sign_stand_in.sh PUBLISHER_DIR EXE VARIANTS_DIR: signs the freshly linked stand-in workbench
# installer EXE in place with the test publisher's first key (tests/tools/make_test_publisher.sh),
# as the maker signs the real one, and writes the variants the signature tests run into
# VARIANTS_DIR: unsigned.exe, second.exe (the other pinned key), foreign.exe (a key of the same
# root that is not pinned) and changed.exe (signed by the first key, then one byte changed).
# OSSLSIGNCODE names the osslsigncode to run (default: the one on PATH).
set -euo pipefail
publisher=$1 exe=$2 variants=$3
sign="$(dirname "${BASH_SOURCE[0]}")/sign_test_program.sh"
mkdir -p "$variants"

# A link writes an unsigned program; a signature left from an earlier run is removed
# (osslsigncode writes no file over an existing one).
rm -f "$variants/unsigned.exe"
"${OSSLSIGNCODE:-osslsigncode}" remove-signature -in "$exe" -out "$variants/unsigned.exe" >/dev/null 2>&1 ||
  cp -f "$exe" "$variants/unsigned.exe"
for key in first second foreign; do
  "$sign" "$publisher" "$key" "$variants/unsigned.exe" "$variants/$key.exe"
done
# One byte of the DOS stub's message: covered by the signature, never executed.
python3 - "$variants/first.exe" "$variants/changed.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"DOS mode")
data[at] = ord("d")
open(sys.argv[2], "wb").write(data)
PY
cp -f "$variants/first.exe" "$exe.signing"
mv -f "$exe.signing" "$exe"
