"""The manifest fetch under Wine over real TLS from the local update server
(nginx), with the settings read from the real configuration file."""

import pytest

from conftest import MANIFEST_PATH

MANIFEST = (b'<?xml version="1.0" encoding="utf-8"?>\n<version>\n'
            b'  <ActiveX major="11" minor="2" buildMajor="202" buildMinor="7"/>\n'
            b'  <Plugin major="11" minor="3" buildMajor="1" buildMinor="8"/>\n'
            b'  <SAUConfig checkFrequency="3"/>\n</version>\n')
RECORDS = "ActiveX 11.2.202.7\nPlugin 11.3.1.8\ncheckFrequency 3\n"


@pytest.fixture
def configure(config_file):
    """Writes qvs.cfg with verbose logging and the given server domain."""
    def write(domain=None):
        config_file.parent.mkdir(parents=True, exist_ok=True)
        lines = b"SilentAutoUpdateVerboseLogging=1\r\n"
        if domain:
            lines += b"SilentAutoUpdateServerDomain=" + domain.encode() + b"\r\n"
        config_file.write_bytes(lines)
    return write


def codes(log):
    """The message codes of warnings and errors, without their numbers."""
    return [message.split()[0] for level, message in log if level in ("warning", "error")]


def test_configured_domain_serves_the_manifest_over_tls(update_server, configure, run_helper):
    configure("mirror.e2e.test")
    server = update_server({MANIFEST_PATH: MANIFEST})
    code, out, log = run_helper("manifest_fetch_driver")
    assert (code, out) == (0, RECORDS)
    assert ("info", "1628 mirror.e2e.test") in log and ("info", "1629 mirror.e2e.test") in log
    assert codes(log) == []
    request = [line for line in server.access_log() if "version.xml" in line]
    assert len(request) == 1
    assert '"GET /' + MANIFEST_PATH + ' HTTP/1.1" 200' in request[0]
    assert '"Get Nimbra Player version xml/1.0"' in request[0]


def test_built_in_host_is_used_without_a_domain(update_server, configure, run_helper):
    configure()
    update_server({MANIFEST_PATH: MANIFEST})
    code, out, log = run_helper("manifest_fetch_driver")
    assert (code, out) == (0, RECORDS)
    assert not any(message.startswith(("1628", "1629")) for _, message in log)


def test_untrusted_certificate_fails_the_fetch(update_server, configure, run_helper):
    configure("mirror.e2e.test")
    update_server({MANIFEST_PATH: MANIFEST}, certificate="untrusted")
    code, out, log = run_helper("manifest_fetch_driver")
    assert (code, out) == (1, "failed\n")
    # The certificate is checked while the request is sent.
    assert codes(log) == ["1403", "1407", "1408"]
    error = int(dict((m.split()[0], m) for _, m in log)["1403"].split()[1])
    assert error in (12175, 12045, 12157)  # secure failure / invalid CA / secure channel


@pytest.mark.parametrize("behaviour, files, expected", [
    # nginx's 404 page is HTML with an unclosed <hr>: not XML, not a download error.
    ("not_found", {}, ["1410", "1409"]),
    ("empty", {MANIFEST_PATH: MANIFEST}, ["1409"]),
    # WinHTTP reports a body cut short as a normal end: the parse catches it.
    ("truncated", {MANIFEST_PATH: MANIFEST}, ["1410", "1409"]),
    ("serve", {MANIFEST_PATH: b"<version><ActiveX major='1'></version>"}, ["1410", "1409"]),
    ("serve", {MANIFEST_PATH: MANIFEST.replace(b"Plugin", b"plugin")}, ["1409"]),
    ("closed", {}, ["1403", "1407", "1408"]),
])
def test_misbehaving_server(update_server, configure, run_helper, behaviour, files, expected):
    configure("mirror.e2e.test")
    update_server(files, behaviour=behaviour)
    code, out, log = run_helper("manifest_fetch_driver")
    assert (code, out) == (1, "failed\n")
    assert codes(log) == expected
    if behaviour == "closed":
        assert ("warning", "1403 12029") in log  # cannot connect


def test_slow_trickle_still_arrives_whole(update_server, configure, run_helper):
    configure("mirror.e2e.test")
    update_server({MANIFEST_PATH: MANIFEST}, behaviour="trickle")
    code, out, log = run_helper("manifest_fetch_driver")
    assert (code, out) == (0, RECORDS)
    assert codes(log) == []
