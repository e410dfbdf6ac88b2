#!/usr/bin/env bash
# Makes the DEVELOPMENT certificate authority that development and test
# builds of NimbraPlayerUpdateService trust for installer packages. It has the
# form of the maker's release authority (X.509 v3, self-issued, serial 0,
# sha1WithRSAEncryption, RSA 2048, basic constraints CA, twenty years) but is
# NOT it: release builds embed the maker's own authority with
#   cmake -DNIMBRA_CA_CERTIFICATE=/path/to/authority.der ...
# The private key below is for signing development packages only; it is in
# the repository on purpose and protects nothing.
# Usage: make-development-ca.sh [OUTPUT_FOLDER]   (default: this folder)
set -euo pipefail
out=${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}
cd "$out"
openssl req -x509 -newkey rsa:2048 -nodes -sha1 -days 7305 -set_serial 0 \
  -subj "/C=SE/O=Orvane Systems Incorporated/OU=Development builds only/CN=Orvane Nimbra Player Development Update Authority" \
  -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -addext "subjectKeyIdentifier=hash" \
  -keyout development-ca.key.pem -out development-ca.pem 2>/dev/null
openssl x509 -in development-ca.pem -outform DER -out development-ca.der
echo "development authority: $(stat -c %s development-ca.der) bytes of DER"
openssl x509 -in development-ca.pem -noout -subject -serial -dates
