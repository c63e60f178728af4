"""SMS.send: stores every accepted message so that history and status calls can return it, and
takes it off the account's quantity. An access token that does not fit the account gets
"E001". Every SMS.send received is logged (phone and ref_key) as it arrives, and with it what
became of it: the result code answered, or "reset", "store-reset", "store-after" or "transport".

Tests choose the answer for chosen messages by phone number (control POST /send/answer, one
"PHONE ANSWER" line per message, used once, oldest first), where ANSWER is
  a result code        "0000", "800", "E006", any other
  transport PLAN       a misbehaviour plan line ("transport reset", "transport status 500 ...")
  store-reset          stored as accepted, then the connection is reset without an answer
  store-after SECONDS  the connection is reset at once; the message is stored SECONDS later
  slow SECONDS         the normal answer, SECONDS late
Or for every message without such an answer, at random (control POST /send/chaos, "seed=S" and
probabilities "reset=P store-reset=P refuse=P code800=P"): a reset before storing, a store then
a reset, a refusal, "800", else accepted; the same seed and order of requests draw the same."""

import random
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
MAX_DELAY_SECONDS = 120
# What a chaos refusal answers: any code but "0000" and "800" is a refusal.
CHAOS_REFUSAL = "E106"
CHAOS_KINDS = ("reset", "store-reset", "refuse", "code800")

