#!/usr/bin/env bash
# Measures DownloadInstallerPackage for a 48 MiB package from the local update
# server under Wine, beside the platform's floor (a bare program making only
# the same WinHTTP, file and CryptoAPI calls), and, for reference, curl and
# openssl cms -verify on the host. Runs each three times and prints medians.
#   bench/run-package-download.sh [RUNS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/.." && pwd)
runs=${1:-3}
arch=$("$root/scripts/wine-env.sh" arch)
build=$root/build/$([ "$arch" = i686 ] && echo windows || echo windows-x64)
[ -x "$build/bench/package_download_bench.exe" ] || { echo "build the $arch preset first" >&2; exit 1; }

if [ "${NIMBRA_INSIDE_PRIVATE_NETWORK:-}" != 1 ]; then
  exec "$root/tests/e2e/update_server/private-network.sh" "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BENCH_WORK=$work BENCH_BUILD=$build BENCH_RUNS=$runs BENCH_ARCH=$arch
/usr/bin/python3 - <<'PY'
import os, pathlib, statistics, subprocess, sys, time
root = pathlib.Path(os.environ["WINEPREFIX"]).parents[1]
work, build, runs = pathlib.Path(os.environ["BENCH_WORK"]), pathlib.Path(os.environ["BENCH_BUILD"]), int(os.environ["BENCH_RUNS"])
sys.path[:0] = [str(root / "tests" / "pki"), str(root / "tests" / "e2e" / "update_server")]
from development_signer import DEVELOPMENT_CA, make_development_signer
from server import UpdateServer

size = 48 * 1024 * 1024
installer = work / "installer.exe"
with open(installer, "wb") as f:
    f.write(b"MZ" + os.urandom(size - 2))
key, cert = make_development_signer(work / "signer")
www = work / "www"
subprocess.run([sys.executable, str(root / "tools" / "publish-update"), "--output", str(www),
                "--activex", "11.0.0.1", str(installer), str(installer),
                "--plugin", "11.0.0.1", str(installer), str(installer),
                "--signing-key", str(key), "--signing-certificate", str(cert),
                "--authority", str(DEVELOPMENT_CA / "development-ca.der")], check=True, stdout=subprocess.DEVNULL)
package = www / "pub/nimbraplayer/update/current/sau/11/install/install_all_win_ax_sgn.z"

loader = subprocess.run([str(root / "scripts" / "wine-env.sh"), "loader", os.environ["BENCH_ARCH"]],
                        stdout=subprocess.PIPE, text=True, check=True).stdout.strip()
system = "syswow64" if os.environ["BENCH_ARCH"] == "i686" else "system32"
config = pathlib.Path(os.environ["WINEPREFIX"]) / "drive_c" / "windows" / system / "Kesvar" / "Nimbra" / "qvs.cfg"
config.parent.mkdir(parents=True, exist_ok=True)
config.write_bytes(b"SilentAutoUpdateServerDomain=mirror.e2e.test\r\n")

def run_wine(program, *args):
    out = work / "out.txt"
    with open(out, "wb") as f:
        subprocess.run([loader, str(program), *args], cwd=work, stdout=f, stderr=subprocess.DEVNULL,
                       stdin=subprocess.DEVNULL, timeout=600, check=True)
    line = [l for l in out.read_text(errors="replace").splitlines() if "wall_ms=" in l][-1]
    fields = dict(part.split("=") for part in line.split()[1:])
    return float(fields["wall_ms"]), int(fields["peak_working_set_kib"])

results = {"service": [], "floor": []}
with UpdateServer(www):
    for _ in range(runs):
        results["service"].append(run_wine(build / "bench" / "package_download_bench.exe"))
        results["floor"].append(run_wine(build / "bench" / "package_download_floor.exe", "mirror.e2e.test"))
    curl = []
    for _ in range(runs):
        start = time.monotonic()
        subprocess.run(["curl", "-s", "-o", str(work / "curl.bin"), "http://mirror.e2e.test/" +
                        str(package.relative_to(www))], check=True, timeout=600)
        curl.append((time.monotonic() - start) * 1000)
openssl = []
for _ in range(runs):
    start = time.monotonic()
    subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", str(package),
                    "-CAfile", str(DEVELOPMENT_CA / "development-ca.pem"), "-purpose", "any", "-out", "/dev/null"],
                   check=True, stderr=subprocess.DEVNULL, timeout=600)
    openssl.append((time.monotonic() - start) * 1000)
config.unlink()

median = lambda values: statistics.median(values)
s_wall, s_mem = median([r[0] for r in results["service"]]), median([r[1] for r in results["service"]])
f_wall, f_mem = median([r[0] for r in results["floor"]]), median([r[1] for r in results["floor"]])
print(f"package: {package.stat().st_size / 2**20:.1f} MiB, {runs} runs each, medians ({os.environ['BENCH_ARCH']} build under Wine)")
print(f"  DownloadInstallerPackage  wall {s_wall:7.0f} ms   peak working set {s_mem / 1024:6.1f} MiB")
print(f"  floor (same calls only)   wall {f_wall:7.0f} ms   peak working set {f_mem / 1024:6.1f} MiB")
print(f"  ratio                     wall {s_wall / f_wall:7.2f}      peak working set {s_mem / f_mem:6.2f}")
print(f"  curl (host)               wall {median(curl):7.0f} ms")
print(f"  openssl cms -verify (host) wall {median(openssl):6.0f} ms")
PY
