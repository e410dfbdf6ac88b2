#!/usr/bin/env bash
# Runs a command in a private network and mount namespace with its own
# loopback, where the update host names resolve to 127.0.0.1, the test CA is
# trusted (by Wine, which reads the host's bundle), and a wineserver for the
# project's prefix runs inside, so Wine programs reach the servers the test
# starts on ports 80 and 443 and nothing else.
#   private-network.sh COMMAND [ARGUMENTS...]
# Needs root. No wineserver of the prefix may run outside: one is stopped first.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../../.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$root/build/wineprefix}
export NIMBRA_PKI=${NIMBRA_PKI:-$root/build/e2e-pki}

if [ "${NIMBRA_INSIDE_PRIVATE_NETWORK:-}" != 1 ]; then
  "$here/make-pki.sh" "$NIMBRA_PKI"
  "$root/scripts/wine-env.sh" prefix
  "$root/scripts/wine-env.sh" stop  # a server outside would carry the clients' traffic out
  export NIMBRA_INSIDE_PRIVATE_NETWORK=1
  exec unshare --mount --net --propagation private "$0" "$@"
fi

ip link set lo up

scratch=$(mktemp -d)
cat /etc/ssl/certs/ca-certificates.crt "$NIMBRA_PKI/trusted-ca.pem" > "$scratch/ca-certificates.crt"
mount --bind "$scratch/ca-certificates.crt" /etc/ssl/certs/ca-certificates.crt
{
  cat /etc/hosts
  echo "127.0.0.1 updates.nimbraplayer.test download.nimbraplayer.test mirror.e2e.test"
} > "$scratch/hosts"
mount --bind "$scratch/hosts" /etc/hosts

cleanup() {
  "$root/scripts/wine-env.sh" stop
  rm -rf "$scratch"
}
trap cleanup EXIT
"$root/scripts/wine-env.sh" start
"$@"
