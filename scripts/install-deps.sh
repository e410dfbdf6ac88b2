#!/usr/bin/env bash
# Installs what building and testing the service needs on Debian 12, as root.
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

need_i386=0
missing=()

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Packages the build and the three test tiers use. The x86_64 compiler builds
# the test copy that Wine runs where the kernel cannot run 32-bit programs;
# clang builds the fuzz targets, Google Benchmark the benchmarks; nginx is the
# local update server of the end-to-end tests.
packages=(
  cmake ninja-build file
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest
  g++ python3 python3-pytest
  clang libclang-rt-14-dev libbenchmark-dev
  librapidxml-dev
  nginx openssl iproute2 util-linux
  wine wine64 wine32:i386
)

for p in "${packages[@]}"; do
  have_pkg "$p" || missing+=("$p")
  case "$p" in *:i386) need_i386=1 ;; esac
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
