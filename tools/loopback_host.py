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
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class QuietHTTPHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def cutting_dtp(base, after, session):
    """A data handler that cuts a download after `after` bytes: the host answers 426, or with
    `session` drops the control connection too, without any reply (a host or network that died)."""
    class Cutting(base):
        def use_sendfile(self):
            return False  # every byte goes through send() below

        def send(self, data):
            if not self.receive and self.get_transmitted_bytes() >= after:
                channel = self.cmd_channel
                if session:
                    self._resp = None
                    self.close()
                    channel.close()
                else:
                    self._resp = ("426 Connection closed; transfer aborted.", logging.debug)
                    self.close()
                return 0
            return super().send(data)
    return Cutting


class FaultyHandler(FTPHandler):
    """The handler's fault options; each is off unless the command line sets it."""
    latency = 0.0
    busy_retr = {}  # real path -> replies "450 busy" still to give
    busy_lock = threading.Lock()
    refuse_rename_over = False
    drop_after = None  # a command carried out, then the control connection closed without a reply
    close_before = None  # a command answered "421" without being carried out, then the connection closed
    drop_lock = threading.Lock()
    _dropping = False

    def respond(self, resp, logfun=logging.debug):
        if self._dropping:
            self._dropping = False
            self.close()
            return
        if self.latency:
            time.sleep(self.latency)
        super().respond(resp, logfun)

    def process_command(self, cmd, *args, **kwargs):
        if self.close_before and cmd == self.close_before:
            with FaultyHandler.drop_lock:
                if type(self).close_before == cmd:
                    type(self).close_before = None
                    self.respond("421 Service not available, closing control connection.")
                    self.close_when_done()
                    return
        if self.drop_after and cmd == self.drop_after:
            with FaultyHandler.drop_lock:
                if type(self).drop_after == cmd:
                    type(self).drop_after = None
                    self._dropping = True
        return super().process_command(cmd, *args, **kwargs)

    def ftp_RETR(self, file):
        with FaultyHandler.busy_lock:
            left = self.busy_retr.get(os.path.realpath(file), 0)
            if left > 0:
                self.busy_retr[os.path.realpath(file)] = left - 1
                self.respond("450 busy")
                return
        return super().ftp_RETR(file)

    def ftp_RNTO(self, path):
        if self.refuse_rename_over and self._rnfr and self.fs.lexists(path):
            self._rnfr = None
            self.respond("550 Cannot rename onto an existing file.")
            return
        return super().ftp_RNTO(path)


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
    parser.add_argument("--no-epsv", action="store_true",
                        help="behave as a host without EPSV (\"500 ... not understood\")")
    parser.add_argument("--cut-data-after", type=int, default=0,
                        help="cut every download after this many bytes; the host replies 426")
    parser.add_argument("--cut-session-after", type=int, default=0,
                        help="cut every download after this many bytes with the control connection, "
                             "without a reply")
    parser.add_argument("--latency", type=int, default=0,
                        help="delay every reply by this many milliseconds")
    parser.add_argument("--busy-retr", action="append", default=[], metavar="N:PATH",
                        help="answer the next N downloads of PATH (below the root) with \"450 busy\"")
    parser.add_argument("--refuse-rename-over", action="store_true",
                        help="refuse to rename onto an existing name")
    parser.add_argument("--drop-after", metavar="VERB",
                        help="carry out the next VERB command, then close the control connection "
                             "without a reply")
    parser.add_argument("--close-before", metavar="VERB",
                        help="answer the next VERB command with 421 without carrying it out, and close")
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
    handler = type("Handler", (FaultyHandler,), {})
    handler.authorizer = authorizer
    handler.banner = "KRtp loopback host ready."
    handler.permit_foreign_addresses = False
    handler.timeout = args.idle_timeout
    missing = set()
    if args.no_mlsx:
        missing |= {"MLST", "MLSD"}
    if args.no_epsv:
        missing |= {"EPSV", "EPRT"}
    if missing:
        handler.proto_cmds = {k: v for k, v in FTPHandler.proto_cmds.items() if k not in missing}
    dtp = DTPHandler
    if args.throttle > 0:
        dtp = type("Throttled", (ThrottledDTPHandler,), {})
        dtp.read_limit = args.throttle
        dtp.write_limit = args.throttle
    if args.cut_data_after > 0 or args.cut_session_after > 0:
        dtp = cutting_dtp(dtp, args.cut_session_after or args.cut_data_after, args.cut_session_after > 0)
    handler.dtp_handler = dtp
    handler.latency = args.latency / 1000.0
    handler.busy_retr = {}
    for item in args.busy_retr:
        count, _, path = item.partition(":")
        handler.busy_retr[os.path.realpath(os.path.join(root, path.lstrip("/")))] = int(count)
    handler.refuse_rename_over = args.refuse_rename_over
    handler.drop_after = args.drop_after.upper() if args.drop_after else None
    handler.close_before = args.close_before.upper() if args.close_before else None
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
