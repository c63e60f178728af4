"""The address book and the ARS list: SMS.getGrouplist, SMS.getAdresslist, SMS.addGrouplist,
SMS.addAddresslist and SMS.getArsList. Adding really adds; the lists return what is there."""

import results

from . import api_method
from .accounts import (MAX_ADDRESSES, MAX_GROUPS, Refused, answering, authenticate, element,
                       record)


def _group_id(store, sms_id, name):
    rows = store.execute("SELECT id FROM address_groups WHERE sms_id = ? AND name = ?", (sms_id, name))
    return rows[0][0] if rows else None


def _group_record(store, gid, name):
    count = store.execute("SELECT COUNT(*) FROM addresses WHERE group_id = ?", (gid,))[0][0]
    return record("group", (("group_name", name), ("count", count)))


def _address_record(group, row):
    name, phone, tel, email = row
    return record("address", (("group_name", group), ("name", name), ("phone", phone), ("tel", tel),
                              ("email", email)))


def _answer(items):
    return results.result_text(results.OK, element("smsResult", "".join(items)))


@api_method("SMS.getGrouplist")
@answering
def group_list(call):
    acc = authenticate(call, ("sms_id",))
    store = call.store
    groups = store.execute("SELECT id, name FROM address_groups WHERE sms_id = ? ORDER BY id", (acc[0],))
    return _answer(_group_record(store, gid, name) for gid, name in groups)


@api_method("SMS.getAdresslist")
@answering
def address_list(call):
    """An empty group name lists the whole address book."""
    acc = authenticate(call, ("sms_id", "group_name"))
    store = call.store
    wanted = call.param("group_name")
    groups = store.execute("SELECT id, name FROM address_groups WHERE sms_id = ? ORDER BY id", (acc[0],))
    if wanted:
        groups = [g for g in groups if g[1] == wanted]
        if not groups:
            raise Refused(results.NOT_ALLOWED)
    items = []
    for gid, name in groups:
        rows = store.execute("SELECT name, phone, tel, email FROM addresses WHERE group_id = ? ORDER BY id",
                             (gid,))
        items += [_address_record(name, row) for row in rows]
    return _answer(items)


@api_method("SMS.addGrouplist")
@answering
def add_group(call):
    acc = authenticate(call, ("sms_id", "group_name"))
    store = call.store
    name = call.param("group_name")
    with store.locked():
        count = store.execute("SELECT COUNT(*) FROM address_groups WHERE sms_id = ?", (acc[0],))[0][0]
        if not name.strip() or _group_id(store, acc[0], name) is not None or count >= MAX_GROUPS:
            raise Refused(results.NOT_ALLOWED)
        store.execute("INSERT INTO address_groups (sms_id, name) VALUES (?, ?)", (acc[0], name))
        gid = _group_id(store, acc[0], name)
        return _answer([_group_record(store, gid, name)])


@api_method("SMS.addAddresslist")
@answering
def add_address(call):
    acc = authenticate(call, ("sms_id", "group_name", "name", "phone", "tel", "email"))
    store = call.store
    group = call.param("group_name")
    row = (call.param("name"), call.param("phone"), call.param("tel"), call.param("email"))
    if not row[0].strip() or not row[1].strip():
        raise Refused(results.NOT_ALLOWED)
    with store.locked():
        gid = _group_id(store, acc[0], group)
        count = store.execute("SELECT COUNT(*) FROM addresses a JOIN address_groups g ON a.group_id = g.id "
                              "WHERE g.sms_id = ?", (acc[0],))[0][0]
        if gid is None or count >= MAX_ADDRESSES:
            raise Refused(results.NOT_ALLOWED)
        store.execute("INSERT INTO addresses (group_id, name, phone, tel, email) VALUES (?, ?, ?, ?, ?)",
                      (gid,) + row)
    return _answer([_address_record(group, row)])


@api_method("SMS.getArsList")
@answering
def ars_list(call):
    acc = authenticate(call, ("sms_id",))
    rows = call.store.execute("SELECT name, number FROM ars_entries WHERE sms_id = ? ORDER BY id", (acc[0],))
    return _answer(record("ars", (("ars_name", name), ("ars_num", number))) for name, number in rows)
