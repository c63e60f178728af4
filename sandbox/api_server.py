#!/usr/bin/env python3
"""The sandbox API service: the XML-RPC method `norvosms` over HTTPS at /api_app on 127.0.0.1,
and a plain-HTTP control interface for tests. usage:
    api_server.py [--state DIR] [--port N] [--control-port N] [--ready FILE]
Port 0 (the default) takes a free port; the ready file then names the URLs."""

import argparse
import contextlib
import os
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import warnings
import xml.etree.ElementTree as ET
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import certificates  # noqa: E402
import methods  # noqa: E402
import misbehaviour  # noqa: E402
import results  # noqa: E402
import xmlrpc_wire  # noqa: E402
from control import ControlHandler  # noqa: E402
from store import Store  # noqa: E402

API_PATH = "/api_app"
# Bounds on what one request may hold.
MAX_BODY_BYTES = 8 * 1024 * 1024
MAX_PARAMS = 1000
HANDSHAKE_TIMEOUT_S = 10
# A kept-alive connection with no new request for this long is closed.
IDLE_TIMEOUT_S = 60
# How long closing the kept connections waits for an answer still being written on one.
ANSWER_WRITE_WAIT_S = 5


def read_document(document):
    """Envelope fields and parameters of a request document; None when it is not XML."""
    try:
        root = ET.fromstring(document)
    except ET.ParseError:
        return None
    fields, params = {}, []
    for child in root:
        if child.tag == "params":
            for p in list(child)[:MAX_PARAMS]:
                params.append((p.tag, p.text or ""))
        else:
            fields[child.tag] = child.text or ""
    return fields, params


class _RecordingReader:
    """Hands the header lines to the parser and keeps a copy of each, as received."""

    def __init__(self, reader, lines):
        self._reader = reader
        self._lines = lines

    def readline(self, *args):
        line = self._reader.readline(*args)
        self._lines.append(line)
        return line

    def __getattr__(self, name):
        return getattr(self._reader, name)


class ApiHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "NorvoSMS-Sandbox/1.0"

    def log_message(self, fmt, *args):
        sys.stderr.write("api %s %s\n" % (self.address_string(), fmt % args))

    def _head_text(self):
        # The head byte for byte as it came: request line, header lines, the blank line.
        return bytes(self.raw_requestline) + b"".join(getattr(self, "_raw_header_lines", []))

    def parse_request(self):
        lines = self._raw_header_lines = []
        reader = self.rfile
        self.rfile = _RecordingReader(reader, lines)
        try:
            ok = super().parse_request()
        finally:
            self.rfile = reader
        if ok:
            # HTTP/1.0 with "Connection: Keep-Alive" keeps the connection, as WinInet asks.
            asked = self.headers.get("Connection", "").lower()
            self.keep_alive = asked == "keep-alive" or (
                self.request_version == "HTTP/1.1" and asked != "close")
            self.server.connections.started(self.connection)
        return ok

    def send_response(self, code, message=None):
        # Whether the connection stays is decided by the answer, not by this header line.
        closing = self.close_connection
        super().send_response(code, message)
        if getattr(self, "keep_alive", False) and code < 400:
            self.send_header("Connection", "Keep-Alive")
        self.close_connection = closing

    def do_GET(self):
        self.server.store.log_request(self.client_address[0], self.path, self._head_text(), b"", b"", "")
        plan = self.server.store.take_plan()
        if plan is not None and misbehaviour.apply(self, plan):
            return
        self.keep_alive = False
        self.send_error(405, "Method Not Allowed")

    def do_POST(self):
        store = self.server.store
        try:
            length = int(self.headers.get("Content-Length", "0"))
        except ValueError:
            length = -1
        if length < 0 or length > MAX_BODY_BYTES:
            self.send_error(400, "Bad Request")
            return
        body = self.rfile.read(length)
        document = xmlrpc_wire.first_string_param(body)
        name = xmlrpc_wire.method_name(body)
        store.log_request(self.client_address[0], self.path, self._head_text(), body,
                          document if document is not None else b"", name)
        plan = store.take_plan()
        if plan is not None and misbehaviour.apply(self, plan):
            return
        if self.path.split("?", 1)[0] != API_PATH:
            self.send_error(404, "Not Found")
            return
        # Closed as soon as the answer is out, though its head says the connection is kept.
        self.close_after_answer = plan == "close-after"
        self._answer(name, document)

    def _answer(self, name, document):
        if name != "norvosms":
            self.send_body(xmlrpc_wire.fault_string(-32601, "unknown method: %s" % name))
            return
        if document is None:
            self.send_body(xmlrpc_wire.fault_string(-32602, "expected one string parameter"))
            return
        parsed = read_document(document)
        if parsed is None:
            self.send_body(xmlrpc_wire.string_response(results.result_text(results.BAD_REQUEST)))
            return
        fields, params = parsed
        call = methods.Call(self.client_address[0], self.server.store, fields, params)
        handler = methods.find(call.method)
        if handler is None:
            text = results.result_text(results.UNKNOWN_METHOD)
        else:
            try:
                text = handler(call)
            except methods.Misbehave as planned:
                if not misbehaviour.apply(self, planned.plan):
                    self.send_body(xmlrpc_wire.string_response(results.result_text(results.OK)))
                return
        self.send_body(xmlrpc_wire.string_response(text))

    def send_body(self, body, status=200, reason=None, content_type="text/xml"):
        self.send_response(status, reason)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        closing_early = getattr(self, "close_after_answer", False)
        self.close_connection = closing_early or not (getattr(self, "keep_alive", False) and status < 400)
        kept = contextlib.nullcontext()
        if not self.close_connection:
            kept = self.server.connections.answering(self.connection)
        # A planned unasked answer (misbehaviour "extra"): when, bytes.
        extra_when, extra = getattr(self, "extra_answer", (None, b""))
        self.extra_answer = (None, b"")
        if extra_when == "next":  # both writes leave in one segment
            self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_CORK, 1)
        with kept:
            if self.request_version == "HTTP/0.9":
                self.wfile.write(body)
            else:
                # Head and body in one write: one TLS record and one segment for the client.
                self._headers_buffer.append(b"\r\n")
                self._headers_buffer.append(body)
                if extra_when == "same":
                    self._headers_buffer.append(extra)
                self.flush_headers()
            self.wfile.flush()
            if extra and extra_when != "same":
                if extra_when != "next":
                    time.sleep(extra_when)
                try:
                    self.wfile.write(extra)
                    self.wfile.flush()
                    if extra_when == "next":
                        self.connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_CORK, 0)
                except OSError:
                    pass  # the client already closed the connection
        if extra:
            self.server.connections.extra_sent()
        if closing_early:
            # At once, so the client finds it closed before it could send another request.
            try:
                socket.socket.shutdown(self.connection, socket.SHUT_RDWR)
            except OSError:
                pass


