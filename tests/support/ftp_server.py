#!/usr/bin/env python3
"""An anonymous, read-only FTP server (pyftpdlib) for the download tests, on 127.0.0.1.

    ftp_server.py ROOT      prints "PORT <n>" once listening; serves until stdin closes
"""
import logging
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer


def main():
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(sys.argv[1])
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.banner = "test server ready"
    server = ThreadedFTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    print("PORT %d" % server.socket.getsockname()[1], flush=True)
    sys.stdin.read()
    server.close_all()


if __name__ == "__main__":
    main()
