"""The executable as an administrator meets it: what it is, and what a run
with a switch it does not know leaves behind."""

import subprocess

import pytest

LOG_RELATIVE = ("Kesvar", "Nimbra", "NimbraInstall.log")


def test_product_is_a_32bit_console_program_that_asks_for_elevation(product_exe):
    kind = subprocess.run(["file", "-b", str(product_exe)], stdout=subprocess.PIPE, text=True,
                          check=True).stdout
    assert kind.startswith("PE32 executable (console) Intel 80386"), kind
    image = product_exe.read_bytes()
    assert b'<requestedExecutionLevel level="requireAdministrator"' in image
    # Version information as Explorer shows it.
    assert "Orvane Nimbra Player Update Service".encode("utf-16-le") in image


@pytest.mark.parametrize("switch", [
    "-Install", "-INSTALL", "/install", "install", "-install ", "-isSAUEnabledX", "-help", "",
])
def test_unknown_switch_exits_zero_and_writes_nothing(run_service, tmp_path, switch):
    log = tmp_path.joinpath(*LOG_RELATIVE)
    log.parent.mkdir(parents=True)

    run = run_service(switch)

    assert run.exit_code == 0
    assert run.stdout == b""
    assert not log.exists()  # its Info lines need verbose logging, which commands never load


def test_unknown_switch_with_more_arguments_exits_zero(run_service):
    assert run_service("-whatever", "-install", "x").exit_code == 0


@pytest.mark.parametrize("args", [("-nothing",), ("-Install",)])
def test_no_log_folder_is_ever_created(run_service, tmp_path, args):
    run = run_service(*args)
    assert run.exit_code == 0
    assert list(tmp_path.iterdir()) == []
