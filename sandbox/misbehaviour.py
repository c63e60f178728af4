"""Answers a test can ask for instead of the normal one. A plan is one line, "KIND ARGUMENT"; each
kind is registered below with @plan (or connection_plan, for a kind that changes the next
connection rather than an answer), together with its usage and what it does.
`python3 sandbox/misbehaviour.py` lists them all."""

import socket
import struct
import textwrap
import time

import xmlrpc_wire

MAX_SLOW_SECONDS = 120
MAX_HUGE_MEGABYTES = 1024
MAX_EXTRA_DELAY_MS = 5000
CHUNK = b"\0" * 65536

_plans = {}        # kind: (usage, description, answer(handler, arg) -> bool)
_connection = {}   # kind: (usage, description); the server acts on them when it accepts


def _register(table, usage, description, value):
    kind = usage.split(" ", 1)[0]
    if kind in _plans or kind in _connection:
        raise ValueError("plan kind registered twice: " + kind)
    table[kind] = (usage, description) + value


def plan(usage, description):
    """Registers an answer under the first word of USAGE. It returns False to leave the normal
    answer to the caller (after doing something first), anything else when it has answered."""
    def register(answer):
        _register(_plans, usage, description, (answer,))
        return answer
    return register


def connection_plan(usage, description):
    _register(_connection, usage, description, ())


connection_plan("plain", "(next connection) plain HTTP where TLS is expected")
connection_plan("wrong-name", "(next connection) a certificate for another host name")
connection_plan("old-tls", "(next connection) a server offering only TLS 1.0 and 1.1, at OpenSSL security "
                "level 0")
CONNECTION_KINDS = tuple(_connection)


def describe():
    """Every plan kind, one per line: its usage and what it does."""
    rows = [entry[:2] for entry in list(_plans.values()) + list(_connection.values())]
    width = max(len(usage) for usage, _ in rows) + 2
    return "".join(textwrap.fill(description, 100, initial_indent=usage.ljust(width),
                                 subsequent_indent=" " * width) + "\n" for usage, description in rows)


def _reset(sock):
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    sock.close()


def answer_plain(sock):
    try:
        sock.settimeout(5)
        sock.recv(4096)
        sock.sendall(b"HTTP/1.0 400 Bad Request\r\nContent-Type: text/plain\r\n\r\n"
                     b"This is a plain-HTTP server.\r\n")
    except OSError:
        pass
    finally:
        sock.close()


def unasked_answer():
    """A whole answer no request asked for, as a kept connection would carry it."""
    import results
    body = xmlrpc_wire.string_response(results.result_text(results.OK))
    return (b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nConnection: Keep-Alive\r\n"
            b"Content-Length: %d\r\n\r\n" % len(body)) + body


def apply(handler, line):
    """Answers as the plan says; False leaves the normal answer to the caller."""
    kind, _, arg = line.partition(" ")
    entry = _plans.get(kind)
    if entry is None:
        handler.send_body(("unknown plan: " + kind).encode("utf-8"), 500, "Unknown Plan", "text/plain")
        return True
    return entry[2](handler, arg) is not False


@plan("string TEXT", "a string result holding TEXT")
def _string(handler, arg):
    handler.send_body(xmlrpc_wire.string_response(arg))


@plan("result CODE [XML]", "a result text with CODE; XML, when given, is the data inside root")
def _result(handler, arg):
    import results
    code, _, fields = arg.partition(" ")
    handler.send_body(xmlrpc_wire.string_response(results.result_text(code, fields or None)))


@plan("int N", "an integer result (not a string)")
def _int(handler, arg):
    handler.send_body(xmlrpc_wire.int_response(int(arg or "0")))


@plan("fault-struct TEXT", "a fault struct whose faultString is TEXT")
def _fault_struct(handler, arg):
    handler.send_body(xmlrpc_wire.fault_string(1, arg))


@plan("fault-int N", "a fault struct whose faultString is the integer N")
def _fault_int(handler, arg):
    handler.send_body(xmlrpc_wire.fault_struct(1, "<value><int>%d</int></value>" % int(arg or "0")))


@plan("fault-value TEXT", "a fault whose value is a string, not a struct")
def _fault_value(handler, arg):
    handler.send_body(xmlrpc_wire.fault_response("<value>" + xmlrpc_wire.escape(arg) + "</value>"))


@plan("status CODE TEXT", "HTTP status CODE with status text TEXT")
def _status(handler, arg):
    code, _, reason = arg.partition(" ")
    handler.send_body(b"<html><body>error page</body></html>", int(code), reason, "text/html")


@plan("empty", "status 200 with an empty body")
def _empty(handler, arg):
    handler.send_body(b"")


@plan("html TEXT", "status 200 with TEXT as an HTML page")
def _html(handler, arg):
    handler.send_body(arg.encode("utf-8"), content_type="text/html")


