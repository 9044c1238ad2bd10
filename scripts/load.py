#!/usr/bin/env python3
"""Load driver for vuko-devserver: N concurrent keep-alive clients on
127.0.0.1 for a fixed time, with a mix of reads, task writes, text parses and
reminder polls. Prints requests per second, p50/p99 latency and errors."""
import asyncio
import json
import random
import sys
import os
import time

ACCOUNTS = 10
# VUKO_LOAD_READS_ONLY=1 keeps the data set fixed, to tell memory that grows
# with the data from memory that grows with the requests.
READS_ONLY = os.environ.get("VUKO_LOAD_READS_ONLY") == "1"
MIX = [  # (weight, kind)
    (30, "list"), (15, "counts"), (15, "create"), (10, "update"),
    (15, "parse"), (15, "reminders"),
]
TEXTS = ["завтра в 10 позвонить маме !высокий #семья", "до пятницы отчёт #работа",
         "через 20 минут чайник", "каждый понедельник планёрка в 9:30", "купить хлеб"]


class Conn:
    def __init__(self, port):
        self.port = port
        self.reader = self.writer = None

    async def request(self, method, path, body=None, token=None):
        if self.writer is None:
            self.reader, self.writer = await asyncio.open_connection("127.0.0.1", self.port)
        data = b"" if body is None else json.dumps(body).encode()
        head = f"{method} {path} HTTP/1.1\r\nHost: 127.0.0.1\r\n"
        if token:
            head += f"Authorization: Bearer {token}\r\n"
        if body is not None:
            head += f"Content-Type: application/json\r\nContent-Length: {len(data)}\r\n"
        self.writer.write(head.encode() + b"\r\n" + data)
        try:
            await self.writer.drain()
            status_line = await self.reader.readline()
            if not status_line:
                raise ConnectionError("closed")
            status = int(status_line.split()[1])
            length, close = 0, False
            while True:
                line = await self.reader.readline()
                if line in (b"\r\n", b""):
                    break
                name, _, value = line.decode("latin-1").partition(":")
                if name.lower() == "content-length":
                    length = int(value)
                elif name.lower() == "connection" and "close" in value.lower():
                    close = True
            payload = await self.reader.readexactly(length) if length else b""
        except Exception:
            self.close()
            raise
        if close:
            self.close()
        return status, payload

    def close(self):
        if self.writer is not None:
            self.writer.close()
        self.reader = self.writer = None


async def setup(port):
    conn = Conn(port)
    tokens = []
    stamp = int(time.time() * 1000)
    for i in range(ACCOUNTS):
        status, body = await conn.request(
            "POST", "/api/auth/register",
            {"email": f"load{stamp}-{i}@vuko.local", "password": "secret"})
        if status != 201:
            raise SystemExit(f"register failed: {status} {body[:200]}")
        tokens.append(json.loads(body)["token"])
    conn.close()
    return tokens


async def client(port, token, deadline, stats):
    conn = Conn(port)
    mine = []
    kinds = [k for w, k in MIX for _ in range(w)]
    if READS_ONLY:
        kinds = [k for k in kinds if k not in ("create", "update")]
    while time.monotonic() < deadline:
        kind = random.choice(kinds)
        if kind == "update" and not mine:
            kind = "create"
        if kind == "list":
            args = ("GET", "/api/tasks?view=" + random.choice(["today", "week", "inbox"]))
        elif kind == "counts":
            args = ("GET", "/api/tasks/counts")
        elif kind == "create":
            args = ("POST", "/api/tasks", {"title": random.choice(TEXTS), "smart": True})
        elif kind == "update":
            args = ("PATCH", f"/api/tasks/{random.choice(mine)}",
                    {"completed": random.random() < 0.5, "priority": random.randint(0, 3)})
        elif kind == "parse":
            args = ("POST", "/api/tasks/parse", {"text": random.choice(TEXTS)})
        else:
            args = ("GET", "/api/reminders/upcoming?hours=24")
        start = time.monotonic()
        try:
            status, body = await asyncio.wait_for(conn.request(*args, token=token), 15)
        except Exception as e:  # noqa: BLE001 - every failure counts as an error
            conn.close()
            stats["errors"] += 1
            stats["error_kinds"][type(e).__name__] = stats["error_kinds"].get(type(e).__name__, 0) + 1
            continue
        stats["latency"].append(time.monotonic() - start)
        if not 200 <= status < 300:
            stats["errors"] += 1
            stats["error_kinds"][str(status)] = stats["error_kinds"].get(str(status), 0) + 1
        elif kind == "create" and len(mine) < 50:
            mine.append(json.loads(body)["id"])
    conn.close()


async def run(port, clients, seconds):
    tokens = await setup(port)
    stats = {"latency": [], "errors": 0, "error_kinds": {}}
    start = time.monotonic()
    deadline = start + seconds
    await asyncio.gather(*(client(port, tokens[i % len(tokens)], deadline, stats)
                           for i in range(clients)))
    elapsed = time.monotonic() - start
    lat = sorted(stats["latency"])
    done = len(lat)

    def pct(p):
        return lat[min(done - 1, int(p * done))] * 1000 if done else float("nan")

    print(f"clients={clients} seconds={elapsed:.1f} requests={done} "
          f"rps={done / elapsed:.0f} p50_ms={pct(0.50):.1f} p99_ms={pct(0.99):.1f} "
          f"errors={stats['errors']} {json.dumps(stats['error_kinds']) if stats['errors'] else ''}")


if __name__ == "__main__":
    port, clients, seconds = int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3])
    asyncio.run(run(port, clients, seconds))
