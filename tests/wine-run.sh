#!/usr/bin/env bash
# Runs a Windows test program under Wine in the project's own prefix:
#   wine-run.sh ARCH program.exe [arguments...]
# ctest calls it as the cross-compiling emulator; scripts/wine-env.sh start makes
# the prefix and a persistent wineserver beforehand.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
arch=$1
shift
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$here/scripts/wine-env.sh" prefix
fi
exec "$("$here/scripts/wine-env.sh" loader "$arch")" "$@"
