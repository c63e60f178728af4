"""The account service: accounts with their API key, name, quantities and callback numbers,
the check of the access token, logins, and the account queries SMS.userAuth, SMS.getUserInfo
and SMS.getCallbackNum. The other account-bound modules (phone_auth, address_book, history)
use authenticate() and the tables made here."""

import hashlib
import re
import threading
import time

import results

from . import api_method

# The demo account every fresh or reset sandbox holds.
DEMO = {
    "sms_id": "demo",
    "api_key": "demo-key",
    "name": "NorvoSMS 데모",
    "sms_count": 1500,
    "ars_count": 200,
    "callbacks": ("02-555-0100", "010-5550-0101"),
    "groups": (("친구", (("김민수", "010-5550-1001", "", "minsu@example.com"),
                        ("이지은", "010-5550-1002", "02-555-1002", ""))),
               ("Work", (("Alex Kim", "010-5550-2001", "", "alex@example.com"),))),
    "ars": (("기본 안내", "1588-0000"), ("Order check", "1588-0001")),
}

# Bounds on what one account may hold and one value may be.
MAX_VALUE_CHARS = 256
MAX_GROUPS = 1000
MAX_ADDRESSES = 10000

_TOKEN = re.compile(r"[0-9A-F]{8}[0-9a-f]{32}\Z")
_schema_lock = threading.Lock()
_schema_ready = set()


def ensure_schema(store):
    with _schema_lock:
        if id(store) in _schema_ready:
            return
        store.db.executescript("""
            CREATE TABLE IF NOT EXISTS accounts (
                sms_id TEXT PRIMARY KEY, api_key TEXT, name TEXT, sms_count INTEGER, ars_count INTEGER);
            CREATE TABLE IF NOT EXISTS callbacks (id INTEGER PRIMARY KEY, sms_id TEXT, number TEXT);
            CREATE TABLE IF NOT EXISTS sessions (token TEXT PRIMARY KEY, sms_id TEXT, at REAL);
            CREATE TABLE IF NOT EXISTS logins (
                id INTEGER PRIMARY KEY, at REAL, sms_id TEXT, ip TEXT, mac_adr TEXT, accepted INTEGER);
            CREATE TABLE IF NOT EXISTS address_groups (id INTEGER PRIMARY KEY, sms_id TEXT, name TEXT);
            CREATE TABLE IF NOT EXISTS addresses (
                id INTEGER PRIMARY KEY, group_id INTEGER, name TEXT, phone TEXT, tel TEXT, email TEXT);
            CREATE TABLE IF NOT EXISTS ars_entries (id INTEGER PRIMARY KEY, sms_id TEXT, name TEXT, number TEXT);
            CREATE TABLE IF NOT EXISTS phone_auths (
                id INTEGER PRIMARY KEY, at REAL, sms_id TEXT, phone TEXT, mac_adr TEXT, number TEXT,
                tries INTEGER, state TEXT);
        """)
        _schema_ready.add(id(store))
        if not store.execute("SELECT 1 FROM accounts LIMIT 1"):
            _seed(store)


def _seed(store):
    d = DEMO
    with store.locked():
        store.execute("INSERT INTO accounts VALUES (?, ?, ?, ?, ?)",
                      (d["sms_id"], d["api_key"], d["name"], d["sms_count"], d["ars_count"]))
        for number in d["callbacks"]:
            store.execute("INSERT INTO callbacks (sms_id, number) VALUES (?, ?)", (d["sms_id"], number))
        for group, entries in d["groups"]:
            store.execute("INSERT INTO address_groups (sms_id, name) VALUES (?, ?)", (d["sms_id"], group))
            gid = store.execute("SELECT MAX(id) FROM address_groups")[0][0]
            for name, phone, tel, email in entries:
                store.execute("INSERT INTO addresses (group_id, name, phone, tel, email) VALUES (?, ?, ?, ?, ?)",
                              (gid, name, phone, tel, email))
        for name, number in d["ars"]:
            store.execute("INSERT INTO ars_entries (sms_id, name, number) VALUES (?, ?, ?)",
                          (d["sms_id"], name, number))


def reset(store):
    """Control: back to the demo account alone, nobody logged in."""
    ensure_schema(store)
    with store.locked():
        for table in ("accounts", "callbacks", "sessions", "logins", "address_groups", "addresses",
                      "ars_entries", "phone_auths"):
            store.execute("DELETE FROM " + table)
        _seed(store)


