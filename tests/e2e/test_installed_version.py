"""Installed versions as the player's installers leave them in the registry,
written with Wine's own reg tool, and the update decision on them."""

import pytest

KEYS = {1: r"HKLM\Software\Stelvan\NimbraPlayerActiveX", 2: r"HKLM\Software\Stelvan\NimbraPlayerPlugin"}


@pytest.fixture
def registry(wine, tmp_path):
    """reg.exe of the same bitness as the programs under test, so both see the
    same registry view; the two keys are removed before and after."""
    def reg(*args):
        code = wine.tool("reg", *args, output=tmp_path / "reg.out", timeout=120)
        assert code == 0, (tmp_path / "reg.out").read_text(errors="replace")

    def clear():
        for key in KEYS.values():
            wine.tool("reg", "delete", key, "/f", output=tmp_path / "reg-delete.out", timeout=120)
    clear()
    yield reg
    clear()


@pytest.mark.parametrize("flavour, version, debugger, installed, verdicts", [
    (1, "3.5.100.20", None, "3.5.100.20",
     {"3.5.100.27": "update", "3.5.100.20": "no-update", "3.4.999.999": "no-update", "0.0.0.0": "no-update"}),
    (2, "3.5", None, "3.5.0.0", {"3.5.0.1": "update", "3.4.9.9": "no-update"}),
    (1, "3.5.100.20.", None, "0.0.0.0", {"99.0.0.0": "no-update"}),
    (1, "1.2.3.4.5", None, "0.0.0.0", {"99.0.0.0": "no-update"}),
    (2, "3,5,100,20", None, "3.0.0.0", {"3.0.0.1": "update"}),
    (1, "9.999.999.999", None, "9.999.999.999", {"10.0.0.0": "update"}),
    (2, "3.5.100.20", 1, "0.0.0.0", {"99.0.0.0": "no-update"}),
    (2, "3.5.100.20", 0, "3.5.100.20", {"3.5.100.21": "update"}),
])
def test_installed_version_and_update_decision(registry, run_helper, flavour, version, debugger,
                                               installed, verdicts):
    registry("add", KEYS[flavour], "/v", "Version", "/t", "REG_SZ", "/d", version, "/f")
    if debugger is not None:
        registry("add", KEYS[flavour], "/v", "isScriptDebugger", "/t", "REG_DWORD", "/d", str(debugger), "/f")
    code, out, _ = run_helper("installed_version_driver", str(flavour), *verdicts)
    assert code == 0
    expected = [f"installed {installed}"] + [f"{v} {verdict}" for v, verdict in verdicts.items()]
    assert out.splitlines() == expected


def test_nothing_installed(registry, run_helper):
    code, out, _ = run_helper("installed_version_driver", "1", "1.0.0.0")
    assert out.splitlines() == ["installed 0.0.0.0", "1.0.0.0 no-update"]
