"""The end-to-end tier: the built executable under Wine, as an administrator
or the system starts it.

Wine's 32-bit loader is a 32-bit Linux program; on a kernel without 32-bit
support the tier runs the x86_64 build of the same sources (scripts/test.sh
decides and passes NIMBRA_TEST_ARCH). The product is always the i686 build.
"""

import os
import pathlib
import re
import shutil
import subprocess

import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
BUILD_DIRS = {"i686": ROOT / "build" / "windows", "x86_64": ROOT / "build" / "windows-x64"}
PROCESS_TIMEOUT = 120  # seconds for one Wine process


def test_arch():
    arch = os.environ.get("NIMBRA_TEST_ARCH")
    if not arch:
        arch = subprocess.run([str(ROOT / "scripts" / "wine-env.sh"), "arch"],
                              stdout=subprocess.PIPE, text=True, check=True).stdout.strip()
    return arch


class Wine:
    """Runs Windows programs in the project's prefix. Output always goes
    through files: Wine's background processes inherit pipes and keep them
    open."""

    def __init__(self, arch, prefix):
        self.arch = arch
        self.prefix = pathlib.Path(prefix)
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        self.loader = subprocess.run([str(ROOT / "scripts" / "wine-env.sh"), "loader", arch],
                                     stdout=subprocess.PIPE, text=True, check=True,
                                     env=self.env).stdout.strip()
        build = BUILD_DIRS[arch]
        self.service = build / "src" / "NimbraPlayerUpdateService.exe"
        self.helpers = build / "tests" / "e2e" / "helpers"
        self.launcher = self.helpers / "exit_code_launcher.exe"
        for program in (self.service, self.launcher):
            if not program.exists():
                pytest.fail(f"{program} is not built: run scripts/test.sh")

    @property
    def system_folder(self):
        """Where the program's CSIDL_SYSTEM files land: a 32-bit program on a
        64-bit Windows (or Wine) sees syswow64 as its system folder."""
        return self.prefix / "drive_c" / "windows" / ("syswow64" if self.arch == "i686" else "system32")

    def run(self, program, args, cwd, stdout_path):
        """Runs a program with its standard output and error in two files
        (stdout_path and stdout_path + ".err"); returns the exit code."""
        return self._start([program, *args], cwd, stdout_path, pathlib.Path(str(stdout_path) + ".err"),
                           PROCESS_TIMEOUT)

    def tool(self, *command, output, cwd=None, timeout=180):
        """Runs a Windows tool or program (reg, sc, a helper) with both output
        streams in one file; returns the exit code."""
        return self._start(command, cwd, output, None, timeout)

    def _start(self, command, cwd, stdout_path, stderr_path, timeout):
        """Now and then (about once in a thousand starts on the build
        machines) a Wine process ends with 1 within milliseconds, before the
        program runs, and prints nothing. Nothing under test ends that way:
        the service exits with 0 or 1001 (233 seen from Unix), the launcher
        prints the code, the one driver that exits with 1 prints "failed"
        first, and Wine's tools explain their failures. Such a start is tried
        once more."""
        for _ in range(2):
            with open(stdout_path, "wb") as out, open(stderr_path or os.devnull, "wb") as err:
                code = subprocess.run([self.loader, *map(str, command)], cwd=None if cwd is None else str(cwd),
                                      env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                      stderr=err if stderr_path else subprocess.STDOUT, timeout=timeout).returncode
            silent = pathlib.Path(stdout_path).stat().st_size == 0 and (
                stderr_path is None or pathlib.Path(stderr_path).stat().st_size == 0)
            if not (code == 1 and silent):
                break
        return code


class Run:
    def __init__(self, exit_code, stdout):
        self.exit_code = exit_code
        self.stdout = stdout


@pytest.fixture(scope="session")
def wine():
    arch = test_arch()
    prefix = os.environ.get("WINEPREFIX", str(ROOT / "build" / "wineprefix"))
    if not (pathlib.Path(prefix) / "system.reg").exists():
        subprocess.run([str(ROOT / "scripts" / "wine-env.sh"), "prefix"], check=True,
                       env=dict(os.environ, WINEPREFIX=prefix), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, timeout=600)
    return Wine(arch, prefix)


@pytest.fixture
def run_service(wine, tmp_path):
    """Runs NimbraPlayerUpdateService.exe with the given switches in a working
    directory (a fresh one by default) and returns its full exit code, read
    through the launcher, and its standard output bytes."""
    counter = [0]

    def run(*args, cwd=None):
        counter[0] += 1
        cwd = cwd or tmp_path
        outputs = tmp_path.parent / f"{tmp_path.name}-outputs"
        outputs.mkdir(exist_ok=True)
        result_file = outputs / f"exit-{counter[0]}.txt"
        stdout_file = outputs / f"stdout-{counter[0]}.txt"
        wine.run(wine.launcher, [str(result_file), str(wine.service), *args], cwd, stdout_file)
        assert result_file.exists(), "the launcher did not report an exit code: " + \
            pathlib.Path(str(stdout_file) + ".err").read_text(errors="replace")
        return Run(int(result_file.read_text().strip()), stdout_file.read_bytes())

    return run


