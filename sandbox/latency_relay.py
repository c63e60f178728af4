#!/usr/bin/env python3
"""Relays TCP from a local port to a target and delays each direction by a number of
milliseconds, so that a benchmark on loopback sees a network's round trips. usage:
    latency_relay.py TARGET_HOST TARGET_PORT DELAY_MS [--port N] [--ready FILE]
Port 0 (the default) takes a free port; the ready file then gets "port=N". Bytes keep their
order; each chunk is delivered DELAY_MS after it was read."""

import argparse
import asyncio
import os
import selectors
import signal

CHUNK_BYTES = 65536
# What one direction may hold in flight before reading pauses.
MAX_QUEUED_CHUNKS = 256


async def pump(reader, writer, delay_s):
    """Reads chunks as they come and writes each one delay_s after it arrived."""
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue(MAX_QUEUED_CHUNKS)

    async def deliver():
        while True:
            due, data = await queue.get()
            wait = due - loop.time()
            if wait > 0:
                await asyncio.sleep(wait)
            if data is None:
                break
            writer.write(data)
            await writer.drain()
        if writer.can_write_eof():
            writer.write_eof()

    sender = asyncio.ensure_future(deliver())
    try:
        while True:
            data = await reader.read(CHUNK_BYTES)
            await queue.put((loop.time() + delay_s, data or None))
            if not data:
                break
        await sender
    except (ConnectionError, OSError):
        sender.cancel()
    finally:
        if not sender.done():
            sender.cancel()


async def relay(client_reader, client_writer, target, delay_s):
    try:
        server_reader, server_writer = await asyncio.open_connection(*target)
    except OSError:
        client_writer.close()
        return
    try:
        await asyncio.gather(pump(client_reader, server_writer, delay_s),
                             pump(server_reader, client_writer, delay_s))
    finally:
        for w in (client_writer, server_writer):
            try:
                w.close()
            except OSError:
                pass


async def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("host")
    parser.add_argument("port", type=int)
    parser.add_argument("delay_ms", type=float)
    parser.add_argument("--port", dest="listen_port", type=int, default=0)
    parser.add_argument("--ready", help="file to write the listening port to")
    args = parser.parse_args()
    delay_s = max(args.delay_ms, 0) / 1000.0
    server = await asyncio.start_server(
        lambda r, w: relay(r, w, (args.host, args.port), delay_s), "127.0.0.1", args.listen_port)
    port = server.sockets[0].getsockname()[1]
    if args.ready:
        tmp = args.ready + ".tmp"
        with open(tmp, "w") as f:
            f.write("port=%d\npid=%d\n" % (port, os.getpid()))
        os.replace(tmp, args.ready)
    print("latency relay 127.0.0.1:%d -> %s:%d, %g ms each way" % (port, args.host, args.port, args.delay_ms),
          flush=True)
    stop = asyncio.Event()
    loop = asyncio.get_running_loop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, stop.set)
    async with server:
        await stop.wait()


if __name__ == "__main__":
    # select() waits to the microsecond; epoll rounds every wait up to a whole millisecond,
    # which would add up to a millisecond to each delayed chunk.
    loop = asyncio.SelectorEventLoop(selectors.SelectSelector())
    try:
        loop.run_until_complete(main())
    finally:
        loop.close()
