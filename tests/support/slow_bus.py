#!/usr/bin/python3
"""A session bus that does not answer: it accepts connections and holds them, saying nothing, until the
release file exists; from then on it closes every connection at once. Prints "ready" when listening."""
import os
import socket
import sys
import time

path, release = sys.argv[1], sys.argv[2]
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind(path)
server.listen(16)
server.settimeout(0.05)
print("ready", flush=True)
held = []
while True:
    try:
        conn, _ = server.accept()
        held.append(conn)
    except socket.timeout:
        pass
    if os.path.exists(release):
        for conn in held:
            conn.close()
        held = []
