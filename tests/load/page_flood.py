#!/usr/bin/env python3
"""The phone page's server under a flood of connections, with a phone that must still get
through. Run from a network of the test's own (page_flood_test.sh makes it):

  page_flood.py --server HOST:PORT --token TOKEN --phone ADDR --holders ADDR,ADDR,...
                --refused ADDR,ADDR [--pid PID] [--seconds 30]

- every holder address keeps 10 connections open: idle after one request, sending a header
  line a second, or asking for the largest file and never reading it; a connection that the
  server closes is opened again;
- every refused address connects again and again;
- meanwhile the phone, from an address of its own, loads the page and posts a scan, over and
  over: each must be answered within 2 s, every time.
With --pid, the server's threads and resident memory are printed before and during the
flood, and the threads must not grow with the connections.
Exits 1 on a failure."""

import argparse
import gzip
import hashlib
import hmac
import json
import re
import selectors
import socket
import sys
import threading
import time

LIMIT = 2.0  # seconds the phone may wait for each answer
CODE = "00191455700000110009956850418332600000624818"
PER_HOLDER = 10


def request(method, path, body=b"", extra=""):
    head = (f"{method} {path} HTTP/1.1\r\nHost: page\r\nAccept-Encoding: gzip\r\n{extra}"
            f"Content-Length: {len(body)}\r\n\r\n")
    return head.encode() + body


class Answer:
    def __init__(self, status, headers, body):
        self.status, self.headers, self.body = status, headers, body


def read_answer(sock):
    data = b""
    while b"\r\n\r\n" not in data:
        got = sock.recv(65536)
        if not got:
            raise ConnectionError("closed before the answer's head")
        data += got
    head, _, body = data.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        name, _, value = line.partition(":")
        headers[name.strip().lower()] = value.strip()
    length = int(headers.get("content-length", "0"))
    while len(body) < length:
        got = sock.recv(65536)
        if not got:
            raise ConnectionError("closed in the answer's body")
        body += got
    return Answer(int(lines[0].split()[1]), headers, body[:length])


def page_files(server, source):
    """The page's files, from what the page and its scripts name."""
    sock = socket.create_connection(server, timeout=5, source_address=(source, 0))
    with sock:
        sock.sendall(request("GET", "/"))
        page = gzip.decompress(read_answer(sock).body).decode()
        names = set(re.findall(r"/?([\w-]+\.[0-9a-f]{12}\.(?:js|wasm))", page))
        for name in list(names):
            if name.endswith(".js"):
                sock.sendall(request("GET", "/" + name))
                script = gzip.decompress(read_answer(sock).body).decode("utf-8", "replace")
                names.update(re.findall(r"([\w-]+\.[0-9a-f]{12}\.(?:js|wasm))", script))
    return sorted(names)


class Holders:
    """The connections that hold the server, in one selector loop of their own."""

    STALLED_FOR = 12  # seconds: then a stalled connection is opened again
    REFUSED_EVERY = 0.05  # seconds between a refused address's connections

    def __init__(self, server, holders, refused, largest):
        self.server, self.largest = server, largest
        self.selector = selectors.DefaultSelector()
        self.stopping = False
        self.refusals = 0
        self.connects = 0
        self.plans = []
        for index, address in enumerate(holders):
            for slot in range(PER_HOLDER):
                self.plans.append((address, ("idle", "trickle", "stalled")[(index + slot) % 3]))
        self.plans += [(address, "refused") for address in refused]
        self.waiting = []  # (when, plan): connections to open again
        self.stalled = []  # (since, socket, plan): never read, never in the selector

    def open(self, plan):
        address, mode = plan
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        if mode == "stalled":
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        sock.setblocking(False)
        sock.bind((address, 0))
        sock.connect_ex(self.server)
        self.connects += 1
        self.selector.register(sock, selectors.EVENT_WRITE, {"plan": plan, "next": 0.0, "lines": 0})

    def drop(self, sock, state, now):
        self.selector.unregister(sock)
        sock.close()
        delay = self.REFUSED_EVERY if state["plan"][1] == "refused" else 0.1
        self.waiting.append((now + delay, state["plan"]))

    def connected(self, sock, state, now):
        mode = state["plan"][1]
        if mode == "trickle":
            sock.send(b"GET / HTTP/1.1\r\nHost: page\r\n")
            state["next"] = now + 1
        elif mode == "stalled":
            # Three answers of the largest file: more than the two sides' buffers hold.
            sock.send(request("GET", "/" + self.largest) * 3)
            self.selector.unregister(sock)
            self.stalled.append((now, sock, state["plan"]))
            return
        else:
            sock.send(request("GET", "/"))
        self.selector.modify(sock, selectors.EVENT_READ, state)

    def run(self):
        for plan in self.plans:
            self.open(plan)
        while not self.stopping:
            for key, events in self.selector.select(timeout=0.05):
                sock, state = key.fileobj, key.data
                now = time.monotonic()
                try:
                    if events & selectors.EVENT_WRITE:
                        if sock.getsockopt(socket.SOL_SOCKET, socket.SO_ERROR) != 0:
                            raise ConnectionError
                        self.connected(sock, state, now)
                        continue
                    got = sock.recv(65536)
                    if state["plan"][1] == "refused" and got.startswith(b"HTTP/1.1 403"):
                        self.refusals += 1
                    if not got:
                        raise ConnectionError
                except OSError:
                    self.drop(sock, state, now)
            now = time.monotonic()
            # The trickling heads, a line a second.
            for key in list(self.selector.get_map().values()):
                state = key.data
                if state["plan"][1] == "trickle" and state["next"] and now >= state["next"]:
                    state["lines"] += 1
                    state["next"] = now + 1
                    try:
                        key.fileobj.send(f"X-Line-{state['lines']}: a\r\n".encode())
                    except OSError:
                        self.drop(key.fileobj, state, now)
            # A stalled connection cannot see its end without reading: it is opened again
            # once the server must have given up on it.
            while self.stalled and now - self.stalled[0][0] > self.STALLED_FOR:
                _, sock, plan = self.stalled.pop(0)
                sock.close()
                self.waiting.append((now, plan))
            due = [plan for when, plan in self.waiting if when <= now]
            self.waiting = [(when, plan) for when, plan in self.waiting if when > now]
            for plan in due:
                self.open(plan)
        for key in list(self.selector.get_map().values()):
            key.fileobj.close()
        for _, sock, _ in self.stalled:
            sock.close()


