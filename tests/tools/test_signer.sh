# Sourced by the signing tests. make_test_signer [NAME [DAYS]] writes into the current folder a
# code-signing certificate for NAME (default "Velko Tarn Test Signer"), packed with its key as the
# maker's .pfx is (signer.pfx, password in password.txt), issued by a throw-away CA (ca.pem, ca.key)
# that is made on the first call and kept for the next; both valid for DAYS (default 2).
make_test_signer() {
  local name=${1:-Velko Tarn Test Signer}
  local days=${2:-2}
  if [ ! -f ca.pem ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days "$days" -subj "/CN=Velko Test Signing CA" \
      -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  fi
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/O=Velko Tarn/CN=$name" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days "$days" \
    -extfile signer.ext 2>/dev/null
  printf 'Tarn test pass 7\n' >password.txt
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.pfx -passout file:password.txt
}
