#!/usr/bin/env python3
"""A small HTTP server for the download tests, on 127.0.0.1 and an ephemeral port.

    http_server.py ROOT     prints "PORT <n>" once listening; serves until killed or stdin closes

Paths:
  /files/NAME        NAME from ROOT, with its Content-Length
  /truncate/NAME     announces the full length, sends half, then closes the connection
  /slow/NAME         sends 4 kB every 50 ms (for cancelling)
  /redirect/NAME     302 to /files/NAME
anything else is 404.
"""
import http.server
import os
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        parts = self.path.split("/", 2)
        if len(parts) != 3 or "/" in parts[2] or parts[2] in ("", ".", ".."):
            return self.not_found()
        kind, name = parts[1], parts[2]
        path = os.path.join(self.server.root, name)
        if kind == "redirect":
            self.send_response(302)
            self.send_header("Location", "/files/" + name)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if not os.path.isfile(path):
            return self.not_found()
        with open(path, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/zip")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        try:
            if kind == "files":
                self.wfile.write(body)
            elif kind == "truncate":
                self.wfile.write(body[: len(body) // 2])
                self.wfile.flush()
                self.close_connection = True
            elif kind == "slow":
                for i in range(0, len(body), 4096):
                    self.wfile.write(body[i:i + 4096])
                    self.wfile.flush()
                    time.sleep(0.05)
            else:
                self.close_connection = True
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def not_found(self):
        body = b"<html><body>404 Not Found</body></html>"
        self.send_response(404)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # clients that hang up (a cancelled download) are part of the tests


def main():
    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = sys.argv[1]
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    # Ends with the test: when standard input closes.
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
