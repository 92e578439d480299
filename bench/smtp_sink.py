#!/usr/bin/env python3
"""A fast SMTP sink for the blast benchmark, on 127.0.0.1 and an ephemeral port: speaks just enough SMTP
(HELO/EHLO, MAIL, RCPT, DATA, RSET, NOOP, QUIT), reads the data in large blocks rather than line by line,
and appends "SIZE RECIPIENT" to LOGFILE for every message it accepts.

    smtp_sink.py LOGFILE     prints "PORT <n>" once listening; serves until its standard input closes
"""
import asyncio
import sys
import threading


async def session(reader, writer, log):
    async def reply(text):
        writer.write(text.encode() + b"\r\n")
        await writer.drain()

    await reply("220 sink ready")
    rcpt = []
    while True:
        line = await reader.readline()
        if not line:
            break
        verb = line[:4].upper()
        if verb in (b"HELO", b"EHLO"):
            await reply("250 sink")
        elif verb == b"MAIL":
            rcpt = []
            await reply("250 ok")
        elif verb == b"RCPT":
            rcpt.append(line.split(b"<", 1)[-1].split(b">", 1)[0].decode())
            await reply("250 ok")
        elif verb == b"DATA":
            await reply("354 go ahead")
            size, tail = 0, b""
            while True:
                block = await reader.read(1 << 20)
                if not block:
                    return
                size += len(block)
                tail = (tail + block)[-5:]
                # A client sends nothing after the end marker until it has the reply.
                if tail == b"\r\n.\r\n":
                    break
            log.write("%d %s\n" % (size, ",".join(rcpt)))
            log.flush()
            await reply("250 accepted")
        elif verb == b"QUIT":
            await reply("221 bye")
            break
        else:
            await reply("250 ok")
    writer.close()


def main():
    log = open(sys.argv[1], "a")
    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(
        asyncio.start_server(lambda r, w: session(r, w, log), "127.0.0.1", 0, limit=1 << 20))
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), loop.call_soon_threadsafe(loop.stop)), daemon=True).start()
    loop.run_forever()


if __name__ == "__main__":
    main()
