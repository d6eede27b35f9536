#!/usr/bin/env bash
# make_test_publisher.sh DIR: the throw-away publisher of a test build, made once and kept. DIR gets
# a CA (ca.pem, and ca.der for the Wine prefix to trust) and three code-signing certificates it
# issued, each in a folder of its own as signer.pfx with password.txt: "first" and "second", the
# two keys the test build pins, and "foreign", a key that chains to the same root but is not
# pinned. Prints the pinned key digests as the build option takes them ("first;second").
set -euo pipefail
dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/test_signer.sh"

key_digest() {
  openssl x509 -in "$1" -pubkey -noout | openssl pkey -pubin -outform der | sha256sum | cut -d' ' -f1
}

if [ ! -f "$dir/foreign/signer.pfx" ]; then
  rm -rf "$dir"
  mkdir -p "$dir"
  cd "$dir"
  # Ten years: the build pins the keys once, and an expired certificate without a timestamp would
  # fail every signature check of a long-lived build folder.
  for signer in first second foreign; do
    make_test_signer "Velko Tarn Test Publisher ($signer)" 3650 >/dev/null 2>&1
    mkdir "$signer"
    mv signer.pfx signer.pem signer.key password.txt "$signer/"
    rm -f signer.csr signer.ext
  done
  openssl x509 -in ca.pem -outform der -out ca.der
  cd - >/dev/null
fi
printf '%s;%s\n' "$(key_digest "$dir/first/signer.pem")" "$(key_digest "$dir/second/signer.pem")"
