#!/usr/bin/env python3
"""The sandbox's web server: the update manifest, the web console's pages and the notice page.

Plain HTTP on 127.0.0.1; the same port also answers TLS (a certificate made with the openssl
command in the state folder), so the https addresses of the pages open too.

    GET  /sms/SmsVersion.txt                 the manifest chosen (see below)
    GET  /admin/setting/, /admin/service-info/, /norvo_notice/view.php?seq_no=31182&...
    PUT  /_sandbox/manifest                  body: the manifest to serve from now on
    PUT  /_sandbox/manifest?name=NAME        a built-in one (sandbox/manifests/NAME.txt)
    GET  /_sandbox/requests                  the requests served, as JSON; DELETE clears them

The manifest at start: --manifest NAME|FILE (or NORVOSMS_SANDBOX_MANIFEST), default "current";
--manifest-file FILE is re-read at every request instead (tests write it between checks)."""

import argparse
import json
import os
import signal
import socket
import sqlite3
import ssl
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qs, urlsplit

HERE = os.path.dirname(os.path.abspath(__file__))
MANIFEST_DIR = os.path.join(HERE, "manifests")
DEFAULT_PORT = 8380
MANIFEST_PATH = "/sms/SmsVersion.txt"
NOTICE_PATH = "/norvo_notice/view.php"
NOTICE_QUERY = {"seq_no": "31182", "page": "1", "gubun": "", "keyword": "sms"}
MAX_BODY_BYTES = 1024 * 1024
MAX_LOGGED_REQUESTS = 1000
CONNECTION_TIMEOUT_S = 10
TLS_RECORD_START = b"\x16"

PAGES = {
    "/admin/setting/": ("NorvoSMS 콘솔 - 설정", "API 설정", "발신번호와 API KEY를 관리합니다."),
    "/admin/service-info/": ("NorvoSMS 콘솔 - 서비스 안내", "서비스 안내", "NorvoSMS 서비스 이용 안내입니다."),
}
NOTICE_PAGE = ("NorvoSMS 공지사항", "PC 프로그램 서비스 종료 안내",
               "PC 프로그램 서비스가 종료되어 더 이상 로그인할 수 없습니다. "
               "웹 콘솔 또는 API를 이용해 주세요.")


def html(title, heading, text):
    return ("<html><head><meta charset=\"utf-8\"><title>%s</title></head>"
            "<body><h1>%s</h1><p>%s</p></body></html>\n" % (title, heading, text)).encode("utf-8")


NOT_FOUND = html("404 Not Found", "Not Found", "The page was not found on this server.")


class State:
    """The manifest being served and the request log, in SQLite."""

    def __init__(self, path):
        self.lock = threading.Lock()
        self.db = sqlite3.connect(path, check_same_thread=False, isolation_level=None)
        self.db.execute("PRAGMA journal_mode=WAL")
        self.db.execute("CREATE TABLE IF NOT EXISTS manifest"
                        " (id INTEGER PRIMARY KEY CHECK (id = 1), body BLOB, file TEXT)")
        self.db.execute("CREATE TABLE IF NOT EXISTS requests (id INTEGER PRIMARY KEY,"
                        " at REAL, method TEXT, target TEXT, tls INTEGER, headers TEXT)")

    def set_manifest(self, body=None, file=None):
        with self.lock:
            self.db.execute("INSERT OR REPLACE INTO manifest (id, body, file) VALUES (1, ?, ?)",
                            (body, file))

    def manifest(self):
        with self.lock:
            row = self.db.execute("SELECT body, file FROM manifest WHERE id = 1").fetchone()
        if row is None:
            return None
        body, file = row
        if file is not None:
            try:
                with open(file, "rb") as f:
                    return f.read(MAX_BODY_BYTES)
            except OSError:
                return None
        return body

    def log(self, method, target, tls, headers):
        with self.lock:
            self.db.execute("INSERT INTO requests (at, method, target, tls, headers) VALUES (?,?,?,?,?)",
                            (time.time(), method, target, int(tls), json.dumps(headers)))
            self.db.execute("DELETE FROM requests WHERE id <= (SELECT MAX(id) FROM requests) - ?",
                            (MAX_LOGGED_REQUESTS,))

    def requests(self):
        with self.lock:
            rows = self.db.execute("SELECT method, target, tls, headers FROM requests ORDER BY id").fetchall()
        return [{"method": m, "target": t, "tls": bool(s), "headers": json.loads(h)} for m, t, s, h in rows]

    def clear_requests(self):
        with self.lock:
            self.db.execute("DELETE FROM requests")


def builtin_manifest(name):
    if not name.replace("-", "").replace("_", "").isalnum():
        return None
    try:
        with open(os.path.join(MANIFEST_DIR, name + ".txt"), "rb") as f:
            return f.read(MAX_BODY_BYTES)
    except OSError:
        return None


