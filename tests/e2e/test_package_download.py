"""The package download under Wine: a published update served by nginx over
HTTP, verified against the compiled-in development authority."""

import pathlib

import pytest

from conftest import files_below

INSTALL = "pub/nimbraplayer/update/current/sau/11/install/"


@pytest.fixture
def configure(config_file):
    config_file.parent.mkdir(parents=True, exist_ok=True)
    config_file.write_bytes(b"SilentAutoUpdateVerboseLogging=1\r\nSilentAutoUpdateServerDomain=mirror.e2e.test\r\n")


@pytest.fixture
def wine_temp(wine):
    """Wine's temporary folder; the test checks nothing is left in it."""
    temp = wine.prefix / "drive_c" / "users" / "root" / "Temp"
    temp.mkdir(parents=True, exist_ok=True)
    before = set(p.name for p in temp.iterdir())
    yield temp
    left = set(p.name for p in temp.iterdir()) - before
    assert not [name for name in left if name.startswith(("{", "NPI"))], left


def installer_written(tmp_path):
    path = tmp_path / "run-package_download_driver" / "NimbraPlayerInstaller.exe"
    return path.read_bytes() if path.exists() else None


@pytest.mark.parametrize("flavour, wide, package", [
    (1, False, "install_all_win_ax_sgn.z"),
    (1, True, "install_all_win_64_ax_sgn.z"),
    (2, False, "install_all_win_pl_sgn.z"),
    (2, True, "install_all_win_64_pl_sgn.z"),
])
def test_published_package_is_downloaded_verified_and_written(
        update_server, configure, run_helper, published_update, wine_temp, tmp_path, flavour, wide, package):
    www, installers = published_update
    server = update_server(files_below(www))
    code, out, log = run_helper("package_download_driver", str(flavour), "1" if wide else "0")
    assert (code, out) == (0, "written\n")
    assert installer_written(tmp_path) == installers[flavour, wide].read_bytes()
    assert [m for level, m in log if level != "info"] == []
    requests = [line for line in server.access_log() if INSTALL in line]
    assert len(requests) == 1 and f"GET /{INSTALL}{package} HTTP/1.1\" 200" in requests[0]
    assert '"Download Nimbra Player Installer/1.0"' in requests[0]


@pytest.mark.parametrize("behaviour, damage", [
    ("not_found", None),     # nginx's 404 page
    ("empty", None),
    ("truncated", None),
    ("serve", "flip"),       # one byte of the installer changed
    ("serve", "plain"),      # not a signed message at all
])
def test_bad_package_is_refused_and_no_installer_is_written(
        update_server, configure, run_helper, published_update, wine_temp, tmp_path, behaviour, damage):
    www, _ = published_update
    files = files_below(www)
    name = INSTALL + "install_all_win_ax_sgn.z"
    if damage == "flip":
        data = bytearray(files[name])
        data[len(data) // 2] ^= 0x01
        files[name] = bytes(data)
    elif damage == "plain":
        files[name] = pathlib.Path(__file__).read_bytes()
    if behaviour == "truncated":
        files = {name: files[name]}
    update_server(files if behaviour != "not_found" else {}, behaviour=behaviour)
    code, out, log = run_helper("package_download_driver", "1", "0")
    assert (code, out) == (1, "failed\n")
    assert installer_written(tmp_path) is None
    errors = [m for level, m in log if level == "error"]
    assert len(errors) == 1 and errors[0].startswith("1217 "), log
