"""tools/publish-update: what it writes, and what it refuses."""

import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
sys.path.insert(0, str(ROOT / "tests" / "pki"))
from development_signer import DEVELOPMENT_CA, fake_installer, make_development_signer  # noqa: E402

TOOL = ROOT / "tools" / "publish-update"
BASE = "pub/nimbraplayer/update/current/sau/11"
PACKAGES = {"install_all_win_ax_sgn.z": "ax32", "install_all_win_64_ax_sgn.z": "ax64",
            "install_all_win_pl_sgn.z": "pl32", "install_all_win_64_pl_sgn.z": "pl64"}


@pytest.fixture(scope="module")
def signer(tmp_path_factory):
    return make_development_signer(tmp_path_factory.mktemp("signer"))


@pytest.fixture
def installers(tmp_path):
    return {name: fake_installer(tmp_path / f"{name}.exe", name) for name in ("ax32", "ax64", "pl32", "pl64")}


def publish(tmp_path, signer, installers, **changes):
    key, certificate = signer
    args = {"--output": tmp_path / "www", "--activex": ["11.2.202.7", installers["ax32"], installers["ax64"]],
            "--plugin": ["11.3.1.8", installers["pl32"], installers["pl64"]], "--check-frequency": "2",
            "--signing-key": key, "--signing-certificate": certificate,
            "--authority": DEVELOPMENT_CA / "development-ca.der"}
    args.update(changes)
    command = [sys.executable, str(TOOL)]
    for option, value in args.items():
        if value is None:
            continue
        command.append(option)
        command += [str(v) for v in value] if isinstance(value, list) else [str(value)]
    return subprocess.run(command, capture_output=True, text=True, timeout=300)


def test_publishes_a_manifest_and_four_verifiable_packages(tmp_path, signer, installers):
    result = publish(tmp_path, signer, installers)
    assert result.returncode == 0, result.stderr
    www = tmp_path / "www"
    root = ElementTree.parse(www / BASE / "xml" / "version.xml").getroot()
    assert root.tag == "version"
    assert root.find("ActiveX").attrib == {"major": "11", "minor": "2", "buildMajor": "202", "buildMinor": "7"}
    assert root.find("Plugin").attrib == {"major": "11", "minor": "3", "buildMajor": "1", "buildMinor": "8"}
    assert root.find("SAUConfig").attrib == {"checkFrequency": "2"}
    for package, installer in PACKAGES.items():
        out = tmp_path / f"{package}.content"
        subprocess.run(["openssl", "cms", "-verify", "-binary", "-inform", "DER", "-in", str(www / BASE / "install" / package),
                        "-CAfile", str(DEVELOPMENT_CA / "development-ca.pem"), "-purpose", "any", "-out", str(out)],
                       check=True, capture_output=True, timeout=60)
        assert out.read_bytes() == installers[installer].read_bytes(), package
        # No authenticated attributes: the signature covers the installer itself.
        dump = subprocess.run(["openssl", "cms", "-cmsout", "-print", "-inform", "DER", "-in",
                               str(www / BASE / "install" / package)], capture_output=True, text=True,
                              timeout=60).stdout
        assert re.search(r"signedAttrs:\s*<ABSENT>", dump), package


@pytest.mark.parametrize("change, message", [
    ({"--activex": ["11.2.202", "ax32", "ax64"]}, "is not four numbers"),
    ({"--plugin": ["11.3.1.x", "pl32", "pl64"]}, "is not four numbers"),
    ({"--plugin": ["1.2.3.4294967296", "pl32", "pl64"]}, "is not four numbers"),
    ({"--activex": ["11.2.202.7", "missing.exe", "ax64"]}, "does not exist"),
    ({"--check-frequency": "5"}, "1, 2 or 3"),
    ({"--signing-key": "other-key"}, "does not match the certificate"),
    ({"--authority": "foreign-authority"}, "does not verify against the authority"),
])
def test_refuses_bad_input_with_a_clear_message(tmp_path, signer, installers, change, message):
    resolved = {}
    for option, value in change.items():
        if isinstance(value, list):
            value = [str(installers.get(v, tmp_path / v)) if v in installers or v.endswith(".exe") else v
                     for v in value]
        elif value == "other-key":
            value = tmp_path / "other.key"
            subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-out", str(value)], check=True,
                           capture_output=True, timeout=60)
        elif value == "foreign-authority":
            value = tmp_path / "foreign.pem"
            subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                            str(tmp_path / "foreign.key"), "-out", str(value), "-subj", "/CN=Foreign", "-days", "5"],
                           check=True, capture_output=True, timeout=60)
        resolved[option] = value
    result = publish(tmp_path, signer, installers, **resolved)
    assert result.returncode == 2
    assert message in result.stderr
    assert not (tmp_path / "www").exists()  # nothing half-published
