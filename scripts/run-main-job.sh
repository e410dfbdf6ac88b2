#!/usr/bin/env bash
# Builds NimbraPlayerUpdateService.exe and runs it under Wine as the system
# and an administrator would, in a scratch working directory that has the log
# folder, then shows what it printed, its exit codes and its log.
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
build=$root/build/$preset
echo "== built $(file -b build/windows/src/NimbraPlayerUpdateService.exe | cut -d, -f1)"
[ "$arch" = x86_64 ] && echo "== this kernel cannot run 32-bit programs: running the x86_64 build under Wine"

export WINEPREFIX=$root/build/wineprefix WINEDEBUG=-all
scripts/wine-env.sh start
trap '"$root/scripts/wine-env.sh" stop' EXIT
loader=$(scripts/wine-env.sh loader "$arch")

work=$root/build/main-job
rm -rf "$work"
mkdir -p "$work/Kesvar/Nimbra"
cd "$work"

run() {
  local n=$1; shift
  "$loader" "$build/tests/e2e/helpers/exit_code_launcher.exe" "exit-$n.txt" \
    "$build/src/NimbraPlayerUpdateService.exe" "$@" </dev/null >"stdout-$n.txt" 2>"stderr-$n.txt" || true
  echo "== NimbraPlayerUpdateService.exe $* -> exit code $(cat "exit-$n.txt" 2>/dev/null || echo '?')"
  sed 's/^/   | /' "stdout-$n.txt"
}

# The configuration file below the program's system folder (syswow64 for the
# 32-bit program, system32 for the 64-bit test build).
system_folder=$WINEPREFIX/drive_c/windows/$([ "$arch" = i686 ] && echo syswow64 || echo system32)
mkdir -p "$system_folder/Kesvar/Nimbra"

run 1
run 2 -setSilentAutoUpdate
run 3 -isSAUEnabled
run 4 -setNotifyAutoUpdate
run 5 -isSAUEnabled
run 6 -unknownSwitch
echo "== configuration file $system_folder/Kesvar/Nimbra/qvs.cfg"
sed 's/^/   | /' "$system_folder/Kesvar/Nimbra/qvs.cfg"

echo "== log $work/Kesvar/Nimbra/NimbraInstall.log"
if [ -s Kesvar/Nimbra/NimbraInstall.log ]; then
  "$root/tools/read-log" Kesvar/Nimbra/NimbraInstall.log
else
  echo "   (empty: command runs write only error lines, and none occurred)"
fi
