#!/usr/bin/env bash
# The product as the release preset builds it, in a build folder of its own: only the carried
# WebView2 bootstrapper is the stand-in (VELKO_ALLOW_STANDIN_BOOTSTRAPPER), as the test machine has
# no Microsoft file. Its program must hold none of the test hooks' environment-variable names and
# no loopback host (scripts/check-release-image, ASCII and UTF-16LE), must hold the maker's download
# host and no symbols, and the folder must have no test programs. Needs no Wine.
#   release_build_test.sh SOURCE_DIR BUILD_DIR [CMAKE_ARGUMENT...]
# Further arguments go to the configuration: with -DVELKO_TEST_BUILD=ON -DVELKO_DOWNLOAD_HOST=127.0.0.1
# (and another BUILD_DIR) the test must fail.
set -euo pipefail
source_dir=$(realpath "$1")
build=$(realpath -m "$2")
shift 2
check="$source_dir/scripts/check-release-image"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

echo "== the check finds every test hook of src/ and the loopback host"
# It looks for their common prefix; each name, put into a file in either encoding, must be named.
mapfile -t hooks < <(grep -rhoE 'VELKO_TEST_[A-Z0-9_]+' "$source_dir/src" | sort -u)
[ ${#hooks[@]} -gt 0 ] || fail "no VELKO_TEST_ name found in src/"
echo "test hooks in src/: ${hooks[*]}"
planted="$build/planted"
rm -rf "$planted"
mkdir -p "$planted"
for text in "${hooks[@]}" 127.0.0.1; do
  for encoding in ascii utf-16-le; do
    python3 - "$planted/image.exe" "$text" "$encoding" <<'PY'
import sys
with open(sys.argv[1], "wb") as data:
    data.write(b"MZ" + bytes(301) + sys.argv[2].encode(sys.argv[3]) + bytes(77))
PY
    if "$check" "$planted/image.exe" >"$planted/found.txt"; then
      fail "the check misses $text ($encoding)"
    fi
    grep -q " holds $text (" "$planted/found.txt" || { cat "$planted/found.txt"; fail "the check does not name $text"; }
  done
done
printf 'MZ\0\0download.velkotarn.com\0' >"$planted/image.exe"
"$check" "$planted/image.exe" || fail "the check refuses a program without test hooks"

echo "== the release preset's program"
cd "$source_dir"
cmake --preset release -B "$build" -DVELKO_ALLOW_STANDIN_BOOTSTRAPPER=ON \
  -DVELKO_PUBLISHER_KEYS=46960C434E434E361E84FF48874C753C29F04D7D5AEC9FF66A29B4C7B6E89E97 "$@" >"$build/configure.log" 2>&1 ||
  { cat "$build/configure.log"; fail "configure failed"; }
# Only the product (and the stand-in it carries), with at most the machine's two cores.
cmake --build "$build" --target VelkoTarnOnlineInstaller -j 2 >"$build/build.log" 2>&1 ||
  { tail -n 50 "$build/build.log"; fail "build failed"; }
program="$build/VelkoTarnOnlineInstaller.exe"
[ -f "$program" ] || fail "no program: $program"

"$check" "$program" || fail "the release program holds test hooks or a loopback host"

# The host the release preset sets is the project's release host (its default in CMakeLists.txt).
host=$(sed -nE 's/^set\(VELKO_DOWNLOAD_HOST "([^"]+)" CACHE.*/\1/p' "$source_dir/CMakeLists.txt")
[ -n "$host" ] || fail "no default VELKO_DOWNLOAD_HOST in CMakeLists.txt"
python3 - "$program" "$host" <<'PY' || fail "the release program does not hold the download host $host"
import sys
content = open(sys.argv[1], "rb").read()
sys.exit(0 if any(sys.argv[2].encode(e) in content for e in ("ascii", "utf-16-le")) else 1)
PY

if x86_64-w64-mingw32-objdump -h "$program" | grep -q '\.debug_'; then
  fail "the release program carries debug information"
fi
symbols=$(x86_64-w64-mingw32-nm "$program" 2>/dev/null | wc -l)
[ "$symbols" -eq 0 ] || fail "the release program is not stripped: $symbols symbols"

# Test programs, stand-ins other than the carried bootstrapper, tools and benchmarks stay out.
targets=$(cmake --build "$build" --target help 2>/dev/null)
if grep -E '^(\S+_test|\S*bench\S*|trust-ca|velko_test_support|workbench\S*): ' <<<"$targets"; then
  fail "the release build has test programs or tools"
fi

echo "release build without test hooks: all checks passed"