class Connections:
    """What tests ask about connection reuse: how many were accepted and how many requests each
    carried; and the kept ones waiting for a request, which a new plan closes so that it meets
    a fresh connection, as the plans did before connections were kept."""

    def __init__(self):
        self.lock = threading.Lock()
        self.counts = []    # requests per accepted connection, in the order accepted
        self.index = {}     # socket -> position in counts
        self.waiting = set()
        self.writing = {}   # socket -> lock held while an answer that keeps it is written
        self.resumed = 0    # TLS handshakes that resumed an earlier session
        self.extras = 0     # unasked answers written (plan "extra")
        self.huge_sent = 0  # body bytes the last huge answer wrote, and whether it has ended
        self.huge_ended = True

    def accepted(self, sock):
        with self.lock:
            self.index[sock] = len(self.counts)
            self.counts.append(0)

    def rename(self, old, new):
        with self.lock:
            if old in self.index:
                self.index[new] = self.index.pop(old)

    def extra_sent(self):
        with self.lock:
            self.extras += 1

    def huge_progress(self, sent, ended):
        with self.lock:
            self.huge_sent, self.huge_ended = sent, ended

    def handshake(self, resumed):
        with self.lock:
            self.resumed += 1 if resumed else 0

    def started(self, sock):
        with self.lock:
            self.waiting.discard(sock)
            if sock in self.index:
                self.counts[self.index[sock]] += 1

    def answering(self, sock):
        """The connection counts as waiting for its next request before its answer leaves, so
        that a plan set as soon as the client has the answer finds it; the lock it returns is
        held while the answer is written, so that closing waits for the answer's end."""
        with self.lock:
            if sock not in self.index:
                return contextlib.nullcontext()
            self.waiting.add(sock)
            return self.writing.setdefault(sock, threading.Lock())

    def ended(self, sock):
        with self.lock:
            self.waiting.discard(sock)
            self.writing.pop(sock, None)
            self.index.pop(sock, None)

    def close_waiting(self):
        with self.lock:
            waiting, self.waiting = list(self.waiting), set()
            guards = [self.writing.get(sock) for sock in waiting]
        for sock, guard in zip(waiting, guards):
            held = guard.acquire(timeout=ANSWER_WRITE_WAIT_S) if guard else False
            try:
                socket.socket.shutdown(sock, socket.SHUT_RDWR)
            except OSError:
                pass
            finally:
                if held:
                    guard.release()

    def reset(self):
        self.close_waiting()
        with self.lock:
            self.counts = []
            self.index = {}
            self.resumed = 0
            self.huge_sent, self.huge_ended = 0, True
            self.extras = 0

    def report(self):
        with self.lock:
            return "accepted %d\nrequests %s\nresumed %d\nhuge-sent %d %s\nextra-sent %d\nopen %d\n" % (
                len(self.counts), " ".join(str(n) for n in self.counts), self.resumed,
                self.huge_sent, "ended" if self.huge_ended else "sending", self.extras, len(self.index))


