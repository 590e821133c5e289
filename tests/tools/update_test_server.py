#!/usr/bin/env python3
"""A local HTTP server for the update client's tests.

  update_test_server.py start ROOT STATE-FILE   serve ROOT on a free port of 127.0.0.1 in the
                                                background; STATE-FILE receives "PORT PID"
  update_test_server.py stop STATE-FILE         end that server

Besides the files under ROOT it answers:
  /status/N        status N with a short body
  /sized/N         N bytes with a Content-Length
  /unsized/N       N bytes without a Content-Length, ended by closing the connection
  /truncated/N     a Content-Length of N, then half of that, then the connection closes
  /redirect/PATH   302 to /PATH
  /echo            the request line's path and the User-Agent header, one per line
"""

import http.server
import os
import signal
import sys
import time


def body_of(length):
    return bytes(i * 7 % 251 for i in range(length))


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def send_body(self, status, body, length=None, headers=()):
        self.send_response(status)
        if length is not None:
            self.send_header("Content-Length", str(length))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        parts = self.path.split("?")[0].strip("/").split("/", 1)
        route, argument = parts[0], parts[1] if len(parts) > 1 else ""
        if route == "status":
            body = b"status page\n"
            self.send_body(int(argument), body, len(body))
        elif route == "sized":
            body = body_of(int(argument))
            self.send_body(200, body, len(body))
        elif route == "unsized":
            self.send_body(200, body_of(int(argument)))
        elif route == "truncated":
            self.send_body(200, body_of(int(argument) // 2), int(argument))
        elif route == "redirect":
            self.send_body(302, b"", 0, [("Location", "/" + argument)])
        elif route == "echo":
            body = f"{self.path}\n{self.headers.get('User-Agent', '')}\n".encode()
            self.send_body(200, body, len(body))
        else:
            path = os.path.join(self.server.root, *self.path.split("?")[0].strip("/").split("/"))
            if os.path.isfile(path):
                with open(path, "rb") as file:
                    body = file.read()
                self.send_body(200, body, len(body))
            else:
                body = b"not found\n"
                self.send_body(404, body, len(body))


def start(root, state_file):
    if os.path.exists(state_file):
        stop(state_file)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.root = root
    if os.fork() != 0:
        # The parent returns once the child has said where it listens.
        for _ in range(200):
            if os.path.exists(state_file):
                return
            time.sleep(0.05)
        sys.exit("the test server did not start")
    os.setsid()
    devnull = os.open(os.devnull, os.O_RDWR)
    for stream in (0, 1, 2):
        os.dup2(devnull, stream)
    temporary = state_file + ".tmp"
    with open(temporary, "w") as out:
        out.write(f"{server.server_address[1]} {os.getpid()}\n")
    os.replace(temporary, state_file)
    server.serve_forever()


def stop(state_file):
    try:
        with open(state_file) as state:
            pid = int(state.read().split()[1])
        os.remove(state_file)
        os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError, IndexError):
        pass


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "start":
        start(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 3 and sys.argv[1] == "stop":
        stop(sys.argv[2])
    else:
        sys.exit(__doc__)
