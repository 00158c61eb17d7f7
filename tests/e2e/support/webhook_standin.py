#!/usr/bin/env python3
"""A Discord webhook stand-in on 127.0.0.1 for the end-to-end tests.

It keeps the limits the way Discord states them: a bucket of LIMIT requests per
WINDOW seconds told in X-RateLimit-* headers, a 429 with retry_after (sometimes
global) for a request made while a wait is due, and, by mode, slow answers, no
answers, server errors or dropped connections. Every accepted message is written
to the record file as one JSON line; a request made while a wait was due is
recorded as {"early": true}.

usage: webhook_standin.py PORTFILE RECORDFILE MODE
modes: limits, silent (never answers), refuse (404 Unknown Webhook)
"""
import json
import socket
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

PORTFILE, RECORD, MODE = sys.argv[1], sys.argv[2], sys.argv[3]
LIMIT, WINDOW = 3, 2.0
lock = threading.Lock()
recent = []
blocked_until = 0.0
count = 0


def record(entry):
    with open(RECORD, "a", encoding="utf-8") as f:
        f.write(json.dumps(entry) + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, status, body=None, headers=()):
        data = json.dumps(body).encode() if body is not None else b""
        self.send_response(status)
        for name, value in headers:
            self.send_header(name, value)
        if data:
            self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def do_POST(self):
        global blocked_until, count
        length = int(self.headers.get("Content-Length", "0"))
        body = json.loads(self.rfile.read(length).decode("utf-8"))
        if MODE == "silent":
            time.sleep(3600)
            return
        if MODE == "refuse":
            self.answer(404, {"message": "Unknown Webhook", "code": 10015})
            return
        with lock:
            now = time.monotonic()
            count += 1
            n = count
            if now < blocked_until:
                record({"early": True})
            recent[:] = [t for t in recent if t > now - WINDOW]
            if n % 7 == 3:
                # A dropped connection: nothing is stored.
                self.connection.shutdown(socket.SHUT_RDWR)
                self.close_connection = True
                return
            if n % 7 == 5:
                self.answer(502, {"message": "Bad gateway"})
                return
            if len(recent) >= LIMIT or n % 11 == 0:
                glob = n % 11 == 0
                blocked_until = now + 0.75
                self.answer(429, {"message": "You are being rate limited.", "retry_after": 0.75, "global": glob},
                            [("Retry-After", "1")] + ([("X-RateLimit-Global", "true")] if glob else []))
                return
            recent.append(now)
            left = LIMIT - len(recent)
            reset = recent[0] + WINDOW - now
            if left == 0:
                blocked_until = now + reset
            record({"body": body})
        time.sleep(0.05)
        self.answer(204, None, [("X-RateLimit-Limit", str(LIMIT)), ("X-RateLimit-Remaining", str(left)),
                                ("X-RateLimit-Reset-After", "%.3f" % reset), ("X-RateLimit-Bucket", "stand-in")])


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
server.daemon_threads = True
with open(PORTFILE + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
import os
os.rename(PORTFILE + ".tmp", PORTFILE)
server.serve_forever()
