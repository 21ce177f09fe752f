#!/usr/bin/python3
"""A loopback FTP + HTTP host serving one folder, for the tests and the demo.

Prints one JSON line {"ftp": port, "http": port} once both servers listen, then serves
until stdin closes or the process is terminated. Must run with Debian's /usr/bin/python3,
which has pyftpdlib (and python3-openssl for --tls). With --tls the line also names the CA
file of the certificate made at start ("ca") and the host key's pin ("pin", as curl takes it),
and the HTTP server speaks HTTPS.
"""
import argparse
import base64
import datetime
import errno
import hashlib
import ipaddress
import functools
import http.server
import json
import logging
import os
import signal
import ssl
import sys
import tempfile
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import ThreadedFTPServer


class Faults:
    """Faults the tests switch on while the host runs, from a JSON file read at every command:

    {"latency_ms": 50,
     "refuse": [{"cmd": "RETR", "path": "/krg/a.txt", "reply": "450 Busy.", "times": 2},
                {"cmd": "STOR", "path": "/krg/b.txt", "reply": "451 Broken.", "leave": "first part"}],
     "replace_after_upload": [{"path": "/krg/_files.txt", "content_file": "/tmp/x", "times": 1}],
     "hide_after_upload": [{"path": "/krg/a.txt", "times": 1}],
     "write_before": [{"cmd": "RNFR", "path": "/krg/_files.lock", "file": "/krg/_files.lock/holder.txt",
                       "content": "Dara\r\n1\r\nlive\r\n", "times": 1}],
     "no_rename_onto_existing": true}

    A rule without "times" applies every time; counts start again whenever the file changes. A refusal
    with "leave" first writes that text (Latin-1) under the path, as an upload broken off leaves it.
    A refusal with "drop" closes the control connection instead of replying.
    "hide_after_upload" takes an upload with success and then drops it, so the host does not list it;
    "write_before" writes a file (Latin-1) just before the command runs, as another client in between.
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
            for i, rule in enumerate(rules.get("write_before", [])):
                if rule.get("cmd", "").upper() == cmd and rule.get("path") in (None, path) \
                        and faults.take("write_before", i, rule):
                    with open(self.fs.ftp2fs(rule["file"]), "wb") as f:
                        f.write(rule["content"].encode("latin-1"))
            for i, rule in enumerate(rules.get("refuse", [])):
                if rule.get("cmd", "").upper() == cmd and rule.get("path") in (None, path) \
                        and faults.take("refuse", i, rule):
                    if "leave" in rule and path:
                        # An upload broken off: its first part stays on the host under the name.
                        with open(self.fs.ftp2fs(path), "wb") as f:
                            f.write(rule["leave"].encode("latin-1"))
                    if rule.get("drop"):
                        self.close()
                        return
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
            for i, rule in enumerate(rules.get("hide_after_upload", [])):
                if self.fs.fs2ftp(file) == rule.get("path") and faults.take("hide", i, rule):
                    os.remove(file)

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


def make_certificates(folder, name):
    """A test CA and a host certificate it signed for `name` (an IP address or a host name).
    Returns the paths of the CA, the host certificate and key, and the pin of the host key."""
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

    now = datetime.datetime.utcnow()
    start, end = now - datetime.timedelta(hours=1), now + datetime.timedelta(days=2)
    ca_key = ec.generate_private_key(ec.SECP256R1())
    ca_name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "KRtp loopback test CA")])
    ca = (x509.CertificateBuilder().subject_name(ca_name).issuer_name(ca_name)
          .public_key(ca_key.public_key()).serial_number(x509.random_serial_number())
          .not_valid_before(start).not_valid_after(end)
          .add_extension(x509.BasicConstraints(ca=True, path_length=0), critical=True)
          .add_extension(x509.KeyUsage(digital_signature=True, content_commitment=False,
                                       key_encipherment=False, data_encipherment=False,
                                       key_agreement=False, key_cert_sign=True, crl_sign=True,
                                       encipher_only=False, decipher_only=False), critical=True)
          .add_extension(x509.SubjectKeyIdentifier.from_public_key(ca_key.public_key()),
                         critical=False)
          .sign(ca_key, hashes.SHA256()))
    key = ec.generate_private_key(ec.SECP256R1())
    try:
        alt = x509.IPAddress(ipaddress.ip_address(name))
    except ValueError:
        alt = x509.DNSName(name)
    cert = (x509.CertificateBuilder()
            .subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, name)]))
            .issuer_name(ca_name).public_key(key.public_key())
            .serial_number(x509.random_serial_number())
            .not_valid_before(start).not_valid_after(end)
            .add_extension(x509.SubjectAlternativeName([alt]), critical=False)
            .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
            .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
            .add_extension(x509.AuthorityKeyIdentifier.from_issuer_public_key(ca_key.public_key()),
                           critical=False)
            .sign(ca_key, hashes.SHA256()))
    paths = {k: os.path.join(folder, k + ".pem") for k in ("ca", "cert", "key")}
    with open(paths["ca"], "wb") as f:
        f.write(ca.public_bytes(serialization.Encoding.PEM))
    with open(paths["cert"], "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))
    with open(paths["key"], "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                  serialization.NoEncryption()))
    spki = key.public_key().public_bytes(serialization.Encoding.DER,
                                         serialization.PublicFormat.SubjectPublicKeyInfo)
    pin = "sha256//" + base64.b64encode(hashlib.sha256(spki).digest()).decode()
    return paths["ca"], paths["cert"], paths["key"], pin


def tls_handlers():
    """pyftpdlib's TLS handlers, with the data handler fixed for curl: while its TLS handshake is
    pending it must stay readable, or pyftpdlib 1.5.7 closes a download's data connection before
    the handshake ends."""
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    class DataHandler(TLS_DTPHandler):
        def readable(self):
            return self._ssl_accepting or super().readable()

    return TLS_FTPHandler, DataHandler


class StartFaults:
    """The fault options of the command line; each is off unless set. Mixed into the handler in
    front of the faults the tests switch on while the host runs (--faults)."""
    latency = 0.0
    busy_retr = {}  # real path -> replies "450 busy" still to give
    busy_lock = threading.Lock()
    refuse_rename_over = False
    drop_after = None  # a command carried out, then the control connection closed without a reply
    close_before = None  # a command answered "421" without being carried out, then the connection closed
    drop_lock = threading.Lock()
    _dropping = False
    command_log = None  # a file that receives every command line (passwords masked)
    log_lock = threading.Lock()

    def pre_process_command(self, line, cmd, arg):
        if self.command_log:
            shown = cmd + (" ****" if cmd == "PASS" else (" " + arg if arg else ""))
            with StartFaults.log_lock, open(self.command_log, "a", encoding="utf-8") as f:
                f.write(shown + "\n")
        return super().pre_process_command(line, cmd, arg)

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
            with StartFaults.drop_lock:
                if type(self).close_before == cmd:
                    type(self).close_before = None
                    self.respond("421 Service not available, closing control connection.")
                    self.close_when_done()
                    return
        if self.drop_after and cmd == self.drop_after:
            with StartFaults.drop_lock:
                if type(self).drop_after == cmd:
                    type(self).drop_after = None
                    self._dropping = True
        return super().process_command(cmd, *args, **kwargs)

    def ftp_RETR(self, file):
        with StartFaults.busy_lock:
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
    parser.add_argument("--root")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--make-certificates", metavar="DIR",
                        help="only make a test CA and a host certificate (for --tls-name) in DIR, "
                             "print their paths and the key's pin as JSON, and end")
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
    parser.add_argument("--max-sessions", type=int, default=0,
                        help="accept at most this many control connections at once (0: no limit)")
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
    parser.add_argument("--tls", choices=("off", "offer", "require"), default="off",
                        help="FTPS (explicit, AUTH TLS): offered, or required before login and for "
                             "data; the HTTP server then speaks HTTPS")
    parser.add_argument("--tls-name", default="127.0.0.1",
                        help="the name the host certificate is made for (another one than the "
                             "address makes a certificate with the wrong host name)")
    parser.add_argument("--tls-dir", help="where the certificate files go (default: a new "
                                          "temporary folder)")
    parser.add_argument("--command-log", help="append every command received to this file")
    parser.add_argument("--faults", default="",
                        help="a JSON file of faults to show, read again whenever it changes")
    parser.add_argument("--stdin-watch", action="store_true",
                        help="stop when stdin reaches end of file")
    args = parser.parse_args()
    if args.make_certificates:
        ca, cert, key, pin = make_certificates(args.make_certificates, args.tls_name)
        print(json.dumps({"ca": ca, "cert": cert, "key": key, "pin": pin}), flush=True)
        return
    if not (args.root and args.user and args.password):
        parser.error("--root, --user and --password are required")

    logging.basicConfig(level=logging.WARNING)
    logging.getLogger("pyftpdlib").setLevel(logging.WARNING)

    root = os.path.abspath(args.root)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, root, perm="elradfmwMT")
    for folder in args.read_only:
        path = os.path.join(root, folder)
        os.makedirs(path, exist_ok=True)
        authorizer.override_perm(args.user, path, perm="elr", recursive=True)
    tls = None
    base, dtp = FTPHandler, DTPHandler
    if args.tls != "off":
        scratch = None if args.tls_dir else tempfile.TemporaryDirectory(prefix="krtp-tls-")
        folder = args.tls_dir or scratch.name
        ca, cert, key, pin = make_certificates(folder, args.tls_name)
        tls = {"ca": ca, "pin": pin}
        base, dtp = tls_handlers()
    handler = type("Handler", (StartFaults, faulty_handler(base, Faults(args.faults))), {})
    if tls:
        handler.certfile = cert
        handler.keyfile = key
        handler.tls_control_required = args.tls == "require"
        handler.tls_data_required = args.tls == "require"
        handler.dtp_handler = dtp
    handler.command_log = args.command_log
    handler.authorizer = authorizer
    handler.abstracted_fs = SessionFolderFS
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
    if args.max_sessions:
        # Further logins are answered "421 Too many connections" and closed, as small hosts do.
        ftp.max_cons = args.max_sessions
        ftp.max_cons_per_ip = args.max_sessions

    http_handler = functools.partial(QuietHTTPHandler, directory=root)
    web = http.server.ThreadingHTTPServer(("127.0.0.1", args.http_port), http_handler)
    web.daemon_threads = True
    if tls:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        web.socket = context.wrap_socket(web.socket, server_side=True)

    threading.Thread(target=ftp.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    threading.Thread(target=web.serve_forever, daemon=True).start()

    ports = {"ftp": ftp.address[1], "http": web.server_address[1]}
    if tls:
        ports.update(tls)
    print(json.dumps(ports), flush=True)

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
