#!/usr/bin/env python3
"""A scripted SMTP peer for the tests of servers that misbehave, on 127.0.0.1 and an ephemeral port.

    smtp_peer.py OUTDIR STEP...

prints "PORT <n>" once listening; serves connections one after another until its standard input closes.
Each connection plays the steps in order, then closes; everything the client sent on it is written to
OUTDIR/session-N.bin (N from 1) once the connection is over. Steps:

    send:TEXT     send TEXT ("\\r\\n" and "\\n" in it are written as escapes; use \\r\\n)
    split:TEXT    send TEXT one byte at a time, 20 ms apart
    read          wait for one line from the client
    data          wait for the data that ends with CR LF "." CR LF
    tls:CERT:KEY  start TLS as the server (after a STARTTLS 220)
    silence       send nothing more; wait until the client gives up
"""
import os
import socket
import ssl
import sys
import threading
import time


def unescape(text):
    return text.encode().decode("unicode_escape").encode("latin-1")


def serve(conn, steps):
    received = bytearray()
    buffered = bytearray()

    def fill():
        chunk = conn.recv(65536)
        if not chunk:
            raise EOFError
        received.extend(chunk)
        buffered.extend(chunk)

    try:
        for step in steps:
            kind, _, arg = step.partition(":")
            if kind == "send":
                conn.sendall(unescape(arg))
            elif kind == "split":
                for b in unescape(arg):
                    conn.sendall(bytes([b]))
                    time.sleep(0.02)
            elif kind == "read":
                while b"\n" not in buffered:
                    fill()
                del buffered[: buffered.index(b"\n") + 1]
            elif kind == "data":
                while b"\r\n.\r\n" not in buffered:
                    fill()
                del buffered[: buffered.index(b"\r\n.\r\n") + 5]
            elif kind == "tls":
                cert, key = arg.split(":")
                context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
                context.load_cert_chain(cert, key)
                conn = context.wrap_socket(conn, server_side=True)
            elif kind == "silence":
                while True:
                    fill()
        # Take what the client still sends (its QUIT) until it closes or goes quiet.
        conn.settimeout(2)
        while True:
            fill()
    except (EOFError, OSError):
        pass
    finally:
        conn.close()
    return bytes(received)


def main():
    outdir, steps = sys.argv[1], sys.argv[2:]
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    n = 0
    while True:
        conn, _ = listener.accept()
        n += 1
        data = serve(conn, steps)
        path = os.path.join(outdir, "session-%d.bin" % n)
        with open(path + ".part", "wb") as f:
            f.write(data)
        os.rename(path + ".part", path)


if __name__ == "__main__":
    main()
