#!/usr/bin/env bash
# Signs a copy of a release program (no test hooks) with scripts/sign-exe and a throw-away CA,
# then checks that the signature verifies against that CA only, that a change after signing
# breaks it, that a wrong password leaves the program untouched, that the version resource is
# still there, and that a program of a test build is refused.
#   signing_test.sh PROGRAM TEST_BUILD_PROGRAM WORK_DIR
# OSSLSIGNCODE picks the osslsigncode to test with (default: the one on PATH); sign-exe uses the
# same one. Debian 12's 2.5 and backports' 2.9 must both pass: outcomes are judged by exit status
# (2.5 fails with 255, 2.9 mostly with 1), and the few report lines read are worded alike in both.
set -euo pipefail
program=$(realpath "$1")
test_build_program=$(realpath "$2")
work=$3
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
sign_exe="$tools/../../scripts/sign-exe"
description="VelkoTarn工作台 在线安装程序"
osslsigncode=${OSSLSIGNCODE:-osslsigncode}
export OSSLSIGNCODE=$osslsigncode

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"
command -v "$osslsigncode" >/dev/null || fail "osslsigncode not found: $osslsigncode"
version=$("$osslsigncode" --version 2>&1 || true)
version=${version%%$'\n'*}
echo "using ${version%%,*} ($(command -v "$osslsigncode"))"

# The CA and a code-signing certificate it issued, packed with its key as the maker's .pfx is.
source "$tools/test_signer.sh"
make_test_signer
printf 'not the password\n' >wrong-password.txt

# The build may have signed the program already: start from an unsigned copy.
"$osslsigncode" remove-signature -in "$program" -out unsigned.exe >/dev/null 2>&1 || cp "$program" unsigned.exe
if "$osslsigncode" verify -CAfile ca.pem -in unsigned.exe >/dev/null 2>&1; then
  fail "an unsigned program verifies"
fi

echo "== signing with the right password"
cp unsigned.exe signed.exe
"$sign_exe" --pkcs12 signer.pfx --password-file password.txt --description "$description" --ca-file ca.pem \
  signed.exe 2>&1 | tee signed.log
cmp -s unsigned.exe signed.exe && fail "sign-exe left the program unchanged"
"$osslsigncode" verify -CAfile ca.pem -in signed.exe >verify.log 2>&1 || { cat verify.log; fail "the signature does not verify"; }
grep -q "Signature verification *: *ok" verify.log || { cat verify.log; fail "no successful verification reported"; }
grep -q "Message digest algorithm *: *SHA256" verify.log || { cat verify.log; fail "the signature does not use SHA-256"; }
grep -q "Text description *: *$description" verify.log || { cat verify.log; fail "the description is missing"; }
grep -q "Velko Tarn Test Signer" verify.log || { cat verify.log; fail "signed by someone else"; }
# The signer is trusted through the CA only: the system's trust store does not know it.
if "$osslsigncode" verify -in signed.exe >/dev/null 2>&1; then
  fail "the signature verifies without the test CA"
fi

echo "== signing a signed program again"
# The old signature is replaced, not nested: the same certificate and description give a program
# of the size signing once gives, and a new description is the one the signature carries.
cp signed.exe resigned.exe
"$sign_exe" --pkcs12 signer.pfx --password-file password.txt --description "$description" --ca-file ca.pem \
  resigned.exe >/dev/null || fail "signing a signed program failed"
[ "$(stat -c %s resigned.exe)" = "$(stat -c %s signed.exe)" ] || fail "signing again stacked the signatures"
"$osslsigncode" verify -CAfile ca.pem -in resigned.exe >resigned.log 2>&1 || { cat resigned.log; fail "the new signature does not verify"; }
"$sign_exe" --pkcs12 signer.pfx --password-file password.txt --description "Other words" --ca-file ca.pem \
  resigned.exe >/dev/null || fail "signing a signed program failed"
"$osslsigncode" verify -CAfile ca.pem -in resigned.exe >resigned.log 2>&1 || { cat resigned.log; fail "the new signature does not verify"; }
grep -q "Text description *: *Other words" resigned.log || { cat resigned.log; fail "the new description is missing"; }
grep -q "Text description *: *$description" resigned.log && { cat resigned.log; fail "the old signature is still there"; }
"$osslsigncode" remove-signature -in signed.exe -out signed-removed.exe >/dev/null 2>&1 || fail "no signature to remove"
"$osslsigncode" remove-signature -in resigned.exe -out resigned-removed.exe >/dev/null 2>&1 || fail "no signature to remove"
cmp -s signed-removed.exe resigned-removed.exe || fail "signing again changed the program beyond its signature"

