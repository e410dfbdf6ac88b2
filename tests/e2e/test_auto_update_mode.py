"""The mode switches and -isSAUEnabled on the real configuration file below
the system folder, as an administrator uses them."""

import pytest

SILENT = b"AutoUpdateDisable=0\r\nSilentAutoUpdateEnable=1\r\n"
NOTIFY = b"AutoUpdateDisable=0\r\nSilentAutoUpdateEnable=0\r\n"
DISABLE = b"AutoUpdateDisable=1\r\nSilentAutoUpdateEnable=0\r\n"


def write(config_file, content):
    config_file.parent.mkdir(parents=True, exist_ok=True)
    config_file.write_bytes(content)


@pytest.mark.parametrize("switch, before, after", [
    # Other keys stay; the file is written in bucket order with CR LF.
    ("-setSilentAutoUpdate", b"SilentAutoUpdateVerboseLogging=1\r\n",
     SILENT + b"SilentAutoUpdateVerboseLogging=1\r\n"),
    # A UTF-16 file is not read, so it is replaced by the two mode lines.
    ("-setNotifyAutoUpdate", "SilentAutoUpdateVerboseLogging=1\r\n".encode("utf-16"), NOTIFY),
    # Byte-order mark, CR-only line ends, a repeated key, junk and blanks go.
    ("-setDisableAutoUpdate",
     b"\xef\xbb\xbfjunk line\rSilentAutoUpdateEnable=1\rSilentAutoUpdateEnable=1\r  foo =  bar \r=x\r",
     DISABLE + b"foo=bar\r\n"),
    ("-setSilentAutoUpdate", b"", SILENT),
    ("-setNotifyAutoUpdate", b"AutoUpdateDisable=1\nSilentAutoUpdateServerDomain=m.example.test\n",
     NOTIFY + b"SilentAutoUpdateServerDomain=m.example.test\r\n"),
])
def test_mode_switch_rewrites_the_file(run_service, config_file, switch, before, after):
    write(config_file, before)
    assert run_service(switch).exit_code == 0
    assert config_file.read_bytes() == after


def test_mode_switch_without_the_folder_creates_nothing(run_service, config_file, tmp_path):
    assert run_service("-setSilentAutoUpdate").exit_code == 0
    assert not config_file.parent.parent.exists()
    assert list(tmp_path.iterdir()) == []


def test_mode_switch_creates_a_missing_file_in_an_existing_folder(run_service, config_file):
    config_file.parent.mkdir(parents=True)
    assert run_service("-setDisableAutoUpdate").exit_code == 0
    assert config_file.read_bytes() == DISABLE


@pytest.mark.parametrize("value, exit_code", [
    (b"1", 1001), (b"2", 1001), (b"-1", 1001), (b"10abc", 1001), (b"TRUE", 1001), (b"Y", 1001),
    (b"yes", 1001), (b"t", 1001),
    (b"on", 0), (b"0x1", 0), (b"yes please", 0), (b"0", 0), (b"false", 0),
])
def test_is_sau_enabled_answers_from_the_file(run_service, config_file, value, exit_code):
    write(config_file, b"AutoUpdateDisable=1\r\nSilentAutoUpdateEnable=" + value + b"\r\n")
    assert run_service("-isSAUEnabled").exit_code == exit_code


def test_is_sau_enabled_without_a_file_is_zero(run_service, config_file):
    assert run_service("-isSAUEnabled").exit_code == 0


def test_switch_runs_never_load_verbose_logging(run_service, config_file, tmp_path):
    write(config_file, b"SilentAutoUpdateVerboseLogging=1\r\nSilentAutoUpdateEnable=1\r\n")
    (tmp_path / "Kesvar" / "Nimbra").mkdir(parents=True)
    run = run_service("-isSAUEnabled")
    assert run.exit_code == 1001
    assert run.stdout == b""
    assert not (tmp_path / "Kesvar" / "Nimbra" / "NimbraInstall.log").exists()


def test_mode_then_query_round_trip(run_service, config_file):
    config_file.parent.mkdir(parents=True)
    assert run_service("-setSilentAutoUpdate").exit_code == 0
    assert run_service("-isSAUEnabled").exit_code == 1001
    assert run_service("-setNotifyAutoUpdate").exit_code == 0
    assert run_service("-isSAUEnabled").exit_code == 0
