#!/usr/bin/python3
"""A loopback FTP + HTTP host serving one folder, for the tests and the demo.

Prints one JSON line {"ftp": port, "http": port} once both servers listen, then serves
until stdin closes or the process is terminated. Must run with Debian's /usr/bin/python3,
which has pyftpdlib.
"""
import argparse
import errno
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
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class Faults:
    """Faults the tests switch on while the host runs, from a JSON file read at every command:

    {"latency_ms": 50,
     "refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "450 Busy.", "times": 2},
                {"cmd": "STOR", "path": "/krg/b.txt", "reply": "451 Broken.", "leave": "first part"}],
     "replace_after_upload": [{"path": "/krg/_files.txt", "content_file": "/tmp/x", "times": 1}],
     "no_rename_onto_existing": true}

    A rule without "times" applies every time; counts start again whenever the file changes. A refusal
    with "leave" first writes that text (Latin-1) under the path, as an upload broken off leaves it.
    """

    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.stamp = None
        self.rules = {}
        self.used = {}

    def current(self):
        if not self.path:
            return {}
        with self.lock:
            try:
                st = os.stat(self.path)
                stamp = (st.st_mtime_ns, st.st_size)
            except OSError:
                self.stamp, self.rules, self.used = None, {}, {}
                return {}
            if stamp != self.stamp:
                try:
                    with open(self.path, encoding="utf-8") as f:
                        self.rules = json.load(f)
                except (OSError, ValueError):
                    self.rules = {}
                self.stamp, self.used = stamp, {}
            return self.rules

    def take(self, kind, index, rule):
        """Counts one use of a rule; False once its times are used up."""
        with self.lock:
            key = (kind, index)
            n = self.used.get(key, 0)
            if "times" in rule and n >= rule["times"]:
                return False
            self.used[key] = n + 1
            return True


def faulty_handler(base, faults):
    class FaultyHandler(base):
        def pre_process_command(self, line, cmd, arg):
            rules = faults.current()
            delay = rules.get("latency_ms", 0)
            if delay:
                time.sleep(delay / 1000.0)
            path = None
            if arg and self.fs is not None:
                try:
                    path = self.fs.ftpnorm(arg)
                except Exception:
                    path = None
            for i, rule in enumerate(rules.get("refuse", [])):
                if rule.get("cmd", "").upper() == cmd and rule.get("path") in (None, path) \
                        and faults.take("refuse", i, rule):
                    if "leave" in rule and path:
                        # An upload broken off: its first part stays on the host under the name.
                        with open(self.fs.ftp2fs(path), "wb") as f:
                            f.write(rule["leave"].encode("latin-1"))
                    self.respond(rule.get("reply", "550 Refused by the test host."))
                    return
            if cmd == "RNTO" and rules.get("no_rename_onto_existing") and path \
                    and os.path.lexists(self.fs.ftp2fs(path)):
                self.respond("553 Rename onto an existing name refused.")
                return
            return super().pre_process_command(line, cmd, arg)

        def on_file_received(self, file):
            super().on_file_received(file)
            rules = faults.current()
            for i, rule in enumerate(rules.get("replace_after_upload", [])):
                if self.fs.fs2ftp(file) == rule.get("path") and faults.take("replace", i, rule):
                    with open(rule["content_file"], "rb") as src, open(file, "wb") as dst:
                        dst.write(src.read())

    return FaultyHandler


class SessionFolderFS(AbstractedFS):
    """Changes a session's folder without changing the process's. pyftpdlib's CWD changes the process
    folder for a moment, which with one thread per connection moves every session at once; a folder
    removed meanwhile (a lock folder, say) then breaks the next CWD of any session."""

    def chdir(self, path):
        if not os.path.isdir(path):
            os.stat(path)  # the reason: missing
            raise NotADirectoryError(errno.ENOTDIR, os.strerror(errno.ENOTDIR))
        if not os.access(path, os.X_OK):
            raise PermissionError(errno.EACCES, os.strerror(errno.EACCES))
        self.cwd = self.fs2ftp(path)


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
    parser.add_argument("--faults", default="",
                        help="a JSON file of faults to show, read again whenever it changes")
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
    handler = type("Handler", (faulty_handler(FTPHandler, Faults(args.faults)),), {})
    handler.authorizer = authorizer
    handler.abstracted_fs = SessionFolderFS
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