echo "== changing a byte after signing"
cp signed.exe tampered.exe
python3 - tampered.exe <<'PY'
import sys
path = sys.argv[1]
with open(path, "r+b") as data:
    content = bytearray(data.read())
    offset = len(content) // 3  # inside the code, far from the signature at the end
    content[offset] ^= 0x5A
    data.seek(0)
    data.write(content)
PY
if "$osslsigncode" verify -CAfile ca.pem -in tampered.exe >tampered.log 2>&1; then
  cat tampered.log
  fail "a program changed after signing still verifies"
fi

echo "== signing with a wrong password"
cp unsigned.exe wrong.exe
if "$sign_exe" --pkcs12 signer.pfx --password-file wrong-password.txt --description "$description" \
     --ca-file ca.pem wrong.exe 2>wrong.log; then
  fail "signing with a wrong password succeeded"
fi
cmp -s unsigned.exe wrong.exe || fail "a failed signature changed the program"
if compgen -G ".sign-exe.*" >/dev/null; then
  fail "sign-exe left its temporary folder behind"
fi
if grep -q "Tarn test pass" wrong.log signed.log; then
  fail "the password was printed"
fi

echo "== a time-stamp service that does not answer"
# A port that was free a moment ago: the connection is refused at once, and the program must be
# left unsigned rather than signed without its time stamp. No proxy: the address is local.
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cp unsigned.exe unstamped.exe
if env -u http_proxy -u HTTP_PROXY -u all_proxy -u ALL_PROXY \
     "$sign_exe" --pkcs12 signer.pfx --password-file password.txt --ca-file ca.pem \
     --timestamp-url "http://127.0.0.1:$closed_port/" unstamped.exe 2>unstamped.log; then
  fail "sign-exe succeeded although the time stamp could not be had"
fi
cmp -s unsigned.exe unstamped.exe || fail "a failed time stamp changed the program"
if grep -q "Tarn test pass" unstamped.log; then
  fail "the password was printed"
fi

echo "== a signature that does not verify is not kept"
openssl req -x509 -newkey rsa:2048 -nodes -keyout other.key -out other.pem -days 2 -subj "/CN=Other CA" 2>/dev/null
cp unsigned.exe untrusted.exe
if "$sign_exe" --pkcs12 signer.pfx --password-file password.txt --ca-file other.pem untrusted.exe 2>untrusted.log; then
  fail "sign-exe kept a signature that does not verify"
fi
cmp -s unsigned.exe untrusted.exe || fail "a signature that does not verify changed the program"

echo "== a test build is not signed"
# Its program obeys the test hooks; it is refused before anything is signed, and left as it was.
"$osslsigncode" remove-signature -in "$test_build_program" -out test-build.exe >/dev/null 2>&1 ||
  cp "$test_build_program" test-build.exe
cp test-build.exe test-build-unsigned.exe
if "$sign_exe" --pkcs12 signer.pfx --password-file password.txt --description "$description" --ca-file ca.pem \
     test-build.exe 2>test-build.log; then
  fail "sign-exe signed a program of a test build"
fi
cat test-build.log
grep -q "VELKO_TEST_" test-build.log || fail "the refusal does not name the test hooks it found"
grep -q "is a test build" test-build.log || fail "the refusal does not say why"
cmp -s test-build-unsigned.exe test-build.exe || fail "a refused program was changed"

echo "== the version resource after signing"
python3 - signed.exe "$description" <<'PY'
import sys
content = open(sys.argv[1], "rb").read()
for text in ["VS_VERSION_INFO", "080404b0", "FileDescription", sys.argv[2], "ProductName", "VelkoTarn工作台",
             "OriginalFilename", "VelkoTarnOnlineInstaller.exe", "1.0.0.0"]:
    if text.encode("utf-16-le") not in content:
        sys.exit(f"FAIL: the signed program lacks {text!r} in its version resource")
PY

echo "authenticode signing: all checks passed"
