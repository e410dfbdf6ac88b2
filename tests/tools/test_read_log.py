"""tools/read-log on logs as the service writes them and as they arrive from
the field."""

import pathlib
import re
import subprocess
import sys

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
TOOL = ROOT / "tools" / "read-log"
CATALOGUE = ROOT / "src" / "logging" / "message_codes.inc"

# Codes from the entry point, service control, the update cycle, the manifest,
# the scheduled task and settings, with the value shapes they carry.
LINES = [
    "2021-3-7+9-5-3.45 [info] C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe",
    "2021-3-7+9-5-3.46 [info] 1617",
    "2021-3-7+9-5-4.100 [info] 1608",
    "2021-3-7+9-5-4.200 [warning] 1401 12029",
    "2021-3-7+9-5-4.300 [warning] 1408",
    "2021-3-7+10-0-0.0 [error] 1219 5",
    "2021-3-7+10-0-1.1 [error] 1261 -2147024894",
    "2021-3-8+0-0-0.0 [info] 1629 updates.nimbra.test",
    "2021-3-8+0-0-0.5 [info] 1622 1",
    "2021-3-8+0-0-0.9 [error] 1999 7",
]


def utf16_log(tmp_path, lines, prefix=b"", tail=b""):
    path = tmp_path / "NimbraInstall.log"
    path.write_bytes(prefix + "".join(line + "\r\n" for line in lines).encode("utf-16-le") + tail)
    return path


def read_log(*args):
    result = subprocess.run([sys.executable, str(TOOL), *map(str, args)],
                            capture_output=True, text=True, timeout=60)
    return result


def test_explains_codes_from_several_subsystems(tmp_path):
    result = read_log(utf16_log(tmp_path, LINES))
    assert result.returncode == 0, result.stderr
    out = result.stdout.splitlines()
    assert len(out) == len(LINES)
    assert out[0] == ("2021-03-07 09:05:03.045  info           "
                      "C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe")
    assert re.search(r"^2021-03-07 09:05:04\.200  warning  1401  ManifestConnectFailed: .*"
                     r"\[12029 \(cannot connect to the server\)\]$", out[3])
    assert "1219  CreateOpenScmFailed: installing the service: the service control manager" in out[5]
    assert out[5].endswith("[5 (access denied)]")
    assert out[6].endswith("[-2147024894 (0x80070002)]")
    assert "ManifestHostConfigured" in out[7] and out[7].endswith("[updates.nimbra.test]")
    assert "ServiceControlReceived" in out[8] and out[8].endswith("[1]")
    assert "1999  unknown code  [7]" in out[9]


@pytest.mark.parametrize("levels, expected_codes", [
    (["error"], ["1219", "1261", "1999"]),
    (["warning", "error"], ["1401", "1408", "1219", "1261", "1999"]),
])
def test_filters_by_level(tmp_path, levels, expected_codes):
    args = [arg for level in levels for arg in ("--level", level)]
    result = read_log(*args, utf16_log(tmp_path, LINES))
    codes = [line.split()[3] for line in result.stdout.splitlines()]
    assert codes == expected_codes


@pytest.mark.parametrize("window, expected_count", [
    (["--since", "2021-03-07T10:00"], 5),
    (["--until", "2021-03-07T09:05:04.2"], 4),
    (["--since", "2021-03-07T09:05:04", "--until", "2021-03-07 10:00:00"], 4),
    (["--until", "2021-03-07"], 7),  # a date alone takes in the whole day
    (["--since", "2021-03-08"], 3),
])
def test_filters_by_utc_time_range(tmp_path, window, expected_count):
    result = read_log(*window, utf16_log(tmp_path, LINES))
    assert result.returncode == 0, result.stderr
    assert len(result.stdout.splitlines()) == expected_count


def test_log_copied_off_a_machine_with_bom_and_a_cut_last_line(tmp_path):
    cut = "2021-3-8+1-2-3.4 [error] 1217 2".encode("utf-16-le")[:-3]  # mid-character
    path = utf16_log(tmp_path, LINES[:2], prefix=b"\xff\xfe", tail=cut)
    out = read_log(path).stdout.splitlines()
    assert len(out) == 3
    assert out[1].startswith("2021-03-07 09:05:03.046  info     1617  ProgramStarted")
    # The cut line keeps what arrived: the code without its value.
    assert out[2].startswith("2021-03-08 01:02:03.004  error    1217  PackageRejected: ")
    assert "[" not in out[2]


def test_unreadable_line_is_shown_not_dropped(tmp_path):
    out = read_log(utf16_log(tmp_path, ["garbage without a time"])).stdout
    assert "unreadable line: 'garbage without a time'" in out


def test_bad_time_argument_is_refused(tmp_path):
    result = read_log("--since", "yesterday", utf16_log(tmp_path, LINES))
    assert result.returncode == 2
    assert "not a time" in result.stderr


def test_missing_log_is_reported(tmp_path):
    result = read_log(tmp_path / "absent.log")
    assert result.returncode == 2
    assert "cannot read the log" in result.stderr


def test_catalogue_is_the_one_the_service_is_built_from():
    # Every MESSAGE_CODE line of the C++ catalogue must be readable by the tool.
    entries = [line for line in CATALOGUE.read_text(encoding="utf-8").splitlines()
               if line.startswith("MESSAGE_CODE(")]
    import importlib.machinery
    import importlib.util
    loader = importlib.machinery.SourceFileLoader("read_log", str(TOOL))
    module_spec = importlib.util.spec_from_loader("read_log", loader)
    module = importlib.util.module_from_spec(module_spec)
    loader.exec_module(module)
    catalogue = module.load_catalogue(str(CATALOGUE))
    assert len(catalogue) == len(entries) == 156
    assert catalogue[1239][0] == "EntryOutOfMemory"