def token_fits(token, api_key):
    """The library's token: 8 upper-case hex digits of salt, then MD5(salt + key) in lower case."""
    if not _TOKEN.match(token):
        return False
    salt = token[:8]
    return hashlib.md5((salt + api_key).encode("utf-8")).hexdigest() == token[8:]


def account(store, sms_id):
    ensure_schema(store)
    rows = store.execute("SELECT sms_id, api_key, name, sms_count, ars_count FROM accounts WHERE sms_id = ?",
                         (sms_id,))
    return rows[0] if rows else None


class Refused(Exception):
    """A handler's way to answer with a code and no data."""

    def __init__(self, code):
        super().__init__(code)
        self.code = code


def authenticate(call, allowed_params, logged_in=True):
    """The account of the request. Refused(E001) for an unknown user or a token (or api-key) that
    does not fit; Refused(E006) for a parameter the method does not take, for a params sms_id
    that is not the caller's, or, with logged_in, a token that has not logged in."""
    acc = account(call.store, call.sms_id)
    if acc is None or not token_fits(call.access_token, acc[1]):
        raise Refused(results.NOT_AUTHENTICATED)
    if "api-key" in call.fields and call.fields["api-key"] != call.access_token:
        raise Refused(results.NOT_AUTHENTICATED)
    check_params(call, allowed_params)
    if "sms_id" in allowed_params and call.param("sms_id") != call.sms_id:
        raise Refused(results.NOT_ALLOWED)
    if logged_in and not call.store.execute("SELECT 1 FROM sessions WHERE token = ? AND sms_id = ?",
                                            (call.access_token, call.sms_id)):
        raise Refused(results.NOT_ALLOWED)
    return acc


def check_params(call, allowed_params):
    names = [name for name, _ in call.params]
    if any(name not in allowed_params for name in names) or len(set(names)) != len(names):
        raise Refused(results.NOT_ALLOWED)
    if any(len(value) > MAX_VALUE_CHARS for _, value in call.params):
        raise Refused(results.NOT_ALLOWED)


def answering(handler):
    """Turns Refused into its result text."""
    def run(call):
        try:
            return handler(call)
        except Refused as refused:
            return results.result_text(refused.code)
    run.__name__ = handler.__name__
    return run


def element(name, inner_xml):
    return "<%s>%s</%s>" % (name, inner_xml, name)


def record(name, fields):
    """One list item: <name><f1>v1</f1>...</name>."""
    return element(name, "".join(results.field(k, str(v)) for k, v in fields))


@api_method("SMS.userAuth")
@answering
def user_auth(call):
    store = call.store
    check_params(call, ("sms_id", "api_key", "mac_adr", "ip"))
    sms_id = call.param("sms_id")
    acc = account(store, sms_id)
    accepted = (acc is not None and sms_id == call.sms_id and call.param("api_key") == acc[1]
                and token_fits(call.access_token, acc[1]))
    with store.locked():
        store.execute("INSERT INTO logins (at, sms_id, ip, mac_adr, accepted) VALUES (?, ?, ?, ?, ?)",
                      (time.time(), sms_id, call.param("ip"), call.param("mac_adr"), int(accepted)))
        if not accepted:
            raise Refused(results.NOT_AUTHENTICATED)
        store.execute("INSERT OR REPLACE INTO sessions (token, sms_id, at) VALUES (?, ?, ?)",
                      (call.access_token, sms_id, time.time()))
    return results.result_text(results.OK, results.field("smsResult", "ok"))


@api_method("SMS.getUserInfo")
@answering
def user_info(call):
    acc = authenticate(call, ())
    return results.result_text(results.OK, results.field("sms_name", acc[2]) +
                               results.field("sms_quantity", str(acc[3])) +
                               results.field("ars_quantity", str(acc[4])))


@api_method("SMS.getCallbackNum")
@answering
def callback_numbers(call):
    acc = authenticate(call, ())
    rows = call.store.execute("SELECT number FROM callbacks WHERE sms_id = ? ORDER BY id", (acc[0],))
    return results.result_text(results.OK, element("smsResult", "".join(
        results.field("callback", r[0]) for r in rows)))


def logins(store):
    """Control: the login attempts, oldest first, tab-separated."""
    ensure_schema(store)
    rows = store.execute("SELECT sms_id, ip, mac_adr, accepted FROM logins ORDER BY id")
    return "".join("%s\t%s\t%s\t%d\n" % r for r in rows)
