"""The control interface for tests, plain HTTP on 127.0.0.1:

  GET  /ping           "ok"
  POST /reset          forgets the request log and every queued plan
  POST /plan           queues the body (one plan line, UTF-8) for the next API request
  POST /plan?kept      the same, for a request on a connection already kept (not closed first)
  GET  /log/count      how many API requests were received
  GET  /connections    "accepted N", "requests A B ..." and "resumed R": connections since the
                       last reset, how many requests each carried (a new plan or reset closes
                       kept ones), and how many TLS handshakes resumed an earlier session
  GET  /log/last       the last request document, byte for byte as it was sent (UTF-8)
  GET  /log/last/body  the last raw HTTP body (the whole XML-RPC call)
  GET  /log/last/head  the last request line and header lines as received
  POST /send/answer    "PHONE ANSWER": how SMS.send answers the next message to PHONE
  POST /send/chaos     "seed=S reset=P store-reset=P refuse=P code800=P": random answers
  GET  /send/messages  the messages SMS.send stored, one tab-separated line each
  GET  /send/requests  every SMS.send received: phone and ref_key, oldest first
  GET  /send/requests?outcomes  the same with what became of each (a code, or a reset kind)
  GET  /send/requests?count     how many there were
  GET  /account/auth-numbers  the authentication numbers "sent": phone, adapter, number, state
  GET  /account/logins the login attempts: user ID, IP, adapter address, 1 accepted / 0 refused
"""

from http.server import BaseHTTPRequestHandler

from methods import accounts, phone_auth, send

MAX_PLAN_BYTES = 4 * 1024 * 1024


class ControlHandler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, fmt, *args):
        pass

    def _send(self, body, status=200):
        self.send_response(status)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        store = self.server.store
        if self.path == "/ping":
            self._send(b"ok")
        elif self.path == "/send/messages":
            self._send(send.stored_messages(store).encode("utf-8"))
        elif self.path == "/send/requests?count":
            self._send(str(send.received_count(store)).encode())
        elif self.path in ("/send/requests", "/send/requests?outcomes"):
            self._send(send.received_requests(store, self.path.endswith("?outcomes")).encode("utf-8"))
        elif self.path == "/account/auth-numbers":
            self._send(phone_auth.sent_numbers(store).encode("utf-8"))
        elif self.path == "/account/logins":
            self._send(accounts.logins(store).encode("utf-8"))
        elif self.path == "/connections":
            self._send(store.connections.report().encode())
        elif self.path == "/log/count":
            self._send(str(store.request_count()).encode())
        elif self.path in ("/log/last", "/log/last/body", "/log/last/head"):
            last = store.last_request()
            if last is None:
                self._send(b"no request", 404)
                return
            head, body, document = last
            self._send({"/log/last": document, "/log/last/body": body, "/log/last/head": head}[self.path])
        else:
            self._send(b"not found", 404)

    def do_POST(self):
        store = self.server.store
        length = int(self.headers.get("Content-Length", "0") or 0)
        if length < 0 or length > MAX_PLAN_BYTES:
            self._send(b"too long", 400)
            return
        body = self.rfile.read(length)
        if self.path == "/reset":
            store.reset()
            store.connections.reset()
            send.reset(store)
            accounts.reset(store)
            self._send(b"ok")
        elif self.path == "/send/answer":
            ok = send.add_answer(store, body.decode("utf-8", "replace"))
            self._send(b"ok" if ok else b"expected PHONE ANSWER", 200 if ok else 400)
        elif self.path == "/send/chaos":
            ok = send.set_chaos(store, body.decode("utf-8", "replace"))
            self._send(b"ok" if ok else b"expected seed=S and KIND=P with P in 0..1", 200 if ok else 400)
        elif self.path in ("/plan", "/plan?kept"):
            store.add_plan(body)
            if self.path == "/plan":
                store.connections.close_waiting()
            self._send(b"ok")
        else:
            self._send(b"not found", 404)
