#!/usr/bin/env bash
# The project's Wine prefix and server.
#   wine-env.sh prefix         make the prefix if it is missing
#   wine-env.sh start          make the prefix and start a persistent wineserver,
#                              detached, so test processes start fast and no Wine
#                              process holds the caller's output open
#   wine-env.sh stop           end that wineserver and every Wine process of the prefix
#   wine-env.sh arch           print the Windows processor the tests run: i686 where
#                              this kernel runs 32-bit programs, else x86_64
#   wine-env.sh loader ARCH    print the Wine loader for programs of ARCH
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Wine runs 32-bit Windows programs through its 32-bit loader, a 32-bit Linux
# program; some kernels are booted without 32-bit support.
can_run_i386() { [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1; }

test_arch() { if can_run_i386; then echo i686; else echo x86_64; fi; }

loader() {
  if [ "$1" = x86_64 ] && ! can_run_i386; then
    # The plain "wine" starter tries the 32-bit loader first.
    if [ -x /usr/lib/wine/wine64 ]; then echo /usr/lib/wine/wine64; else command -v wine64; fi
  else
    command -v wine
  fi
}

wineserver_cmd() { if [ -x /usr/lib/wine/wineserver ]; then echo /usr/lib/wine/wineserver; else command -v wineserver; fi; }

make_prefix() {
  [ -f "$WINEPREFIX/system.reg" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Two test processes may ask at once: one makes the prefix, the other waits.
  exec 9>"$WINEPREFIX.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-env: making the Wine prefix $WINEPREFIX" >&2
    "$(loader "$(test_arch)")" wineboot -i </dev/null >/dev/null 2>&1 || true
    "$(wineserver_cmd)" -w
    [ -f "$WINEPREFIX/system.reg" ] || { echo "wine-env: wineboot made no prefix" >&2; exit 1; }
  fi
  flock -u 9
}

case "${1:-}" in
  prefix) make_prefix ;;
  start)
    make_prefix
    setsid "$(wineserver_cmd)" -p </dev/null >/dev/null 2>&1 &
    # The first client starts services.exe and friends, detached as well.
    setsid "$(loader "$(test_arch)")" cmd /c exit </dev/null >/dev/null 2>&1 || true
    ;;
  stop)
    "$(wineserver_cmd)" -k 2>/dev/null || true
    "$(wineserver_cmd)" -w 2>/dev/null || true
    ;;
  arch) test_arch ;;
  loader) loader "${2:?ARCH}" ;;
  *)
    echo "usage: $0 prefix|start|stop|arch|loader ARCH" >&2
    exit 2
    ;;
esac
