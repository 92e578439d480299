#!/usr/bin/env python3
"""A small HTTP server for the tests, on 127.0.0.1 and an ephemeral port.

    http_server.py ROOT [--tls PEM]   prints "PORT <n>" once listening; serves until killed or stdin closes

With --tls it speaks HTTPS with the certificate and key of the PEM file.

Fixed paths (GET):
  /files/NAME        NAME from ROOT, with its Content-Length
  /truncate/NAME     announces the full length, sends half, then closes the connection
  /slow/NAME         sends 4 kB every 50 ms (for cancelling)
  /redirect/NAME     302 to /files/NAME
  /endless/NAME      sends without a length and without end: 64 kB at a time until the client goes
                     (bounded: 256 MB or 60 s at most)

Scripted paths: ROOT/routes.json maps a path (without its query) to what to answer, read anew for every
request, for GET and POST alike:
  {"/cgi-bin/preCheckIn": {"status": 200, "body": "<html>...</html>"}}
Keys of a route (all optional):
  status, reason     the status line (200 and Python's standard phrase by default)
  body | body_file   the body: a text sent as UTF-8 or Latin-1 ("latin1": true), or a file of ROOT
  headers            {"Name": "value"} added to the answer
  auth               "user:password": Basic credentials required, else 401 with a "Club" realm
  digest             "user:password": Digest credentials (MD5, qop "auth") required, else 401
  realm              the realm of either challenge ("Club" by default)
  redirect           answer 302 with this Location
  echo               answer 200 with the request's body
  store              write the request's body to ROOT/<store> (then served by /files/<store>), answer 200
  delay_ms           wait this long before answering
  gate               wait until the file ROOT/<gate> exists before answering
  hang               never answer (hold the connection until the client goes, a minute at most)
  no_read            do not read the request's body, then hang (a client that sends a lot stalls)
  trickle_ms, chunk  send the body in pieces of `chunk` bytes (1) with this pause between them
  sequence           a list of routes: the n-th request to the path gets the n-th (the last one repeats)
Other paths are 404.

Every request is recorded, before it is answered, as one JSON line in ROOT/requests.jsonl:
  {"method", "path" (with query), "version", "headers" (names in lower case), "body_b64"}
"""
import base64
import hashlib
import http.server
import json
import os
import select
import ssl
import sys
import threading
import time


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    # ----- fixed paths of the download tests -----

    def fixed_get(self):
        parts = self.path.split("/", 2)
        if len(parts) != 3 or "/" in parts[2] or parts[2] in ("", ".", ".."):
            return False
        kind, name = parts[1], parts[2]
        if kind not in ("files", "truncate", "slow", "redirect", "endless"):
            return False
        self.record(b"")
        if kind == "endless":
            self.send_response(200)
            self.send_header("Content-Type", "application/zip")
            self.send_header("Connection", "close")
            self.end_headers()
            self.close_connection = True
            block = b"PK" + bytes(65534)
            start = time.monotonic()
            try:
                for _ in range(4096):
                    if time.monotonic() - start > 60:
                        break
                    self.wfile.write(block)
            except (BrokenPipeError, ConnectionResetError):
                pass
            return True
        path = os.path.join(self.server.root, name)
        if kind == "redirect":
            self.send_response(302)
            self.send_header("Location", "/files/" + name)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return True
        if not os.path.isfile(path):
            self.not_found()
            return True
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
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True
        return True

    # ----- recording and scripted answers -----

    def record(self, body):
        entry = {
            "method": self.command,
            "path": self.path,
            "version": self.request_version,
            "headers": {k.lower(): v for k, v in self.headers.items()},
            "body_b64": None if body is None else base64.b64encode(body).decode("ascii"),
        }
        with self.server.lock:
            with open(os.path.join(self.server.root, "requests.jsonl"), "a", encoding="utf-8") as f:
                f.write(json.dumps(entry) + "\n")
                f.flush()

    def route_for(self, path):
        try:
            with open(os.path.join(self.server.root, "routes.json"), encoding="utf-8") as f:
                routes = json.load(f)
        except (OSError, ValueError):
            return None
        route = routes.get(path)
        if route is None:
            return None
        seq = route.get("sequence")
        if seq:
            with self.server.lock:
                n = self.server.counts.get(path, 0)
                self.server.counts[path] = n + 1
            route = seq[min(n, len(seq) - 1)]
        return route

    def wait_until_gone(self, seconds):
        """Holds the connection until the client closes it (or the time is up)."""
        end = time.time() + seconds
        while time.time() < end:
            r, _, _ = select.select([self.connection], [], [], 0.1)
            if r:
                try:
                    if not self.connection.recv(65536, 0):
                        break
                except (OSError, ValueError):
                    break
        self.close_connection = True

    def handle_any(self):
        if self.command == "GET" and self.fixed_get():
            return
        path = self.path.split("?", 1)[0]
        route = self.route_for(path)
        if route is not None and route.get("no_read"):
            self.record(None)
            time.sleep(60)  # reads nothing: the client's sending stalls
            self.close_connection = True
            return
        length = int(self.headers.get("Content-Length") or 0)
        body = self.rfile.read(length) if length > 0 else b""
        self.record(body)
        if route is None:
            return self.not_found()
        if route.get("hang"):
            return self.wait_until_gone(60)
        gate = route.get("gate")
        if gate:
            end = time.time() + 60
            while not os.path.exists(os.path.join(self.server.root, gate)) and time.time() < end:
                time.sleep(0.02)
        if route.get("delay_ms"):
            time.sleep(route["delay_ms"] / 1000.0)
        if not self.authorized(route):
            page = b"<html><body>Authorization Required</body></html>"
            realm = route.get("realm", "Club")
            self.send_response(401)
            if route.get("digest"):
                self.send_header("WWW-Authenticate",
                                 'Digest realm="%s", nonce="%s", qop="auth", algorithm=MD5' % (realm, self.server.nonce))
            else:
                self.send_header("WWW-Authenticate", 'Basic realm="%s"' % realm)
            self.send_header("Content-Type", "text/html")
            self.send_header("Content-Length", str(len(page)))
            self.end_headers()
            self.wfile.write(page)
            return
        if route.get("redirect"):
            self.send_response(302)
            self.send_header("Location", route["redirect"])
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if route.get("store"):
            name = os.path.basename(route["store"])
            with open(os.path.join(self.server.root, name + ".part"), "wb") as f:
                f.write(body)
            os.replace(os.path.join(self.server.root, name + ".part"), os.path.join(self.server.root, name))
        if route.get("echo"):
            answer = body
        elif "body_file" in route:
            with open(os.path.join(self.server.root, route["body_file"]), "rb") as f:
                answer = f.read()
        else:
            answer = route.get("body", "").encode("latin-1" if route.get("latin1") else "utf-8")
        status = route.get("status", 200)
        if "reason" in route:
            self.send_response(status, route["reason"])
        else:
            self.send_response(status)
        headers = route.get("headers", {})
        if not any(k.lower() == "content-type" for k in headers):
            self.send_header("Content-Type", "text/html")
        for k, v in headers.items():
            self.send_header(k, v)
        self.send_header("Content-Length", str(len(answer)))
        self.end_headers()
        try:
            pause = route.get("trickle_ms")
            if pause:
                chunk = max(1, int(route.get("chunk", 1)))
                for i in range(0, len(answer), chunk):
                    self.wfile.write(answer[i:i + chunk])
                    self.wfile.flush()
                    time.sleep(pause / 1000.0)
            else:
                self.wfile.write(answer)
        except (BrokenPipeError, ConnectionResetError):
            self.close_connection = True

    def authorized(self, route):
        given = self.headers.get("Authorization") or ""
        if route.get("auth"):
            return given == "Basic " + base64.b64encode(route["auth"].encode("utf-8")).decode("ascii")
        if route.get("digest"):
            if not given.startswith("Digest "):
                return False
            fields = {}
            for part in given[7:].split(","):
                if "=" in part:
                    k, v = part.strip().split("=", 1)
                    fields[k.strip().lower()] = v.strip().strip('"')
            user, password = route["digest"].split(":", 1)
            realm = route.get("realm", "Club")
            md5 = lambda t: hashlib.md5(t.encode("utf-8")).hexdigest()
            ha1 = md5("%s:%s:%s" % (user, realm, password))
            ha2 = md5("%s:%s" % (self.command, fields.get("uri", "")))
            expected = md5(":".join([ha1, fields.get("nonce", ""), fields.get("nc", ""), fields.get("cnonce", ""),
                                     fields.get("qop", ""), ha2]))
            return (fields.get("username") == user and fields.get("realm") == realm
                    and fields.get("nonce") == self.server.nonce and fields.get("response") == expected)
        return True

    do_GET = handle_any
    do_POST = handle_any

    def not_found(self):
        body = b"<html><body>404 Not Found</body></html>"
        self.send_response(404)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # clients that hang up (a cancelled download, a time-out) are part of the tests


def main():
    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.root = sys.argv[1]
    server.lock = threading.Lock()
    server.counts = {}
    server.nonce = base64.b16encode(os.urandom(12)).decode("ascii").lower()
    if len(sys.argv) > 3 and sys.argv[2] == "--tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    # Ends with the test: when standard input closes.
    sys.stdin.read()
    server.shutdown()


if __name__ == "__main__":
    main()
