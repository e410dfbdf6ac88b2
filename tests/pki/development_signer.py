"""A package signer issued by the development authority, made at test time
so its validity is always current."""

import pathlib
import random
import subprocess

ROOT = pathlib.Path(__file__).resolve().parents[2]
DEVELOPMENT_CA = ROOT / "resources" / "development-ca"

EXTENSIONS = ("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
              "extendedKeyUsage=codeSigning\nsubjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n")


def make_development_signer(folder, name="Development Package Signer"):
    """Returns (key, certificate) paths in the folder, made once per folder."""
    folder = pathlib.Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    key, certificate = folder / "signer.key.pem", folder / "signer.pem"
    if certificate.exists():
        return key, certificate
    (folder / "signer.ext").write_text(EXTENSIONS)
    run = lambda *args: subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL, timeout=120)
    run("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out", str(folder / "signer.csr"),
        "-subj", f"/CN={name}")
    run("x509", "-req", "-in", str(folder / "signer.csr"), "-CA", str(DEVELOPMENT_CA / "development-ca.pem"),
        "-CAkey", str(DEVELOPMENT_CA / "development-ca.key.pem"), "-set_serial", str(random.randrange(1, 2**62)),
        "-days", "30", "-sha256", "-extfile", str(folder / "signer.ext"), "-out", str(certificate))
    return key, certificate


def fake_installer(path, seed, size=30000):
    """A stand-in installer: an MZ header and reproducible bytes."""
    rng = random.Random(seed)
    pathlib.Path(path).write_bytes(b"MZ" + bytes(rng.randrange(256) for _ in range(size)))
    return pathlib.Path(path)