class ApiServer(socketserver.ThreadingMixIn, socketserver.TCPServer):
    """Speaks TLS on each accepted connection itself, so a test can ask for a plain-HTTP
    answer or another certificate before the handshake."""
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, address, store, contexts):
        self.store = store
        self.contexts = contexts
        self.connections = Connections()
        store.connections = self.connections
        super().__init__(address, ApiHandler)

    def finish_request(self, request, client_address):
        plan = self.store.take_plan(misbehaviour.CONNECTION_KINDS)
        self.connections.accepted(request)
        # The head and the body of an answer go out as separate writes; without this the body
        # waits for the client's delayed acknowledgement of the head (some 40 ms a call).
        request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        if plan == "plain":
            misbehaviour.answer_plain(request)
            return
        context = self.contexts.get(plan, self.contexts["server"])
        request.settimeout(HANDSHAKE_TIMEOUT_S)
        try:
            tls = context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as e:
            sys.stderr.write("api %s handshake failed: %s\n" % (client_address[0], e))
            return
        tls.settimeout(IDLE_TIMEOUT_S)
        self.connections.handshake(tls.session_reused)
        self.connections.rename(request, tls)
        try:
            ApiHandler(tls, client_address, self)
        except OSError:
            pass  # a planned close or reset, or the client went away
        finally:
            self.connections.ended(tls)
            try:
                tls.close()
            except OSError:
                pass


def tls_context(pair):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(*pair)
    return context


def old_tls_context(pair):
    """A server that offers TLS 1.0 and 1.1 only, as far as the local OpenSSL lets it."""
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        context.minimum_version = ssl.TLSVersion.TLSv1
        context.maximum_version = ssl.TLSVersion.TLSv1_1
    context.set_ciphers("DEFAULT:@SECLEVEL=0")
    context.load_cert_chain(*pair)
    return context


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--state", default=os.path.join(here, "state"))
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--control-port", type=int, default=0)
    parser.add_argument("--ready", help="file to write the URLs to once serving")
    args = parser.parse_args()

    state = os.path.abspath(args.state)
    paths = certificates.ensure(state)
    store = Store(os.path.join(state, "sandbox.db"))
    methods.load_all()
    contexts = {"server": tls_context(paths["server"]), "wrong-name": tls_context(paths["wrong-name"]),
                "old-tls": old_tls_context(paths["server"])}

    api = ApiServer(("127.0.0.1", args.port), store, contexts)
    control = ThreadingHTTPServer(("127.0.0.1", args.control_port), ControlHandler)
    control.daemon_threads = True
    control.store = store
    api_url = "https://127.0.0.1:%d%s" % (api.server_address[1], API_PATH)
    control_url = "http://127.0.0.1:%d" % control.server_address[1]

    threading.Thread(target=control.serve_forever, daemon=True).start()
    if args.ready:
        tmp = args.ready + ".tmp"
        with open(tmp, "w") as f:
            f.write("api_url=%s\ncontrol_url=%s\nca_file=%s\npid=%d\n"
                    % (api_url, control_url, paths["ca"], os.getpid()))
        os.replace(tmp, args.ready)
    print("NorvoSMS sandbox: API %s, control %s, CA %s" % (api_url, control_url, paths["ca"]),
          flush=True)

    def stop(*_):
        threading.Thread(target=api.shutdown, daemon=True).start()
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    api.serve_forever()
    control.shutdown()
    if args.ready and os.path.exists(args.ready):
        os.remove(args.ready)


if __name__ == "__main__":
    main()
