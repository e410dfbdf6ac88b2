#!/usr/bin/env bash
# The main job: one real update cycle of NimbraPlayerUpdateService under Wine.
# Builds the service, makes a fresh private Wine prefix and a private network,
# publishes version 2.0 of both flavours with tools/publish-update and serves
# it with nginx, records version 1.0 as installed, runs "-install" and
# "-setSilentAutoUpdate" as an administrator would, starts the executable
# without arguments as the hourly task does, waits for the service to stop and
# shows the log, the installer's record of its start and the registry values.
# Leaves nothing running; the prefix stays in build/main-job for inspection.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

bash scripts/install-deps.sh
arch=$(scripts/wine-env.sh arch)
preset=windows
[ "$arch" = x86_64 ] && preset=windows-x64
for p in windows $preset; do
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" >/dev/null
done
echo "== built $(file -b build/windows/src/NimbraPlayerUpdateService.exe | cut -d, -f1)"
[ "$arch" = x86_64 ] && echo "== this kernel cannot run 32-bit programs: running the x86_64 build under Wine"

work=$root/build/main-job
rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX=$work/prefix NIMBRA_WORK=$work NIMBRA_ARCH=$arch
echo "== making a fresh Wine prefix in $WINEPREFIX"
scripts/wine-env.sh prefix
tests/e2e/update_server/private-network.sh /usr/bin/python3 scripts/main_job.py
