#!/usr/bin/python3
"""A loopback FTP + HTTP host serving one folder, for the tests and the demo.

Prints one JSON line {"ftp": port, "http": port} once both servers listen, then serves
until stdin closes or the process is terminated. Must run with Debian's /usr/bin/python3,
which has pyftpdlib.
"""
import argparse
import functools
import http.server
import json
import logging
import os
import signal
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class QuietHTTPHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--ftp-port", type=int, default=0)
    parser.add_argument("--http-port", type=int, default=0)
    parser.add_argument("--throttle", type=int, default=0,
                        help="limit data transfers to this many bytes per second")
    parser.add_argument("--read-only", action="append", default=[],
                        help="a folder below the root where the host refuses every change")
    parser.add_argument("--idle-timeout", type=int, default=300,
                        help="close control connections idle for this many seconds")
    parser.add_argument("--no-mlsx", action="store_true",
                        help="behave as an older host without the MLST and MLSD commands")
    parser.add_argument("--stdin-watch", action="store_true",
                        help="stop when stdin reaches end of file")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    root = os.path.abspath(args.root)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, root, perm="elradfmwMT")
    for folder in args.read_only:
        path = os.path.join(root, folder)
        os.makedirs(path, exist_ok=True)
        authorizer.override_perm(args.user, path, perm="elr", recursive=True)
    handler = type("Handler", (FTPHandler,), {})
    handler.authorizer = authorizer
    handler.banner = "KRtp loopback host ready."
    handler.permit_foreign_addresses = False
    handler.timeout = args.idle_timeout
    if args.no_mlsx:
        handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items()
                              if k not in ("MLST", "MLSD")}
    if args.throttle > 0:
        dtp = type("Throttled", (ThrottledDTPHandler,), {})
        dtp.read_limit = args.throttle
        dtp.write_limit = args.throttle
        handler.dtp_handler = dtp
    ftp = ThreadedFTPServer(("127.0.0.1", args.ftp_port), handler)

    http_handler = functools.partial(QuietHTTPHandler, directory=root)
    web = http.server.ThreadingHTTPServer(("127.0.0.1", args.http_port), http_handler)
    web.daemon_threads = True

    threading.Thread(target=ftp.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    threading.Thread(target=web.serve_forever, daemon=True).start()

    print(json.dumps({"ftp": ftp.address[1], "http": web.server_address[1]}), flush=True)

    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    if args.stdin_watch:
        def watch():
            sys.stdin.read()
            stop.set()
        threading.Thread(target=watch, daemon=True).start()
    stop.wait()
    web.shutdown()
    ftp.close_all()


if __name__ == "__main__":
    main()