def server_figures(pid):
    threads = 0
    resident = 0
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("Threads:"):
                    threads = int(line.split()[1])
                elif line.startswith("VmRSS:"):
                    resident = int(line.split()[1])
    except OSError:
        pass
    return threads, resident


def phone_round(server, source, token):
    """Loads the page and posts a scan as the phone does: the seconds of each."""
    started = time.monotonic()
    sock = socket.create_connection(server, timeout=LIMIT + 1, source_address=(source, 0))
    with sock:
        sock.sendall(request("GET", "/"))
        page = read_answer(sock)
        loaded = time.monotonic() - started
        if page.status != 200:
            raise RuntimeError(f"the page: {page.status}")
        started = time.monotonic()
        sock.sendall(request("POST", "/nonce"))
        nonce_answer = read_answer(sock)
        if nonce_answer.status != 200:
            raise RuntimeError(f"the nonce: {nonce_answer.status}")
        nonce = json.loads(nonce_answer.body)["nonce"]
        proof = hmac.new(token.encode(), f"{nonce}:1:{CODE}".encode(), hashlib.sha256).hexdigest()
        sock.sendall(request("POST", f"/scan?k=1&n={nonce}&p={proof}", CODE.encode(),
                             "Content-Type: text/plain\r\n"))
        scan = read_answer(sock)
        if scan.status != 200:
            raise RuntimeError(f"the scan: {scan.status} {scan.body!r}")
        return loaded, time.monotonic() - started


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--server", required=True)
    parser.add_argument("--token", required=True)
    parser.add_argument("--phone", required=True)
    parser.add_argument("--holders", required=True)
    parser.add_argument("--refused", required=True)
    parser.add_argument("--pid", type=int)
    parser.add_argument("--seconds", type=float, default=30)
    args = parser.parse_args()
    host, port = args.server.rsplit(":", 1)
    server = (host, int(port))

    files = page_files(server, args.phone)
    largest = files[-1] if files else ""
    for name in files:
        if name.endswith(".wasm"):
            largest = name
    # The phone's first visit, before the flood: what the server holds then.
    phone_round(server, args.phone, args.token)
    before = server_figures(args.pid) if args.pid else None

    holders = Holders(server, args.holders.split(","), args.refused.split(","), largest)
    flood = threading.Thread(target=holders.run, daemon=True)
    flood.start()
    time.sleep(3)  # the holders take their places

    failures = []
    worst_load = worst_scan = 0.0
    rounds = 0
    most_threads = most_resident = 0
    ends = time.monotonic() + args.seconds
    while time.monotonic() < ends:
        try:
            loaded, scanned = phone_round(server, args.phone, args.token)
            worst_load, worst_scan = max(worst_load, loaded), max(worst_scan, scanned)
            if loaded > LIMIT or scanned > LIMIT:
                failures.append(f"round {rounds}: page {loaded:.2f} s, scan {scanned:.2f} s")
        except (OSError, RuntimeError, ValueError) as error:
            failures.append(f"round {rounds}: {error!r}")
        rounds += 1
        if args.pid:
            threads, resident = server_figures(args.pid)
            most_threads, most_resident = max(most_threads, threads), max(most_resident, resident)
        time.sleep(0.7)
    holders.stopping = True
    flood.join(timeout=5)

    print(f"phone: {rounds} rounds, slowest page {worst_load:.3f} s, slowest scan "
          f"{worst_scan:.3f} s; holders: {len(holders.plans)} places, {holders.connects} "
          f"connections made, {holders.refusals} refused at the door")
    if args.pid:
        print(f"server: {before[0]} threads and {before[1]} KiB resident before the flood, "
              f"at most {most_threads} threads and {most_resident} KiB during it")
        # The scan workers (and the system's own) may start; a thread per connection would
        # show as hundreds.
        if most_threads > before[0] + 4:
            failures.append(f"threads grew from {before[0]} to {most_threads}")
    if holders.refusals == 0:
        failures.append("the refused addresses were never answered 403")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
