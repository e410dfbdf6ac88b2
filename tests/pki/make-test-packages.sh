#!/usr/bin/env bash
# Makes the signed packages the signature tests check, with certificates
# whose validity is relative to now, so they never go stale:
#   authority.der         the authority the tests trust (the form of the real one:
#                         self-issued, serial 0, sha1WithRSAEncryption, RSA 2048)
#   payload.bin           the "installer" every package carries
#   direct.p7             signer issued by the authority, only the signer in the message
#   intermediate.p7       signer <- intermediate (in the message) <- authority
#   missing-intermediate.p7  the same without the intermediate
#   foreign-root.p7       signer <- a foreign self-signed root, carried in the message
#   expired.p7            signer valid from 2 days ago to 1 day ago
#   not-yet-valid.p7      signer valid from tomorrow
#   altered.p7            direct.p7 with one byte of the content changed
#   chain-N.p7            N intermediates in the message (N = 30, 31, 32, 33)
#   old-authority.der, old-authority-signed.p7, old-authority-carried.p7
#                         an authority whose validity ended, its signer valid
#                         now; the second package carries the old authority too
#   attributes.p7         direct, but signed over authenticated attributes
#   development.p7        signed by a signer of the development authority that
#                         the service compiles in (DEVELOPMENT_CA_FOLDER)
# All packages are DER PKCS #7 SignedData with the content attached, signed
# without authenticated attributes (-noattr) unless said otherwise.
# Usage: make-test-packages.sh OUTPUT_FOLDER DEVELOPMENT_CA_FOLDER
set -euo pipefail
out=${1:?output folder}
development=$(cd "${2:?development authority folder}" && pwd)
# Made again when older than an hour, so the dates stay true to their names,
# or when this script changed.
stamp="$out/.complete"
version=$(sha1sum "${BASH_SOURCE[0]}" | cut -c1-40)
if [ -f "$stamp" ] && read -r made madeBy < "$stamp" && [ "$madeBy" = "$version" ] &&
   [ $(( $(date +%s) - made )) -lt 3600 ]; then
  exit 0
fi
rm -rf "$out"
mkdir -p "$out"
cd "$out"

when() { date -u -d "$1" +%Y%m%d%H%M%SZ; }

cat > ext.cnf <<'X'
[ca_ext]
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
[signer_ext]
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
X
mkdir -p db/new
: > db/index.txt
echo 1000 > db/serial
cat > ca.cnf <<'X'
[ca]
default_ca=c
[c]
dir=db
database=db/index.txt
serial=db/serial
new_certs_dir=db/new
default_md=sha256
policy=p
unique_subject=no
copy_extensions=none
[p]
commonName=supplied
X
cat ext.cnf >> ca.cnf

root() {  # name, CN, start, end
  openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
  openssl ca -batch -selfsign -config ca.cnf -keyfile "$1.key" -in "$1.csr" -out "$1.pem" -md sha1 \
    -startdate "$3" -enddate "$4" -extensions ca_ext -notext 2>/dev/null
  openssl x509 -in "$1.pem" -outform DER -out "$1.der"
}
issue() {  # name, CN, issuer, extensions, start, end, [existing key]
  if [ -n "${7:-}" ]; then
    openssl req -new -key "$7" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
    cp "$7" "$1.key"
  else
    openssl req -new -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=$2" 2>/dev/null
  fi
  openssl ca -batch -config ca.cnf -cert "$3.pem" -keyfile "$3.key" -in "$1.csr" -out "$1.pem" \
    -startdate "$5" -enddate "$6" -extensions "$4" -notext 2>/dev/null
}
sign() {  # package, signer, [chain file], [extra options]
  local chain=()
  [ -n "${3:-}" ] && chain=(-certfile "$3")
  openssl cms -sign -nodetach -binary -outform DER -md sha256 ${4:--noattr} -in payload.bin \
    -signer "$2.pem" -inkey "$2.key" "${chain[@]}" -out "$1"
}

long_ago=$(when '-1 day'); far=$(when '+10 years')
# The serial 0 of the real authority: the first certificate of a fresh database.
echo 00 > db/serial
root authority "Nimbra Test Update Authority" "$long_ago" "$far"
head -c 20000 /dev/urandom | { printf 'MZ'; cat; } > payload.bin

issue signer "Test Signer" authority signer_ext "$long_ago" "$far"
sign direct.p7 signer

issue intermediate "Test Intermediate" authority ca_ext "$long_ago" "$far"
issue signer-below "Test Signer Below Intermediate" intermediate signer_ext "$long_ago" "$far"
sign intermediate.p7 signer-below intermediate.pem
sign missing-intermediate.p7 signer-below

root foreign "Foreign Root" "$long_ago" "$far"
issue signer-foreign "Test Signer Under Foreign Root" foreign signer_ext "$long_ago" "$far"
sign foreign-root.p7 signer-foreign foreign.pem

issue signer-expired "Expired Signer" authority signer_ext "$(when '-2 days')" "$(when '-1 day')"
sign expired.p7 signer-expired
issue signer-future "Future Signer" authority signer_ext "$(when '+1 day')" "$(when '+2 days')"
sign not-yet-valid.p7 signer-future

python3 - <<'P'
data = bytearray(open("direct.p7", "rb").read())
payload = open("payload.bin", "rb").read()
at = data.find(payload[1000:1032])
data[at] ^= 1
open("altered.p7", "wb").write(data)
P

# Levels of the long chains share keys across chains (not within one), which
# keeps the number of keys to make small.
for i in $(seq 1 33); do
  openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "level-$i.key" 2>/dev/null
done
for n in 30 31 32 33; do
  issuer=authority
  : > "chain-$n.pem"
  for i in $(seq 1 "$n"); do
    issue "chain-$n-$i" "Chain $n Level $i" "$issuer" ca_ext "$long_ago" "$far" "level-$i.key"
    cat "chain-$n-$i.pem" >> "chain-$n.pem"
    issuer="chain-$n-$i"
  done
  issue "chain-$n-signer" "Chain $n Signer" "$issuer" signer_ext "$long_ago" "$far"
  sign "chain-$n.p7" "chain-$n-signer" "chain-$n.pem"
done

root old-authority "Old Test Authority" "$(when '-20 years')" "$(when '-1 day')"
issue signer-old "Signer Of The Old Authority" old-authority signer_ext "$long_ago" "$far"
sign old-authority-signed.p7 signer-old
sign old-authority-carried.p7 signer-old old-authority.pem

sign attributes.p7 signer "" " "

cp "$development/development-ca.pem" development-ca.pem
cp "$development/development-ca.key.pem" development-ca.key
issue signer-development "Development Package Signer" development-ca signer_ext "$long_ago" "$far"
sign development.p7 signer-development

rm -f ./*.csr
echo "$(date +%s) $version" > "$stamp"