@pytest.fixture
def product_exe():
    """The shipped 32-bit executable."""
    exe = BUILD_DIRS["i686"] / "src" / "NimbraPlayerUpdateService.exe"
    if not exe.exists():
        pytest.fail(f"{exe} is not built: run scripts/test.sh")
    return exe


@pytest.fixture
def config_file(wine):
    """The configuration file below the program's system folder, removed with
    its folders before and after the test."""
    top = wine.system_folder / "Kesvar"
    shutil.rmtree(top, ignore_errors=True)
    yield top / "Nimbra" / "qvs.cfg"
    shutil.rmtree(top, ignore_errors=True)


LOG_LINE = re.compile(r"^\d+-\d+-\d+\+\d+-\d+-\d+\.\d+ \[")
MANIFEST_PATH = "pub/nimbraplayer/update/current/sau/11/xml/version.xml"
LOG_RELATIVE = ("Kesvar", "Nimbra", "NimbraInstall.log")


def read_log(folder):
    """The log below a working directory, as (level, message) pairs."""
    path = pathlib.Path(folder).joinpath(*LOG_RELATIVE)
    if not path.exists():
        return []
    lines = path.read_bytes().decode("utf-16-le").split("\r\n")
    entries = []
    for line in lines:
        if line:
            level = line.split("[", 1)[1].split("]", 1)[0]
            entries.append((level, line.split("] ", 1)[1]))
    return entries


@pytest.fixture
def private_network():
    """The tests that talk to the local update server run inside the private
    network that tests/e2e/update_server/private-network.sh makes."""
    if os.environ.get("NIMBRA_INSIDE_PRIVATE_NETWORK") != "1":
        pytest.fail("run the end-to-end tests through tests/e2e/update_server/private-network.sh "
                    "(scripts/test.sh does)")


@pytest.fixture
def update_server(private_network, tmp_path):
    """Starts the local update server over a folder of files:
    update_server({"pub/.../version.xml": b"..."}, behaviour=..., certificate=...)."""
    import sys
    sys.path.insert(0, str(pathlib.Path(__file__).parent / "update_server"))
    from server import UpdateServer
    servers = []

    def start(files, **options):
        root = tmp_path / f"www-{len(servers)}"
        for relative, content in files.items():
            target = root / relative
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(content)
        root.mkdir(exist_ok=True)
        server = UpdateServer(root, **options)
        server.__enter__()
        servers.append(server)
        return server

    yield start
    for server in reversed(servers):
        server.__exit__(None, None, None)


@pytest.fixture
def run_helper(wine, tmp_path):
    """Runs a test driver from tests/e2e/helpers in a working directory that
    has the log folder; returns (exit code, standard output, log entries)."""
    def run(name, *args):
        cwd = tmp_path / f"run-{name}"
        cwd.joinpath(*LOG_RELATIVE[:-1]).mkdir(parents=True, exist_ok=True)
        stdout = tmp_path / f"{name}.out"
        code = wine.run(wine.helpers / f"{name}.exe", args, cwd, stdout)
        # Standard output also carries the console copy of each log line.
        printed = "".join(line for line in stdout.read_text(errors="replace").splitlines(keepends=True)
                          if line.strip() and not LOG_LINE.match(line))
        return code, printed, read_log(cwd)
    return run


@pytest.fixture(scope="session")
def published_update(tmp_path_factory):
    """An update published with tools/publish-update, signed by a signer of the
    development authority the service compiles in: (folder, installers by
    (flavour, 64-bit))."""
    import sys
    sys.path.insert(0, str(ROOT / "tests" / "pki"))
    from development_signer import DEVELOPMENT_CA, fake_installer, make_development_signer
    work = tmp_path_factory.mktemp("published")
    key, certificate = make_development_signer(work / "signer")
    installers = {(flavour, wide): fake_installer(work / f"{flavour}{wide}.exe", f"{flavour}{wide}")
                  for flavour in (1, 2) for wide in (False, True)}
    www = work / "www"
    subprocess.run([sys.executable, str(ROOT / "tools" / "publish-update"), "--output", str(www),
                    "--activex", "11.2.202.7", str(installers[1, False]), str(installers[1, True]),
                    "--plugin", "11.3.1.8", str(installers[2, False]), str(installers[2, True]),
                    "--check-frequency", "1", "--signing-key", str(key), "--signing-certificate",
                    str(certificate), "--authority", str(DEVELOPMENT_CA / "development-ca.der")],
                   check=True, stdout=subprocess.DEVNULL, timeout=300)
    return www, installers


def files_below(folder):
    """Every file below a folder, as {relative path: bytes}."""
    folder = pathlib.Path(folder)
    return {str(p.relative_to(folder)): p.read_bytes() for p in folder.rglob("*") if p.is_file()}
