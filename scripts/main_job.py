"""The main job, run inside the private network of private-network.sh: one
real update cycle of the service under Wine, as it happens on a customer's
machine. Called by scripts/run-main-job.sh."""

import os
import pathlib
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path[:0] = [str(ROOT / "tests" / "pki"), str(ROOT / "tests" / "e2e" / "update_server")]
from development_signer import DEVELOPMENT_CA, make_development_signer  # noqa: E402
from server import UpdateServer  # noqa: E402

ARCH = os.environ["NIMBRA_ARCH"]
BUILD = ROOT / "build" / ("windows" if ARCH == "i686" else "windows-x64")
PREFIX = pathlib.Path(os.environ["WINEPREFIX"])
WORK = pathlib.Path(os.environ["NIMBRA_WORK"])
SERVICE_EXE = BUILD / "src" / "NimbraPlayerUpdateService.exe"
INSTALLER = BUILD / "tests" / "unit" / "installer_stand_in.exe"
WINDOWS = PREFIX / "drive_c" / "windows"
SYSTEM = WINDOWS / ("syswow64" if ARCH == "i686" else "system32")
LOADER = subprocess.run([str(ROOT / "scripts" / "wine-env.sh"), "loader", ARCH], stdout=subprocess.PIPE,
                        text=True, check=True).stdout.strip()
ENV = dict(os.environ, WINEDEBUG="-all")
STATE_KEY = r"HKLM\SOFTWARE\Stelvan\NimbraPlayer"


def say(text):
    print(f"== {text}", flush=True)


def wine(*args, cwd=WORK, show=False):
    out = WORK / "wine.out"
    # A Wine start now and then ends with 1 at once, before the program runs
    # and without a word (docs/testing.md); nothing this job runs ends that way.
    for _ in range(2):
        with open(out, "wb") as f:
            code = subprocess.run([LOADER, *map(str, args)], cwd=cwd, env=ENV, stdin=subprocess.DEVNULL,
                                  stdout=f, stderr=subprocess.STDOUT, timeout=300).returncode
        text = out.read_text(errors="replace")
        if not (code == 1 and not text):
            break
    if show:
        for line in text.splitlines():
            if line.strip():
                print(f"   | {line}")
    return code, text


def run_service(*args):
    """The executable as an administrator runs it, with its full exit code."""
    result = WORK / "exit.txt"
    result.unlink(missing_ok=True)
    wine(BUILD / "tests" / "e2e" / "helpers" / "exit_code_launcher.exe", result, SERVICE_EXE, *args, show=True)
    code = result.read_text().strip() if result.exists() else "?"
    say(f"NimbraPlayerUpdateService.exe {' '.join(args) or '(no arguments)'} -> exit code {code}")


def service_state():
    _, text = wine("sc", "query", "OrvaneNimbraPlayerUpdateSvc")
    states = [line.split()[-1] for line in text.splitlines() if "STATE" in line]
    return states[0] if states else "MISSING"


def main():
    say("publishing version 2.0 of both flavours with tools/publish-update")
    key, certificate = make_development_signer(WORK / "signer")
    www = WORK / "www"
    subprocess.run([sys.executable, str(ROOT / "tools" / "publish-update"), "--output", str(www),
                    "--activex", "2.0.0.0", str(INSTALLER), str(INSTALLER),
                    "--plugin", "2.0.0.0", str(INSTALLER), str(INSTALLER), "--check-frequency", "1",
                    "--signing-key", str(key), "--signing-certificate", str(certificate),
                    "--authority", str(DEVELOPMENT_CA / "development-ca.der")], check=True)

    say("recording version 1.0 of both flavours as installed")
    for flavour in ("NimbraPlayerActiveX", "NimbraPlayerPlugin"):
        wine("reg", "add", rf"HKLM\Software\Stelvan\{flavour}", "/v", "Version", "/d", "1.0.0.0", "/f")
    # The administrator's choices: a log folder for the service (its working
    # directory is the Windows folder) and verbose logging in qvs.cfg.
    (WINDOWS / "Kesvar" / "Nimbra").mkdir(parents=True, exist_ok=True)
    (SYSTEM / "Kesvar" / "Nimbra").mkdir(parents=True, exist_ok=True)
    (SYSTEM / "Kesvar" / "Nimbra" / "qvs.cfg").write_bytes(b"SilentAutoUpdateVerboseLogging=1\r\n")
    # Wine's Task Scheduler 2.0 registers tasks without their triggers; made to
    # report Windows XP to the program, Wine keeps the task through 1.0.
    wine("reg", "add", r"HKCU\Software\Wine\AppDefaults\NimbraPlayerUpdateService.exe", "/v", "Version",
         "/d", "winxp", "/f")

    with UpdateServer(www, lifetime=240):
        say("serving it on updates.nimbraplayer.test (HTTPS) and download.nimbraplayer.test (HTTP)")
        run_service("-install")
        run_service("-setSilentAutoUpdate")
        say("starting the executable without arguments, as the hourly task does")
        run_service()
        deadline = time.monotonic() + 90
        log = WINDOWS / "Kesvar" / "Nimbra" / "NimbraInstall.log"
        while time.monotonic() < deadline:
            if service_state() == "STOPPED" and log.exists() and "1612".encode("utf-16-le") in log.read_bytes():
                break
            time.sleep(0.5)
        time.sleep(1)
        say(f"service state: {service_state()}")

    say(f"the service's log ({log.relative_to(PREFIX)}), read with tools/read-log")
    subprocess.run([str(ROOT / "tools" / "read-log"), str(log)], check=False)
    say("the installer's own record of how it was started")
    record = WINDOWS / "installer-ran.txt"
    for _ in range(50):
        if record.exists():
            break
        time.sleep(0.1)
    if record.exists():
        for label, value in zip(("program", "command line", "working directory"),
                                record.read_text(encoding="utf-8-sig").splitlines()):
            print(f"   {label:18} {value}")
    else:
        print("   (the installer did not run)")
    say("the hourly task, read back through Task Scheduler 1.0")
    _, job = wine(BUILD / "tests" / "e2e" / "helpers" / "task_reader.exe")
    for line in job.splitlines():
        if line.strip():
            print(f"   {line}")
    say(f"the bookkeeping in {STATE_KEY}")
    exported = WORK / "state.reg"
    wine("reg", "export", STATE_KEY, exported, "/y")
    if exported.exists():
        for line in exported.read_bytes().decode("utf-16").splitlines():
            if line.startswith('"'):
                print(f"   {line}")
    say("the configuration file")
    for line in (SYSTEM / "Kesvar" / "Nimbra" / "qvs.cfg").read_text().splitlines():
        print(f"   {line}")


if __name__ == "__main__":
    main()
