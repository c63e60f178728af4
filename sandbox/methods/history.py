"""Sending history from the messages SMS.send stored (methods/send.py): SMS.getLastestlist, the
account's latest messages, newest first, and SMS.getStatusByRef_all, every message of one
reference key."""

import time

import results

from . import api_method, send
from .accounts import Refused, answering, authenticate, element, record

RECENT_LIMIT = 20
STATUS_LIMIT = 1000


def _when(at):
    return time.strftime("%Y-%m-%d %H:%M:%S", time.localtime(at))


def _status(reserve, code):
    # The library appends ":00" to every reservation, an empty one too.
    if (reserve[:-3] if reserve.endswith(":00") else reserve).strip():
        return "reserved"
    return "delivered" if code == results.OK else "sent"


@api_method("SMS.getLastestlist")
@answering
def latest_list(call):
    acc = authenticate(call, ("sms_id",))
    send.ensure_schema(call.store)
    rows = call.store.execute(
        "SELECT at, kind, phone, callback, subject, message, ref_key, reserve, code FROM sent_messages "
        "WHERE sms_id = ? ORDER BY id DESC LIMIT ?", (acc[0], RECENT_LIMIT))
    items = [record("sent", (("sent_at", _when(at)), ("kind", kind), ("phone", phone), ("callback", callback),
                             ("subject", subject), ("message", message), ("ref_key", ref_key),
                             ("reserve", reserve), ("code", code)))
             for at, kind, phone, callback, subject, message, ref_key, reserve, code in rows]
    return results.result_text(results.OK, element("smsResult", "".join(items)))


@api_method("SMS.getStatusByRef_all")
@answering
def status_by_ref(call):
    acc = authenticate(call, ("ref_key",))
    ref_key = call.param("ref_key")
    if not ref_key:
        raise Refused(results.NOT_ALLOWED)
    send.ensure_schema(call.store)
    rows = call.store.execute(
        "SELECT at, kind, phone, reserve, code FROM sent_messages WHERE sms_id = ? AND ref_key = ? "
        "ORDER BY id LIMIT ?", (acc[0], ref_key, STATUS_LIMIT))
    entries = [record("entry", (("phone", phone), ("kind", kind), ("status", _status(reserve, code)),
                                ("code", code), ("sent_at", _when(at))))
               for at, kind, phone, reserve, code in rows]
    return results.result_text(results.OK, element("smsResult", results.field("ref_key", ref_key) +
                                                   results.field("count", str(len(rows))) +
                                                   element("entries", "".join(entries))))
