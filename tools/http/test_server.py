#!/usr/bin/env python3
"""HTTP(S) server for the tests: serves a directory on 127.0.0.1, with faults per path.

Use:
    test_server.py --root DIR [--port 0] [--rules FILE] [--log FILE]
                   [--cert PEM --key PEM]

- Binds 127.0.0.1 only. Port 0 (the default) picks a free port; the chosen port is
  the first line on stdout, printed once the socket listens.
- GET /a/b.txt serves DIR/a/b.txt (404 when missing). Every response closes the
  connection, unless its rule says "keep_alive".
- --cert/--key serve HTTPS with that certificate chain and key (the handshake runs
  on the request's own thread, so a client that rejects the certificate blocks
  nobody).
- --log FILE: one line per request, "GET /path", appended and flushed at once, so a
  test can see which paths were asked for (and that none were); "endless" rules
  add their "CLOSED" lines.
- --rules FILE: a JSON object mapping a URL path ("/a/b.txt", without query) to a
  rule; the file is read again whenever it changes (write it through a rename).
  A rule is an object with any of:
    "status": N         answer with status N and a short body (no file read)
    "redirect": "/p"    answer 302 with Location /p; with "body" or "endless" the
                        redirect carries that body, framed as a 200's would be
    "redirect_status": N   the status of that redirect in place of 302
    "length": N         announce Content-Length N, whatever is sent (with
                        "status", "redirect" or a body; "stall": 0 then sends
                        no body at all)
    "body": "text"      serve this text in place of the file
    "delay": S          wait S seconds before answering
    "cut": N            announce the whole length, send only N bytes, close
    "stall": N          send N bytes, then send nothing for "stall_seconds"
                        (default 3600), then close
    "trickle": B        send B bytes per "trickle_interval" seconds (default 1)
    "chunked": true     send the body in chunked transfer encoding
    "broken_chunk": N   chunked, but close after N bytes in the middle of a chunk
    "endless": true     send the body over and over until the client closes the
                        connection (paced by "trickle" when given, else as fast
                        as the client reads); then log "CLOSED /path N" with the
                        N body bytes sent. Without a length unless "length" or
                        "chunked" is given
    "endless_limit": N  stop an endless body once N bytes are sent: close the
                        connection and log "CLOSED /path N" as well
    "keep_alive": true  no "Connection: close": the connection stays open for
                        the next request once a body with a length or chunked
                        framing has ended
- C++ tests use tests/common/http/TestHttpServer.h, which starts this script in a
  fresh temporary directory and stops it at teardown.
"""

import argparse
import http.server
import json
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse


