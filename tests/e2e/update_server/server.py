"""The local update server of the end-to-end tests: Debian's nginx serving a
folder over HTTPS on 443 and HTTP on 80, inside the private network that
private-network.sh makes. It can also misbehave on request.

    with UpdateServer(folder, behaviour="truncated") as server:
        ...

Behaviours (the same on both ports):
    "serve"      the folder as it is (a missing file gets nginx's 404 page)
    "not_found"  every request gets nginx's 404 error page
    "empty"      every request gets 200 with an empty body
    "truncated"  every file is announced whole but cut off after 40 bytes
    "trickle"    files are sent at 64 bytes a second
    "closed"     nothing listens on either port
certificate="untrusted" presents a certificate from a CA Wine does not trust.
The server lives as long as the with-block and at most `lifetime` seconds.
"""

import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = pathlib.Path(__file__).resolve().parent
NGINX = shutil.which("nginx") or "/usr/sbin/nginx"
UPSTREAM_PORT = 8081
TRUNCATE_AFTER = 40

CONFIG = """
user root root;
worker_processes 1;
pid {state}/nginx.pid;
error_log {state}/error.log warn;
events {{ worker_connections 64; }}
http {{
  access_log {state}/access.log;
  client_body_temp_path {state}/body;
  proxy_temp_path {state}/proxy;
  fastcgi_temp_path {state}/fastcgi;
  uwsgi_temp_path {state}/uwsgi;
  scgi_temp_path {state}/scgi;
  default_type application/octet-stream;
  server_tokens on;
  {servers}
}}
"""

SERVER = """
  server {{
    {listen}
    server_name _;
    root {root};
    location / {{
      {behaviour}
    }}
  }}
"""

BEHAVIOURS = {
    "serve": "try_files $uri =404;",
    "not_found": "return 404;",
    "empty": "return 200 '';",
    "truncated": f"proxy_pass http://127.0.0.1:{UPSTREAM_PORT};",
    "trickle": "limit_rate 64; limit_rate_after 0; try_files $uri =404;",
}


class UpdateServer:
    def __init__(self, root, behaviour="serve", certificate="trusted", lifetime=300,
                 pki=os.environ.get("NIMBRA_PKI")):
        if behaviour not in BEHAVIOURS and behaviour != "closed":
            raise ValueError(f"unknown behaviour {behaviour!r}")
        self.root = pathlib.Path(root)
        self.behaviour = behaviour
        self.certificate = certificate
        self.lifetime = lifetime
        self.pki = pathlib.Path(pki) if pki else None
        self.state = None
        self.nginx = None
        self.upstream = None
        self.watchdog = None

    def _tls_files(self):
        prefix = "server" if self.certificate == "trusted" else "untrusted-server"
        return self.pki / f"{prefix}.pem", self.pki / f"{prefix}.key"

    def __enter__(self):
        if self.behaviour == "closed":
            return self
        if self.pki is None:
            raise RuntimeError("NIMBRA_PKI is not set: run the tests through private-network.sh")
        self.state = pathlib.Path(tempfile.mkdtemp(prefix="nimbra-nginx-"))
        cert, key = self._tls_files()
        behaviour = BEHAVIOURS[self.behaviour]
        servers = "".join([
            SERVER.format(listen=f"listen 127.0.0.1:443 ssl; ssl_certificate {cert}; "
                                 f"ssl_certificate_key {key};",
                          root=self.root, behaviour=behaviour),
            SERVER.format(listen="listen 127.0.0.1:80;", root=self.root, behaviour=behaviour),
        ])
        (self.state / "nginx.conf").write_text(CONFIG.format(state=self.state, servers=servers))
        if self.behaviour == "truncated":
            self.upstream = self._start_upstream()
        log = open(self.state / "nginx.out", "wb")
        self.nginx = subprocess.Popen(
            [NGINX, "-p", str(self.state), "-c", str(self.state / "nginx.conf"), "-g", "daemon off;"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT)
        log.close()
        # However the test ends, the server does not outlive its lifetime.
        self.watchdog = threading.Timer(self.lifetime, self._stop_processes)
        self.watchdog.daemon = True
        self.watchdog.start()
        self._wait_for_port(443)
        self._wait_for_port(80)
        return self

    def _start_upstream(self):
        # The one file the test serves, cut short by the upstream script.
        files = [p for p in self.root.rglob("*") if p.is_file()]
        if len(files) != 1:
            raise ValueError("the truncated behaviour serves exactly one file")
        process = subprocess.Popen(
            [sys.executable, str(HERE / "misbehaving_upstream.py"), "--port", str(UPSTREAM_PORT),
             "--file", str(files[0]), "--send", str(TRUNCATE_AFTER), "--lifetime", str(self.lifetime)],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._wait_for_port(UPSTREAM_PORT)
        return process

    def _wait_for_port(self, port, timeout=10.0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.nginx is not None and self.nginx.poll() is not None:
                raise RuntimeError("nginx ended: " + (self.state / "nginx.out").read_text())
            try:
                with socket.create_connection(("127.0.0.1", port), timeout=0.5):
                    return
            except OSError:
                time.sleep(0.05)
        raise RuntimeError(f"nothing listens on port {port}")

    def access_log(self):
        """The requests nginx answered, one line each."""
        path = self.state / "access.log" if self.state else None
        return path.read_text().splitlines() if path and path.exists() else []

    def __exit__(self, *exc):
        if self.watchdog is not None:
            self.watchdog.cancel()
        self._stop_processes()
        if self.state is not None:
            shutil.rmtree(self.state, ignore_errors=True)
        return False

    def _stop_processes(self):
        for process in (self.nginx, self.upstream):
            if process is not None and process.poll() is None:
                process.send_signal(signal.SIGTERM)
                try:
                    process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    process.kill()
                    process.wait(timeout=10)