# Per store: the chaos generator, and a generation that a reset bumps so that a delayed store
# scheduled before it does not land after it.
_state_lock = threading.Lock()
_chaos = {}
_generation = {}


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
            CREATE TABLE IF NOT EXISTS send_requests (
                id INTEGER PRIMARY KEY, phone TEXT, ref_key TEXT, outcome TEXT NOT NULL DEFAULT '');
        """)
        # A state folder from before the log kept outcomes.
        if "outcome" not in [row[1] for row in store.db.execute("PRAGMA table_info(send_requests)")]:
            store.db.execute("ALTER TABLE send_requests ADD COLUMN outcome TEXT NOT NULL DEFAULT ''")
        # A stand-in need not survive a power loss: without an fsync per stored message a
        # batch of a thousand takes seconds, not minutes.
        store.db.execute("PRAGMA synchronous=NORMAL")
        _schema_ready.add(id(store))


def _seconds(text):
    """A delay within bounds, or None when TEXT is not a number of seconds."""
    try:
        value = float(text)
    except ValueError:
        return None
    if value != value or value < 0:
        return None
    return min(value, MAX_DELAY_SECONDS)


def add_answer(store, line):
    """Control: queue an answer for the next message to PHONE. False for a malformed line."""
    ensure_schema(store)
    phone, _, answer = line.strip().partition(" ")
    answer = answer.strip()
    if not phone or not answer or len(line) > MAX_ANSWER_BYTES:
        return False
    kind, _, arg = answer.partition(" ")
    if kind in ("store-after", "slow") and _seconds(arg) is None:
        return False
    if kind == "store-reset" and arg:
        return False
    store.execute("INSERT INTO send_answers (phone, answer) VALUES (?, ?)", (phone, answer))
    return True


def set_chaos(store, text):
    """Control: answer every message without a chosen answer at random. False when TEXT is not
    "seed=S" with probabilities of the chaos kinds whose sum is at most 1."""
    settings = {}
    for item in text.split():
        name, eq, value = item.partition("=")
        if not eq or name in settings or (name != "seed" and name not in CHAOS_KINDS):
            return False
        settings[name] = value
    try:
        seed = int(settings.pop("seed"))
        chances = [(name, float(settings.get(name, "0"))) for name in CHAOS_KINDS]
    except (KeyError, ValueError):
        return False
    if any(not 0 <= p <= 1 for _, p in chances) or sum(p for _, p in chances) > 1 + 1e-9:
        return False
    with _state_lock:
        _chaos[id(store)] = (random.Random(seed), chances)
    return True


def _chaos_answer(store):
    with _state_lock:
        chaos = _chaos.get(id(store))
        if chaos is None:
            return None
        generator, chances = chaos
        draw = generator.random()
    for name, chance in chances:
        if draw < chance:
            return {"reset": "transport reset", "store-reset": "store-reset",
                    "refuse": CHAOS_REFUSAL, "code800": "800"}[name]
        draw -= chance
    return None


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


def received_requests(store, outcomes=False):
    """Control: every SMS.send received, oldest first: phone and ref_key, tab-separated; with
    outcomes also what became of it (empty while it is still being answered)."""
    ensure_schema(store)
    columns = "phone, ref_key, outcome" if outcomes else "phone, ref_key"
    rows = store.execute("SELECT %s FROM send_requests ORDER BY id" % columns)
    return "".join("\t".join(r) + "\n" for r in rows)


def received_count(store):
    ensure_schema(store)
    return store.execute("SELECT COUNT(*) FROM send_requests")[0][0]


def reset(store):
    ensure_schema(store)
    with _state_lock:
        _chaos.pop(id(store), None)
        _generation[id(store)] = _generation.get(id(store), 0) + 1
    with store.locked():
        store.execute("DELETE FROM sent_messages")
        store.execute("DELETE FROM send_answers")
        store.execute("DELETE FROM send_requests")


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


def _store_message(store, call, code, generation=None):
    with store.locked():
        if generation is not None:
            with _state_lock:
                if _generation.get(id(store), 0) != generation:
                    return  # the sandbox was reset while the store waited
        kind = call.param("send_type")
        store.execute(
            "INSERT INTO sent_messages (at, sms_id, phone, callback, subject, message, reserve, ref_key, "
            "kind, usears, code) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
            (time.time(), call.sms_id, call.param("phone"), call.param("callback"), call.param("subject"),
             call.param("message"), call.param("reserve"), call.param("ref_key"), kind,
             call.param("usears"), code))
        _take_quantity(store, call.sms_id, kind)


class _Reset(Misbehave):
    """A connection reset without an answer, named for the request log by what came before it."""

    def __init__(self, outcome):
        super().__init__("reset")
        self.outcome = outcome


def _store_later(store, call, seconds):
    with _state_lock:
        generation = _generation.get(id(store), 0)
    timer = threading.Timer(seconds, _store_message, (store, call, results.OK, generation))
    timer.daemon = True
    timer.start()


@api_method("SMS.send")
def send(call):
    store = call.store
    ensure_schema(store)
    with store.locked():
        store.execute("INSERT INTO send_requests (phone, ref_key) VALUES (?, ?)",
                      (call.param("phone"), call.param("ref_key")))
        request = store.execute("SELECT last_insert_rowid()")[0][0]
    try:
        code = _answer(call)
    except Misbehave as planned:
        outcome = planned.outcome if isinstance(planned, _Reset) else "transport " + planned.plan
        store.execute("UPDATE send_requests SET outcome = ? WHERE id = ?", (outcome, request))
        raise
    store.execute("UPDATE send_requests SET outcome = ? WHERE id = ?", (code, request))
    return results.result_text(code)


def _answer(call):
    """The result code answered, after storing what it accepts; raises Misbehave for an answer
    that is no result."""
    store = call.store
    # The token must fit the account (E001); a login is not asked for, nor are unknown
    # parameters refused here, so that a chosen answer still reaches any message.
    try:
        authenticate(call, SEND_PARAMS, logged_in=False)
    except Refused as refused:
        if refused.code == results.NOT_AUTHENTICATED:
            return refused.code
    phone = call.param("phone")
    if not phone:
        return results.BAD_REQUEST
    answer = take_answer(store, phone)
    if answer is None:
        answer = _chaos_answer(store)
    kind, _, arg = (answer or "").partition(" ")
    if kind == "transport":
        raise Misbehave(arg)
    if kind == "store-reset":
        _store_message(store, call, results.OK)
        raise _Reset("store-reset")
    if kind == "store-after":
        _store_later(store, call, _seconds(arg) or 0)
        raise _Reset("store-after")
    if kind == "slow":
        time.sleep(_seconds(arg) or 0)
        answer = None
    code = answer or results.OK
    if code in (results.OK, "800"):
        _store_message(store, call, code)
    return code  # any other code is a refusal: not stored, not counted
