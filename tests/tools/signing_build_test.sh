#!/usr/bin/env bash
# The build's signing step, on a small project that signs its program exactly as the product's
# build does (cmake/signing.cmake, the mingw-w64 tool chain, ninja): configuring an existing
# build folder for signing signs the program already there; a second build does nothing; a
# changed setting, certificate or link signs again, with one signature; switching signing off
# leaves an unsigned program. A test build, or one that may carry the stand-in bootstrapper, is
# not configured for signing at all. Needs no Wine.
#   signing_build_test.sh SOURCE_DIR WORK_DIR
# OSSLSIGNCODE picks the osslsigncode to sign with (default: the one on PATH).
set -euo pipefail
source_dir=$(realpath "$1")
work=$2
osslsigncode=$(command -v "${OSSLSIGNCODE:-osslsigncode}") || { echo "FAIL: osslsigncode not found" >&2; exit 1; }

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work/project"
cd "$work"
source "$source_dir/tests/tools/test_signer.sh"
make_test_signer

# The signature's description comes from the project, as the product's does.
write_project() {
  cat >project/CMakeLists.txt <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(signing_build C)
set(VELKO_FILE_DESCRIPTION "$1")
add_executable(VelkoTarnOnlineInstaller WIN32 main.c)
include("$source_dir/cmake/signing.cmake")
CMAKE
}
write_project "VelkoTarn工作台 在线安装程序"
printf 'int WinMain(void) { return 0; }\n' >project/main.c
program=build/VelkoTarnOnlineInstaller.exe

configure() {
  cmake -S project -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DVELKO_OSSLSIGNCODE="$osslsigncode" "$@" >configure.log 2>&1 || { cat configure.log; fail "configure failed"; }
}
build() {
  cmake --build build >build.log 2>&1 || { cat build.log; fail "build failed"; }
}
signed() {
  "$osslsigncode" verify -CAfile ca.pem -in "$program" >verify.log 2>&1
}
# The signature verifies and carries this description and signer.
signed_by() {
  signed || { cat verify.log; fail "$3: the program does not verify"; }
  grep -q "Text description *: *$1\$" verify.log || { cat verify.log; fail "$3: the description is not \"$1\""; }
  grep -q "CN=$2\b" verify.log || { cat verify.log; fail "$3: not signed by $2"; }
}
nothing_to_do() {
  cmake --build build >again.log 2>&1 || { cat again.log; fail "build failed"; }
  grep -q "no work to do" again.log || { cat again.log; fail "$1: the next build did work again"; }
}
signing=(-DVELKO_SIGNING_PKCS12="$work/signer.pfx" -DVELKO_SIGNING_PASSWORD_FILE="$work/password.txt"
         -DVELKO_SIGNING_CA_FILE="$work/ca.pem")

echo "== an unsigned build"
configure
build
signed && fail "the unsigned build's program verifies"
nothing_to_do "unsigned"

echo "== the same folder configured for signing"
configure "${signing[@]}"
build
signed_by "VelkoTarn工作台 在线安装程序" "Velko Tarn Test Signer" "configuring for signing"
once=$(stat -c %s "$program")
nothing_to_do "signed"

echo "== another description"
write_project "Other words"
build
signed_by "Other words" "Velko Tarn Test Signer" "a changed description"
nothing_to_do "another description"
write_project "VelkoTarn工作台 在线安装程序"
build
signed_by "VelkoTarn工作台 在线安装程序" "Velko Tarn Test Signer" "the description back"
[ "$(stat -c %s "$program")" = "$once" ] || fail "signing again stacked the signatures"

echo "== a renewed certificate in the same file"
make_test_signer "Velko Tarn Renewed Signer"
build
signed_by "VelkoTarn工作台 在线安装程序" "Velko Tarn Renewed Signer" "a renewed certificate"
nothing_to_do "renewed certificate"

echo "== a new link"
printf 'int WinMain(void) { return 1; }\n' >project/main.c
build
signed_by "VelkoTarn工作台 在线安装程序" "Velko Tarn Renewed Signer" "a new link"
nothing_to_do "new link"

echo "== signing switched off"
configure -DVELKO_SIGNING_PKCS12= -DVELKO_SIGNING_PASSWORD_FILE= -DVELKO_SIGNING_CA_FILE=
build
[ -f "$program" ] || fail "the program is missing"
signed && fail "signing switched off, yet the program still carries its signature"
nothing_to_do "unsigned again"

echo "== a test build is not configured for signing"
for setting in -DVELKO_TEST_BUILD=ON -DVELKO_ALLOW_STANDIN_BOOTSTRAPPER=ON; do
  rm -rf refused
  if cmake -S project -B refused -G Ninja -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
       -DVELKO_OSSLSIGNCODE="$osslsigncode" "${signing[@]}" "$setting" >refused.log 2>&1; then
    fail "configuring for signing with $setting succeeded"
  fi
  grep -q "Signing refuses" refused.log || { cat refused.log; fail "$setting: no reason given"; }
  [ ! -f refused/build.ninja ] || fail "$setting: a build was generated"
done

echo "signing in the build: all checks passed"
