#!/usr/bin/env python3
"""Plays QRZ's XML callbook and the FCC's weekly-transactions page on 127.0.0.1 and an ephemeral port.

    qrz_server.py CONFIG LOG     prints "PORT <n>" once listening; serves until killed or stdin closes

CONFIG is a JSON file, read again for every request:
  {"user": "n0tst", "password": "secret",
   "stations": {"W1AW": "<call>W1AW</call><fname>HIRAM P</fname>..."},   inner XML of <Callsign>
   "login_without_key": false,      the login reply carries neither <Key> nor <Error>
   "login_reply": {"status": 404, "body": "..."},  every login answers this, as it stands (a service down)
   "query_error": "Session Timeout", every query answers with this error, whatever its key
   "fcc_page": "/path/to/page.html"}

Requests, each appended to LOG as one JSON line {"kind": ..., "path": raw path, "params": {...}}:
  /bin/xml/?username=U;password=P;agent=A      login: a new key "key<n>" (or "Username/password incorrect")
  /xml/current/?s=KEY;callsign=CALL            query
  /bin/xml?s=KEY;callsign=CALL                 query after a new login ("retry" in the log)
  /uls/index.htm?job=transaction&page=weekly   the file named by fcc_page
  /control/expire        the keys given so far answer "Session Timeout" from now on
  /control/invalidate    ... "Invalid session key"
  /control/noaccess      ... "XML access is not authorized"
  /control/reset         forgets every key; the next login gives "key1" again
A key the server never gave answers "Invalid session key". A request that is not HTTP (a TLS handshake)
is logged as {"kind": "invalid", "raw": ...}.
"""
import http.server
import json
import socket
import sys
import threading
import urllib.parse

HEAD = '<?xml version="1.0" encoding="utf-8" ?>\n<QRZDatabase version="1.34" xmlns="http://xmldata.qrz.com">\n'
TAIL = "</QRZDatabase>\n"


class State:
    def __init__(self, config, log):
        self.config_path = config
        self.log_path = log
        self.lock = threading.Lock()
        self.keys = {}  # key -> None (good) or the error it now answers with
        self.logins = 0

    def config(self):
        with open(self.config_path, encoding="utf-8") as f:
            return json.load(f)

    def log(self, entry):
        with self.lock, open(self.log_path, "a", encoding="utf-8") as f:
            f.write(json.dumps(entry) + "\n")


def params_of(query, separator):
    params = {}
    for part in query.split(separator):
        if "=" in part:
            k, v = part.split("=", 1)
            params[urllib.parse.unquote(k)] = urllib.parse.unquote(v)
    return params


def session(key=None, error=None):
    body = "<Session>\n"
    if key:
        body += "<Key>%s</Key>\n" % key
    if error:
        body += "<Error>%s</Error>\n" % error
    return body + "<Count>42</Count>\n<GMTime>Sun Mar  3 12:00:00 2024</GMTime>\n</Session>\n"


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def handle(self):
        # A TLS handshake (a client asked for https) is refused at once rather than read as a request line.
        try:
            first = self.request.recv(1, socket.MSG_PEEK)
        except OSError:
            return
        if first == b"\x16":
            self.server.state.log({"kind": "invalid", "raw": "TLS handshake"})
            return
        super().handle()

    def send_error(self, code, message=None, explain=None):
        self.server.state.log({"kind": "invalid", "raw": repr(getattr(self, "raw_requestline", b""))})
        self.close_connection = True

    def reply(self, body, status=200, content_type="text/xml"):
        data = body.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_GET(self):
        state = self.server.state
        config = state.config()
        path = self.path
        route, _, query = path.partition("?")
        if route == "/bin/xml/":
            params = params_of(query, ";")
            state.log({"kind": "login", "path": path, "params": params})
            if config.get("login_reply"):
                raw = config["login_reply"]
                return self.reply(raw.get("body", ""), raw.get("status", 200), "text/html")
            if config.get("login_without_key"):
                return self.reply(HEAD + session() + TAIL)
            if params.get("username") != config.get("user") or params.get("password") != config.get("password"):
                return self.reply(HEAD + session(error="Username/password incorrect") + TAIL)
            with state.lock:
                state.logins += 1
                key = "key%d" % state.logins
                state.keys[key] = None
            return self.reply(HEAD + session(key=key) + TAIL)
        if route in ("/xml/current/", "/bin/xml"):
            params = params_of(query, ";")
            state.log({"kind": "query" if route == "/xml/current/" else "retry", "path": path, "params": params})
            key = params.get("s", "")
            with state.lock:
                known = key in state.keys
                error = state.keys.get(key)
            if config.get("query_error"):
                return self.reply(HEAD + session(error=config["query_error"]) + TAIL)
            if not known:
                return self.reply(HEAD + session(error="Invalid session key") + TAIL)
            if error:
                return self.reply(HEAD + session(error=error) + TAIL)
            call = params.get("callsign", "")
            record = config.get("stations", {}).get(call)
            if record is None:
                return self.reply(HEAD + session(key=key, error="Not found: %s" % call) + TAIL)
            return self.reply(HEAD + "<Callsign>\n" + record + "\n</Callsign>\n" + session(key=key) + TAIL)
        if route == "/control/reset":
            with state.lock:
                state.keys.clear()
                state.logins = 0
            return self.reply("ok", 200, "text/plain")
        if route.startswith("/control/"):
            error = {"/control/expire": "Session Timeout", "/control/invalidate": "Invalid session key",
                     "/control/noaccess": "XML access is not authorized"}.get(route)
            if error is None:
                return self.reply("unknown control", 404, "text/plain")
            with state.lock:
                for k in state.keys:
                    state.keys[k] = error
            return self.reply("ok", 200, "text/plain")
        if route == "/uls/index.htm":
            state.log({"kind": "fcc", "path": path, "params": params_of(query, "&")})
            try:
                with open(config["fcc_page"], encoding="utf-8") as f:
                    return self.reply(f.read(), 200, "text/html")
            except (KeyError, OSError):
                return self.reply("<html><body>Not Found</body></html>", 404, "text/html")
        state.log({"kind": "other", "path": path})
        return self.reply("<html><body>Not Found</body></html>", 404, "text/html")


class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, client_address):
        pass  # clients that hang up (a refused TLS handshake) are part of the tests


def main():
    server = Server(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    server.state = State(sys.argv[1], sys.argv[2])
    threading.Thread(target=server.serve_forever, daemon=True).start()
    print("PORT %d" % server.server_address[1], flush=True)
    try:
        sys.stdin.read()  # the test closes stdin (or goes away) to stop the server
    finally:
        server.shutdown()


if __name__ == "__main__":
    main()
