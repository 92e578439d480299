#!/usr/bin/env python3
"""A real SMTP server (Debian's aiosmtpd) for the mail tests, on 127.0.0.1 and an ephemeral port.

    smtp_server.py OUTDIR [--starttls CERT KEY | --tls CERT KEY] [--auth USER:PASSWORD]
                   [--refuse ADDRESS]... [--discard] [--no-plain]

prints "PORT <n>" once listening and serves until its standard input closes. Each message accepted is
written as OUTDIR/NNNN.eml (the data as the server read it, transparency dots removed) beside
OUTDIR/NNNN.json ({"session", "helo", "mail_from", "rcpt_tos", "tls", "auth", "size"}); files appear
whole (written, then renamed). --discard keeps only the .json (for the benchmark). --refuse makes RCPT TO
of that address fail with 550. --auth requires AUTH PLAIN or LOGIN with that account (over TLS).
"""
import argparse
import asyncio
import itertools
import json
import os
import ssl
import sys
import threading

from aiosmtpd.smtp import SMTP, AuthResult


def write_whole(path, data):
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(data)
    os.rename(tmp, path)


class Handler:
    def __init__(self, args):
        self.args = args
        self.count = itertools.count(1)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.args.refuse:
            return "550 5.1.1 <%s>: no such user here" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        n = next(self.count)
        meta = {
            "session": session.number,
            "helo": session.host_name,
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "tls": server.transport.get_extra_info("sslcontext") is not None,
            "auth": session.auth_data.login.decode() if session.authenticated and session.auth_data else None,
            "size": len(envelope.original_content),
        }
        base = os.path.join(self.args.outdir, "%04d" % n)
        if not self.args.discard:
            write_whole(base + ".eml", envelope.original_content)
        write_whole(base + ".json", json.dumps(meta).encode())
        return "250 2.0.0 Message accepted for delivery"


class NumberedSMTP(SMTP):
    sessions = itertools.count(1)

    def _create_session(self):
        session = super()._create_session()
        session.number = next(NumberedSMTP.sessions)
        return session


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--auth")
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--discard", action="store_true")
    parser.add_argument("--no-plain", action="store_true", help="offer AUTH LOGIN only")
    args = parser.parse_args()

    context = None
    pair = args.starttls or args.tls
    if pair:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(pair[0], pair[1])

    def authenticator(server, session, envelope, mechanism, auth_data):
        user, _, password = args.auth.partition(":")
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        return AuthResult(success=ok, handled=False, auth_data=auth_data)

    handler = Handler(args)

    def factory():
        kwargs = {"data_size_limit": 0, "hostname": "mail.test.example"}
        if args.starttls:
            kwargs["tls_context"] = context
        if args.auth:
            kwargs.update(authenticator=authenticator, auth_required=True, auth_require_tls=True)
            if args.no_plain:
                kwargs["auth_exclude_mechanism"] = ["PLAIN"]
        if args.tls:
            # TLS from the first byte: the connection counts as encrypted, so AUTH is allowed.
            kwargs["auth_require_tls"] = False
        return NumberedSMTP(handler, **kwargs)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        loop.create_server(factory, "127.0.0.1", 0, ssl=context if args.tls else None))
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), loop.call_soon_threadsafe(loop.stop)), daemon=True).start()
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    main()
