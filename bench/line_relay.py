#!/usr/bin/env python3
"""A relay on loopback that gives each connection the delays of a real line.

usage: line_relay.py LISTEN_PORT TARGET_PORT [RTT_MS] [PORT_FILE]

Every accepted connection first waits one round trip (the handshake a real
connect pays), then each block is handed on half a round trip after it
arrived, in each direction, keeping its order. Bandwidth is not limited
here: the server behind the relay paces each connection. Prints the port
it listens on (LISTEN_PORT 0 picks one) to PORT_FILE when given.
"""
import asyncio
import sys
import time


async def carry(reader, writer, delay):
    # Blocks are stamped as they arrive and sent at stamp + delay, so a
    # steady stream keeps its pace and only gains the latency.
    queue = asyncio.Queue()

    async def read():
        while True:
            data = await reader.read(65536)
            await queue.put((time.monotonic() + delay, data))
            if not data:
                return

    async def write():
        while True:
            due, data = await queue.get()
            wait = due - time.monotonic()
            if wait > 0:
                await asyncio.sleep(wait)
            if not data:
                if writer.can_write_eof():
                    writer.write_eof()
                return
            writer.write(data)
            await writer.drain()

    try:
        await asyncio.gather(read(), write())
    except (ConnectionError, OSError):
        pass


async def serve(client_reader, client_writer, target_port, rtt):
    await asyncio.sleep(rtt)
    try:
        server_reader, server_writer = await asyncio.open_connection("127.0.0.1", target_port)
    except OSError:
        client_writer.close()
        return
    await asyncio.gather(
        carry(client_reader, server_writer, rtt / 2),
        carry(server_reader, client_writer, rtt / 2),
    )
    for w in (client_writer, server_writer):
        w.close()


async def main():
    listen_port, target_port = int(sys.argv[1]), int(sys.argv[2])
    rtt = (float(sys.argv[3]) if len(sys.argv) > 3 else 40.0) / 1000.0
    server = await asyncio.start_server(
        lambda r, w: serve(r, w, target_port, rtt), "127.0.0.1", listen_port)
    port = server.sockets[0].getsockname()[1]
    if len(sys.argv) > 4:
        with open(sys.argv[4], "w") as f:
            f.write(f"{port}\n")
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    asyncio.run(main())
