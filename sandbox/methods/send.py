"""SMS.send: stores every accepted message so that history and status calls can return it, and
takes it off the account's quantity. An access token that does not fit the account gets
"E001". Tests choose the answer for chosen messages by phone
number (control POST /send/answer, one "PHONE ANSWER" line per message, used once, oldest
first), where ANSWER is a result code ("0000", "800", "E006", any other) or "transport PLAN"
with a misbehaviour plan line ("transport reset", "transport status 500 Internal Server Error")."""

import threading
import time

import results

from . import Misbehave, api_method
from .accounts import Refused, authenticate

_schema_lock = threading.Lock()
_schema_ready = set()

# The parameters the library sends, in the order it sends them.
SEND_PARAMS = ("call_type", "phone", "callback", "message", "subject", "ref_key", "reserve",
               "send_type", "msg_type", "usears")
MAX_ANSWER_BYTES = 4096


def ensure_schema(store):
    with _schema_lock:
        if id(store) in _schema_ready:
            return
        store.db.executescript("""
            CREATE TABLE IF NOT EXISTS sent_messages (
                id INTEGER PRIMARY KEY, at REAL, sms_id TEXT, phone TEXT, callback TEXT,
                subject TEXT, message TEXT, reserve TEXT, ref_key TEXT, kind TEXT,
                usears TEXT, code TEXT);
            CREATE INDEX IF NOT EXISTS sent_messages_ref ON sent_messages (ref_key);
            CREATE TABLE IF NOT EXISTS send_answers (id INTEGER PRIMARY KEY, phone TEXT, answer TEXT);
        """)
        # A stand-in need not survive a power loss: without an fsync per stored message a
        # batch of a thousand takes seconds, not minutes.
        store.db.execute("PRAGMA synchronous=NORMAL")
        _schema_ready.add(id(store))


def add_answer(store, line):
    """Control: queue an answer for the next message to PHONE. False for a malformed line."""
    ensure_schema(store)
    phone, _, answer = line.strip().partition(" ")
    if not phone or not answer or len(line) > MAX_ANSWER_BYTES:
        return False
    store.execute("INSERT INTO send_answers (phone, answer) VALUES (?, ?)", (phone, answer.strip()))
    return True


def take_answer(store, phone):
    with store.locked():
        rows = store.execute("SELECT id, answer FROM send_answers WHERE phone = ? ORDER BY id LIMIT 1",
                             (phone,))
        if not rows:
            return None
        store.execute("DELETE FROM send_answers WHERE id = ?", (rows[0][0],))
        return rows[0][1]


def stored_messages(store):
    """Control: every stored message, oldest first, as tab-separated lines."""
    ensure_schema(store)
    rows = store.execute("SELECT sms_id, phone, callback, subject, message, reserve, ref_key, kind, "
                         "usears, code FROM sent_messages ORDER BY id")
    return "".join("\t".join(r) + "\n" for r in rows)


def reset(store):
    ensure_schema(store)
    with store.locked():
        store.execute("DELETE FROM sent_messages")
        store.execute("DELETE FROM send_answers")


def _take_quantity(store, sms_id, kind):
    # The account table belongs to the account module; without it there is nothing to count.
    column = "lms_count" if kind == "lms" else "sms_count"
    for sql in ("UPDATE accounts SET %s = %s - 1 WHERE sms_id = ? AND %s > 0" % (column, column, column),
                "UPDATE accounts SET sms_count = sms_count - 1 WHERE sms_id = ? AND sms_count > 0"):
        try:
            store.execute(sql, (sms_id,))
            return
        except Exception:  # noqa: BLE001 - no such table or column
            continue


@api_method("SMS.send")
def send(call):
    store = call.store
    ensure_schema(store)
    # The token must fit the account (E001); a login is not asked for, nor are unknown
    # parameters refused here, so that a chosen answer still reaches any message.
    try:
        authenticate(call, SEND_PARAMS, logged_in=False)
    except Refused as refused:
        if refused.code == results.NOT_AUTHENTICATED:
            return results.result_text(refused.code)
    phone = call.param("phone")
    if not phone:
        return results.result_text(results.BAD_REQUEST)
    answer = take_answer(store, phone)
    if answer is not None and answer.startswith("transport "):
        raise Misbehave(answer[len("transport "):])
    code = answer or results.OK
    kind = call.param("send_type")
    if code not in (results.OK, "800"):
        return results.result_text(code)  # refused: not stored, not counted
    with store.locked():
        store.execute(
            "INSERT INTO sent_messages (at, sms_id, phone, callback, subject, message, reserve, ref_key, "
            "kind, usears, code) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            (time.time(), call.sms_id, phone, call.param("callback"), call.param("subject"),
             call.param("message"), call.param("reserve"), call.param("ref_key"), kind,
             call.param("usears"), code))
        _take_quantity(store, call.sms_id, kind)
    return results.result_text(code)
