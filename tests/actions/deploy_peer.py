#!/usr/bin/env python3
"""The remote-support download host for the shortcut tests: the HTTPS peer of
tests/support/http_peer.py on port 443 of one loopback address, since the product's download
address has no port of its own.

Usage: deploy_peer.py --host ADDRESS --cert FILE --key FILE --object FILE --requests FILE
Serves /V3+Deploy/TeamViewerQS.exe as the bytes of --object while that file exists, and S3's
error document with status 403 (what the bucket answers for a missing object) while it does
not. Each request appends its path and status to --requests. Prints "ready" once listening.
"""
import argparse
import os
import ssl
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import http_peer  # noqa: E402

OBJECT_PATH = "/V3+Deploy/TeamViewerQS.exe"


class Handler(http_peer.Handler):
    def do_GET(self):
        options = self.server.options
        path = self.path.split("?", 1)[0]
        if path != OBJECT_PATH:
            status, body, kind = 403, http_peer.s3_error(), "application/xml"
        else:
            try:
                with open(options.object, "rb") as source:
                    status, body, kind = 200, source.read(), "application/octet-stream"
            except FileNotFoundError:
                status, body, kind = 403, http_peer.s3_error(), "application/xml"
        with open(options.requests, "a") as log:
            log.write("%s %d\n" % (path, status))
        self.send_body(body, status, kind)


def main():
    parser = argparse.ArgumentParser()
    for name in ("--host", "--cert", "--key", "--object", "--requests"):
        parser.add_argument(name, required=True)
    options = parser.parse_args()
    server = http_peer.Server((options.host, 443), Handler)
    server.options = options
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(options.cert, options.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
