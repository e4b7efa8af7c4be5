#!/usr/bin/env python3
"""A stand-in for S3 that gives fixed answers to PUT requests, for retry and error tests.

Usage: s3_stub.py ADDRESS LOG ANSWER...
Listens on ADDRESS port 80. The n-th request gets the n-th ANSWER (the last one repeats):
  200          stored, with an ETag
  CODE:xml     an S3 error document (Code/Message by status) with that status
  CODE:text    a plain-text page with that status
Each request appends "PATH BODY_BYTES_RECEIVED" as one line to LOG once its body is read.
"""
import sys
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ERRORS = {403: "AccessDenied", 500: "InternalError", 503: "ServiceUnavailable"}


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    answered = 0

    def do_PUT(self):
        length = int(self.headers.get("Content-Length", "0"))
        received = 0
        while received < length:
            piece = self.rfile.read(min(65536, length - received))
            if not piece:
                break
            received += len(piece)
        with open(self.server.log, "a") as log:
            log.write(f"{self.path} {received}\n")
        answers = self.server.answers
        answer = answers[min(Handler.answered, len(answers) - 1)]
        Handler.answered += 1
        if answer == "200":
            self.send_response(200)
            self.send_header("ETag", '"0123456789abcdef"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        code, kind = answer.split(":")
        code = int(code)
        if kind == "xml":
            name = ERRORS.get(code, "Unknown")
            body = (f'<?xml version="1.0" encoding="UTF-8"?>\n<Error><Code>{name}</Code>'
                    f"<Message>stub says &lt;{name}&gt; &amp; no</Message><RequestId>1</RequestId></Error>").encode()
        else:
            body = b"<html>a proxy page</html>"
        self.send_response(code)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def main():
    address, log, answers = sys.argv[1], sys.argv[2], sys.argv[3:]
    server = ThreadingHTTPServer((address, 80), Handler)
    server.log, server.answers = log, answers
    server.serve_forever()


if __name__ == "__main__":
    main()
