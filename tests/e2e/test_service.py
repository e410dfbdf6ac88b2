"""The service end to end under Wine's own service control manager: "-install",
the start as the hourly task makes it, the update cycle against the local
update server, the installer started, "-uninstall"."""

import pathlib
import shutil
import subprocess
import time

import pytest

from conftest import read_log

SERVICE = "OrvaneNimbraPlayerUpdateSvc"
STATE_KEY = r"HKLM\SOFTWARE\Stelvan\NimbraPlayer"
ACTIVEX_KEY = r"HKLM\Software\Stelvan\NimbraPlayerActiveX"
PLUGIN_KEY = r"HKLM\Software\Stelvan\NimbraPlayerPlugin"
CYCLE_CODES = {"1608", "1612", "1301", "1609", "1610", "1234", "1300"}
DAY = 864_000_000_000


def file_time_now():
    return int((time.time() + 11644473600) * 10_000_000)


class ServiceHost:
    """The prefix as the service sees it: its working directory is the
    Windows folder, so its log and the installer land there."""

    def __init__(self, wine, tmp_path, run_service, config_file):
        self.wine = wine
        self.tmp = tmp_path
        self.run_service = run_service
        self.config = config_file
        self.windows = wine.prefix / "drive_c" / "windows"
        self.log_folder = self.windows / "Kesvar" / "Nimbra"
        self.counter = 0

    def command(self, *args, check=False):
        self.counter += 1
        out = self.tmp / f"cmd-{self.counter}.out"
        code = self.wine.tool(*args, output=out)
        if check and code != 0:
            raise AssertionError(f"{args} failed: {out.read_text(errors='replace')}")
        return out.read_text(errors="replace")

    def reg_add(self, key, name, kind, data):
        if kind == "REG_QWORD":  # Wine's reg add cannot write one; a .reg import can
            self.counter += 1
            reg = self.tmp / f"seed-{self.counter}.reg"
            raw = ",".join(f"{b:02x}" for b in int(data).to_bytes(8, "little"))
            full = key.replace("HKLM", "HKEY_LOCAL_MACHINE")
            reg.write_text(f'Windows Registry Editor Version 5.00\r\n\r\n[{full}]\r\n"{name}"=hex(b):{raw}\r\n')
            self.command("reg", "import", str(reg), check=True)
            return
        self.command("reg", "add", key, "/v", name, "/t", kind, "/d", str(data), "/f", check=True)

    def values(self):
        """The bookkeeping values as numbers (None when absent), read through
        reg export (Wine's reg query does not show a REG_QWORD)."""
        self.counter += 1
        exported = self.tmp / f"export-{self.counter}.reg"
        self.command("reg", "export", STATE_KEY, str(exported), "/y")
        text = exported.read_bytes().decode("utf-16") if exported.exists() else ""
        values = {}
        for name in ("LastUpdateCheck", "CheckFrequency", "UpdateAttempts"):
            line = [l for l in text.splitlines() if l.startswith(f'"{name}"=')]
            if not line:
                values[name] = None
            elif "=dword:" in line[0]:
                values[name] = int(line[0].split(":")[1], 16)
            else:  # hex(b):xx,xx,...
                values[name] = int.from_bytes(bytes(int(b, 16) for b in line[0].split(":")[1].split(",")), "little")
        return values

    def configure(self, **keys):
        self.config.parent.mkdir(parents=True, exist_ok=True)
        lines = {"SilentAutoUpdateVerboseLogging": "1", "SilentAutoUpdateEnable": "1",
                 "SilentAutoUpdateServerDomain": "mirror.e2e.test"}
        lines.update(keys)
        self.config.write_bytes("".join(f"{k}={v}\r\n" for k, v in lines.items() if v is not None).encode())

    def registration(self):
        """The service's registration as the SCM keeps it in the registry."""
        return self.command("reg", "query", rf"HKLM\System\CurrentControlSet\Services\{SERVICE}")

    def state(self):
        text = self.command("sc", "query", SERVICE)
        for line in text.splitlines():
            if "STATE" in line:
                return line.split()[-1]
        return "MISSING"

    def wait_until_stopped(self, timeout=90):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.state() == "STOPPED" and any(m == "1612" for _, m in self.log()):
                time.sleep(0.5)  # the dispatcher's last line
                return
            time.sleep(0.3)
        raise AssertionError("the service did not stop: " + repr(self.log()))

    def log(self):
        return read_log(self.windows)

    def wait_for_cycle_start(self, timeout=60):
        """Until the service has logged 1608: it is running and accepts stop."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if any(m == "1608" for _, m in self.log()):
                return
            time.sleep(0.1)
        raise AssertionError("the cycle did not start: " + repr(self.log()))

    def installer_record(self, timeout=10):
        record = self.windows / "installer-ran.txt"
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and not record.exists():
            time.sleep(0.1)
        return record.read_text(encoding="utf-8-sig").splitlines() if record.exists() else None

    def clean(self):
        for key in (STATE_KEY, ACTIVEX_KEY, PLUGIN_KEY):
            self.command("reg", "delete", key, "/f")
        shutil.rmtree(self.windows / "Kesvar", ignore_errors=True)
        for name in ("NimbraPlayerInstaller.exe", "installer-ran.txt"):
            (self.windows / name).unlink(missing_ok=True)


APP_DEFAULTS = r"HKCU\Software\Wine\AppDefaults\NimbraPlayerUpdateService.exe"


@pytest.fixture
def host(wine, tmp_path, run_service, config_file, private_network):
    """Wine made to report Windows XP to the program, so "-install" creates its
    task through Task Scheduler 1.0 (Wine's 2.0 cannot hold the trigger)."""
    h = ServiceHost(wine, tmp_path, run_service, config_file)
    h.clean()
    h.command("reg", "add", APP_DEFAULTS, "/v", "Version", "/d", "winxp", "/f", check=True)
    run_service("-uninstall")  # whatever an earlier run left registered
    h.clean()
    h.log_folder.mkdir(parents=True)
    yield h
    run_service("-uninstall")
    h.command("reg", "delete", APP_DEFAULTS, "/f")
    h.clean()


@pytest.fixture
def update_2_0(tmp_path_factory, wine):
    """Version 2.0 of both flavours, published with the test installer that
    records how it was started."""
    import sys
    root = pathlib.Path(__file__).resolve().parents[2]
    sys.path.insert(0, str(root / "tests" / "pki"))
    from development_signer import DEVELOPMENT_CA, make_development_signer
    work = tmp_path_factory.mktemp("update-2.0")
    key, certificate = make_development_signer(work / "signer")
    installer = wine.helpers.parent.parent / "unit" / "installer_stand_in.exe"
    subprocess.run([sys.executable, str(root / "tools" / "publish-update"), "--output", str(work / "www"),
                    "--activex", "2.0.0.0", str(installer), str(installer),
                    "--plugin", "2.0.0.0", str(installer), str(installer),
                    "--check-frequency", "2", "--signing-key", str(key), "--signing-certificate", str(certificate),
                    "--authority", str(DEVELOPMENT_CA / "development-ca.der")],
                   check=True, stdout=subprocess.DEVNULL, timeout=300)
    return work / "www"


def cycle_codes(log):
    return [m.split()[0] for _, m in log if m.split()[0] in CYCLE_CODES]


def serve(update_server, www, without_packages=False):
    from conftest import files_below
    files = files_below(www)
    if without_packages:
        files = {k: v for k, v in files.items() if not k.endswith(".z")}
    return update_server(files)


@pytest.mark.parametrize("row", [
    "gated off", "not due", "no manifest", "seven attempts", "nothing newer",
    "ActiveX started", "ActiveX failed", "plug-in started", "plug-in failed",
])
def test_outcome_of_one_cycle(host, run_service, update_server, update_2_0, row):
    assert run_service("-install").exit_code == 0  # resets the bookkeeping: seeded afterwards
    now = file_time_now()
    host.reg_add(STATE_KEY, "UpdateAttempts", "REG_DWORD", 6 if row == "seven attempts" else 2)
    host.reg_add(STATE_KEY, "LastUpdateCheck", "REG_QWORD", now - 30 if row == "not due" else 0)
    host.reg_add(STATE_KEY, "CheckFrequency", "REG_DWORD", 1)
    if row == "seven attempts":
        host.reg_add(STATE_KEY, "UpdateAttempts", "REG_DWORD", 7)
    activex = "2.0.0.0" if row in ("nothing newer", "plug-in started", "plug-in failed") else "1.0.0.0"
    host.reg_add(ACTIVEX_KEY, "Version", "REG_SZ", activex)
    host.reg_add(PLUGIN_KEY, "Version", "REG_SZ", "2.0.0.0" if row == "nothing newer" else "1.0.0.0")
    host.configure(SilentAutoUpdateEnable="0" if row == "gated off" else "1")
    if row != "no manifest":
        serve(update_server, update_2_0, without_packages=row.endswith("failed"))
    before = host.values()

    host.command("sc", "start", SERVICE)
    host.wait_until_stopped()
    log, after = host.log(), host.values()

    expected = {
        "gated off": ["1608", "1612"], "not due": ["1608", "1612"], "no manifest": ["1608", "1612"],
        "seven attempts": ["1608", "1301", "1612"], "nothing newer": ["1608", "1612"],
        "ActiveX started": ["1608", "1609", "1612"], "ActiveX failed": ["1608", "1234", "1612"],
        "plug-in started": ["1608", "1610", "1612"], "plug-in failed": ["1608", "1300", "1612"],
    }[row]
    assert cycle_codes(log) == expected, log
    attempts_raised = row in ("ActiveX started", "ActiveX failed", "plug-in started", "plug-in failed")
    assert after["UpdateAttempts"] == before["UpdateAttempts"] + (1 if attempts_raised else 0)
    recorded = row in ("seven attempts", "nothing newer", "ActiveX failed", "plug-in failed")
    if recorded:
        assert after["LastUpdateCheck"] > now - DAY and after["CheckFrequency"] == 2  # the manifest's
    else:
        assert (after["LastUpdateCheck"], after["CheckFrequency"]) == (before["LastUpdateCheck"], 1)
    mode = host.config.read_bytes()
    assert (b"SilentAutoUpdateEnable=0" in mode) == (row in ("seven attempts", "gated off"))
    record = host.installer_record(timeout=10 if row.endswith("started") else 1)
    if row.endswith("started"):
        assert record == ["C:\\windows\\NimbraPlayerInstaller.exe", "NimbraPlayerInstaller.exe -install -iv 9",
                          "C:\\windows"]
    else:
        assert record is None
    if row == "no manifest":
        assert ("warning", "1408") in log


def test_start_as_the_hourly_task_makes_it(host, run_service, update_server, update_2_0, tmp_path):
    host.configure()
    host.reg_add(ACTIVEX_KEY, "Version", "REG_SZ", "1.0.0.0")
    serve(update_server, update_2_0)
    (tmp_path / "Kesvar" / "Nimbra").mkdir(parents=True)
    assert run_service("-install").exit_code == 0
    # Not started by the SCM: it asks the SCM to start the service and ends.
    assert run_service().exit_code == 0
    # This run loaded the settings (verbose) before the dispatcher refused it.
    own = [m for _, m in read_log(tmp_path)]
    assert own == ["1628 mirror.e2e.test", "1629 mirror.e2e.test", "1614", "1615", "1618", "1619 1063", "1604"]
    host.wait_until_stopped()
    codes = [m.split()[0] for _, m in host.log()]
    assert codes[:1] == ["1628"] and "1618" in codes and "1620" in codes
    assert cycle_codes(host.log()) == ["1608", "1609", "1612"]
    assert host.installer_record() is not None


def test_start_by_hand_without_the_service_logs_1222(host, run_service, tmp_path):
    (tmp_path / "Kesvar" / "Nimbra").mkdir(parents=True)
    assert run_service().exit_code == 0
    assert read_log(tmp_path) == [("error", "1222 1060")]


def test_install_registers_a_demand_start_service_with_its_description(host, run_service):
    assert run_service("-install").exit_code == 0
    registration = host.registration()
    lines = {line.split()[0]: line.split(None, 2)[2] for line in registration.splitlines()
             if len(line.split(None, 2)) == 3 and line.startswith("    ")}
    assert lines["Start"] == "0x3"  # demand start
    assert lines["Type"] == "0x10"  # own process
    assert lines["ErrorControl"] == "0x1"
    assert lines["ImagePath"].endswith("NimbraPlayerUpdateService.exe")
    assert lines["DisplayName"] == "Orvane Nimbra Player Update Service"
    assert lines["Description"].startswith("This service keeps your Orvane Nimbra Player installation up to date")
    assert "ObjectName" not in lines or lines["ObjectName"] == "LocalSystem"


def test_install_from_a_path_with_blanks_registers_it_quoted(host, run_service, wine, tmp_path):
    folder = wine.prefix / "drive_c" / "Program Files" / "Nimbra Test"
    folder.mkdir(parents=True, exist_ok=True)
    exe = folder / "NimbraPlayerUpdateService.exe"
    shutil.copyfile(wine.service, exe)
    try:
        host.configure(SilentAutoUpdateEnable="0")
        wine.tool("C:\\Program Files\\Nimbra Test\\NimbraPlayerUpdateService.exe", "-install",
                  output=tmp_path / "install.out", timeout=120)
        assert '"C:\\Program Files\\Nimbra Test\\NimbraPlayerUpdateService.exe"' in host.registration()
        host.command("sc", "start", SERVICE)
        host.wait_until_stopped()
        assert cycle_codes(host.log()) == ["1608", "1612"]
    finally:
        shutil.rmtree(folder.parent, ignore_errors=True)


def test_install_over_a_stopped_service_keeps_its_registration(host, run_service, tmp_path):
    assert run_service("-install").exit_code == 0
    (tmp_path / "Kesvar" / "Nimbra").mkdir(parents=True)
    assert run_service("-install").exit_code == 0
    assert read_log(tmp_path) == [("error", "1226 1062")]  # the stop control: not running


def test_install_over_a_running_service_stops_and_reconfigures_it(host, run_service, update_server, update_2_0):
    host.configure()
    host.reg_add(ACTIVEX_KEY, "Version", "REG_SZ", "2.0.0.0")  # only the manifest trickles
    from conftest import files_below
    update_server(files_below(update_2_0), behaviour="trickle")  # a slow cycle
    assert run_service("-install").exit_code == 0
    host.command("sc", "start", SERVICE)
    host.wait_for_cycle_start()  # the manifest then trickles in for a few seconds
    assert run_service("-install").exit_code == 0
    host.wait_until_stopped(timeout=180)
    messages = [m for _, m in host.log()]
    assert "1622 1" in messages and "1623" in messages  # the stop control reached the service
    assert cycle_codes(host.log())[0] == "1608" and cycle_codes(host.log())[-1] == "1612"  # the cycle completed


def test_stop_control_during_a_cycle(host, run_service, update_server, update_2_0):
    host.configure()
    host.reg_add(ACTIVEX_KEY, "Version", "REG_SZ", "2.0.0.0")
    from conftest import files_below
    update_server(files_below(update_2_0), behaviour="trickle")
    assert run_service("-install").exit_code == 0
    host.command("sc", "start", SERVICE)
    host.wait_for_cycle_start()
    host.command("sc", "stop", SERVICE)
    host.wait_until_stopped(timeout=180)
    messages = [m for _, m in host.log()]
    assert messages.index("1622 1") < messages.index("1623") < messages.index("1612")
    assert cycle_codes(host.log()) == ["1608", "1612"]  # nothing newer, and the cycle ran to its end


def test_uninstall_removes_the_service(host, run_service, tmp_path):
    assert run_service("-install").exit_code == 0
    (tmp_path / "Kesvar" / "Nimbra").mkdir(parents=True)
    assert run_service("-uninstall").exit_code == 0
    assert read_log(tmp_path) == [("error", "1226 1062")]  # not running; deleted all the same
    assert host.state() == "MISSING"
    assert run_service("-uninstall").exit_code == 0  # not registered: nothing to do
    assert read_log(tmp_path) == [("error", "1226 1062")]