class Handler(BaseHTTPRequestHandler):
    server_version = "NorvoSMSSandboxWeb/1.0"
    protocol_version = "HTTP/1.1"

    def log_message(self, fmt, *args):
        sys.stderr.write("web: " + (fmt % args) + "\n")

    def send(self, status, body, content_type="text/html; charset=utf-8"):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def record(self):
        tls = isinstance(self.connection, ssl.SSLSocket)
        self.server.state.log(self.command, self.path, tls, dict(self.headers.items()))

    def do_GET(self):
        url = urlsplit(self.path)
        if url.path == "/_sandbox/requests":
            return self.send(200, json.dumps(self.server.state.requests()).encode(), "application/json")
        self.record()
        if url.path == MANIFEST_PATH:
            body = self.server.state.manifest()
            if body is None:
                return self.send(404, NOT_FOUND)
            return self.send(200, body, "text/plain")
        if url.path in PAGES:
            return self.send(200, html(*PAGES[url.path]))
        if url.path == NOTICE_PATH:
            query = {k: v[0] for k, v in parse_qs(url.query, keep_blank_values=True).items()}
            if query.get("seq_no") == NOTICE_QUERY["seq_no"]:
                return self.send(200, html(*NOTICE_PAGE))
        return self.send(404, NOT_FOUND)

    do_HEAD = do_GET

    def do_PUT(self):
        url = urlsplit(self.path)
        if url.path != "/_sandbox/manifest":
            return self.send(404, NOT_FOUND)
        name = parse_qs(url.query).get("name", [None])[0]
        if name is not None:
            body = builtin_manifest(name)
            if body is None:
                return self.send(404, b"no such manifest\n", "text/plain")
        else:
            length = int(self.headers.get("Content-Length") or 0)
            if length < 0 or length > MAX_BODY_BYTES:
                return self.send(413, b"too large\n", "text/plain")
            body = self.rfile.read(length)
        self.server.state.set_manifest(body=body)
        return self.send(204, b"")

    def do_DELETE(self):
        if urlsplit(self.path).path != "/_sandbox/requests":
            return self.send(404, NOT_FOUND)
        self.server.state.clear_requests()
        return self.send(204, b"")


class WebServer(ThreadingHTTPServer):
    """Answers plain HTTP and TLS on one port: a connection whose first byte starts a TLS record
    is wrapped before it is read."""
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, state, tls_context):
        super().__init__(address, Handler)
        self.state = state
        self.tls_context = tls_context

    def finish_request(self, request, client_address):
        request.settimeout(CONNECTION_TIMEOUT_S)
        try:
            first = request.recv(1, socket.MSG_PEEK)
        except OSError:
            return
        if first == TLS_RECORD_START and self.tls_context is not None:
            try:
                request = self.tls_context.wrap_socket(request, server_side=True)
            except (ssl.SSLError, OSError):
                return
        super().finish_request(request, client_address)


def make_tls_context(state):
    """The TLS side needs the openssl command; without it the server is plain HTTP only."""
    try:
        sys.path.insert(0, HERE)
        import certificates
        paths = certificates.ensure(state)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*paths["server"])
        return context, paths["ca"]
    except Exception as error:  # noqa: BLE001 - any failure leaves plain HTTP
        sys.stderr.write("web: no TLS (%s)\n" % error)
        return None, None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--state", default=os.path.join(HERE, "state"))
    parser.add_argument("--port", type=int,
                        default=int(os.environ.get("NORVOSMS_SANDBOX_WEB_PORT") or DEFAULT_PORT))
    parser.add_argument("--manifest", default=os.environ.get("NORVOSMS_SANDBOX_MANIFEST") or "current",
                        help="a built-in manifest name or a file, read once at start")
    parser.add_argument("--manifest-file", help="a file re-read at every request")
    parser.add_argument("--ready", help="file to write url=, port= and pid= to once serving")
    args = parser.parse_args()

    state_dir = os.path.abspath(args.state)
    os.makedirs(state_dir, exist_ok=True)
    state = State(os.path.join(state_dir, "web.db"))
    if args.manifest_file:
        state.set_manifest(file=os.path.abspath(args.manifest_file))
    else:
        body = builtin_manifest(args.manifest)
        if body is None:
            try:
                with open(args.manifest, "rb") as f:
                    body = f.read(MAX_BODY_BYTES)
            except OSError:
                sys.stderr.write("web: no manifest %r\n" % args.manifest)
                return 2
        state.set_manifest(body=body)

    context, ca = make_tls_context(state_dir)
    server = WebServer(("127.0.0.1", args.port), state, context)
    port = server.server_address[1]
    url = "http://127.0.0.1:%d" % port
    if args.ready:
        tmp = args.ready + ".tmp"
        with open(tmp, "w") as f:
            f.write("url=%s\nport=%d\nca_file=%s\npid=%d\n" % (url, port, ca or "", os.getpid()))
        os.replace(tmp, args.ready)
    print("NorvoSMS sandbox web server: %s%s" % (url, MANIFEST_PATH), flush=True)

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.serve_forever()
    if args.ready and os.path.exists(args.ready):
        os.remove(args.ready)
    return 0


if __name__ == "__main__":
    sys.exit(main())
