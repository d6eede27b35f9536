#!/usr/bin/env bash
# sign_test_program.sh PUBLISHER_DIR KEY IN [OUT]: signs a Windows program (Authenticode, SHA-256)
# with one key of the test publisher (tests/tools/make_test_publisher.sh: first, second or
# foreign), IN into OUT, or IN in place. A signature IN already carries is replaced, never nested.
# OSSLSIGNCODE names the osslsigncode to run (default: the one on PATH).
set -euo pipefail
publisher=$1 key=$2 in=$3 out=${4:-$3}
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
work=$(mktemp -d "$(dirname "$out")/.sign-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
source="$work/unsigned.exe"
"$osslsigncode" remove-signature -in "$in" -out "$source" >/dev/null 2>&1 || cp -f "$in" "$source"
if ! "$osslsigncode" sign -pkcs12 "$publisher/$key/signer.pfx" -readpass "$publisher/$key/password.txt" -h sha256 \
     -in "$source" -out "$work/signed.exe" >"$work/sign.log" 2>&1; then
  cat "$work/sign.log" >&2
  exit 1
fi
chmod --reference="$in" "$work/signed.exe"
mv -f "$work/signed.exe" "$out"
