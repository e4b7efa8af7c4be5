#!/usr/bin/env python3
"""A local HTTP(S) peer for download tests: fixed routes that behave like good and bad servers.

Usage: http_peer.py [--cert FILE --key FILE] [--host ADDRESS]
Binds a free port on the loopback address, prints the port on one line, serves until killed.

Routes (N a byte count):
  /bytes/N          N bytes of a fixed binary pattern (NUL bytes included)
  /empty            an empty body
  /s3error/STATUS   an S3-style XML error document with that status
  /marker-third     a text body with "<Error><Code>" in its third 10240-byte chunk
  /jpeg-marker      a JPEG-like body whose first chunk holds the marker after a NUL byte
  /drop/N           declares N bytes, sends half of them, then resets the connection
  /short/N          declares N bytes, sends half of them, then closes cleanly
  /stall/N          declares N bytes, sends 1000 of them, then sends nothing more
  /notfound         a 404 page
  /redirect/CODE/K/PATH   redirects with CODE K times, then to /PATH
  /to/CODE?URL      one redirect with CODE to an absolute URL
  /agent            the request's User-Agent as the body
  /big/N            N bytes generated on the fly in 1 MiB blocks
  /text/TEXT[/NAME] TEXT (percent-encoded in the path) as the body; NAME only names the file
"""
import argparse
import socket
import ssl
import struct
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import unquote

CHUNK = 10240
MARKER = b"<Error><Code>"


def pattern(n):
    block = bytes(range(256))
    return (block * (n // 256 + 1))[:n]


def s3_error():
    return (b'<?xml version="1.0" encoding="UTF-8"?>\n'
            b"<Error><Code>AccessDenied</Code><Message>Access Denied</Message>"
            b"<RequestId>4442587FB7D0A2F9</RequestId></Error>")


def marker_third():
    body = bytearray(b"x" * (3 * CHUNK + 500))
    body[2 * CHUNK + 100:2 * CHUNK + 100 + len(MARKER)] = MARKER
    return bytes(body)


def jpeg_marker():
    body = bytearray(b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01" + pattern(15000))
    body[5000:5000 + len(MARKER)] = MARKER
    return bytes(body)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def send_body(self, body, status=200, content_type="application/octet-stream"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def start_body(self, length):
        self.send_response(200)
        self.send_header("Content-Length", str(length))
        self.send_header("Connection", "close")
        self.end_headers()

    def do_GET(self):
        parts = self.path.split("?", 1)[0].strip("/").split("/")
        route, args = parts[0], parts[1:]
        try:
            getattr(self, "route_" + route.replace("-", "_"))(*args)
        except AttributeError:
            self.send_body(b"no such route", 400, "text/plain")

    def route_bytes(self, n):
        self.send_body(pattern(int(n)))

    def route_empty(self):
        self.send_body(b"")

    def route_s3error(self, status):
        self.send_body(s3_error(), int(status), "application/xml")

    def route_marker_third(self):
        self.send_body(marker_third(), 200, "text/plain")

    def route_jpeg_marker(self):
        self.send_body(jpeg_marker(), 200, "image/jpeg")

    def route_drop(self, n):
        self.start_body(int(n))
        self.wfile.write(pattern(int(n) // 2))
        self.wfile.flush()
        # SO_LINGER with a zero time-out makes close() send a reset; the stream objects must go
        # first, or the socket stays open behind them.
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        self.wfile.close()
        self.rfile.close()
        self.connection.close()
        self.close_connection = True

    def route_short(self, n):
        self.start_body(int(n))
        self.wfile.write(pattern(int(n) // 2))
        self.close_connection = True

    def route_stall(self, n):
        self.start_body(int(n))
        self.wfile.write(pattern(1000))
        self.wfile.flush()
        time.sleep(120)

    def route_notfound(self):
        self.send_body(b"<html><body><h1>404 Not Found</h1></body></html>", 404, "text/html")

    def route_redirect(self, code, count, *rest):
        count = int(count)
        target = "/redirect/%s/%d/%s" % (code, count - 1, "/".join(rest)) if count > 1 else "/" + "/".join(rest)
        self.redirect(int(code), target)

    def route_to(self, code):
        self.redirect(int(code), unquote(self.path.split("?", 1)[1]))

    def redirect(self, code, location):
        self.send_response(code)
        self.send_header("Location", location)
        self.send_header("Content-Length", "9")
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(b"redirect\n")

    def route_agent(self):
        self.send_body(self.headers.get("User-Agent", "").encode(), 200, "text/plain")

    def route_text(self, encoded, *name):
        self.send_body(unquote(encoded).encode())

    def route_big(self, n):
        n = int(n)
        self.start_body(n)
        block = pattern(1 << 20)
        while n > 0:
            piece = block[:min(n, len(block))]
            self.wfile.write(piece)
            n -= len(piece)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # broken connections are what several routes are for


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--cert")
    parser.add_argument("--key")
    options = parser.parse_args()
    server = Server((options.host, 0), Handler)
    if options.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(options.cert, options.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print(server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
