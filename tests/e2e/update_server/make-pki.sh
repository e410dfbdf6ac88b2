#!/usr/bin/env bash
# Makes the TLS certificates of the local update server (once; kept in the
# output folder):
#   trusted-ca.pem      a test CA that private-network.sh adds to the trusted
#                       bundle inside the test's own mount namespace only
#   server.pem/.key     the update hosts' certificate, issued by that CA
#   untrusted-ca.pem, untrusted-server.pem/.key
#                       the same names from a CA nobody trusts
# Usage: make-pki.sh OUTPUT_FOLDER
set -euo pipefail
out=${1:?output folder}
[ -f "$out/server.pem" ] && [ -f "$out/untrusted-server.pem" ] && exit 0
mkdir -p "$out"
cd "$out"

names="DNS:updates.nimbraplayer.test,DNS:download.nimbraplayer.test,DNS:mirror.e2e.test,DNS:localhost,IP:127.0.0.1"

make_ca() {  # name, subject
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "$2" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$1.key" -out "$1.pem" 2>/dev/null
}

make_server() {  # ca name, output name
  openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=updates.nimbraplayer.test" \
    -keyout "$2.key" -out "$2.csr" 2>/dev/null
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
    "$names" > "$2.ext"
  openssl x509 -req -in "$2.csr" -CA "$1.pem" -CAkey "$1.key" -CAcreateserial -days 825 -sha256 \
    -extfile "$2.ext" -out "$2.pem" 2>/dev/null
  rm -f "$2.csr" "$2.ext"
}

make_ca trusted-ca "/CN=Nimbra Update Test CA"
make_server trusted-ca server
make_ca untrusted-ca "/CN=Untrusted Test CA"
make_server untrusted-ca untrusted-server