@plan("body TEXT", "status 200 with TEXT as the raw body")
def _body(handler, arg):
    handler.send_body(arg.encode("utf-8"))


@plan("close", "the connection is closed without an answer")
def _close(handler, arg):
    handler.close_connection = True
    try:
        handler.connection.unwrap()
    except (OSError, ValueError):
        pass
    handler.connection.close()


@plan("reset", "the connection is reset without an answer")
def _reset_plan(handler, arg):
    handler.close_connection = True
    _reset(handler.connection)


@plan("reset-body", "the head and part of the body, then a reset")
def _reset_body(handler, arg):
    handler.close_connection = True
    handler.send_response(200)
    handler.send_header("Content-Type", "text/xml")
    handler.send_header("Content-Length", "100000")
    handler.end_headers()
    handler.wfile.write(b"<?xml version=\"1.0\"?><methodResponse>")
    handler.wfile.flush()
    time.sleep(0.2)
    _reset(handler.connection)


@plan("slow SECONDS", "the normal answer after SECONDS; none (the connection closed) if the sandbox was reset "
      "meanwhile")
def _slow(handler, arg):
    store = handler.server.store
    resets = store.resets
    time.sleep(min(float(arg or "1"), MAX_SLOW_SECONDS))
    if store.resets != resets:
        # Reset meanwhile: the request belongs to a test that has ended, whose client gave up
        # long ago; served now, it would show in the next test's record as a message of its own.
        handler.close_connection = True
        return True
    return False


@plan("redirect CODE URL", "status CODE with Location URL (a small body, read whole)")
def _redirect(handler, arg):
    code, _, location = arg.partition(" ")
    body = b"<html><body>moved</body></html>"
    handler.send_response(int(code))
    handler.send_header("Location", location)
    handler.send_header("Content-Type", "text/html")
    handler.send_header("Content-Length", str(len(body)))
    handler.close_connection = not getattr(handler, "keep_alive", False)
    handler.end_headers()
    handler.wfile.write(body)
    handler.wfile.flush()


def _drip(handler, arg, body):
    handler.close_connection = True
    seconds = min(int(arg or "10"), MAX_SLOW_SECONDS)
    try:
        handler.wfile.write(b"HTTP/1.0 200 OK\r\n")
        if body:
            handler.wfile.write(b"Content-Type: text/xml\r\nContent-Length: %d\r\n\r\n" % (seconds + 100))
        handler.wfile.flush()
        for _ in range(seconds):
            handler.wfile.write(b" " if body else b"X")
            handler.wfile.flush()
            time.sleep(1)
    except OSError:
        pass


@plan("drip-head SECONDS", "the status line, then one header byte a second for SECONDS")
def _drip_head(handler, arg):
    _drip(handler, arg, body=False)


@plan("drip-body SECONDS", "a whole head, then one body byte a second for SECONDS")
def _drip_body(handler, arg):
    _drip(handler, arg, body=True)


def _huge(handler, arg, announced):
    handler.close_connection = True
    size = min(int(arg or "1"), MAX_HUGE_MEGABYTES) * 1024 * 1024
    progress = handler.server.connections.huge_progress
    sent = 0
    progress(sent, False)
    try:
        handler.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n")
        if announced:
            handler.wfile.write(b"Content-Length: %d\r\n" % size)
        handler.wfile.write(b"\r\n")
        while sent < size:
            handler.wfile.write(CHUNK)
            sent += len(CHUNK)
            progress(sent, False)
    except OSError:
        pass  # the client refused the rest
    progress(sent, True)


@plan("huge MEGABYTES", "status 200 announcing and sending MEGABYTES of body")
def _huge_announced(handler, arg):
    _huge(handler, arg, announced=True)


@plan("huge-unannounced MB", "the same without a length, ended by closing the connection")
def _huge_unannounced(handler, arg):
    _huge(handler, arg, announced=False)


@plan("close-after", "the normal answer offered as kept alive, then the connection closed")
def _close_after(handler, arg):
    return False  # the server closes the connection once the normal answer is out


@plan("extra WHEN CODE", "a result with CODE, then on the kept connection a second, unasked answer "
      "(result 0000): WHEN \"same\", in the same write; \"next\", in a write of its own that leaves "
      "in the same segment; a number, that many milliseconds later while the connection waits "
      "for a request")
def _extra(handler, arg):
    import results
    when, _, code = arg.partition(" ")
    if when not in ("same", "next"):
        when = min(int(when or "0"), MAX_EXTRA_DELAY_MS) / 1000.0
    handler.extra_answer = (when, unasked_answer())
    handler.send_body(xmlrpc_wire.string_response(results.result_text(code or results.OK)))


if __name__ == "__main__":
    print(describe(), end="")
