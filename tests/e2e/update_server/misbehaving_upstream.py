#!/usr/bin/env python3
"""The misbehaviours nginx cannot produce by itself, as its upstream:
a body cut short (a Content-Length larger than what is sent, then the
connection closed). Serves one file; stops by itself after --lifetime seconds.

    misbehaving_upstream.py --port 8081 --file body.xml --send 40 --lifetime 120
"""

import argparse
import socket
import time


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--file", required=True)
    parser.add_argument("--send", type=int, required=True, help="bytes of the body actually sent")
    parser.add_argument("--lifetime", type=float, default=120.0)
    args = parser.parse_args()

    with open(args.file, "rb") as f:
        body = f.read()
    deadline = time.monotonic() + args.lifetime
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as listener:
        listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        listener.bind(("127.0.0.1", args.port))
        listener.listen(8)
        while time.monotonic() < deadline:
            listener.settimeout(max(0.1, deadline - time.monotonic()))
            try:
                connection, _ = listener.accept()
            except socket.timeout:
                break
            with connection:
                connection.settimeout(10)
                request = b""
                while b"\r\n\r\n" not in request and len(request) < 65536:
                    chunk = connection.recv(4096)
                    if not chunk:
                        break
                    request += chunk
                head = (f"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                        f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n").encode()
                connection.sendall(head + body[:args.send])


if __name__ == "__main__":
    main()
