"""Answers a test can ask for instead of the normal one. A plan is one line, "KIND ARGUMENT":

  string TEXT             a string result holding TEXT
  result CODE [XML]       a result text with CODE; XML, when given, is the data inside root
  int N                   an integer result (not a string)
  fault-struct TEXT       a fault struct whose faultString is TEXT
  fault-int N             a fault struct whose faultString is the integer N
  fault-value TEXT        a fault whose value is a string, not a struct
  status CODE TEXT        HTTP status CODE with status text TEXT
  empty                   status 200 with an empty body
  html TEXT               status 200 with TEXT as an HTML page
  body TEXT               status 200 with TEXT as the raw body
  close                   the connection is closed without an answer
  reset                   the connection is reset without an answer
  reset-body              the head and part of the body, then a reset
  slow SECONDS            the normal answer after SECONDS
  redirect CODE URL       status CODE with Location URL (a small body, read whole)
  drip-head SECONDS       the status line, then one header byte a second for SECONDS
  drip-body SECONDS       a whole head, then one body byte a second for SECONDS
  huge MEGABYTES          status 200 announcing and sending MEGABYTES of body
  huge-unannounced MB     the same without a length, ended by closing the connection
  close-after             the normal answer offered as kept alive, then the connection closed
  extra WHEN CODE         a result with CODE, then on the kept connection a second, unasked
                          answer (result 0000): WHEN "same", in the same write; "next", in a
                          write of its own that leaves in the same segment; a number, that
                          many milliseconds later while the connection waits for a request
  plain                   (next connection) plain HTTP where TLS is expected
  wrong-name              (next connection) a certificate for another host name
  old-tls                 (next connection) a server offering only TLS 1.0 and 1.1
"""

import socket
import struct
import time

import xmlrpc_wire

CONNECTION_KINDS = ("plain", "wrong-name", "old-tls")
MAX_SLOW_SECONDS = 120
MAX_HUGE_MEGABYTES = 1024
MAX_EXTRA_DELAY_MS = 5000
CHUNK = b"\0" * 65536


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
    if kind == "string":
        handler.send_body(xmlrpc_wire.string_response(arg))
    elif kind == "result":
        import results
        code, _, fields = arg.partition(" ")
        handler.send_body(xmlrpc_wire.string_response(results.result_text(code, fields or None)))
    elif kind == "int":
        handler.send_body(xmlrpc_wire.int_response(int(arg or "0")))
    elif kind == "fault-struct":
        handler.send_body(xmlrpc_wire.fault_string(1, arg))
    elif kind == "fault-int":
        handler.send_body(xmlrpc_wire.fault_struct(1, "<value><int>%d</int></value>" % int(arg or "0")))
    elif kind == "fault-value":
        handler.send_body(xmlrpc_wire.fault_response("<value>" + xmlrpc_wire.escape(arg) + "</value>"))
    elif kind == "status":
        code, _, reason = arg.partition(" ")
        handler.send_body(b"<html><body>error page</body></html>", int(code), reason, "text/html")
    elif kind == "empty":
        handler.send_body(b"")
    elif kind == "html":
        handler.send_body(arg.encode("utf-8"), content_type="text/html")
    elif kind == "body":
        handler.send_body(arg.encode("utf-8"))
    elif kind == "close":
        handler.close_connection = True
        try:
            handler.connection.unwrap()
        except (OSError, ValueError):
            pass
        handler.connection.close()
    elif kind == "reset":
        handler.close_connection = True
        _reset(handler.connection)
    elif kind == "reset-body":
        handler.close_connection = True
        handler.send_response(200)
        handler.send_header("Content-Type", "text/xml")
        handler.send_header("Content-Length", "100000")
        handler.end_headers()
        handler.wfile.write(b"<?xml version=\"1.0\"?><methodResponse>")
        handler.wfile.flush()
        time.sleep(0.2)
        _reset(handler.connection)
    elif kind == "redirect":
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
    elif kind in ("drip-head", "drip-body"):
        handler.close_connection = True
        seconds = min(int(arg or "10"), MAX_SLOW_SECONDS)
        try:
            handler.wfile.write(b"HTTP/1.0 200 OK\r\n")
            if kind == "drip-body":
                handler.wfile.write(b"Content-Type: text/xml\r\nContent-Length: %d\r\n\r\n" % (seconds + 100))
            handler.wfile.flush()
            for _ in range(seconds):
                handler.wfile.write(b"X" if kind == "drip-head" else b" ")
                handler.wfile.flush()
                time.sleep(1)
        except OSError:
            pass
    elif kind in ("huge", "huge-unannounced"):
        handler.close_connection = True
        size = min(int(arg or "1"), MAX_HUGE_MEGABYTES) * 1024 * 1024
        progress = handler.server.connections.huge_progress
        sent = 0
        progress(sent, False)
        try:
            handler.wfile.write(b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n")
            if kind == "huge":
                handler.wfile.write(b"Content-Length: %d\r\n" % size)
            handler.wfile.write(b"\r\n")
            while sent < size:
                handler.wfile.write(CHUNK)
                sent += len(CHUNK)
                progress(sent, False)
        except OSError:
            pass  # the client refused the rest
        progress(sent, True)
    elif kind == "extra":
        import results
        when, _, code = arg.partition(" ")
        if when not in ("same", "next"):
            when = min(int(when or "0"), MAX_EXTRA_DELAY_MS) / 1000.0
        handler.extra_answer = (when, unasked_answer())
        handler.send_body(xmlrpc_wire.string_response(results.result_text(code or results.OK)))
    elif kind == "close-after":
        return False
    elif kind == "slow":
        time.sleep(min(float(arg or "1"), MAX_SLOW_SECONDS))
        return False
    else:
        handler.send_body(("unknown plan: " + kind).encode("utf-8"), 500, "Unknown Plan", "text/plain")
    return True
