"""Phone authentication: SMS.phoneAuth "sends" a six-digit number to a phone (it is logged to
standard error and kept, see the control interface), SMS.reSendAuthnum sends a new one for the
same phone and machine, SMS.authNumCheck checks the number typed on that machine."""

import secrets
import sys
import time

import results

from . import api_method
from .accounts import Refused, answering, authenticate, ensure_schema

# A number is good for this long and this many wrong tries.
NUMBER_LIFETIME_S = 180
MAX_TRIES = 5


def _send_number(store, sms_id, phone, mac):
    number = "%06d" % secrets.randbelow(1000000)
    with store.locked():
        store.execute("UPDATE phone_auths SET state = 'replaced' WHERE sms_id = ? AND mac_adr = ? "
                      "AND state = 'pending'", (sms_id, mac))
        store.execute("INSERT INTO phone_auths (at, sms_id, phone, mac_adr, number, tries, state) "
                      "VALUES (?, ?, ?, ?, ?, 0, 'pending')", (time.time(), sms_id, phone, mac, number))
    sys.stderr.write("api authentication number %s sent to %s (%s)\n" % (number, phone, sms_id))
    return results.result_text(results.OK, results.field("smsResult", "sent"))


def _pending(store, sms_id, mac):
    rows = store.execute("SELECT id, at, phone, number, tries FROM phone_auths WHERE sms_id = ? "
                         "AND mac_adr = ? AND state = 'pending' ORDER BY id DESC LIMIT 1", (sms_id, mac))
    if not rows or time.time() - rows[0][1] > NUMBER_LIFETIME_S:
        return None
    return rows[0]


@api_method("SMS.phoneAuth")
@answering
def phone_auth(call):
    acc = authenticate(call, ("phonenum", "mac_adr"))
    phone, mac = call.param("phonenum"), call.param("mac_adr")
    if not phone or not mac:
        raise Refused(results.NOT_ALLOWED)
    return _send_number(call.store, acc[0], phone, mac)


@api_method("SMS.reSendAuthnum")
@answering
def resend_auth_number(call):
    acc = authenticate(call, ("phonenum", "mac_adr"))
    phone, mac = call.param("phonenum"), call.param("mac_adr")
    rows = call.store.execute("SELECT 1 FROM phone_auths WHERE sms_id = ? AND mac_adr = ? AND phone = ? "
                              "AND state = 'pending'", (acc[0], mac, phone))
    if not phone or not rows:
        raise Refused(results.NOT_ALLOWED)  # nothing was asked for this phone on this machine
    return _send_number(call.store, acc[0], phone, mac)


@api_method("SMS.authNumCheck")
@answering
def check_auth_number(call):
    acc = authenticate(call, ("mac_adr", "auth_num"))
    store = call.store
    with store.locked():
        pending = _pending(store, acc[0], call.param("mac_adr"))
        if pending is None:
            raise Refused(results.NOT_ALLOWED)
        row_id, _, _, number, tries = pending
        if call.param("auth_num") == number:
            store.execute("UPDATE phone_auths SET state = 'confirmed' WHERE id = ?", (row_id,))
            answer = "ok"
        else:
            state = "failed" if tries + 1 >= MAX_TRIES else "pending"
            store.execute("UPDATE phone_auths SET tries = ?, state = ? WHERE id = ?", (tries + 1, state, row_id))
            answer = "fail"
    return results.result_text(results.OK, results.field("smsResult", answer))


def sent_numbers(store):
    """Control: every number sent, oldest first: phone, adapter address, number, state."""
    ensure_schema(store)
    rows = store.execute("SELECT phone, mac_adr, number, state FROM phone_auths ORDER BY id")
    return "".join("\t".join(r) + "\n" for r in rows)