class Rules:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.stamp = None
        self.rules = {}

    def get(self, url_path):
        if not self.path:
            return {}
        with self.lock:
            try:
                st = os.stat(self.path)
                stamp = (st.st_ino, st.st_mtime_ns, st.st_size)
            except FileNotFoundError:
                stamp = None
            if stamp != self.stamp:
                self.stamp = stamp
                self.rules = {}
                if stamp is not None:
                    with open(self.path, encoding="utf-8") as f:
                        self.rules = json.load(f)
            return dict(self.rules.get(url_path, {}))


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    timeout = 60

    def setup(self):
        if self.server.tls:
            try:
                self.request.settimeout(10)
                self.request.do_handshake()
            except (ssl.SSLError, OSError):
                self.handshake_failed = True
                super().setup()
                return
        self.handshake_failed = False
        super().setup()

    def handle(self):
        if not self.handshake_failed:
            try:
                super().handle()
            except (ConnectionError, ssl.SSLError, socket.timeout):
                pass

    def log_message(self, fmt, *args):
        pass

    def do_GET(self):
        path = urllib.parse.unquote(urllib.parse.urlsplit(self.path).path)
        self.server.log_request_line("GET " + path)
        rule = self.server.rules.get(path)
        if rule.get("delay"):
            time.sleep(float(rule["delay"]))
        if "status" in rule:
            return self.answer(int(rule["status"]), b"status %d\n" % int(rule["status"]), rule=rule)
        if "redirect" in rule:
            status = int(rule.get("redirect_status", 302))
            headers = {"Location": rule["redirect"]}
            if "body" in rule or rule.get("endless"):
                return self.send_body(rule.get("body", "").encode("utf-8"), rule, path, status, headers)
            return self.answer(status, b"", headers, rule)
        if "body" in rule:
            return self.send_body(rule["body"].encode("utf-8"), rule, path)
        full = os.path.realpath(os.path.join(self.server.root, path.lstrip("/")))
        if not full.startswith(self.server.root + os.sep) or not os.path.isfile(full):
            return self.answer(404, b"not found\n")
        with open(full, "rb") as f:
            if not rule or rule.keys() <= {"delay", "stall_seconds", "trickle_interval"}:
                return self.send_file(f)
            self.send_body(f.read(), rule, path)

    def send_file(self, f):
        # A file without faults goes out with sendfile: large files cost the server little.
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(os.fstat(f.fileno()).st_size))
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        self.connection.sendfile(f)

    def answer(self, status, body, headers=None, rule=None):
        if status in (204, 304):
            body = b""
        self.send_response(status)
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        self.send_header("Content-Length", str((rule or {}).get("length", len(body))))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)
        self.close_connection = True

    def start_body(self, rule, status, headers, framing):
        """Sends the status line and headers; framing is "chunked", "length" or "close"."""
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        for k, v in (headers or {}).items():
            self.send_header(k, v)
        if framing == "chunked":
            self.send_header("Transfer-Encoding", "chunked")
        elif framing == "length":
            self.send_header("Content-Length", str(rule["length"]))
        if framing == "close" or not rule.get("keep_alive"):
            self.send_header("Connection", "close")
            self.close_connection = True
        self.end_headers()

    def send_endless(self, body, rule, path, status, headers):
        chunked = bool(rule.get("chunked"))
        self.start_body(rule, status, headers, "chunked" if chunked else "length" if "length" in rule else "close")
        step = int(rule.get("trickle", 0)) or 1 << 20
        interval = float(rule.get("trickle_interval", 1)) if "trickle" in rule else 0
        limit = rule.get("endless_limit")
        block = (body or b"x") * (step // max(len(body), 1) + 1)
        block = memoryview(block)[:step]
        if chunked:
            block = b"%x\r\n" % len(block) + block + b"\r\n"
        sent = 0
        try:
            while limit is None or sent < int(limit):
                self.wfile.write(block)
                sent += step
                if interval:
                    time.sleep(interval)
            self.wfile.flush()
        except OSError:
            pass
        # The body never ends: the connection goes with it.
        self.close_connection = True
        self.server.log_request_line("CLOSED %s %d" % (path, sent))

    def send_body(self, body, rule, path, status=200, headers=None):
        if rule.get("endless"):
            return self.send_endless(body, rule, path, status, headers)
        chunked = bool(rule.get("chunked")) or "broken_chunk" in rule
        if not chunked:
            rule = dict(rule, length=rule.get("length", len(body)))
        self.start_body(rule, status, headers, "chunked" if chunked else "length")
        if {"broken_chunk", "cut", "stall"} & rule.keys():
            # A body that breaks off takes its connection with it.
            self.close_connection = True
        if "broken_chunk" in rule:
            n = int(rule["broken_chunk"])
            self.wfile.write(b"%x\r\n" % len(body) + body[:n])
            self.wfile.flush()
            return
        if "cut" in rule:
            self.wfile.write(body[: int(rule["cut"])])
            self.wfile.flush()
            return
        if "stall" in rule:
            n = int(rule["stall"])
            self.wfile.write(body[:n])
            self.wfile.flush()
            time.sleep(float(rule.get("stall_seconds", 3600)))
            return
        step = int(rule.get("trickle", 0)) or len(body) or 1
        interval = float(rule.get("trickle_interval", 1)) if "trickle" in rule else 0
        view = memoryview(body)
        chunk_max = step if "trickle" in rule else 1 << 20
        for i in range(0, len(body), chunk_max):
            piece = view[i : i + chunk_max]
            if chunked:
                self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
            else:
                self.wfile.write(piece)
            if interval:
                self.wfile.flush()
                time.sleep(interval)
        if chunked:
            self.wfile.write(b"0\r\n\r\n")
        self.wfile.flush()


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, args):
        self.root = os.path.realpath(args.root)
        self.rules = Rules(args.rules)
        self.log_file = open(args.log, "a", encoding="utf-8") if args.log else None
        self.log_lock = threading.Lock()
        self.tls = None
        super().__init__(("127.0.0.1", args.port), Handler)
        if args.cert:
            ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            ctx.load_cert_chain(args.cert, args.key)
            self.tls = ctx
            self.socket = ctx.wrap_socket(self.socket, server_side=True, do_handshake_on_connect=False)

    def log_request_line(self, line):
        if self.log_file:
            with self.log_lock:
                self.log_file.write(line + "\n")
                self.log_file.flush()

    def handle_error(self, request, client_address):
        pass


def main():
    parser = argparse.ArgumentParser(description="HTTP(S) test server on 127.0.0.1")
    parser.add_argument("--root", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--rules")
    parser.add_argument("--log")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    args = parser.parse_args()
    server = Server(args)
    print(server.server_address[1], flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
